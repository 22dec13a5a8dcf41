#pragma once
// The detection cycle on the real stack, as the program runs it: the
// controller with real Qt timers on the calling thread, the logical I/O
// layer with the real board thread and serial port on a pty, and the board
// simulator on the other end.  Header-only: the cycle tests and the cycle
// benchmark include it; both link the cycle and the simulator themselves.
#include "boardsim.h"
#include "clock.h"
#include "cyclecounters.h"
#include "cycletimer.h"
#include "fakecycle.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Qt timers that note when they fired last, before their callback runs:
// the end of a detection delay is the moment its timer fired.
class StampedTimerFactory : public CycleTimerFactory {
public:
    using Steady = std::chrono::steady_clock;

    explicit StampedTimerFactory(QObject* parent) : qt_(parent) {}
    std::unique_ptr<CycleTimer> create(std::function<void()> onTimeout, bool singleShot, bool precise) override
    {
        return qt_.create(
            [this, f = std::move(onTimeout)] {
                lastFired = Steady::now();
                f();
            },
            singleShot, precise);
    }
    Steady::time_point lastFired;

private:
    QtCycleTimerFactory qt_;
};


// The controller as the program runs it: real Qt timers on this thread, the
// logical I/O layer with the real board thread on a pty, the simulator on
// the other side; cameras, host and stores are the recording fakes, slots
// 0..7 hold fake cameras until a case puts its own in.
class LinkedCycle {
public:
    using Steady = std::chrono::steady_clock;
    // A published or applied output word and when.
    struct Stamp {
        Steady::time_point at;
        int word;
    };
    // Generous: the rig runs in Debug and sanitizer builds on a loaded machine.
    static constexpr int kWaitMs = 10000;

    explicit LinkedCycle(int cameras) : timers_(&timerOwner_)
    {
        CreateSharedLocks();
        para = FirstStartParameters();
        gpWPara = &para;
        // Delays of 0.1 s each (the mould judges 0.2 s after the start) and
        // nothing inverted, so the board's words read as the logical ones.
        standardMachine(para, 1, 1);
        for (int k = 0; k < kOutputs; ++k)
            para.outputInvert[k] = 0;
        {
            QMutexLocker lock(pMutexIO);
            gDataIn = 0;
            gDataOut = 0;
        }
        gisLostCom = 0;
        gisSafeDoorOpen = false;
        gisReTrain = gisReShape = false;
        gFromTrain = 0;
        numCamera = cameras;
        gisLost = 0;
        gSource = PictureSourceLive;
        g_listParamROI.clear();

        sim.setOutputHook([this](const BoardSimulator::OutputChange& c) {
            std::lock_guard<std::mutex> lock(appliedMutex_);
            applied_.push_back({c.readAt, c.outputs});
        });
        if (!sim.start()) {
            error = "board simulator: " + sim.error().toStdString();
            return;
        }
        qputenv("MOULDMON_SERIAL", sim.slavePath().toLocal8Bit());
        gisCOM = 0;

        for (int c = 0; c < kCameraSlots; ++c)
            fakes[c] = std::make_unique<FakeCycleCamera>(c, &state, &para);
        io = std::make_unique<ControlPort>(new IOThread);
        lastWord_ = io->outWord;
        io->flushObserver = [this](int word) {
            if (word == lastWord_)
                return;
            lastWord_ = word;
            published.push_back({Steady::now(), word});
        };
        CycleController::Ports ports;
        ports.slotHost = &slotHost;
        ports.state = &state;
        ports.host = &host;
        ports.io = io.get();
        ports.clock = &clock_;
        ports.relay = &relay;
        ports.stats = &stats;
        ports.cycleLog = &cycleLog;
        controller = std::make_unique<CycleController>(ports);
        for (int c = 0; c < kCameraSlots; ++c)
            controller->setCamera(c, fakes[c].get());
        controller->createTimers(timers_);
        host.onReCheckClick = [this] { controller->ReDetectHeld(); };
        state.manualTrigDetect = gDNum;
        state.multiStepIndex = gDNum - 1;
        state.currentDetect = 0;
        controller->startLoop();

        // The link is up once the board has answered a few polls.
        if (!waitUntil([this] { return sim.requestCount(BoardSimulator::CmdPollInputs) >= 3; }, kWaitMs))
            error = "the board thread does not poll the simulator";
    }

    ~LinkedCycle()
    {
        if (state.runTimer)
            state.runTimer->stop();
        controller.reset();
        io.reset();   // stops the board thread
        sim.stop();
        qunsetenv("MOULDMON_SERIAL");
        gpWPara = nullptr;
    }

    // Runs this thread's events (the cycle's timers) until pred holds;
    // false when timeoutMs passed first.  The pass timer fires every 3 ms,
    // so the wait never sleeps longer.
    bool waitUntil(const std::function<bool()>& pred, int timeoutMs)
    {
        const Steady::time_point end = Steady::now() + std::chrono::milliseconds(timeoutMs);
        while (!pred()) {
            if (Steady::now() >= end)
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    void idleFor(int ms) { waitUntil([] { return false; }, ms); }

    // When the board read the first set-outputs frame carrying word at or
    // after from; false when it has not (yet).
    bool boardRead(int word, Steady::time_point from, Steady::time_point* at) const
    {
        std::lock_guard<std::mutex> lock(appliedMutex_);
        for (const Stamp& s : applied_)
            if (s.at >= from && s.word == word) {
                *at = s.at;
                return true;
            }
        return false;
    }

    // No delay counting, the input low as the pass saw it, the board idle.
    bool idle() const
    {
        for (int k = 0; k < gDNum; ++k)
            if (state.detectDelayTimers[k]->isActive())
                return false;
        return (io->inWord & 1) == 0 && sim.outputs() == 0 && state.pageMode != PageModeAlarm;
    }

    std::string error;   // set when the rig could not be built
    TestEnv env;
    WizardPara para;
    BoardSimulator sim;
    FakeSlotHost slotHost;
    CycleState state;
    FakeCycleHost host;
    RecordingRelayLink relay;
    FakeStatsSink stats;
    FakeCycleLog cycleLog;
    std::unique_ptr<FakeCycleCamera> fakes[kCameraSlots];
    std::unique_ptr<ControlPort> io;
    std::unique_ptr<CycleController> controller;
    // Each change of the word the controller published, stamped (this thread).
    std::vector<Stamp> published;

    Steady::time_point lastTimerFired() const { return timers_.lastFired; }

private:
    SystemClock clock_;
    QObject timerOwner_;
    StampedTimerFactory timers_;
    int lastWord_ = 0;
    mutable std::mutex appliedMutex_;
    std::vector<Stamp> applied_;   // the simulator's thread appends
};
