#include "mojuwizard.h"

#include "cavitynamesource.h"
#include "settingspage.h"

#include "cameragrid.h"
#include "cameraprobe.h"
#include "cammerwidget.h"
#include "choosebox.h"
#include "clock.h"
#include "controlport.h"
#include "copy2movedisk.h"
#include "cyclecontroller.h"
#include "cycletimer.h"
#include "iothread.h"
#include "commandrunner.h"
#include "cameraglobals.h"
#include "cyclecounters.h"
#include "databaseopener.h"
#include "edit.h"
#include "globals.h"
#include "graycolortable.h"
#include "logmanager.h"
#include "lostlinkboxes.h"
#include "mapplication.h"
#include "messages.h"
#include "mindvisionsdk.h"
#include "modifytimewidget.h"
#include "editdatetime.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "operationrecord.h"
#include "paneldevice.h"
#include "passwordbox.h"
#include "picturenumbering.h"
#include "recordsport.h"
#include "othernetfactory.h"
#include "relaylink.h"
#include "savefialimagethread.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QScreen>
#include <QTimer>
#include <glog/logging.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

MoJuWizard* gpWin = nullptr;
const char* const kClockFloorFile = "realytime.txt";

namespace {
// The keypads' view of the main window.
class MainKeypadHost : public KeypadHost {
public:
    explicit MainKeypadHost(MoJuWizard* w) : w_(w) {}
    Edit* keypadTarget() const override { return w_->keypadTarget; }
    void setKeypadTarget(Edit* field) override { w_->keypadTarget = field; }
    bool passwordBoxVisible() const override { return w_->passwordBoxVisible(); }
    void repaintMainWindow() override { w_->update(); }
    bool screenOff() const override { return w_->screenOff != 0; }
    void switchScreenOn() override { LCDOnOff(1); }
    int screenOffSeconds() const override { return gpWPara ? gpWPara->screenOffSeconds : 0; }
    void restartScreenOffTimer(int ms) override
    {
        if (w_->screenOffTimer && ms > 0)
            w_->screenOffTimer->start(ms);
    }
private:
    MoJuWizard* w_;
};

// The application object's view of the main window.
class MainTouchHost : public TouchHost {
public:
    explicit MainTouchHost(MoJuWizard* w) : w_(w) {}
    QTimer* logoutTimer() override { return w_->logoutTimer; }
    QTimer* screenOffTimer() override { return w_->screenOffTimer; }
    QTimer* calibrationTimer() override { return w_->calibrationTimer; }
    int calibrationArmed() const override { return w_->calibrationArmed; }
    void setCalibrationArmed(int armed) override { w_->calibrationArmed = armed; }
    int screenOff() const override { return w_->screenOff; }
    void LCDOnOff(int on) override { ::LCDOnOff(on); }
    void FLushAll() override { w_->FLushAll(); }
    void ReopenAll() override { w_->operationRecord()->ReopenAll(); }
private:
    MoJuWizard* w_;
};
}

// The writer's view of the counts it visits and keeps: copies the GUI
// thread publishes (at start-up and every second), since the globals behind
// them are plain values the GUI thread changes.  Once the window goes the
// gate answers 0 and asks the thread to end, and the window learns that the
// thread has left the window's data through the gate's lock, a hand-over
// the thread checker sees (Qt's own join it does not).
struct MoJuWizard::WriterGate {
    enum Count { Cameras, Detections, KeepNg, KeepOk };
    std::mutex m;
    std::condition_variable cv;
    int counts[4] = {};
    bool closing = false;
    bool left = false;

    int read(Count which)
    {
        std::lock_guard<std::mutex> lock(m);
        if (!closing)
            return counts[which];
        if (!left) {
            QThread::currentThread()->requestInterruption();
            left = true;
            cv.notify_all();
        }
        return 0;
    }

    void publish()
    {
        std::lock_guard<std::mutex> lock(m);
        counts[Cameras] = numCamera;
        counts[Detections] = gDNum;
        counts[KeepNg] = gPicNumNG;
        counts[KeepOk] = gPicNumOK;
    }

    // GUI thread: closes the gate and waits (bounded) until the writer saw it.
    void close(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(m);
        closing = true;
        cv.wait_for(lock, limit, [this] { return left; });
    }
};

