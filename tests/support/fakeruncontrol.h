#pragma once
// Scripted fakes of the run-control commands' ports (the window's pages and
// boxes) and a rig that puts RunControl on the cycle rig, with the cycle's
// CheckArea going to the commands as in the program.  The access gates run
// the real password prompts, answered by the rig's text script.
// Header-only: only the run-control tests use it.
#include "fakecycle.h"
#include "passwordbox.h"
#include "runcontrol.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FakeRunControlHost : public RunControlHost {
public:
    bool settingsOrAreaPage = false;   // settings or area page visible
    bool otherPage = false;            // a dialog that only some commands look at
    // Box answers in order; defaultAnswer when they are used up.
    std::deque<int> answers;
    int defaultAnswer = 0;
    // Runs while a box is open, with its message id (the cycle goes on).
    std::function<void(int)> whileBoxOpen;
    std::function<void()> onTempDeleteAll;
    int chosenTrig = 0;

    QList<int> asked;       // message ids of the questions
    QStringList askedTexts;
    QList<int> warned;      // message ids of the warnings
    QStringList events;

    bool settingsOrAreaPageVisible() const override { return settingsOrAreaPage; }
    bool anyPageVisible() const override { return settingsOrAreaPage || otherPage; }
    int ask(int messageId, const QString& text) override
    {
        asked << messageId;
        askedTexts << text;
        if (whileBoxOpen)
            whileBoxOpen(messageId);
        if (answers.empty())
            return defaultAnswer;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void warn(int messageId, const QString&) override
    {
        warned << messageId;
        if (whileBoxOpen)
            whileBoxOpen(messageId);
    }
    void SlotTempDeleteAll() override
    {
        events << QStringLiteral("delete templates");
        if (onTempDeleteAll)
            onTempDeleteAll();
    }
    void AutogenerationRegion(int d) override { events << QStringLiteral("autogenerate %1").arg(d); }
    void showCavityBoxes(int camera) override { events << QStringLiteral("cavity boxes %1").arg(camera); }
    void hideStatusStrip() override { events << QStringLiteral("hide status strip"); }
    int CurChooseTrig() const override { return chosenTrig; }
    void ReSetCaptureMode() override { events << QStringLiteral("capture mode label"); }
    void SaveSN(int clear) override { events << QStringLiteral("save sn %1").arg(clear); }
};

// The cycle's host whose CheckArea is the commands' (as the window's is).
class RunControlCycleHost : public FakeCycleHost {
public:
    std::function<void(bool)> checkArea;
    void CheckArea(bool ask) override
    {
        FakeCycleHost::CheckArea(ask);
        if (checkArea)
            checkArea(ask);
    }
};

// RunControl over the cycle rig's state, slot host, outputs and relay.  The
// rig's controller is rebuilt on cycleHost, whose CheckArea goes to the
// commands, as the main window's does.
class RunControlRig {
public:
    explicit RunControlRig(int cameras = 1, bool withGate = true) : rig(cameras), gate(nullptr)
    {
        loginBox.bindAccessLevel(&accessLevel);
        gpPasswordBox = &loginBox;
        WizardPara::SetText(rig.para.password, QStringLiteral("1234"));
        standardMachine(rig.para);
        rig.slotHost.runState = RunStateDetecting;
        rig.state.manualTrigDetect = gDNum;
        rig.state.multiStepIndex = gDNum - 1;
        gFromTrain = 0;
        gisReTrain = gisReShape = false;

        CycleController::Ports cp;
        cp.slotHost = &rig.slotHost;
        cp.state = &rig.state;
        cp.host = &cycleHost;
        cp.io = rig.io.get();
        cp.clock = rig.env.clock.get();
        cp.relay = &rig.relay;
        cp.stats = &rig.stats;
        cp.cycleLog = &rig.cycleLog;
        rig.controller = std::make_unique<CycleController>(cp);
        for (int c = 0; c < kCameraSlots; ++c)
            rig.controller->setCamera(c, rig.cams[c].get());
        rig.controller->createTimers(rig.scheduler);
        cycleHost.onReCheckClick = [this] { rig.controller->ReDetectHeld(); };

        RunControl::Ports ports;
        ports.slotHost = &rig.slotHost;
        ports.state = &rig.state;
        ports.cycleHost = &cycleHost;
        ports.host = &host;
        ports.cycle = rig.controller.get();
        ports.io = rig.io.get();
        ports.relay = &rig.relay;
        ports.accessLevel = &accessLevel;
        ports.gate = withGate ? &gate : nullptr;
        commands = std::make_unique<RunControl>(ports);
        cycleHost.checkArea = [this](bool ask) { commands->CheckArea(ask); };
    }
    ~RunControlRig()
    {
        gFromTrain = 0;
        gisReTrain = gisReShape = false;
    }

    // Entries the prompts grant: the parameter password (level 1) and the
    // run-time service code of the fake clock's hour (level 2).
    static QString parameterPassword() { return QStringLiteral("1234"); }
    QString serviceCode() const
    {
        return QStringLiteral("5962") + rig.env.clock->now().toString(QStringLiteral("MMddhh"));
    }
    // The entry for a level: nothing (Cancel) for 0.
    std::optional<QString> entryFor(int level) const
    {
        if (level == 2)
            return serviceCode();
        if (level == 1)
            return parameterPassword();
        return std::nullopt;
    }
    // The answers the prompts take, in order; then every prompt is cancelled.
    void enter(std::vector<std::optional<QString>> texts) { rig.env.modalTexts = std::move(texts); }
    // How often a prompt of kind ("PasswordBox", "PasswordDialog") asked.
    int prompts(const QString& kind) const
    {
        int n = 0;
        for (const ModalRequest& r : rig.env.modalRequests)
            n += r.kind == kind;
        return n;
    }

    // Logical output word, whatever the inversion.
    int outputs() const { return rig.io->outWord ^ rig.inversion(); }

    CycleRig rig;
    int accessLevel = 0;
    PasswordBox loginBox;      // gpPasswordBox while the rig lives
    PasswordPromptGate gate;
    FakeRunControlHost host;
    RunControlCycleHost cycleHost;
    std::unique_ptr<RunControl> commands;
};
