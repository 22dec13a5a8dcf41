#include "sharereader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

namespace relaypeer {

bool parseMemoryInfo(const QByteArray& body, QList<ShareEntry>* entries, QString* error)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
    if (!doc.isObject() || !doc.object().value(QStringLiteral("memoryinfo")).isArray()) {
        *error = QStringLiteral("not a share description: %1").arg(parseError.errorString());
        return false;
    }
    entries->clear();
    for (const QJsonValue& v : doc.object().value(QStringLiteral("memoryinfo")).toArray()) {
        const QJsonObject o = v.toObject();
        for (const char* key : {"shmid", "semid", "cameraid", "size", "width", "height", "fps"}) {
            if (!o.value(QLatin1String(key)).isDouble()) {
                *error = QStringLiteral("share entry without the number %1").arg(QLatin1String(key));
                return false;
            }
        }
        ShareEntry e;
        e.shmid = o.value(QStringLiteral("shmid")).toInt();
        e.semid = o.value(QStringLiteral("semid")).toInt();
        e.cameraid = o.value(QStringLiteral("cameraid")).toInt();
        e.size = o.value(QStringLiteral("size")).toInt();
        e.width = o.value(QStringLiteral("width")).toInt();
        e.height = o.value(QStringLiteral("height")).toInt();
        e.fps = o.value(QStringLiteral("fps")).toInt();
        entries->append(e);
    }
    return true;
}

ShareRead readShare(const ShareEntry& entry, int limitMs)
{
    ShareRead r;
    if (entry.shmid < 0 || entry.semid < 0 || entry.size <= 0) {
        r.error = QStringLiteral("share %1 was not made").arg(entry.cameraid);
        return r;
    }
    void* address = ::shmat(entry.shmid, nullptr, SHM_RDONLY);
    if (address == reinterpret_cast<void*>(-1)) {
        r.error = QStringLiteral("attach: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return r;
    }
    shmid_ds ds{};
    if (::shmctl(entry.shmid, IPC_STAT, &ds) != 0 || ds.shm_segsz < size_t(entry.size)) {
        r.error = QStringLiteral("segment smaller than announced");
    } else {
        timespec limit{limitMs / 1000, long(limitMs % 1000) * 1000000};
        sembuf take{0, -1, SEM_UNDO};
        if (::semtimedop(entry.semid, &take, 1, &limit) != 0) {
            r.error = QStringLiteral("semaphore: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        } else {
            r.frame = QByteArray(static_cast<const char*>(address), entry.size);
            sembuf give{0, 1, SEM_UNDO};
            ::semop(entry.semid, &give, 1);
            r.ok = true;
        }
    }
    ::shmdt(address);
    return r;
}

} // namespace relaypeer