void LCDOnOff(int on)
{
    PanelBacklight(on);
    if (gpWin)
        gpWin->screenOff = on ? 0 : 1;
}

MoJuWizard::MoJuWizard(QWidget* parent) : QWidget(parent)
{
    // Of the FFmpeg registrations only these two remain; the UVC capture
    // path relies on them.
    avformat_network_init();
    avdevice_register_all();
    gpWin = this;
    gpCameraHost = this;
    setWindowFlags(windowFlags() | Qt::CustomizeWindowHint);
    keypadHost_ = std::make_unique<MainKeypadHost>(this);
    setKeypadHost(keypadHost_.get());
    touchHost_ = std::make_unique<MainTouchHost>(this);
    if (auto* app = qobject_cast<MApplication*>(QCoreApplication::instance()))
        app->setTouchHost(touchHost_.get());

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        gShowW = screen->geometry().width();
        gShowH = screen->geometry().height();
    }
    setFixedSize(gShowW, gShowH);   // the panel has no window manager

    RunUpdateScript();

    forcedDetect = -1;
    runState = RunStateDetecting;
    pageMode = PageModeNone;
    resultPhase = PhaseShown;
    accessLevel = AccessLevelNone;
    viewFracX = 1.0f;
    viewFracY = 1.0f;
    failImageSerial = 100000;
    clockFloorMs = 0;
    delayedOutputIndex = -1;
    for (int& mask : pendingCameraMask)
        mask = 0;
    for (bool& shown : cameraOkShown)
        shown = true;

    calibrationTimer = new QTimer(this);
    connect(calibrationTimer, &QTimer::timeout, this, &MoJuWizard::TSClibrate);
    logoutTimer = new QTimer(this);
    connect(logoutTimer, &QTimer::timeout, this, &MoJuWizard::TimerLogout);
    screenOffTimer = new QTimer(this);
    connect(screenOffTimer, &QTimer::timeout, this, &MoJuWizard::TimerLCD);
    // The input filters are the cycle's timers: the controller makes them
    // with all its others once the I/O layer exists (none runs before the
    // loop starts).
    for (bool& confirmed : inputConfirmed)
        confirmed = false;

    if (!gpWarnBox)
        gpWarnBox = new WarnBox(nullptr);
    MakeLostLinkBoxes();

    if (RecordsPort* records = recordsPort())
        records->openCycleLog();
    detectCycleTimer = new QTimer(this);
    connect(detectCycleTimer, &QTimer::timeout, this, &MoJuWizard::SlotDetectCycle);
    detectCycleTimer->start(60000);

    record_ = new OperationRecord([this] { return accessLevel; }, this);
    const QList<int> shown = OpenDatabases();

    para_ = std::make_unique<WizardPara>();
    paraBak_ = std::make_unique<WizardPara>();
    gpWPara = para_.get();
    gpWParaBak = paraBak_.get();
    const ParamStoreResult loaded = gpWPara->LoadDatafromFile(dbParam, dbSerial, leftPairActive);
    gpWarnBox->Relabel();   // made before the language was known
    RelabelLostLinkBoxes();
    if (!loaded.ok) {
        LOG(ERROR) << "parameters: " << loaded.detail.toStdString();
        if (loaded.messageId >= 0 && !shown.contains(loaded.messageId)) {
            gpWarnBox->setText(Msg(loaded.messageId), loaded.messageId);
            gpWarnBox->exec();
        }
    }
    gpWPara->saveProductOk = 1;
    gisUseStatistics = gpWPara->statisticsEnabled != 0;
    if (!LogManager::__instance)
        LogManager::__instance = new LogManager(nullptr);
    qDebug() << "application start";

    if (gpWPara->systemMode == SystemModeMultiDetect)
        currentDetect = gDNum - 1;
    else
        currentDetect = gpWPara->productDetectEnabled == 1 ? 0 : 1;
    multiStepIndex = gDNum - 1;   // no sequence runs yet
    engineHost_.followCycle(currentDetect, statsTriggerSource);
    engineHost_.insertRecordFn = [this](const QString& text) { InsertRecord(text); };
    engineHost_.repaintFn = [this](int camera) { repaintView(camera); };

    gTempNum = gpWPara->templateCount;
    gPicNumNG = gpWPara->ngImageKeep;
    gPicNumOK = gpWPara->okImageKeep;
    gisCOM = gpWPara->serialPort;
    gisGrayHue = gpWPara->grayChannel;
    gisCut = 1 - gpWPara->noLensOptimize;
    gisColor = gpWPara->colorCamera;
    captureModeCopy = gpWPara->externalTrigger;

    CheckCameraID();
    gImageLen = gImageW * gImageH;
    gColorLen = gisColor ? 4 * gImageLen : gImageLen;
    gShowAW = double(gShowW) / gImageW;
    gShowAH = double(gShowH) / gImageH;
    viewScaleX = float(gShowAW);
    viewScaleY = float(gShowAH);
    SyncImageGeometry();

    gpWarnBox->setText(Msg(133), 133);
    gpWarnBox->show();
    if (!gpChooseBox)
        gpChooseBox = new ChooseBox(nullptr);
    if (!gpNumPad)
        gpNumPad = new NumberInput(nullptr);
    if (!gpNumCharPad)
        gpNumCharPad = new NumCharInput(nullptr);

    StartIO();
    MakeCycle();
    MakeRunControl();

    grayColorTable = &GrayColorTable();

    MakeCameraViews();
    AskCameraCount();
    viewCamera = numCamera == 1 ? 0 : numCamera;

    // The pages and dialogs; those of subsystems still to come stay null.
    MakeStatusStrip();
    MakeSideBar();
    MakeAreaPage();
    if (const SettingsPageFactory& makeSettings = settingsPageFactory())
        settingsPage = makeSettings(*this);
    if (const OtherNetDialogFactory& makeOtherNet = otherNetDialogFactory())
        otherNetDialog = makeOtherNet(this);
    OpenUserStore();

    panX = 0;
    panY = 0;
    zoom = 1.0;
    pointerImageX = 0;
    pointerImageY = 0;
    MakeZoomButtons();
    MakePasswordBox();
    ChangeCammer();

    MakePictureFolders();
    drawHintTimer = new QTimer(this);
    drawHintTimer->setInterval(3000);
    connect(drawHintTimer, &QTimer::timeout, this, &MoJuWizard::SlotDrawHint);
    // No picture memory yet: a slot gets its picture at its first render.
    for (int c = 0; c < kCameraSlots; ++c) {
        frameCount[c] = 0;
        lastFrameCount[c] = 0;
        cameraFps[c] = 0;
    }
    ClearFailImages();
    StartPictureWriter();
    noInputBox = MakeOwnBox();
    cameraNoticeBox = MakeOwnBox();

    recordDir = QStringLiteral("./RECORD");
    statisticsDir = QStringLiteral("./ResStatistics");
    QDir().mkpath(recordDir);
    QDir().mkpath(statisticsDir);
    // time.txt, and the roll-over of RECORD.db when its day is past.
    record_->LoadRecordDate();

    QFile floor(QString::fromLatin1(kClockFloorFile));
    if (floor.open(QIODevice::ReadOnly))
        clockFloorMs = floor.readAll().trimmed().toLongLong();

    {
        // The writer takes the serial only for a flagged picture, and none
        // is flagged before the loop's first pass.
        QStringList folders;
        for (int c = 0; c < numCamera && c < kCameraSlots; ++c)
            for (int d = 0; d < kDetections; ++d)
                folders << failImageDirs[c][d][0] << failImageDirs[c][d][1];
        failImageSerial = RenumberPictures(folders, failImageSerial);
    }
    if (RecordsPort* records = recordsPort(); records && gisUseStatistics)
        statisticsPage = records->openStatistics(statisticsDir);

    // Detection runs from the start.
    StartDetect();
    if (gpWPara->cutClampAfterMoldOk && gpWPara->clampPulse > 0) {
        io_->IOSetOut(OutNotAllowClose, 1);
        io_->IOFlashOut();
    }
    for (bool& flag : areaOutputFlags)
        flag = false;
    manualTriggered = false;
    manualTrigDetect = gDNum;   // none pending
    manualTriggerNg = false;

    installEventFilter(this);
    gpWarnBox->hide();
    io_->flushObserver = nullptr;
    record_->StartDateCheck();
    dateCheckTimer = record_->dateCheckTimer;
    InsertRecord(Msg(150).arg(numCamera));

    fpsTimer = new QTimer(this);
    connect(fpsTimer, &QTimer::timeout, this, &MoJuWizard::SlotFPS);
    fpsTimer->start(1000);
    if (gCameraID == CameraKindMindVision) {
        char version[64] = {};
        simsdk::mv::CameraSdkGetVersionString(version, int(sizeof version));
        InsertRecord(QString::fromLatin1(version));
    }

    // The first loop pass in 5 ms; the first cycle is measured from here.
    if (controller_ && runTimer)
        controller_->startLoop();
    gisRunWTD = true;
    CountRead();
    CameraSetSpeed();
    if (gpWPara->netEnabled && RelayReady(true))
        gpNet->CNT_SendMemoryInfo();
    if (gpWPara->screenOffSeconds > 0)
        screenOffTimer->start(gpWPara->screenOffSeconds * 1000);

    gpWarnBox->setParent(this);
    gpChooseBox->setParent(this);
    gpChooseBox->setWindowFlags(gpChooseBox->windowFlags() | Qt::CustomizeWindowHint
                                | Qt::WindowStaysOnTopHint);
    gpNumPad->setParent(this);
    gpNumCharPad->setParent(this);
    gpPasswordBox->setParent(this);
    sharedTriggerInput = -1;
    simulatedTrigger = -1;
    if (RecordsPort* records = recordsPort())
        records->makeExport();

    CheckClock();
}

