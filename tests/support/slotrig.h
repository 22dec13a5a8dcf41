#pragma once
// The surroundings of camera slots in a test or benchmark: a program
// directory, the globals the slots and views read (saved and restored),
// PARAM.db as connection "param", a recording relay link as gpNet, a slot
// host (an area page host), and the eight slots built on the simulated bus as the main window
// builds them.
#include "cameraprobe.h"
#include "cammerwidget.h"
#include "fakeareapagehost.h"
#include "messages.h"
#include "numberinput.h"
#include "relaylink.h"
#include "simcamerabus.h"
#include "testenv.h"
#include "testgeometry.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QWidget>

#include <memory>

// Saves the globals a camera slot and its view read, and restores them with
// the image library's copy of the geometry.
struct SlotGlobalsGuard {
    int imageW = gImageW, imageH = gImageH, showW = gShowW, showH = gShowH;
    double showAW = gShowAW, showAH = gShowAH;
    int tempNum = gTempNum, dNum = gDNum, isColor = gisColor, isCut = gisCut, cameras = numCamera;
    int found = gFindCamera, cameraId = gCameraID, source = gSource, lan = gLan;
    QString tempTime = gTempTime;
    RelayLink* net = gpNet;
    NumberInput* numPad = gpNumPad;

    ~SlotGlobalsGuard()
    {
        gisColor = isColor;
        setTestGeometry(imageW, imageH, showAW, showAH);
        gColorLen = isColor ? 4 * gImageLen : gImageLen;
        gShowW = showW;
        gShowH = showH;
        gTempNum = tempNum;
        gDNum = dNum;
        gisCut = isCut;
        numCamera = cameras;
        gFindCamera = found;
        gCameraID = cameraId;
        gSource = source;
        gLan = lan;
        gTempTime = tempTime;
        gpNet = net;
        gpNumPad = numPad;
    }
};

class SlotRig {
public:
    SlotRig()
    {
        resetCameraGlobals();
        camsim::bus().clear();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("param"));
        db.setDatabaseName(env.path(QStringLiteral("PARAM.db")));
        db.open();
        gpNet = &net;
        host.paramConnection = QStringLiteral("param");
    }
    ~SlotRig()
    {
        for (auto*& b : host.slotBackends)
            b = nullptr;
        for (auto*& s : host.cameraSlots)
            s = nullptr;
        window.reset();   // the slots with it
        camsim::bus().clear();
        QSqlDatabase::database(QStringLiteral("param")).close();
        QSqlDatabase::removeDatabase(QStringLiteral("param"));
    }
    SlotRig(const SlotRig&) = delete;
    SlotRig& operator=(const SlotRig&) = delete;

    // Loads the bus ("devices" entries) and probes.  The cameras of
    // failOpen are found by the probe but fail every later open.  False,
    // with the reason in *error, when the bus did not load.
    bool load(const QString& devicesJson, const QStringList& failOpen = {}, QString* error = nullptr)
    {
        if (!camsim::bus().loadJson(QStringLiteral("{\"devices\":[%1]}").arg(devicesJson).toUtf8(), error))
            return false;
        CheckCameraID();
        for (const QString& serial : failOpen)
            if (auto d = camsim::bus().find(serial))
                d->setOpenFailCode(-13);
        return true;
    }

    // Builds slots 0 .. slotCount - 1 on the geometry in force, counting
    // numCamera from 0, as children of a window of the screen's size.
    template <class View = CammerWidget>
    void buildSlots(int slotCount = kCameraSlots)
    {
        window = std::make_unique<QWidget>();
        window->resize(gShowW, gShowH);
        numCamera = 0;
        for (int k = 0; k < slotCount; ++k) {
            slot[k] = new View(&host, k, window.get());
            host.slotBackends[k] = slot[k];
            host.cameraSlots[k] = slot[k];
        }
    }

    // load, then a w x h picture on a screen showA times larger (the
    // probe's processed size is the sensor's; tests keep it small), then
    // buildSlots.
    bool build(const QString& devicesJson, int w, int h, double showA, int slotCount = kCameraSlots,
               const QStringList& failOpen = {})
    {
        if (!load(devicesJson, failOpen))
            return false;
        setTestGeometry(w, h, showA);
        applyGeometry();
        buildSlots(slotCount);
        return true;
    }

    // Declared in the order that lets each outlive what uses it.
    TestEnv env;
    SlotGlobalsGuard globals;
    RecordingRelayLink net;
    // The slots' host; the area page's services included, so a page can be
    // built over the same slots.
    FakeAreaPageHost host;
    std::unique_ptr<QWidget> window;
    CammerWidget* slot[kCameraSlots] = {};
};
