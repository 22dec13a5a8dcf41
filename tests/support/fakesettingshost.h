#pragma once
// The settings dialog's host for tests: every call recorded as one line,
// the window's switches as plain fields, the service gate and the camera
// count as the test sets them.  applyCameraSetting also records the value
// the camera code would read now (the edit copy while the dialog is shown).
#include "confirmplan.h"
#include "settingshost.h"
#include "wizardpara.h"

#include <QSqlDatabase>
#include <QStringList>

#include <functional>

class FakeSettingsHost : public SettingsHost {
public:
    QStringList calls;
    int level = 0;
    bool rootAnswer = true;
    bool rawImages = false;
    int captureMode = 0;
    int leftPair = 1;
    int cameras = 1;
    QSqlDatabase db;
    // Whether the camera code reads the edit copy (the dialog's shown flag).
    std::function<bool()> editCopyInForce;
    // What each camera holds, as the setters left it: [slot][setting].
    int camera[8][7] = {};
    bool copyFails = false;
    // The one-key exposure run in progress: its end is the test's call.
    std::function<void(const OneKeyExposureResult&)> exposureDone;

    int accessLevel() const override { return level; }
    void setAccessLevel(int l) override { level = l; calls << QStringLiteral("level %1").arg(l); }
    bool CheckRoot() override { calls << QStringLiteral("CheckRoot"); return rootAnswer; }
    bool saveRawImages() const override { return rawImages; }
    void setSaveRawImages(bool on) override { rawImages = on; }
    int captureModeCopy() const override { return captureMode; }
    void setCaptureModeCopy(int m) override { captureMode = m; calls << QStringLiteral("captureMode %1").arg(m); }
    int leftPairActive() const override { return leftPair; }
    void setLeftPairActive(int on) override { leftPair = on; }
    int cameraCount() const override { return cameras; }
    void applyCameraSetting(int slot, CameraSetting s) override
    {
        const WizardPara* w = editCopyInForce && editCopyInForce() ? gpWParaBak : gpWPara;
        int v = 0;
        if (w && slot >= 0 && slot < 8) {
            switch (s) {
            case CameraSetting::Exposure: v = w->exposure[slot]; break;
            case CameraSetting::Gain: v = w->gain[slot]; break;
            case CameraSetting::Sharpness: v = w->sharpness[slot]; break;
            case CameraSetting::Contrast: v = w->contrast[slot]; break;
            case CameraSetting::Gamma: v = w->gamma[slot]; break;
            case CameraSetting::HMirror: v = w->hMirror[slot]; break;
            case CameraSetting::VMirror: v = w->vMirror[slot]; break;
            }
            camera[slot][int(s)] = v;
        }
        calls << QStringLiteral("apply %1 %2 %3").arg(slot).arg(int(s)).arg(v);
    }
    void restoreCameraDefaults(int slot) override { calls << QStringLiteral("restore %1").arg(slot); }
    void changeCameraTrigger(int slot) override { calls << QStringLiteral("trigger %1").arg(slot); }
    void applyCaptureSpeed() override { calls << QStringLiteral("speed"); }
    void showCameraAlone(int slot) override { calls << QStringLiteral("alone %1").arg(slot); }
    void repaintViews() override { calls << QStringLiteral("repaint"); }
    void startOneKeyExposure(int slot, std::function<void(const OneKeyExposureResult&)> done) override
    {
        calls << QStringLiteral("exposure start %1").arg(slot);
        exposureDone = std::move(done);
    }
    void cancelOneKeyExposure() override
    {
        calls << QStringLiteral("exposure cancel");
        exposureDone = nullptr;
    }
    // Runs inside every engine call (a test's clock advance).
    std::function<void()> onTrain;
    void createShape(int c, int d) override
    {
        calls << QStringLiteral("CreateShape %1 %2").arg(c).arg(d);
        if (onTrain)
            onTrain();
    }
    void varTrain(int c, int d) override
    {
        calls << QStringLiteral("VarTrain %1 %2").arg(c).arg(d);
        if (onTrain)
            onTrain();
    }
    bool saveCopiedAreas(int slot, int mode, QSqlDatabase, QString* error) override
    {
        calls << QStringLiteral("copyAreas %1 %2").arg(slot).arg(mode);
        if (copyFails && error)
            *error = QStringLiteral("refused");
        return !copyFails;
    }
    void commitCopiedAreas() override { calls << QStringLiteral("commitAreas"); }
    void dropCopiedAreas() override { calls << QStringLiteral("dropAreas"); }
    QSqlDatabase paramDatabase() override { return db; }
    void changeDetectNum(int n) override { calls << QStringLiteral("ChangeDetectNum %1").arg(n); }
    void resetCycleForDetectCount(const confirmplan::StepCountChange& s) override
    {
        calls << QStringLiteral("resetCycle %1").arg(s.steps);
    }
    void sideBarShowHide(int mode) override { calls << QStringLiteral("ShowHide %1").arg(mode); }
    void sideBarResetManualTrig() override { calls << QStringLiteral("ResetComboChooseManualTrig"); }
    void sideBarResetCaptureMode() override { calls << QStringLiteral("ReSetCaptureMode"); }
    void insertRecord(const QString& text) override { calls << QStringLiteral("record ") + text; }
    void countWrite() override { calls << QStringLiteral("CountWrite"); }
    void showDetectCycle() override { calls << QStringLiteral("detectCycle"); }

    // <NETWORK> network page
    // The system's interfaces as the program's reader would give them;
    // without a reader nothing is read.
    bool hasNetCardReader = true;
    NetCard systemCard;
    bool readSystemNetCard(NetCard& card) override
    {
        calls << QStringLiteral("readNetCard");
        if (!hasNetCardReader)
            return false;
        card.cardInfo = systemCard.cardInfo;
        card.hostName = systemCard.hostName;
        return true;
    }
    // The test's other-network dialog, null: none.
    class OtherNetDialog* otherNet = nullptr;
    OtherNetDialog* otherNetDialog() override { return otherNet; }
    // </NETWORK>

    // <MULTIDETECT> multi-detection and I/O names
    // The test's I/O-name dialog, null: none.
    class QWidget* ioNames = nullptr;
    QWidget* ioNameDialog() override
    {
        calls << QStringLiteral("ioNameDialog");
        return ioNames;
    }
    // </MULTIDETECT>

    // <RECORD> record page and export
    QSqlDatabase recordDb;                       // today's RECORD.db
    QString recordDir = QStringLiteral("./RECORD");
    QSqlDatabase recordDatabase() override { return recordDb; }
    QString recordDirectory() const override { return recordDir; }
    // </RECORD>

    // <GROUPS> parameter groups
    // </GROUPS>

    // <MAINTENANCE> maintenance
    // </MAINTENANCE>

    // <DIALOGS> window dialogs
    // </DIALOGS>

    // The calls starting with prefix.
    QStringList callsOf(const QString& prefix) const
    {
        QStringList out;
        for (const QString& c : calls)
            if (c.startsWith(prefix))
                out << c;
        return out;
    }
};