MoJuWizard::~MoJuWizard()
{
    // The dialog goes first: its hide puts the live camera values back and
    // reads the parameter records, which go before the window's children.
    delete settingsPage;
    settingsPage = nullptr;
    // The window lives as long as the program; this only matters to tests.
    // Nothing is published on the way out: the board keeps the last word
    // until the next start blocks mould closing.
    if (writer_) {
        // One pass at most (a pass waits 100 ms); a writer in the middle of
        // its pictures is not waited for here but by the join below.
        writerGate_->close(std::chrono::milliseconds(3000));
        writer_->requestInterruption();
        writer_->wait();
        if (gpSaveFialImageThread == writer_.get())
            gpSaveFialImageThread = nullptr;
        writer_.reset();
    }
    runControl_.reset();
    controller_.reset();
    // The views stop their cameras while this window is still whole.
    for (CammerWidget*& view : cameraViews) {
        delete view;
        view = nullptr;
    }
    if (gpControlIO == io_.get())
        gpControlIO = nullptr;
    io_.reset();   // ends the board thread, whose recovery record reaches this window
    if (gpCameraHost == this)
        gpCameraHost = nullptr;
    setKeypadHost(nullptr);
    if (auto* app = qobject_cast<MApplication*>(QCoreApplication::instance()))
        if (app->touchHost() == touchHost_.get())
            app->setTouchHost(nullptr);
    if (gpWin == this)
        gpWin = nullptr;
    if (gpWPara == para_.get())
        gpWPara = nullptr;
    if (gpWParaBak == paraBak_.get())
        gpWParaBak = nullptr;
}

