#include "savefialimagethread.h"

#include "clock.h"
#include "copy2movedisk.h"
#include "failimagestore.h"
#include "relaylink.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QMetaObject>
#include <QSaveFile>

#include <algorithm>
#include <mutex>

SaveFialImageThread* gpSaveFialImageThread = nullptr;

namespace {

// Qt's join in wait() is invisible to the race checker (Qt is not built
// with it): run() passes this lock last and the destructor takes it after
// wait(), so the end of the thread is seen before the object goes.
std::mutex gRunEnded;

// The number before the first "_" of a picture name; 0 when there is none.
qint64 LeadingNumber(const QString& name)
{
    const int cut = name.indexOf(QLatin1Char('_'));
    if (cut <= 0)
        return 0;
    bool ok = false;
    const qint64 n = name.left(cut).toLongLong(&ok);
    return ok ? n : 0;
}

QString AbsoluteFolder(const QString& folder)
{
    // The folder names are built with "//"; what is handed on is clean.
    return QDir::cleanPath(QDir(QDir::cleanPath(folder)).absolutePath());
}

// Prunes the folder, writes the picture under the next number and offers it
// to the USB copy and the relay; false when it could not be written.
bool WritePicture(const SaveFialImageThread::Ports& p, Clock& clock, const QString& folderName, int keep,
                  const QImage& picture)
{
    const QString folder = AbsoluteFolder(folderName);
    QDir dir(folder);
    const QStringList jpgs = dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    for (const QString& victim : PruneVictims(jpgs, keep))
        if (!dir.remove(victim))
            qWarning().noquote() << "Result pictures: cannot delete" << dir.filePath(victim);

    // The number is used up even when the write fails, so no later picture
    // can take the place of one that was meant to be there.
    const qint64 number = p.serial ? (*p.serial)++ : 0;
    const QString base = QStringLiteral("%1_%2").arg(number).arg(
            clock.now().toString(QStringLiteral("yyyy-MM-dd_hh.mm.ss.zzz")));
    const QString path = folder + QLatin1Char('/') + base + QStringLiteral(".jpg");

    // Written beside and renamed over, so a crash or a full disk never leaves
    // a truncated picture under the final name.
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        QImageWriter writer(&file, QFileInfo(path).suffix().toLatin1());
        ok = writer.write(picture);
        if (!ok)
            qWarning().noquote() << "Result pictures: cannot encode" << path << ":" << writer.errorString();
        else if (!(ok = file.commit()))
            qWarning().noquote() << "Result pictures: cannot write" << path << ":" << file.errorString();
    } else {
        qWarning().noquote() << "Result pictures: cannot write" << path << ":" << file.errorString();
    }
    if (!ok)
        return false;   // nothing is offered for a picture that is not on the disk

    if (p.usbCopy)
        p.usbCopy(folder, base, picture);
    else if (Copy2MoveDisk::_instance)
        Copy2MoveDisk::_instance->add_map_actqueue(folder, base, picture);

    if (p.relay) {
        // The link and its statistics record belong to the GUI thread: both
        // announcements go there together, in this order, and the relay's
        // state is judged there, when they are sent.
        RelayLink* relay = p.relay;
        std::function<bool()> relayOn = p.relayOn;
        const QString relative = RelayRelativePath(path, QDir::currentPath());
        auto announce = [relay, relayOn, path, relative]() {
            const bool on = relayOn ? relayOn() : RelayReady(relay, true);
            if (!on)
                return;
            relay->CNT_SendAlarmPic(path);
            relay->CNT_SendStatistics(relative);
        };
        if (p.context)
            QMetaObject::invokeMethod(p.context, announce, Qt::QueuedConnection);
        else
            announce();
    }
    return true;
}

}

SaveFialImageThread::SaveFialImageThread(Ports ports, QObject* parent) : QThread(parent), p_(std::move(ports))
{
    if (!p_.sleep)
        p_.sleep = [](int ms) { QThread::msleep(ms); };
}

SaveFialImageThread::~SaveFialImageThread()
{
    requestInterruption();
    wait();
    std::lock_guard<std::mutex> ended(gRunEnded);
}

int SaveFialImageThread::processOnce()
{
    if (!p_.dirs)
        return 0;
    int writtenNow = 0;
    Clock& clock = p_.clock ? *p_.clock : appClock();
    const int cameras = std::min(p_.cameras ? p_.cameras() : 0, kCameraSlots);
    for (int c = 0; c < cameras; ++c) {
        const int detections = std::min(p_.detections ? p_.detections() : 0, kDetections);
        for (int d = 0; d < detections; ++d) {
            bool ngNoted = false, okNoted = false;
            FailImageFlags(c, d, &ngNoted, &okNoted);
            for (int slot = 0; slot < 2; ++slot) {
                // The take is a swap under the store's lock: from here on the
                // picture is this thread's alone, and the verdict may store
                // the next one while this one is encoded.
                QImage picture;
                if (!TakeFailImage(c, d, slot, &picture))
                    continue;
                // An OK picture queued together with its NG picture (a passed
                // re-check) goes beside it into the NG folder.
                const int kind = (slot == 0 || ngNoted) ? 0 : 1;
                const std::function<int()>& keepOf = kind == 0 ? p_.keepNg : p_.keepOk;
                const int keep = keepOf ? keepOf() : 0;
                // A kind kept 0 times (lowered while the picture waited) is not
                // written, its folder is left as it is, and no wait follows:
                // the waits pace the writes only.
                if (keep <= 0 || picture.isNull())
                    continue;
                if (WritePicture(p_, clock, p_.dirs[c][d][kind], keep, picture)) {
                    ++written_;
                    ++writtenNow;
                } else {
                    ++failed_;
                }
                p_.sleep(slot == 0 && ngNoted && okNoted ? 1000 : 200);
            }
        }
    }
    return writtenNow;
}

void SaveFialImageThread::run()
{
    // The pause between passes lives here and not in processOnce(), so a
    // test's pass records only the waits that follow the pictures.
    while (!isInterruptionRequested()) {
        processOnce();
        if (isInterruptionRequested())
            break;
        p_.sleep(100);
    }
    std::lock_guard<std::mutex> ended(gRunEnded);
}

QStringList PruneVictims(const QStringList& jpgNames, int keep)
{
    if (keep <= 0 || jpgNames.size() < keep)
        return {};
    struct Entry {
        qint64 number;
        QString name;
    };
    std::vector<Entry> entries;
    entries.reserve(jpgNames.size());
    for (const QString& n : jpgNames)
        entries.push_back({LeadingNumber(n), n});
    // Highest number first; among equal numbers the later name (the later
    // time stamp) first, so the older one goes.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.number != b.number)
            return a.number > b.number;
        return a.name > b.name;
    });
    QStringList victims;
    for (size_t i = size_t(keep - 1); i < entries.size(); ++i)
        victims << entries[i].name;
    return victims;
}

QString RelayRelativePath(const QString& absolutePath, const QString& currentDir)
{
    QString prefix = QDir::cleanPath(currentDir);
    if (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);   // the root directory
    const QString path = QDir::cleanPath(absolutePath);
    if (path == prefix)
        return QStringLiteral(".");
    if (!path.startsWith(prefix + QLatin1Char('/')))
        return path;   // not below the program directory: left whole
    return QLatin1Char('.') + path.mid(prefix.size());
}
