#pragma once
// The settings dialog's host in the program: forwards to the main window,
// its camera views and its side bar.
#include "settingshost.h"

#include "cammersingleton.h"
#include "cycletimer.h"

#include <array>
#include <memory>

class MoJuWizard;
class SettingsPage;

class MoJuWizardSettingsHost : public SettingsHost {
public:
    explicit MoJuWizardSettingsHost(MoJuWizard& window);
    ~MoJuWizardSettingsHost() override;

    int accessLevel() const override;
    void setAccessLevel(int level) override;
    bool CheckRoot() override;
    bool saveRawImages() const override;
    void setSaveRawImages(bool on) override;
    int captureModeCopy() const override;
    void setCaptureModeCopy(int mode) override;
    int leftPairActive() const override;
    void setLeftPairActive(int on) override;
    int cameraCount() const override;
    void applyCameraSetting(int slot, CameraSetting setting) override;
    void restoreCameraDefaults(int slot) override;
    void changeCameraTrigger(int slot) override;
    void applyCaptureSpeed() override;
    void showCameraAlone(int slot) override;
    void repaintViews() override;
    void startOneKeyExposure(int slot, std::function<void(const OneKeyExposureResult&)> done) override;
    void cancelOneKeyExposure() override;
    void createShape(int slot, int detection) override;
    void varTrain(int slot, int detection) override;
    bool saveCopiedAreas(int slot, int systemMode, QSqlDatabase db, QString* error) override;
    void commitCopiedAreas() override;
    void dropCopiedAreas() override;
    QSqlDatabase paramDatabase() override;
    void changeDetectNum(int count) override;
    void resetCycleForDetectCount(const confirmplan::StepCountChange& change) override;
    void sideBarShowHide(int mode) override;
    void sideBarResetManualTrig() override;
    void sideBarResetCaptureMode() override;
    void insertRecord(const QString& text) override;
    void countWrite() override;
    void showDetectCycle() override;

    // <NETWORK> network page
    bool readSystemNetCard(struct NetCard& card) override;
    // The window's otherNetDialog when it is one.
    class OtherNetDialog* otherNetDialog() override;
    // What reads the system's interfaces; the link's reader, installed by
    // the program's start-up (settings/ cannot reach it).  Null: none.
    static std::function<struct NetCard()>& systemNetCardReader();
    // </NETWORK>

    // <MULTIDETECT> multi-detection and I/O names
    class QWidget* ioNameDialog() override;
    // </MULTIDETECT>

    // <RECORD> record page and export
    QSqlDatabase recordDatabase() override;
    QString recordDirectory() const override;
    // </RECORD>

    // <GROUPS> parameter groups
    // </GROUPS>

    // <MAINTENANCE> maintenance
    // </MAINTENANCE>

    // <DIALOGS> window dialogs
    // </DIALOGS>

private:
    MoJuWizard& w_;
    // Area sets CopyPara rewrote and the save wrote, waiting for the commit.
    struct PendingAreas {
        std::unique_ptr<CammerSingleton> set;
        AreaMaskArray masks;
    };
    std::array<PendingAreas, kCameraSlots> pending_;
    std::unique_ptr<QtCycleTimerFactory> timers_;
    std::unique_ptr<OneKeyExposure> exposure_;
    std::function<void(const OneKeyExposureResult&)> exposureDone_;
};

// The settings dialog over window, with this host: the factory the program's
// start-up installs (setSettingsPageFactory).
SettingsPage* MakeSettingsDialog(MoJuWizard& window);
class WizardParaWidget;
// The I/O-name dialog (wizardparawidget_multidetect.cpp).
void MakeIoNameDialog(MoJuWizard& window, WizardParaWidget& dialog);
// The help page, the renumbering and cavity dialogs and the configuration
// viewer (windowdialogs.cpp).
void MakeWindowDialogs(MoJuWizard& window, WizardParaWidget& dialog);