QList<int> MoJuWizard::OpenDatabases()
{
    QList<int> shown;
    struct Db {
        const QString connection;
        const QString file;
        const QString defaultCopy;
        int message;
        QSqlDatabase* db;
    } dbs[] = {
        {OperationRecord::kParamConnection, "PARAM.db", "./paraGroup/default/PARAM.db", 160, &dbParam},
        {OperationRecord::kRecordConnection, OperationRecord::kRecordFile, OperationRecord::kTemplateFile, 135,
         &dbRecord},
        {OperationRecord::kSerialConnection, "SN.db", "./paraGroup/default/SN.db", 160, &dbSerial},
    };
    for (Db& d : dbs) {
        const DatabaseOpenResult r = DatabaseOpener::Open(d.connection, d.file, d.defaultCopy);
        *d.db = QSqlDatabase::database(d.connection, false);
        // A database made on a first start needs no notice; its tables are
        // made by their loads.
        if (!r.needsNotice())
            continue;
        // A restored database: the user's data are kept beside it.  A busy
        // one: left as it is, the program runs on what it can read.  One
        // that cannot be opened at all: the program stays up without it (no
        // reboot loop).  Each says so.
        LOG(ERROR) << d.file.toStdString() << ": " << r.error.toStdString()
                   << (r.restored ? " (default copy restored)" : "");
        // The record database's message is shown in English, as on the panel.
        gpWarnBox->setText(d.message == 135 ? Msg(135, LanEnglish) : Msg(d.message), d.message);
        gpWarnBox->exec();
        shown << d.message;
    }
    return shown;
}

