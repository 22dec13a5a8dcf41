#pragma once
// The relay's side of the live-video share: the shares announced by a
// type-9 message, and one frame read from a share under its semaphore
// (take, copy, give back), as the relay reads them.
#include <QByteArray>
#include <QList>
#include <QString>

namespace relaypeer {

struct ShareEntry {
    int shmid = -1;
    int semid = -1;
    int cameraid = 0;
    int size = 0;
    int width = 0;
    int height = 0;
    int fps = 0;
};

// The entries of a type-9 body, in order; false with *error when the body
// is not such a description.
bool parseMemoryInfo(const QByteArray& body, QList<ShareEntry>* entries, QString* error);

struct ShareRead {
    bool ok = false;
    QString error;
    QByteArray frame;   // size bytes of I420
};

// Attaches the segment read-only, takes the semaphore (waiting at most
// limitMs; undone by the kernel should the reader die holding it), copies
// size bytes, gives the semaphore back and detaches.
ShareRead readShare(const ShareEntry& entry, int limitMs = 1000);

} // namespace relaypeer
