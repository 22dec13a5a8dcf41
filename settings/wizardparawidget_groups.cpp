// The advanced page's parameter groups: the list, and backup, restore and
// delete on the combo and the name field.  The questions are asked here on
// the GUI thread; the copies run on a worker behind the progress box, so
// the detection cycle keeps running while a group is copied.
#include "wizardparawidget.h"

#include "cameraglobals.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "edit.h"
#include "mapplication.h"
#include "messages.h"
#include "numcharinput.h"
#include "paramgroups.h"
#include "progressbox.h"
#include "projectmessages.h"
#include "settingshost.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QDir>
#include <QElapsedTimer>
#include <glog/logging.h>

#include <algorithm>
#include <thread>

// One group operation at a time on a thread of its own, with the progress
// box ("<caption>" over "k / n" files) shown meanwhile; the end is handed
// back to the GUI thread.
class ParamGroupRun : public QObject {
public:
    using Work = std::function<ParamGroups::Result(ParamGroups&)>;
    using Done = std::function<void(const ParamGroups::Result&)>;

    explicit ParamGroupRun(QObject* parent) : QObject(parent) {}
    ~ParamGroupRun() override
    {
        if (worker_.joinable())
            worker_.join();
        delete box_;
    }

    bool running() const { return running_; }

    // False (nothing started) while one runs.
    bool start(int captionId, Work work, Done done, std::function<bool(const QString&)> fault)
    {
        if (running_)
            return false;
        if (worker_.joinable())
            worker_.join();
        running_ = true;
        if (!box_)
            box_ = new ProgressBox(nullptr);
        box_->setText(Msg(captionId), captionId);
        box_->setProgress(0, 0);
        box_->show();
        const QString programDir = QDir::currentPath();
        worker_ = std::thread([this, programDir, work = std::move(work), done = std::move(done),
                               fault = std::move(fault)] {
            ParamGroups groups(programDir);
            groups.fault = fault;
            QElapsedTimer shown;
            shown.start();
            groups.progress = [this, &shown](int k, int n) {
                if (k != n && shown.elapsed() < 40)
                    return;
                shown.restart();
                QMetaObject::invokeMethod(
                    this, [this, k, n] { box_->setProgress(k, n); }, Qt::QueuedConnection);
            };
            const ParamGroups::Result r = work(groups);
            QMetaObject::invokeMethod(
                this, [this, r, done] { finish(r, done); }, Qt::QueuedConnection);
        });
        return true;
    }

private:
    void finish(const ParamGroups::Result& r, const Done& done)
    {
        if (worker_.joinable())
            worker_.join();
        box_->hide();
        running_ = false;
        done(r);
    }

    ProgressBox* box_ = nullptr;
    bool running_ = false;
    std::thread worker_;
};

namespace {

// The live record's group index, and the edit copy's with it: Confirm
// compares the two records whole, and a group change is no edit.
void setGroupIndex(int index)
{
    if (gpWPara)
        gpWPara->paramGroupIndex = index;
    if (gpWParaBak)
        gpWParaBak->paramGroupIndex = index;
    if (gpWPara && !gpWPara->SaveAddFile())
        LOG(ERROR) << "parameter groups: sysadd.txt not written";
}

// The message for a name that cannot be used; true when it can.
bool nameUsable(ParamGroups::NameCheck check)
{
    switch (check) {
    case ParamGroups::NameCheck::Ok: return true;
    case ParamGroups::NameCheck::Empty: WarnMessage(282); return false;
    case ParamGroups::NameCheck::Refused: WarnMessage(kMsgGroupNameRefused); return false;
    case ParamGroups::NameCheck::Protected: WarnMessage(kMsgDefaultGroupProtected); return false;
    }
    return false;
}

} // namespace

void WizardParaWidget::WireGroups()
{
    paraGroupDir = QDir::current().filePath(ParamGroups::kFolder);
    if (groupCombo)
        connect(groupCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                &WizardParaWidget::SlotParaGroupChange);
    const std::pair<int, void (WizardParaWidget::*)()> buttons[] = {
        {182, &WizardParaWidget::SlotParaGroupBackup},
        {183, &WizardParaWidget::SlotParaGroupRestore},
        {184, &WizardParaWidget::SlotParaGroupDelete},
    };
    for (const auto& [id, slot] : buttons) {
        ColorButton* b = buttonByText(id);
        if (!b)
            continue;
        connect(b, &QAbstractButton::clicked, this, slot);
        pendingButtons.erase(std::remove(pendingButtons.begin(), pendingButtons.end(), b), pendingButtons.end());
    }
    ParaGroupUpdateList();
}