void MoJuWizard::CheckClock()
{
    const qint64 now = appClock().now().toMSecsSinceEpoch();
    if (clockFloorMs != 0 && now >= clockFloorMs)
        return;
    WarnBox box(this);
    box.setText(QStringLiteral("系统时间出错，导致停止检测，\n请重新设置时间！"));
    InsertRecord(QStringLiteral("系统时间出错，导致停止检测"));
    // A clock earlier than the floor stops detection with mould closing
    // blocked until the time is set.
    StopDetect();
    io_->IOSetOut(OutNotAllowClose, 1);
    io_->IOFlashOut();
    update();
    InsertRecord(Msg(141));
    LEDOnOff(4, 0);
    box.exec();
    ModifyTimeWidget dialog(this);
    dialog.dateTimeEdit->ShowDateTime();
    if (dialog.exec() == 1) {
        // The floor is stored only when the clock really was set.
        if (!dialog.dateTimeEdit->setSysDateTime()) {
            InsertRecord(QStringLiteral("系统时间错误，未修改时间"));
            return;
        }
        if (clockFloorMs == 0) {
            clockFloorMs = appClock().now().toMSecsSinceEpoch();
            QFile f(QString::fromLatin1(kClockFloorFile));
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.write(QByteArray::number(clockFloorMs));
        }
        InsertRecord(Msg(401));
        StopWTD();
        FLushAll();
        appClock().sleepMs(1000);
        if (!RequestReboot())
            record_->ReopenAll();
    } else {
        InsertRecord(QStringLiteral("系统时间错误，未修改时间"));
    }
}

void MoJuWizard::InsertRecord(const QString& text) { record_->InsertRecord(text); }
void MoJuWizard::ClearRecord() { record_->ClearRecord(); }
void MoJuWizard::SlotCheckDate() { record_->SlotCheckDate(); }
void MoJuWizard::FLushAll()
{
    if (RecordsPort* records = recordsPort())
        records->flushAll();
    record_->FLushAll();
}
void MoJuWizard::CountRead() { ::CountRead(); }
void MoJuWizard::CountWrite() { ::CountWrite(); }

void MoJuWizard::TSClibrate()
{
    calibrationTimer->stop();
    if (gCameraID != 0)
        return;
    gpWarnBox->setText(Msg(370), 370);
    gpWarnBox->show();
    calibrationArmed = 1;
}

void MoJuWizard::TimerLogout()
{
    logoutTimer->stop();
    accessLevel = AccessLevelNone;
    if (RecordsPort* records = recordsPort())
        records->logOutUser();
}

void MoJuWizard::OpenUserStore()
{
    if (RecordsPort* records = recordsPort())
        records->openUserStore();
}

void MoJuWizard::TimerLCD()
{
    screenOffTimer->stop();
    LCDOnOff(0);
}

void MoJuWizard::StartIO()
{
    auto* link = new IOThread;
    // The link's own record when the board answers again (from its thread).
    link->recordSink = [this](const QString& text) { InsertRecord(text); };
    // The I/O layer publishes every output off and starts the link; mould
    // closing is blocked at once, before any camera opens.
    io_ = std::make_unique<ControlPort>(link);
    gpControlIO = io_.get();
    {
        QMutexLocker lock(pMutexIO);
        startupOutputWords << gDataOut;
    }
    io_->flushObserver = [this](int word) { startupOutputWords << word; };
    io_->IOSetOut(OutNotAllowClose, 1);
    io_->IOFlashOut();
    // At the end of the event loop the board thread stops before the
    // program's statics go; the board keeps the last word it was sent.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (QThread* link = io_->ioThread()) {
                link->requestInterruption();
                link->wait();
            }
        });
}

