#pragma once
// An area page host for tests: the fake slot host plus the page's services,
// each call kept as a line of events, and the cycle's answers as plain
// fields the test sets.
#include "areapagehost.h"
#include "drawroiwidget.h"
#include "fakeslothost.h"

#include <QString>

#include <functional>

class CammerWidget;

class FakeAreaPageHost : public FakeSlotHostBase<AreaPageHost> {
public:
    // The camera slots the test built; slot c counts as in use below numCamera.
    CammerWidget* cameraSlots[kCameraSlots] = {};
    // The page once built: the views then read its record pictures.
    DrawROIWidget* page = nullptr;

    bool lastVerdictNg = false;
    bool safeDoorOpened = false;
    int passwordLevel = 1;   // what CheckPassword answers
    bool commandPasswordOk[2] = {true, true};
    bool userReCheck = false;
    bool fromTrain = false;
    bool statusStripShown = true;
    int helpIndex = -1;
    QString imageRoot = QStringLiteral("./alarmimage");
    // What the cycle's half of "Re-detected" does besides being recorded
    // (e.g. end the alarm); the test sets it.
    std::function<void()> onReDetect;
    std::function<void(int d)> onAutogeneration;

    RecordPictures& recordPictures() override { return page ? page->records : records; }
    bool areaPageAtLeft() const override { return page ? page->pageAtLeft : pageAtLeft; }
    CammerWidget* cameraSlot(int c) override { return c >= 0 && c < numCamera && c < kCameraSlots ? cameraSlots[c] : nullptr; }
    void setPageMode(int mode) override
    {
        pageMode = mode;
        events << QStringLiteral("page mode %1").arg(mode);
    }
    bool cycleLastVerdictNg() const override { return lastVerdictNg; }
    bool safetyDoorOpened() const override { return safeDoorOpened; }

    int CheckPassword() override
    {
        events << QStringLiteral("check password");
        return passwordLevel;
    }
    bool commandPasswordAccepted(AreaPageCommand command) override
    {
        events << QStringLiteral("command password %1").arg(int(command));
        return commandPasswordOk[command];
    }

    void reDetectHeld() override
    {
        events << QStringLiteral("re-detect held");
        if (onReDetect)
            onReDetect();
    }
    void ResetRun() override { events << QStringLiteral("reset run"); }
    void setUserReCheck(bool on) override
    {
        userReCheck = on;
        events << QStringLiteral("user re-check %1").arg(on ? 1 : 0);
    }
    void CheckNG() override { events << QStringLiteral("check ng"); }
    bool takeFromTrain() override
    {
        const bool was = fromTrain;
        fromTrain = false;
        return was;
    }
    void BackTrain() override { events << QStringLiteral("back train"); }

    void showStatusStrip() override
    {
        statusStripShown = true;
        events << QStringLiteral("show status strip");
    }
    void hideStatusStrip() override
    {
        statusStripShown = false;
        events << QStringLiteral("hide status strip");
    }
    void showHelpPage(int index) override
    {
        helpIndex = index;
        events << QStringLiteral("help page %1").arg(index);
    }
    void hideKeypads() override { events << QStringLiteral("hide keypads"); }
    QString failImageDir(int c, int d, int kind) const override
    {
        return QStringLiteral("%1//camera%2//detect%3//%4")
            .arg(imageRoot)
            .arg(c + 1)
            .arg(d + 1)
            .arg(kind ? QStringLiteral("OK") : QStringLiteral("NG"));
    }
    void AutogenerationRegion(int d) override
    {
        events << QStringLiteral("autogeneration %1").arg(d);
        if (onAutogeneration)
            onAutogeneration(d);
    }
    void repaintAll() override { events << QStringLiteral("repaint all"); }
};
