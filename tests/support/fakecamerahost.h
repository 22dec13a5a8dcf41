#pragma once
// A camera host for tests and benchmarks: parameter records in memory, every
// box, record and output request kept as a line, and eight camera back-ends.
#include "camerabackend.h"
#include "cameraglobals.h"
#include "camerahost.h"
#include "cameraservices.h"
#include "simcamerabus.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

#include <cstring>
#include <memory>

// The recording implementation of CameraHost, over any host interface
// derived from it (CameraHost itself, SlotHost), so that the fakes of the
// derived interfaces share it instead of copying it.
template <class Host>
class FakeCameraHostBase : public Host {
public:
    using Host::cameraOpened;
    CameraValues live[kCameraSlots];
    CameraValues edit[kCameraSlots];
    CameraSwitches liveSwitches;
    CameraSwitches editSwitches;
    bool settingsVisible = false;
    QStringList events;
    std::unique_ptr<CameraBackend> cams[kCameraSlots];
    QString dbConnection;

    FakeCameraHostBase()
    {
        for (auto& v : live)
            v = CameraValues{10, 32, 50, 150, 40, 0, 0};
        for (auto& v : edit)
            v = live[0];
        gpCameraHost = this;
    }
    ~FakeCameraHostBase() override
    {
        closeAll();
        if (gpCameraHost == this)
            gpCameraHost = nullptr;
    }

    // Builds the eight back-ends the way the slots do: open, count, start.
    void buildSlots()
    {
        numCamera = 0;
        for (int k = 0; k < kCameraSlots; ++k) {
            cams[k] = std::make_unique<CameraBackend>(this, k);
            cams[k]->CameraOpen();
            if (cameraOpened[k])
                ++numCamera;
        }
        for (int k = 0; k < kCameraSlots; ++k)
            cams[k]->CameraStart();
    }
    void closeAll()
    {
        for (auto& s : cams)
            if (s) {
                s->CameraStop();
                s->CameraClose();
                s.reset();
            }
    }

    CameraBackend* cameraBackend(int slot) override { return cams[slot].get(); }
    bool settingsPageVisible() const override { return settingsVisible; }
    CameraValues cameraValues(int slot, bool editCopy) const override { return editCopy ? edit[slot] : live[slot]; }
    CameraSwitches cameraSwitches(bool editCopy) const override { return editCopy ? editSwitches : liveSwitches; }
    void storeEditCameraValues(int slot, const CameraValues& v) override { edit[slot] = v; }
    void insertRecord(const QString& text) override { events << QStringLiteral("record ") + text; }
    void setOutput(int out, int on) override { events << QStringLiteral("out %1 %2").arg(out).arg(on); }
    void flashOutputs() override { events << QStringLiteral("flash"); }
    void showLostCameraBox() override { events << QStringLiteral("show lost box"); }
    void hideLostCameraBox() override { events << QStringLiteral("hide lost box"); }
    void showReconnectCameraBox() override { events << QStringLiteral("show reconnect box"); }
    void showWarnBox(const QString& text) override { events << QStringLiteral("warn ") + text; }
    void hideWarnBox() override { events << QStringLiteral("hide warn"); }
    void repaintNow() override {}
    void clearCameraOk(int slot) override { events << QStringLiteral("not ok %1").arg(slot); }
    void repaintView(int) override {}
    QSqlDatabase serialDatabase() override { return QSqlDatabase::database(dbConnection); }
};

using FakeCameraHost = FakeCameraHostBase<CameraHost>;

// Resets the camera globals to a state before the probe.
inline void resetCameraGlobals(int isColor = 0, int isCut = 1)
{
    gisColor = isColor;
    gisCut = isCut;
    gCameraID = 0;
    gFindCamera = 0;
    gOW = gOH = 0;
    gSensorColor = 0;
    gisLost = 0;
    gLost = 0;
    numCamera = 0;
    gSource = PictureSourceNone;
    gTempTime.clear();
    for (int k = 0; k < kCameraSlots; ++k) {
        std::memset(gSerialNB[k], 0, kSerialTextSize);
        gSerialNB[k][0] = '0';
        gCamNO[k] = k;
        gContrast[k] = 0;
    }
}

// The geometry step the main window runs right after the probe.
inline void applyGeometry()
{
    gImageLen = gImageW * gImageH;
    gColorLen = gisColor ? 4 * gImageLen : gImageLen;
}