void MoJuWizard::MakeCycle()
{
    CycleController::Ports ports;
    ports.slotHost = this;
    ports.state = this;
    ports.host = this;
    ports.io = io_.get();
    ports.clock = &appClock();
    ports.relay = gpNet;
    if (RecordsPort* records = recordsPort()) {
        ports.stats = records->statsSink();
        ports.cycleLog = records->cycleLog();
    }
    controller_ = std::make_unique<CycleController>(ports);
    for (int k = 0; k < kCameraSlots; ++k)
        controller_->setCamera(k, cameraViews[k]);
    QtCycleTimerFactory timers(this);
    controller_->createTimers(timers);
}

WarnBox* MoJuWizard::MakeOwnBox()
{
    auto* box = new WarnBox(this);
    box->Relabel();
    box->setModal(false);
    return box;
}

void MoJuWizard::RunUpdateScript()
{
    // What the script does is not this program's business; it is run and
    // removed through the command runner, so off the panel it is only logged.
    if (!QFile::exists(QStringLiteral("update.sh")))
        return;
    commandRunner().run(QStringLiteral("./update.sh"), {});
    appClock().sleepMs(300);
    commandRunner().run(QStringLiteral("rm"), {QStringLiteral("-f"), QStringLiteral("update.sh")});
}

void MoJuWizard::MakeCameraViews()
{
    // Each view opens and starts its camera and counts itself in numCamera.
    numCamera = 0;
    for (int i = 0; i < kCameraSlots; ++i) {
        stallSeconds[i] = 0;
        cameraViews[i] = new CammerWidget(this, i, this);
        controller_->setCamera(i, cameraViews[i]);
    }
}

void MoJuWizard::AskCameraCount()
{
    if (gCameraID == CameraKindNone || numCamera == 0) {
        // The slots below the count found run without a camera, fed by
        // stored pictures.
        gCameraID = CameraKindNone;
        numCamera = gFindCamera;
        gpChooseBox->setText(Msg(134), 134);
        if (gpChooseBox->exec() == 1)
            ::SaveSN(1);
        return;
    }
    const int stored = gpWPara->storedSerialCount;
    if (stored <= 0 || stored == gFindCamera)
        return;
    gpChooseBox->setText(Msg(360), 360);
    if (gpChooseBox->exec() != 1)
        return;
    ::SaveSN(1);
    FLushAll();
    // A reboot that does not happen leaves the program running: it needs
    // its databases back.
    if (!RequestReboot())
        record_->ReopenAll();
}

void MoJuWizard::MakePictureFolders()
{
    for (int c = 1; c <= numCamera && c <= kCameraSlots; ++c) {
        for (int d = 1; d <= kDetections; ++d) {
            failImageState[c - 1][d - 1] = FailImgIdle;
            detectionArmed[d - 1] = 0;
            const QString base = QStringLiteral("%1//camera%2//detect%3//").arg(QStringLiteral("./alarmimage")).arg(c).arg(d);
            failImageDirs[c - 1][d - 1][0] = base + QStringLiteral("NG");
            failImageDirs[c - 1][d - 1][1] = base + QStringLiteral("OK");
            const QString folders[] = {
                failImageDirs[c - 1][d - 1][0],
                failImageDirs[c - 1][d - 1][1],
                QStringLiteral("./cammer%1%2").arg(c).arg(d),
                QStringLiteral("%1//cammer%2%3").arg(QStringLiteral("./originalimage")).arg(c).arg(d),
            };
            for (const QString& folder : folders)
                if (!QDir().mkpath(folder))
                    LOG(ERROR) << "cannot make folder " << folder.toStdString();
        }
    }
}

void MoJuWizard::PublishWriterCounts()
{
    if (writerGate_)
        writerGate_->publish();
}

void MoJuWizard::StartPictureWriter()
{
    SaveFialImageThread::Ports ports;
    ports.dirs = failImageDirs;
    ports.serial = &failImageSerial;
    writerGate_ = std::make_shared<WriterGate>();
    std::shared_ptr<WriterGate> gate = writerGate_;
    gate->publish();
    ports.cameras = [gate] { return gate->read(WriterGate::Cameras); };
    ports.detections = [gate] { return gate->read(WriterGate::Detections); };
    ports.keepNg = [gate] { return gate->read(WriterGate::KeepNg); };
    ports.keepOk = [gate] { return gate->read(WriterGate::KeepOk); };
    ports.relay = gpNet;
    ports.context = this;
    ports.relayOn = [] { return gpWPara && gpWPara->netEnabled && RelayReady(true); };
    // The copy worker is made here, on the GUI thread, when main has not.
    Copy2MoveDisk* usb = Copy2MoveDisk::instance();
    ports.usbCopy = [usb](const QString& folder, const QString& baseName, const QImage& picture) {
        usb->add_map_actqueue(folder, baseName, picture);
    };
    writer_ = std::make_unique<SaveFialImageThread>(ports);
    gpSaveFialImageThread = writer_.get();
    writer_->start(QThread::InheritPriority);
}

