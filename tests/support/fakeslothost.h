#pragma once
// A slot host for tests and tools: the recording camera host, plus the view
// fields, the cycle's values as plain fields the test sets, and every
// service request kept as a line of events.
#include "enginehost.h"
#include "fakecamerahost.h"
#include "slothost.h"
#include "wizardpara.h"

#include <QString>

#include <functional>

// Host is SlotHost or an interface derived from it (the area page's).
template <class Host>
class FakeSlotHostBase : public FakeCameraHostBase<Host> {
public:
    using FakeCameraHostBase<Host>::events;

    ViewState view;
    RecordPictures records;
    FixedEngineHost engine;
    WizardPara para;
    QString paramConnection;

    int pageMode = PageModeNone;
    int resultPhase = PhaseShown;
    int currentDetect = 0;
    bool skipActive = false;
    int skipCount = 0;
    float delayCountdown[kDetections] = {};
    bool delayTimerRunning[kDetections] = {};
    int failImageState[kCameraSlots][kDetections] = {};
    bool safetyDoorFired = false;

    bool sideBarShown = true;
    bool pageAtLeft = false;
    // The camera slots once built; until then the recording back-ends.
    CameraBackend* slotBackends[kCameraSlots] = {};
    QString cavityNames[kCameraSlots][16];

    CameraBackend* cameraBackend(int slot) override
    {
        return slotBackends[slot] ? slotBackends[slot] : FakeCameraHostBase<Host>::cameraBackend(slot);
    }
    ViewState& viewState() override { return view; }

    int cyclePageMode() const override { return pageMode; }
    int cycleResultPhase() const override { return resultPhase; }
    int cycleCurrentDetect() const override { return currentDetect; }
    bool cycleSkipActive() const override { return skipActive; }
    int cycleSkipCount() const override { return skipCount; }
    float cycleDelayCountdown(int k) const override { return inDetections(k) ? delayCountdown[k] : 0.0f; }
    bool cycleDelayTimerRunning(int k) const override { return inDetections(k) && delayTimerRunning[k]; }

    int& cycleFailImageState(int camera, int d) override { return failImageState[camera][d]; }
    bool cycleSafetyDoorFired() const override { return safetyDoorFired; }

    EngineHost& engineHost() override { return engine; }
    QSqlDatabase paramDatabase() override { return QSqlDatabase::database(paramConnection); }
    WizardPara& liveParameters() override { return para; }

    void ChangeCammer() override { events << QStringLiteral("change cammer %1").arg(view.viewCamera); }

    void restartSideBarHideTimer(int ms) override { events << QStringLiteral("side bar timer %1").arg(ms); }
    bool sideBarVisible() const override { return sideBarShown; }
    void showSideBar() override
    {
        sideBarShown = true;
        events << QStringLiteral("show side bar");
    }
    void unfoldSideBar() override { events << QStringLiteral("unfold side bar"); }

    QString cavityName(int camera, int k) const override
    {
        if (camera < 0 || camera >= kCameraSlots || k < 0 || k >= 16)
            return {};
        return cavityNames[camera][k];
    }

    RecordPictures& recordPictures() override { return records; }
    void setAreaPageCamera(int camera) override { events << QStringLiteral("area page camera %1").arg(camera); }
    void startDrawHintTimer() override { events << QStringLiteral("draw hint timer"); }
    bool areaPageAtLeft() const override { return pageAtLeft; }
    // What the page's polygon button does; the test sets it.
    std::function<void()> drawPolygonButton;
    void areaPageDrawPolygon() override
    {
        events << QStringLiteral("draw polygon button");
        if (drawPolygonButton)
            drawPolygonButton();
    }

private:
    static bool inDetections(int k) { return k >= 0 && k < kDetections; }
};

class FakeSlotHost : public FakeSlotHostBase<SlotHost> {};