bool WizardParaWidget::groupWorkRunning() const { return groupRun && groupRun->running(); }

void WizardParaWidget::ParaGroupUpdateList()
{
    const QStringList groups = ParamGroups(QDir::currentPath()).list();
    if (groupCombo) {
        const QSignalBlocker quiet(groupCombo);
        groupCombo->clear();
        for (int i = 0; i < groups.size(); ++i)
            groupCombo->addItem(groups[i], i);
    }
    host_->setParamGroupList(groups);
}

void WizardParaWidget::SlotParaGroupChange(int)
{
    if (groupNameEdit && groupCombo)
        groupNameEdit->setText(groupCombo->currentText());
}

void WizardParaWidget::SlotParaGroupBackup()
{
    if (!groupNameEdit || groupWorkRunning())
        return;
    const QString name = groupNameEdit->text();
    if (gpNumCharPad)
        gpNumCharPad->HideUpdate();
    if (!nameUsable(ParamGroups::CheckName(name)) || !AskYes(283))
        return;
    // The pending edits first, so the group holds what the pages show; a
    // refused or failed Confirm would leave the group with other values.
    const ConfirmOutcome outcome = confirm();
    if (outcome == ConfirmOutcome::Refused || outcome == ConfirmOutcome::SaveFailed)
        return;
    const bool exists = ParamGroups(QDir::currentPath()).list().contains(name);
    if (exists && !AskYes(284))
        return;
    if (!groupRun)
        groupRun = new ParamGroupRun(this);
    const int detections = gDNum;
    groupRun->start(
        182, [name, detections](ParamGroups& g) { return g.backup(name, detections); },
        [this, name](const ParamGroups::Result& r) {
            if (!r.ok) {
                WarnMessage(kMsgGroupNotSaved);
                return;
            }
            ParaGroupUpdateList();
            const int index = groupCombo ? groupCombo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) : -1;
            if (index < 0)
                return;
            setGroupIndex(index);
            groupCombo->setCurrentIndex(index);
        },
        groupFault);
}

void WizardParaWidget::SlotParaGroupRestore()
{
    if (!groupCombo || groupWorkRunning())
        return;
    const int index = groupCombo->currentIndex();
    const QString name = groupCombo->currentText();
    if (index < 0 || name.isEmpty())
        return;
    // The pending edits are not committed: the restored set replaces them.
    if (!AskYes(285))
        return;
    if (!groupRun)
        groupRun = new ParamGroupRun(this);
    const int detections = gDNum;
    groupRun->start(
        183, [name, detections](ParamGroups& g) { return g.restore(name, detections); },
        [this, index, name](const ParamGroups::Result& r) {
            if (!r.ok) {
                WarnMessage(kMsgGroupNotRestored);
                return;
            }
            setGroupIndex(index);
            host_->insertRecord(Msg(286).arg(name));
            host_->flushBeforeGroupReboot();
            // The restored set is read at the next start.
            if (!RequestReboot())
                host_->reopenAfterGroupReboot();
        },
        groupFault);
}

void WizardParaWidget::SlotParaGroupDelete()
{
    if (!groupCombo || groupWorkRunning())
        return;
    const int index = groupCombo->currentIndex();
    const QString name = groupCombo->currentText();
    if (index < 0 || name.isEmpty())
        return;
    if (ParamGroups::CheckName(name) == ParamGroups::NameCheck::Protected) {
        WarnMessage(kMsgDefaultGroupProtected);
        return;
    }
    if (!AskYes(287))
        return;
    if (!groupRun)
        groupRun = new ParamGroupRun(this);
    // The group index stays: it points at the group that follows.
    groupRun->start(
        184, [name](ParamGroups& g) { return g.remove(name); },
        [this, index](const ParamGroups::Result& r) {
            ParaGroupUpdateList();
            if (!r.ok)
                WarnMessage(kMsgGroupNotDeleted);
            if (groupCombo->count() > 0)
                groupCombo->setCurrentIndex(qMin(index, groupCombo->count() - 1));
            SlotParaGroupChange(groupCombo->currentIndex());
        },
        groupFault);
}