// ------------------------------------------------------------ camera host

CameraBackend* MoJuWizard::cameraBackend(int slot)
{
    return slot >= 0 && slot < kCameraSlots ? cameraViews[slot] : nullptr;
}

// The dialog's own flag (set by its show event, cleared by its hide event),
// so the camera setters never depend on the window being on screen.
bool MoJuWizard::settingsPageVisible() const { return settingsPage && settingsPage->pageShown(); }

CameraValues MoJuWizard::cameraValues(int slot, bool editCopy) const
{
    CameraValues v;
    const WizardPara* w = editCopy ? gpWParaBak : gpWPara;
    if (!w || slot < 0 || slot >= kCameraSlots)
        return v;
    v.exposure = w->exposure[slot];
    v.gain = w->gain[slot];
    v.sharpness = w->sharpness[slot];
    v.contrast = w->contrast[slot];
    v.gamma = w->gamma[slot];
    v.hMirror = w->hMirror[slot];
    v.vMirror = w->vMirror[slot];
    return v;
}

CameraSwitches MoJuWizard::cameraSwitches(bool editCopy) const
{
    CameraSwitches s;
    const WizardPara* w = editCopy ? gpWParaBak : gpWPara;
    if (!w)
        return s;
    s.autoExposure = w->autoExposure;
    s.autoShading = w->autoShading;
    s.externalTrigger = w->externalTrigger;
    s.captureSpeed = w->captureSpeed;
    s.cameraCheck = w->cameraCheck;
    return s;
}

void MoJuWizard::storeEditCameraValues(int slot, const CameraValues& v)
{
    if (!gpWParaBak || slot < 0 || slot >= kCameraSlots)
        return;
    gpWParaBak->exposure[slot] = v.exposure;
    gpWParaBak->gain[slot] = v.gain;
    gpWParaBak->sharpness[slot] = v.sharpness;
    gpWParaBak->contrast[slot] = v.contrast;
    gpWParaBak->gamma[slot] = v.gamma;
}

void MoJuWizard::setOutput(int out, int on)
{
    io_->IOSetOut(out, on);
}

void MoJuWizard::flashOutputs()
{
    io_->IOFlashOut();
}


void MoJuWizard::showWarnBox(const QString& text)
{
    cameraNoticeBox->setText(text);
    cameraNoticeBox->show();
    cameraNoticeBox->raise();
    cameraNoticeBox->update();
}

void MoJuWizard::hideWarnBox() { cameraNoticeBox->hide(); }

void MoJuWizard::repaintNow()
{
    repaint();
    QCoreApplication::processEvents();
}

void MoJuWizard::clearCameraOk(int slot)
{
    if (slot >= 0 && slot < kCameraSlots && cameraViews[slot])
        cameraViews[slot]->isOK = 0;
}

void MoJuWizard::repaintView(int slot)
{
    if (slot >= 0 && slot < kCameraSlots && cameraViews[slot])
        cameraViews[slot]->update();
}

// --------------------------------------------------------------- slot host

float MoJuWizard::cycleDelayCountdown(int k) const
{
    return k >= 0 && k < kDetections ? delayCountdown(k) : 0.0f;
}

bool MoJuWizard::cycleDelayTimerRunning(int k) const
{
    return k >= 0 && k < kDetections && detectDelayTimers[k] && detectDelayTimers[k]->isActive();
}

WizardPara& MoJuWizard::liveParameters() { return *gpWPara; }

QString MoJuWizard::cavityName(int camera, int k) const
{
    return cavityNames ? cavityNames->cavityName(camera, k) : QString();
}

// -------------------------------------------------------------- cycle host

