#include "cameraprobe.h"

#include "camerabackend.h"
#include "camerafamily.h"
#include "cameraglobals.h"
#include "camerahost.h"
#include "cameraservices.h"
#include "clock.h"
#include "messages.h"
#include "paths.h"
#include "reachsweep.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <glog/logging.h>

#include <algorithm>
#include <cstring>

namespace {
// One loss is one episode: counted and recorded once, however often the
// restart finds a camera still missing; the reachability sweep runs once per
// episode.
bool gLossEpisode = false;
bool gReachDone = false;

const CameraFamily* currentFamily()
{
    return cameraFamily(gCameraID);
}

ReachSweep& reachSweep()
{
    static ReachSweep sweep;
    return sweep;
}

CameraBackend* backend(int i)
{
    return gpCameraHost ? gpCameraHost->cameraBackend(i) : nullptr;
}
}

void CheckCameraID()
{
    if (std::shared_ptr<AddressRepair> r = addressRepair()) {
        if (r->RepairAllCameraIP() > 0)
            appClock().sleepMs(6000);   // the cameras come back under their new addresses
    }
    gLossEpisode = false;
    gReachDone = false;
    for (const CameraFamily* f : cameraFamilies()) {
        if (f->reachSweep)
            reachSweep().runAndWait();   // its result is not used: the family enumerates what it finds
        if (f->probe())
            return;
    }
    gCameraID = CameraKindNone;
    gFindCamera = 4;
    gImageW = 1920;
    gImageH = 1080;
}

int CheckUSBCameraNum()
{
    // Read the kernel's list directly (no shell); keep a copy as "devices"
    // in the program directory, as before.
    QFile in(paths().procInputDevices);
    if (!in.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = in.readAll();
    QFile copy(QStringLiteral("devices"));
    if (copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
        copy.write(text);
    int n = 0;
    for (const QByteArray& line : text.split('\n'))
        if (line.toLower().contains("camera"))
            ++n;
    return n;
}

bool SaveSN(int clear)
{
    // The rows are written together or not at all; on failure the slots in
    // memory keep the binding SN.db still holds.
    char before[kCameraSlots][kSerialTextSize];
    std::memcpy(before, gSerialNB, sizeof before);
    for (auto& s : gSerialNB) {
        std::memset(s, 0, kSerialTextSize);
        s[0] = '0';
    }
    if (!clear && gpCameraHost) {
        for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
            CameraBackend* b = backend(i);
            if (!b || !b->isOpen())
                continue;
            QByteArray sn;
            const bool read = b->driver() && b->driver()->readSerial(&sn);   // Galaxy, DVP and UVC serials are not read
            const int slot = gCamNO[i];
            if (!read || slot < 0 || slot >= kCameraSlots)
                continue;
            std::memset(gSerialNB[slot], 0, kSerialTextSize);
            std::memcpy(gSerialNB[slot], sn.constData(), static_cast<size_t>(std::min<int>(sn.size(), kSerialTextSize - 1)));
        }
    }
    if (!gpCameraHost)
        return false;
    QSqlDatabase db = gpCameraHost->serialDatabase();
    QString error;
    bool ok = db.isOpen() && db.transaction();
    if (!ok)
        error = db.isOpen() ? db.lastError().text() : QStringLiteral("SN.db is not open");
    for (int k = 0; ok && k < kCameraSlots; ++k) {
        const QString name = QStringLiteral("serialNB%1").arg(k);
        const QString sn = QString::fromLatin1(gSerialNB[k]);
        QSqlQuery q(db);
        q.prepare(QStringLiteral("update sysparam set value=? where name=?"));
        q.addBindValue(sn);
        q.addBindValue(name);
        ok = q.exec();
        // A row lost from the file is made again rather than the binding dropped.
        if (ok && q.numRowsAffected() == 0) {
            q.prepare(QStringLiteral("insert into sysparam(name, value) values(?, ?)"));
            q.addBindValue(name);
            q.addBindValue(sn);
            ok = q.exec();
        }
        if (!ok)
            error = q.lastError().text();
    }
    if (ok && !db.commit()) {
        ok = false;
        error = db.lastError().text();
    }
    if (!ok) {
        if (db.isOpen())
            db.rollback();
        std::memcpy(gSerialNB, before, sizeof before);
        LOG(ERROR) << "SN.db: camera serials not saved: " << error.toStdString();
        return false;
    }
    for (int k = 0; k < numCamera && k < kCameraSlots; ++k)
        gpCameraHost->insertRecord(QStringLiteral("Save SN %1: %2").arg(k + 1).arg(QString::fromLatin1(gSerialNB[k])));
    return true;
}

void CameraSetSpeed()
{
    if (!gpCameraHost)
        return;
    const int speed = gpCameraHost->cameraSwitches(false).captureSpeed;
    for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
        CameraBackend* b = backend(i);
        if (!b || !b->isOpen())
            continue;
        b->CameraStop();
        b->applyCaptureSpeed(speed);
        b->CameraStart();
    }
}

