#pragma once
// The main window.  It owns the three database connections, the parameter
// records (gpWPara and gpWParaBak point at them while it lives), the
// operation record and the shared boxes, and runs the start-up checks.  It
// is the camera code's host (AreaPageHost, and so SlotHost and CameraHost:
// gpCameraHost) and the detection cycle's host (CycleHost); the cycle's state lives in it
// under its member names (CycleState, ViewState) and the CycleController
// works on that state.  The camera views and the pages join it as their
// subsystems land (see ARCHITECTURE.md).
#include "cycleports.h"
#include "cyclestate.h"
#include "enginehost.h"
#include "keypadhost.h"
#include "runcontrol.h"
#include "areapagehost.h"

#include <QPointer>
#include <memory>
#include <QSqlDatabase>
#include <QVector>
#include <QWidget>
#include <QtGui/qrgb.h>

class CammerWidget;
class ColorButton;
class ControlPort;
class CycleController;
class DrawROIWidget;
class Edit;
class OperationRecord;
class PasswordDialog;
class QTimer;
class SaveFialImageThread;
class SettingsPage;
class TouchHost;
class WarnBox;
class WizardPara;

class MoJuWizard : public QWidget,
                   public AreaPageHost,
                   public CycleHost,
                   public RunControlHost,
                   public CycleState,
                   public ViewState {
    Q_OBJECT
public:
    explicit MoJuWizard(QWidget* parent = nullptr);
    ~MoJuWizard() override;

    // Access level of the operator (AccessLevelNone/Primary/Advanced).
    int accessLevel = 0;

    QSqlDatabase dbParam;    // "dbIn", PARAM.db
    QSqlDatabase dbRecord;   // "dbRecord", RECORD.db
    QSqlDatabase dbSerial;   // "dbT", SN.db

    // The camera views by slot, all eight built at start-up; slots
    // 0 .. numCamera - 1 are in use.
    CammerWidget* cameraViews[kCameraSlots] = {};

    // The pages and dialogs, children of the window (the cavity dialog is a
    // window of its own).  Status strip, side bar and area page are always
    // built; the settings dialog and its side dialogs (help page,
    // renumbering, other-network, I/O names, cavity names, hardware
    // configuration) come from the settings factory the start-up installs,
    // and the statistics page only with statistics on.  Without them (tests
    // of the window alone) they stay null, so every use checks.
    class IOStatusWidget* statusStrip = nullptr;
    class IndexButton* sideBar = nullptr;
    DrawROIWidget* areaPage = nullptr;
    SettingsPage* settingsPage = nullptr;   // a child of the window
    QWidget* helpPage = nullptr;
    QWidget* cameraNumberDialog = nullptr;
    QWidget* otherNetDialog = nullptr;
    QWidget* ioNameDialog = nullptr;
    QWidget* cavityDialog = nullptr;
    QWidget* hardwareConfigViewer = nullptr;
    // The cavity dialog's names for the views; null: no names.
    class CavityNameSource* cavityNames = nullptr;
    QWidget* statisticsPage = nullptr;

    // Result-picture folders [camera][detection][0 NG, 1 OK], made at
    // start-up, and the next picture's number (the writer's once it runs).
    QString failImageDirs[kCameraSlots][kDetections][2];
    qint64 failImageSerial = 100000;
    QString recordDir;       // "./RECORD"
    QString statisticsDir;   // "./ResStatistics"

    // The zoom column of the single view (ZoomButton order) and the 30 s
    // fold after the last press.
    ColorButton* zoomButtons[7] = {};
    QTimer* zoomHideTimer = nullptr;
    QTimer* fpsTimer = nullptr;          // 1 s: heartbeat lamp, stall watch, frame rates
    QTimer* drawHintTimer = nullptr;     // 3 s after an area slider moved: repaint
    QTimer* detectCycleTimer = nullptr;  // 60 s: the cycle-time log's turn

    int screenOff = 0;       // backlight off; written only by LCDOnOff
    int calibrationArmed = 0;
    QTimer* calibrationTimer = nullptr;  // 3 s long press, runs TSClibrate
    QTimer* logoutTimer = nullptr;       // runs TimerLogout
    QTimer* screenOffTimer = nullptr;    // runs TimerLCD
    QTimer* dateCheckTimer = nullptr;    // 60 s, runs SlotCheckDate
    const QVector<QRgb>* grayColorTable = nullptr;  // GrayColorTable(), shared with the views
    qint64 clockFloorMs = 0;             // earliest valid clock time, from realytime.txt

    // The window's own non-blocking boxes (never the shared gpWarnBox, which
    // a page may hold open in exec()): the no-input watchdog and the camera
    // loss notice.  The lost-link alarm boxes are the globals of
    // lostlinkboxes.h.
    WarnBox* noInputBox = nullptr;
    WarnBox* cameraNoticeBox = nullptr;

    // Every output word the start-up published, as applied to the board,
    // until the main loop's first pass is due (the fail-safe start is
    // checked against it).
    QList<int> startupOutputWords;

    OperationRecord* operationRecord() const { return record_; }
    CycleController* cycle() const { return controller_.get(); }

    // The field the on-screen keypads type into; cleared when it goes away.
    QPointer<Edit> keypadTarget;

    // CameraHost.
    CameraBackend* cameraBackend(int slot) override;
    bool settingsPageVisible() const override;
    CameraValues cameraValues(int slot, bool editCopy) const override;
    CameraSwitches cameraSwitches(bool editCopy) const override;
    void storeEditCameraValues(int slot, const CameraValues& values) override;
    void insertRecord(const QString& text) override { InsertRecord(text); }
    void setOutput(int out, int on) override;
    void flashOutputs() override;
    void showLostCameraBox() override;
    void hideLostCameraBox() override;
    void showReconnectCameraBox() override;
    void showWarnBox(const QString& text) override;
    void hideWarnBox() override;
    void repaintNow() override;
    void clearCameraOk(int slot) override;
    void repaintView(int slot) override;
    QSqlDatabase serialDatabase() override { return dbSerial; }

    // SlotHost.
    ViewState& viewState() override { return *this; }
    int cyclePageMode() const override { return pageMode; }
    int cycleResultPhase() const override { return resultPhase; }
    int cycleCurrentDetect() const override { return currentDetect; }
    bool cycleSkipActive() const override { return skipActive; }
    int cycleSkipCount() const override { return skipCount; }
    float cycleDelayCountdown(int k) const override;
    bool cycleDelayTimerRunning(int k) const override;
    int& cycleFailImageState(int camera, int d) override { return failImageState[camera][d]; }
    bool cycleSafetyDoorFired() const override { return safetyDoorFired != 0; }
    EngineHost& engineHost() override { return engineHost_; }
    QSqlDatabase paramDatabase() override { return dbParam; }
    WizardPara& liveParameters() override;
    void ChangeCammer() override;
    void restartSideBarHideTimer(int ms) override;
    bool sideBarVisible() const override;
    void showSideBar() override;
    void unfoldSideBar() override;
    QString cavityName(int camera, int k) const override;
    RecordPictures& recordPictures() override;
    void setAreaPageCamera(int camera) override;
    void startDrawHintTimer() override;
    bool areaPageAtLeft() const override;
    void areaPageDrawPolygon() override;

    // AreaPageHost (mojuwizard_areapage.cpp); CheckPassword, ResetRun,
    // CheckNG, BackTrain and AutogenerationRegion are the window's own.
    CammerWidget* cameraSlot(int c) override;
    void setPageMode(int mode) override { pageMode = mode; }
    bool cycleLastVerdictNg() const override { return lastVerdictNg; }
    bool safetyDoorOpened() const override;
    bool commandPasswordAccepted(AreaPageCommand command) override;
    void reDetectHeld() override;
    void setUserReCheck(bool on) override { userReCheck = on; }
    bool takeFromTrain() override;
    void showStatusStrip() override;
    void showHelpPage(int index) override;
    void hideKeypads() override;
    QString failImageDir(int c, int d, int kind) const override;
    void repaintAll() override;

    // CycleHost.
    bool lostLinkBoxVisible() const override;
    QString lostLinkBoxText() const override;
    void showLostLinkBox(const QString& text) override;
    void setLostLinkBoxText(const QString& text) override;
    void showNoInputBox(const QString& text) override;
    void hideNoInputBox() override;
    void areaPageReset(bool live) override;
    void areaPageRestart() override;
    bool areaPageVisible() const override;
    void clickReCheckButton() override;
    void CheckArea(bool ask) override;
    void hideHelpPage() override;
    void hideSettingsPage() override;
    void hideSideBar() override;
    void setSkipButtonText(const QString& text) override;
    void setStartStopButtonText(const QString& text) override;
    void repaintWindow() override;
    void repaintStatusStrip() override;
    void CameraCheck(int camera) override;
    void CameraRestart() override;
    bool screenIsOff() const override { return screenOff != 0; }
    void LCDOnOff(int on) override;
    void restartScreenOffTimer() override;

    // RunControlHost (mojuwizard_commands.cpp).
    bool settingsOrAreaPageVisible() const override;
    bool anyPageVisible() const override;
    int ask(int messageId, const QString& text) override;
    void warn(int messageId, const QString& text) override;
    void SlotTempDeleteAll() override;
    void AutogenerationRegion(int d) override;
    void showCavityBoxes(int camera) override;
    void hideStatusStrip() override;
    int CurChooseTrig() const override;
    void ReSetCaptureMode() override;
    void SaveSN(int clear) override;

    RunControl* runControl() const { return runControl_.get(); }

    // The login prompt is showing (the keypad's Confirm then submits it).
    bool passwordBoxVisible() const;

signals:
    // Declared for the area page's NG warning; nothing emits it.
    void sigROINGWarm();

public slots:
    void InsertRecord(const QString& text);
    void ClearRecord();
    void SlotCheckDate();
    void FLushAll();
    void CountRead();
    void CountWrite() override;
    void TSClibrate();
    void TimerLogout();
    void TimerLCD();

    // Layout and navigation (windowlayout.cpp).
    void MShowHide(int type);
    void MEnlargeScale();
    void MRecovery();
    void MReductionScale();
    void MScale(int delta);
    void MTimerScale();
    void SlotMove(int dx, int dy);
    void SlotMoveT();
    void SlotMoveB();
    void SlotMoveL();
    void SlotMoveR();
    void SlotReturn();
    void SlotHelp();
    void SlotShowStatisticsWidget();
    void SlotSystemPara();
    void SlotFPS();
    void SlotDrawHint();
    void SlotDetectCycle();

    // Hands the picture writer the camera and detection counts and the
    // pictures kept, as they are now (also done every second).
    void PublishWriterCounts();

    // The detection cycle, forwarded to the controller under its names.
    void Run();
    void TimerCheckInput0();
    void TimerCheckInput1();
    void TimerCheckInput2();
    void TimerCheckInput3();
    void TimerCheckInput4();
    void TimerCheckInput5();
    void TimerCheckInput6();
    void TimerCheckInput7();
    void TimerCheckInput8();
    void InCheck();
    void SlotTImerSafeDoor();
    void TimerUp0();
    void TimerUp1();
    void TimerUp2();
    void TimerUp3();
    void TimerUp4();
    void TimerUp5();
    void TimerUp6();
    void TimerUp7();
    void CheckNG() override;
    void TimerShow();
    void OutTimerOutNG();
    void OutTimerNotAllowClose();
    void OutTimerNotAllowThimble();
    void OutTimerSysFunc4Output();
    void StartDetect();
    void StopDetect();
    void SetStopDetect();
    void ResetRun() override;

    // Run control, forwarded to RunControl (mojuwizard_commands.cpp).
    void SlotStartStop();
    void SlotReTrain();
    void BackTrain() override;
    void SlotStartSkipDetect();
    void SlotManualTrig(int d);
    void SlotManualTrig0();
    void SlotManualTrig1();
    void SlotMuliManualTrig();
    void CameraChangeTrig();
    void SlotAdjustArea();
    int CheckPassword() override;
    bool CheckRoot();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Returns the messages it showed.
    QList<int> OpenDatabases();
    void CheckClock();
    // The board link and the logical I/O layer; mould closing blocked at once.
    void StartIO();
    // The cycle controller over this window's state, with its timers.
    void MakeCycle();
    WarnBox* MakeOwnBox();
    // Runs and removes an update script left in the program directory.
    void RunUpdateScript();
    // The eight camera views, then the questions on the camera count.
    void MakeCameraViews();
    void AskCameraCount();
    // The zoom column, hidden (windowlayout.cpp).
    void MakeZoomButtons();
    // The result-picture, template and raw-picture folders of every camera
    // in use; then the numbering repair over the result folders.
    void MakePictureFolders();
    void StartPictureWriter();
    // The window's pieces, split over files by concern:
    // the lost-link and lost-camera boxes (mojuwizard_boxes.cpp), step 5;
    void MakeLostLinkBoxes();
    // the status strip (mojuwizard_strip.cpp) and the side bar
    // (mojuwizard_sidebar.cpp), step 20, with the user accounts store;
    void MakeStatusStrip();
    void MakeSideBar();
    void OpenUserStore();
    // the area page (mojuwizard_areapage.cpp), hidden at once;
    void MakeAreaPage();
    // the login prompt and the access gate (mojuwizard_access.cpp), step 23.
    void MakePasswordBox();
    // The prompts behind the run control's gates, made on first use.
    AccessGate* accessGate();
    // Restarts the fold of the zoom column (every zoom button).
    void RestartZoomHideTimer();
    // The run-control commands over this window (mojuwizard_commands.cpp);
    // made right after the cycle controller.
    void MakeRunControl();

    OperationRecord* record_ = nullptr;
    // The records behind gpWPara and gpWParaBak.
    std::unique_ptr<WizardPara> para_;
    std::unique_ptr<WizardPara> paraBak_;
    std::unique_ptr<KeypadHost> keypadHost_;
    std::unique_ptr<TouchHost> touchHost_;
    // The logical I/O layer behind gpControlIO, with the board thread.
    std::unique_ptr<ControlPort> io_;
    WizardParaEngineHost engineHost_;
    // The views' record pictures until the area page exists.
    RecordPictures recordPictures_;
    // The one-shot prompts of "Don't Detect" and "Add As Temp" (by
    // AreaPageCommand), made on first use and kept.
    PasswordDialog* commandPasswords_[2] = {};
    std::unique_ptr<CycleController> controller_;
    std::unique_ptr<RunControl> runControl_;
    std::unique_ptr<AccessGate> accessGate_;
    // The result-picture writer behind gpSaveFialImageThread, and the gate
    // through which its passes read the counts and learn that the window goes.
    struct WriterGate;
    std::shared_ptr<WriterGate> writerGate_;
    std::unique_ptr<SaveFialImageThread> writer_;
};

// The main window, set by its constructor before anything reads it.
extern MoJuWizard* gpWin;

// The help page's chapter, set before the help page is shown.
extern int gHelpC;

// Backlight on (non-zero) or off; keeps gpWin->screenOff in step.
void LCDOnOff(int on);

// Name of the file holding the earliest valid clock time (ms since the epoch).
extern const char* const kClockFloorFile;
