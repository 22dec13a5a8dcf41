#pragma once
// The USB image-copy worker: one instance, started once by main, running its
// passes on Qt's global thread pool.
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>

class Copy2MoveDisk : public QObject {
    Q_OBJECT
public:
    static Copy2MoveDisk* _instance;
    static Copy2MoveDisk* instance();   // makes it on first use

    explicit Copy2MoveDisk(QObject* parent = nullptr);
    // Starts the copy task and returns at once; a second call does nothing.
    void start();
    bool started() const { return started_; }

    // Offers a written result picture (folder: absolute path of its folder,
    // baseName: its file name without ".jpg") for the USB disk.  Safe from
    // any thread; returns at once.
    void add_map_actqueue(const QString& folder, const QString& baseName, const QImage& picture);

    // Where the USB disk is mounted ("/mnt"), empty while none is.  The copy
    // worker sets it on its own thread and the status strip reads it on the
    // GUI thread, so both go through the lock and the reader gets a copy.
    QString mountPath() const;
    void setMountPath(const QString& path);

private:
    mutable QMutex mountMutex_;
    QString mountPath_;
    std::atomic<bool> started_{false};
};