int CountCamerasOfKind()
{
    const CameraFamily* f = currentFamily();
    return f ? f->count() : -1;
}

namespace {
// reopenFailed: the restart found the full count but a camera did not open
// again.  The counting kinds would see their count and call that no loss,
// leaving the camera closed with the clamp free; it is a loss like any other.
void checkLoss(int cam, bool reopenFailed)
{
    if (gisLost || !gpCameraHost)
        return;
    const CameraFamily* f = currentFamily();
    const CameraFamily::Loss rule = f ? f->loss : CameraFamily::Loss::Never;
    // Called only after a camera failed; the counting families decide by their count.
    const bool lost = rule == CameraFamily::Loss::Always
        || (rule == CameraFamily::Loss::ByCount && (reopenFailed || CountCamerasOfKind() != numCamera));
    if (!lost)
        return;
    CameraHost& host = *gpCameraHost;
    gisLost = 1;
    if (!gLossEpisode) {
        gLossEpisode = true;
        gReachDone = false;
        gLost += 1;
        host.insertRecord(Msg(332).arg(gLost).arg(cam + 1));
    }
    const CameraSwitches sw = host.cameraSwitches(false);
    if (host.runState != RunStateStopped) {
        host.setOutput(0, 1);   // the clamp interlock blocks the machine
        host.flashOutputs();
    }
    if (sw.cameraCheck) {
        host.showLostCameraBox();
        host.repaintNow();
    }
    for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
        host.clearCameraOk(i);
        if (CameraBackend* b = backend(i)) {
            b->CameraStop();
            b->CameraClose();
        }
    }
    if (!sw.cameraCheck)
        host.showWarnBox(Msg(39));
}
}

void CameraCheck(int cam)
{
    checkLoss(cam, false);
}

void CameraRestart()
{
    if (!gpCameraHost)
        return;
    CameraHost& host = *gpCameraHost;
    if (gisLost) {
        const CameraFamily* f = currentFamily();
        if (f && f->reachSweep) {
            if (!gReachDone) {
                gReachDone = true;   // the sweep is slow: once per loss, on a worker
                reachSweep().start();
            }
            if (reachSweep().running())
                return;   // still lost; the count follows the sweep
        }
        const int n = CountCamerasOfKind();
        if (n >= 0 && n != numCamera)
            return;   // still lost
        gisLost = 0;
        for (int i = 0; i < numCamera && i < kCameraSlots; ++i) {
            if (CameraBackend* b = backend(i)) {
                b->CameraOpen();
                b->CameraStart();
            }
        }
        host.hideWarnBox();
        host.hideLostCameraBox();
        host.showReconnectCameraBox();
        host.insertRecord(QStringLiteral("Camera Restart"));
    }
    for (int& s : host.stallSeconds)
        s = 0;
    for (int i = numCamera - 1; i >= 0; --i) {
        if (i < kCameraSlots && !host.cameraOpened[i]) {
            checkLoss(i, true);
            return;
        }
    }
    gLossEpisode = false;
    host.cameraLostSignal = false;
    CameraSetSpeed();
}
