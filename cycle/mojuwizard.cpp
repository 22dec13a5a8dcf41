#include "mojuwizard.h"

#include "choosebox.h"
#include "clock.h"
#include "commandrunner.h"
#include "cameraglobals.h"
#include "cyclecounters.h"
#include "databaseopener.h"
#include "edit.h"
#include "globals.h"
#include "graycolortable.h"
#include "logmanager.h"
#include "mapplication.h"
#include "messages.h"
#include "modifytimewidget.h"
#include "editdatetime.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "operationrecord.h"
#include "paneldevice.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <glog/logging.h>

MoJuWizard* gpWin = nullptr;
const char* const kClockFloorFile = "realytime.txt";

namespace {
// The keypads' view of the main window.
class MainKeypadHost : public KeypadHost {
public:
    explicit MainKeypadHost(MoJuWizard* w) : w_(w) {}
    Edit* keypadTarget() const override { return w_->keypadTarget; }
    void setKeypadTarget(Edit* field) override { w_->keypadTarget = field; }
    bool passwordBoxVisible() const override { return false; }
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

void LCDOnOff(int on)
{
    PanelBacklight(on);
    if (gpWin)
        gpWin->screenOff = on ? 0 : 1;
}

MoJuWizard::MoJuWizard(QWidget* parent) : QWidget(parent)
{
    gpWin = this;
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

    calibrationTimer = new QTimer(this);
    connect(calibrationTimer, &QTimer::timeout, this, &MoJuWizard::TSClibrate);
    logoutTimer = new QTimer(this);
    connect(logoutTimer, &QTimer::timeout, this, &MoJuWizard::TimerLogout);
    screenOffTimer = new QTimer(this);
    connect(screenOffTimer, &QTimer::timeout, this, &MoJuWizard::TimerLCD);

    if (!gpWarnBox)
        gpWarnBox = new WarnBox(nullptr);

    record_ = new OperationRecord([this] { return accessLevel; }, this);
    const QList<int> shown = OpenDatabases();

    para_ = std::make_unique<WizardPara>();
    paraBak_ = std::make_unique<WizardPara>();
    gpWPara = para_.get();
    gpWParaBak = paraBak_.get();
    const ParamStoreResult loaded = gpWPara->LoadDatafromFile(dbParam, dbSerial, leftPairActive);
    gpWarnBox->Relabel();   // made before the language was known
    if (!loaded.ok) {
        LOG(ERROR) << "parameters: " << loaded.detail.toStdString();
        if (loaded.messageId >= 0 && !shown.contains(loaded.messageId)) {
            gpWarnBox->setText(Msg(loaded.messageId), loaded.messageId);
            gpWarnBox->exec();
        }
    }
    gpWPara->saveProductOk = 1;
    if (!LogManager::__instance)
        LogManager::__instance = new LogManager(nullptr);
    qDebug() << "application start";

    gTempNum = gpWPara->templateCount;
    gisGrayHue = gpWPara->grayChannel;
    gisCut = 1 - gpWPara->noLensOptimize;
    gisColor = gpWPara->colorCamera;
    gImageLen = gImageW * gImageH;
    gColorLen = gisColor ? 4 * gImageLen : gImageLen;
    gShowAW = double(gShowW) / gImageW;
    gShowAH = double(gShowH) / gImageH;
    SyncImageGeometry();

    gpWarnBox->setText(Msg(133), 133);
    gpWarnBox->show();
    if (!gpChooseBox)
        gpChooseBox = new ChooseBox(nullptr);
    if (!gpNumPad)
        gpNumPad = new NumberInput(nullptr);
    if (!gpNumCharPad)
        gpNumCharPad = new NumCharInput(nullptr);

    grayColorTable = &GrayColorTable();

    record_->LoadRecordDate();

    QFile floor(QString::fromLatin1(kClockFloorFile));
    if (floor.open(QIODevice::ReadOnly))
        clockFloorMs = floor.readAll().trimmed().toLongLong();

    installEventFilter(this);
    gpWarnBox->hide();
    record_->StartDateCheck();
    dateCheckTimer = record_->dateCheckTimer;
    InsertRecord(Msg(150).arg(numCamera));
    CountRead();
    if (gpWPara->screenOffSeconds > 0)
        screenOffTimer->start(gpWPara->screenOffSeconds * 1000);

    gpWarnBox->setParent(this);
    gpChooseBox->setParent(this);
    gpChooseBox->setWindowFlags(gpChooseBox->windowFlags() | Qt::CustomizeWindowHint
                                | Qt::WindowStaysOnTopHint);
    gpNumPad->setParent(this);
    gpNumCharPad->setParent(this);

    CheckClock();
}

MoJuWizard::~MoJuWizard()
{
    // The window lives as long as the program; this only matters to tests.
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
    InsertRecord(Msg(141));
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
void MoJuWizard::FLushAll() { record_->FLushAll(); }
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
    accessLevel = 0;
}

void MoJuWizard::TimerLCD()
{
    screenOffTimer->stop();
    LCDOnOff(0);
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