// The boxes are children of the window (as on the panel, where no window
// manager stacks dialogs): shown means shown within it, on top of the views.

void MoJuWizard::showNoInputBox(const QString& text)
{
    noInputBox->setText(text);
    noInputBox->show();
    noInputBox->raise();
    noInputBox->update();
}

void MoJuWizard::hideNoInputBox() { noInputBox->hide(); }

void MoJuWizard::hideHelpPage()
{
    if (helpPage)
        helpPage->hide();
}

void MoJuWizard::hideSettingsPage()
{
    if (settingsPage)
        settingsPage->hidePage();
}
void MoJuWizard::repaintWindow() { update(); }
void MoJuWizard::CameraCheck(int camera) { ::CameraCheck(camera); }
void MoJuWizard::CameraRestart() { ::CameraRestart(); }
void MoJuWizard::LCDOnOff(int on) { ::LCDOnOff(on); }

void MoJuWizard::restartScreenOffTimer()
{
    if (gpWPara && gpWPara->screenOffSeconds > 0)
        screenOffTimer->start(gpWPara->screenOffSeconds * 1000);
}

// ------------------------------------------------------- cycle forwarding

void MoJuWizard::Run() { controller_->Run(); }
void MoJuWizard::TimerCheckInput0() { controller_->TimerCheckInput(0); }
void MoJuWizard::TimerCheckInput1() { controller_->TimerCheckInput(1); }
void MoJuWizard::TimerCheckInput2() { controller_->TimerCheckInput(2); }
void MoJuWizard::TimerCheckInput3() { controller_->TimerCheckInput(3); }
void MoJuWizard::TimerCheckInput4() { controller_->TimerCheckInput(4); }
void MoJuWizard::TimerCheckInput5() { controller_->TimerCheckInput(5); }
void MoJuWizard::TimerCheckInput6() { controller_->TimerCheckInput(6); }
void MoJuWizard::TimerCheckInput7() { controller_->TimerCheckInput(7); }
void MoJuWizard::TimerCheckInput8() { controller_->TimerCheckInput(8); }
void MoJuWizard::InCheck() { controller_->InCheck(); }
void MoJuWizard::SlotTImerSafeDoor() { controller_->SlotTImerSafeDoor(); }
void MoJuWizard::TimerUp0() { controller_->TimerUp(0); }
void MoJuWizard::TimerUp1() { controller_->TimerUp(1); }
void MoJuWizard::TimerUp2() { controller_->TimerUp(2); }
void MoJuWizard::TimerUp3() { controller_->TimerUp(3); }
void MoJuWizard::TimerUp4() { controller_->TimerUp(4); }
void MoJuWizard::TimerUp5() { controller_->TimerUp(5); }
void MoJuWizard::TimerUp6() { controller_->TimerUp(6); }
void MoJuWizard::TimerUp7() { controller_->TimerUp(7); }
void MoJuWizard::CheckNG() { controller_->CheckNG(); }
void MoJuWizard::TimerShow() { controller_->TimerShow(); }
void MoJuWizard::OutTimerOutNG() { controller_->OutTimerOutNG(); }
void MoJuWizard::OutTimerNotAllowClose() { controller_->OutTimerNotAllowClose(); }
void MoJuWizard::OutTimerNotAllowThimble() { controller_->OutTimerNotAllowThimble(); }
void MoJuWizard::OutTimerSysFunc4Output() { controller_->OutTimerSysFunc4Output(); }
void MoJuWizard::StartDetect() { controller_->StartDetect(); }
void MoJuWizard::StopDetect() { controller_->StopDetect(); }
void MoJuWizard::SetStopDetect() { controller_->SetStopDetect(); }
void MoJuWizard::ResetRun() { controller_->ResetRun(); }

void MoJuWizard::mouseReleaseEvent(QMouseEvent* event)
{
    // Taking the focus from a text field closes its keypad.
    setFocus(Qt::OtherFocusReason);
    QWidget::mouseReleaseEvent(event);
}

bool MoJuWizard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::MouseButtonPress) {
        if (gpNumPad && gpNumPad->isVisible())
            gpNumPad->hide();
        if (gpNumCharPad && gpNumCharPad->isVisible())
            gpNumCharPad->hide();
    }
    return QWidget::eventFilter(watched, event);
}

