// The buttons that act on the panel as a whole: program update, factory
// reset, touch calibration, language, clock, shut down, exit, the parameter
// password and the simple display of the camera page.
//
// Every ending closes the databases first (FLushAll) and goes through the
// one reboot helper (or "init 0"); when the panel does not go down (the dry
// run off the panel, a failed command) the databases are opened again and
// the program runs on.  An archive reaches the program directory only as a
// checked copy (updatepackage.h), and nothing is stopped or recorded before
// that copy is in place.
#include "wizardparawidget.h"

#include "choosebox.h"
#include "choosecalinumwidget.h"
#include "clock.h"
#include "colorbutton.h"
#include "combobox.h"
#include "commandrunner.h"
#include "edit.h"
#include "editbox.h"
#include "editdatetime.h"
#include "kitlayout.h"
#include "mapplication.h"
#include "messages.h"
#include "modalhook.h"
#include "modifytimewidget.h"
#include "numberinput.h"
#include "progressbox.h"
#include "projectmessages.h"
#include "settingshost.h"
#include "updatepackage.h"
#include "usbmount.h"
#include "warnbox.h"
#include "wizardpara.h"
#include "wizardparastore.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <glog/logging.h>

#include <algorithm>

namespace {

const char* const kFactoryArchive = "paraGroup/default/20clearsh.tar.gz";
const char* const kClockFloorFile = "realytime.txt";
constexpr int kSyncWaitMs = 60000;   // writing back a large archive takes its time

} // namespace

void WizardParaWidget::WireMaintenance()
{
    // The camera renumbering ends in the shutdown question, so the new
    // binding is read at the next start.
    shutDownAsked = [this] { SlotShutDown(); };
    // A kit box is a child widget placed in its parent's coordinates, so it
    // belongs to the window (at the screen's corner), as the shared boxes do.
    QWidget* owner = parentWidget();
    timeDialog = new ModifyTimeWidget(owner);
    calibrationDialog = new ChooseCaliNumWidget(owner);
    if (!owner) {
        ModifyTimeWidget* time = timeDialog;
        ChooseCaliNumWidget* calibration = calibrationDialog;
        connect(this, &QObject::destroyed, [time, calibration] {
            delete time;
            delete calibration;
        });
    }

    const std::pair<int, void (WizardParaWidget::*)()> buttons[] = {
        {325, &WizardParaWidget::SlotUpdateApp},   {551, &WizardParaWidget::SlotRestoreFactorySet},
        {458, &WizardParaWidget::SlotCalibration}, {401, &WizardParaWidget::SlotModifyTime},
        {209, &WizardParaWidget::SlotShutDown},    {210, &WizardParaWidget::SlotExit},
        {171, &WizardParaWidget::ChangePwd},       {300, &WizardParaWidget::SlotChangeShowMode},
    };
    for (const auto& [id, slot] : buttons) {
        ColorButton* b = buttonByText(id);
        if (!b)
            continue;
        connect(b, &QPushButton::clicked, this, slot);
        pendingButtons.erase(std::remove(pendingButtons.begin(), pendingButtons.end(), b), pendingButtons.end());
    }
    if (languageCombo)
        connect(languageCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                &WizardParaWidget::SlotChangeLan);
    // The login compares the whole typed text with the stored one, so the
    // fields take no more than is stored.
    for (Edit* e : passwordEdits)
        if (e)
            e->setMaxLength(kPasswordMaxChars);
}

// ------------------------------------------------------------------ endings

void WizardParaWidget::GoDown(bool powerOff)
{
    const bool down = powerOff ? RequestPowerOff() : RequestReboot();
    if (!down) {
        LOG(WARNING) << (powerOff ? "power-off" : "reboot") << " did not take the panel down; running on";
        host_->reopenAll();
    }
}

bool WizardParaWidget::SaveLiveParameters()
{
    if (!gpWPara)
        return false;
    const ParamStoreResult r = gpWPara->SaveDatatoFile(host_->paramDatabase());
    if (!r.ok)
        LOG(ERROR) << "parameters not saved: " << r.detail.toStdString();
    return r.ok;
}

// ------------------------------------------------------- update and reset

