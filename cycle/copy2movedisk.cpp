#include "copy2movedisk.h"

#include <QMutexLocker>

Copy2MoveDisk* Copy2MoveDisk::_instance = nullptr;

Copy2MoveDisk* Copy2MoveDisk::instance()
{
    if (!_instance)
        _instance = new Copy2MoveDisk(nullptr);
    return _instance;
}

Copy2MoveDisk::Copy2MoveDisk(QObject* parent) : QObject(parent)
{
    if (!_instance)
        _instance = this;
}

void Copy2MoveDisk::start()
{
    // The copy passes (mount the USB disk, copy the queued pictures) join
    // here with the detection cycle; until then the worker only exists.
    started_ = true;
}

void Copy2MoveDisk::add_map_actqueue(const QString& folder, const QString& baseName, const QImage& picture)
{
    // No copy pass takes pictures off a queue yet, and a queue without a
    // consumer would only grow by a full picture per write: the offer is
    // dropped, without copying the picture and without touching shared state.
    Q_UNUSED(folder);
    Q_UNUSED(baseName);
    Q_UNUSED(picture);
}

QString Copy2MoveDisk::mountPath() const
{
    QMutexLocker lock(&mountMutex_);
    return mountPath_;
}

void Copy2MoveDisk::setMountPath(const QString& path)
{
    QMutexLocker lock(&mountMutex_);
    mountPath_ = path;
}