QString WizardParaWidget::ChooseUpdateFile(const QString& mountPoint)
{
    const QString title = tr("选择投影数据文件目录");
    if (modal::hooked()) {
        const std::optional<QString> chosen = modal::answerText({QStringLiteral("QFileDialog"), -1, title});
        return chosen ? *chosen : QString();
    }
    QFileDialog dialog(this, title, QStringLiteral("../../ProjectData/"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setViewMode(QFileDialog::List);
    dialog.resize(gShowW - 50, gShowH - 100);
    dialog.setFont(MicroHei(gShowW > 800 ? 30 : 20));
    dialog.setNameFilter(QStringLiteral("*.[r,t]ar*"));
    dialog.setDirectory(mountPoint);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void WizardParaWidget::SlotUpdateApp()
{
    if (packageCopy && packageCopy->running())
        return;
    // The disk stays held from here to the end of the copy, so the USB
    // picture copy cannot unmount it in between.
    auto hold = std::make_shared<MountHold>();
    QString disk;
    while ((disk = FindAU(hold.get())).isEmpty())
        if (!AskYes(320))
            return;
    const QString path = ChooseUpdateFile(disk);
    if (path.size() <= 2)
        return;
    if (!AskYes(323))
        return;
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString name = parts.isEmpty() ? QString() : parts.last();
    const PackageKind kind = PackageKindByName(name);
    if (kind == PackageKind::None) {
        LOG(ERROR) << "update refused: " << path.toStdString() << " is no update archive";
        WarnMessage(kMsgUpdateRefused);
        return;
    }
    InstallPackage(path, PackageTargetName(kind), 325, Msg(325) + QStringLiteral(": ") + name, hold);
}

void WizardParaWidget::SlotRestoreFactorySet()
{
    if (packageCopy && packageCopy->running())
        return;
    if (!AskYes(551, Msg(551) + QStringLiteral("?")))
        return;
    const QString source = QDir::current().absoluteFilePath(QString::fromLatin1(kFactoryArchive));
    if (!QFileInfo(source).isFile()) {
        LOG(ERROR) << "factory reset refused: " << source.toStdString() << " is missing";
        WarnMessage(kMsgUpdateRefused);
        return;
    }
    InstallPackage(source, PackageTargetName(PackageKind::TarGz), 551, Msg(551), nullptr);
}

void WizardParaWidget::InstallPackage(const QString& source, const QString& targetName, int captionId,
                                      const QString& recordText, std::shared_ptr<MountHold> hold)
{
    if (!packageCopy)
        packageCopy = new PackageCopy(this);
    if (!packageProgress)
        packageProgress = new ProgressBox(this);
    packageProgress->setText(Msg(captionId), captionId);
    packageProgress->setProgress(0, 100);
    packageProgress->show();
    packageCopy->onProgress = [this](int percent) {
        if (packageProgress)
            packageProgress->setProgress(percent, 100);
    };
    const QString target = QDir::current().absoluteFilePath(targetName);
    packageCopy->start(source, target, PackageKindByName(targetName),
                       [this, hold, recordText, target](const PackageCopyResult& r) {
                           if (hold)
                               hold->release();
                           packageProgress->hide();
                           if (!r.ok) {
                               WarnMessage(kMsgUpdateRefused);
                               return;
                           }
                           LOG(INFO) << "update archive " << target.toStdString() << " in place, " << r.bytes
                                     << " bytes";
                           StopWTD();
                           host_->insertRecord(recordText);
                           host_->flushAll();
                           commandRunner().run(QStringLiteral("sync"), {}, kSyncWaitMs);
                           GoDown(false);
                       });
}

// ------------------------------------------------------------- calibration

void WizardParaWidget::SlotCalibration()
{
    calibrationDialog->setText(Msg(459), 459);
    calibrationDialog->pointsCombo->setCurrentIndex(0);
    if (calibrationDialog->exec() != 1)
        return;
    const int entry = calibrationDialog->pointsCombo->currentIndex();
    const int points = entry == 1 ? 9 : entry == 2 ? 25 : 4;
    CalibrateAndReboot(points, [this] { host_->flushAll(); }, [this] { host_->reopenAll(); });
}

// ---------------------------------------------------------------- language

void WizardParaWidget::SlotChangeLan(int index)
{
    if (index == gLan || index < 0 || index > 2)
        return;
    // On No the combo keeps the choice until the dialog opens again.
    if (!AskYes(318))
        return;
    const int old = gLan;
    host_->insertRecord(Msg(319));   // still in the old language
    gLan = index;
    confirm();   // its question and record in the new language
    // The language lives in PARAM.db: a restart without it stored would
    // come back in the old one.
    if (!SaveLiveParameters()) {
        gLan = old;
        WarnMessage(kMsgSystemParamFileError);
        return;
    }
    StopWTD();
    host_->flushAll();
    GoDown(false);
}

// ------------------------------------------------------------------- clock

void WizardParaWidget::SlotModifyTime()
{
    timeDialog->dateTimeEdit->ShowDateTime();
    if (timeDialog->exec() != 1)
        return;
    if (!AskYes(402))
        return;
    // A clock that was not set must not become the floor nor be restarted
    // into.
    if (!timeDialog->dateTimeEdit->setSysDateTime()) {
        LOG(ERROR) << "clock not set to "
                   << timeDialog->dateTimeEdit->dateTime.toString(Qt::ISODate).toStdString();
        WarnMessage(kMsgClockNotSet);
        return;
    }
    if (host_->clockFloorMs() == 0) {
        const qint64 floor = timeDialog->dateTimeEdit->dateTime.toMSecsSinceEpoch();
        host_->setClockFloorMs(floor);
        // Written whole or not at all: a cut-off number would be a floor in
        // the distant past or future at the next start.
        QSaveFile f(QString::fromLatin1(kClockFloorFile));
        if (!(f.open(QIODevice::WriteOnly) && f.write(QByteArray::number(floor)) >= 0 && f.commit()))
            LOG(ERROR) << kClockFloorFile << " not written: " << f.errorString().toStdString();
    }
    confirm();
    SaveLiveParameters();
    host_->insertRecord(Msg(401));
    StopWTD();
    host_->flushAll();
    appClock().sleepMs(1000);
    GoDown(false);
}

// ------------------------------------------------------- shut down and exit

void WizardParaWidget::SlotShutDown()
{
    if (!AskYes(291))
        return;
    confirm();
    SaveLiveParameters();
    host_->insertRecord(Msg(292));
    StopWTD();
    host_->flushAll();
    GoDown(!AskYes(293));
}

void WizardParaWidget::SlotExit()
{
    if (!AskYes(294))
        return;
    host_->insertRecord(Msg(295));
    confirm();
    SaveLiveParameters();
    WarnMessage(296);
    // The statistics writer's last batch and the records are in the
    // databases only once they are closed.
    host_->flushAll();
    Exit(0);
}

// ---------------------------------------------------------------- password

void WizardParaWidget::ChangePwd()
{
    const QString typed = passwordEdits[0] ? passwordEdits[0]->text() : QString();
    const QString repeated = passwordEdits[1] ? passwordEdits[1]->text() : QString();
    if (gpNumPad)
        gpNumPad->HideUpdate();
    if (typed.isEmpty() || repeated.isEmpty()) {
        WarnMessage(278);
        return;
    }
    if (typed != repeated) {
        WarnMessage(280);
        return;
    }
    if (!gpWParaBak)
        return;
    // Stored as the access check reads it back (WizardPara::Text).
    WizardPara::SetText(gpWParaBak->password, typed.left(kPasswordMaxChars));
    WarnMessage(279);
    for (Edit* e : passwordEdits)
        if (e)
            e->clear();
}

// ---------------------------------------------------------- simple display

void WizardParaWidget::SlotChangeShowMode()
{
    simpleDisplay = !simpleDisplay;
    if (simpleDisplay)
        host_->showCameraAlone(tunedCamera);   // and it stays alone when turned off
    DoChangePage();
}

void WizardParaWidget::ShowSimpleDisplay()
{
    if (simpleDisplayButton)
        simpleDisplayButton->setText(SettingsCaption(simpleDisplay ? 299 : 300));
    if (!simpleDisplay)
        return;
    for (ColorButton* b : pageButtons)
        if (b)
            b->hide();
    std::vector<const QWidget*> kept{switchCameraButton, autoExposeButton, restoreButton, simpleDisplayButton};
    for (const char* name : {"exposure", "gain", "sharpness", "contrast", "gamma"})
        if (const SettingsControl* c = Control(name))
            kept.push_back(c->row);
    for (SettingsControl& c : controls)
        if (c.page == SettingsPageCamera && c.row)
            c.row->setVisible(std::find(kept.begin(), kept.end(), c.row) != kept.end());
    update();
}
