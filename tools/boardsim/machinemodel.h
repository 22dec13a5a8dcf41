#pragma once
// An injection-moulding machine as the monitor's I/O board sees it.
//
// Inputs it drives: 0 mould open end, 1 safety door (1 closed), 2 ejector
// back.  Outputs it obeys: 0 closing blocked, 1 ejector blocked, 2 alarm
// (read as applied: the demo layout inverts none of them).
//
// One machine cycle: the mould opens (input 0 rises) with the part in it;
// the machine waits while the ejector is blocked, then ejects (input 2
// falls, the part falls, input 2 rises again); it waits while closing is
// blocked, closes (input 0 falls), injects and opens again.  In the cycles
// chosen the part stays in the mould.  While the alarm is on the model also
// plays the operator: after a while it opens the safety door (input 1
// falls), takes the part out and closes the door again (input 1 rises).
//
// The model is a step function of time and the applied outputs, so tests
// drive it with made-up times; mm_boardsim --machine steps it every 10 ms
// on the simulator's thread.  What the cameras see changes through the
// scene callback ("part", "empty", "left").
#include <QString>

#include <chrono>
#include <functional>
#include <set>

class MachineModel {
public:
    using Clock = std::chrono::steady_clock;

    struct Timing {
        int ejectMs = 200;          // ejector release -> the part falls
        int ejectorBackMs = 400;    // ejector release -> ejector back (input 2)
        int closeMs = 1000;         // closing
        int injectMs = 2000;        // injection and cooling
        int openMs = 800;           // opening
        int blockGraceMs = 1000;    // an interlock not seen this long after the opening counts as released
        int operatorWaitMs = 3000;  // alarm -> the operator opens the door
        int partOutMs = 1500;       // door open -> the part is out
        int doorCloseMs = 2500;     // door open -> door closed
    };
    static Timing normalTiming() { return Timing(); }
    // For tests: the same sequence in about half the time.
    static Timing fastTiming();

    struct Options {
        Timing timing;
        int cycles = 0;        // 0: endless
        int leftEvery = 0;     // a part stays in every Nth cycle; 0: never
        std::set<int> leftIn;  // ... and in these cycles (1-based)
    };

    struct Io {
        std::function<void(int input, bool level)> setInput;
        std::function<void(const char* scene)> setScene;   // every camera
        std::function<void(const QString& line)> trace;
    };

    enum class Phase { Closed, Opening, WaitEjector, Ejecting, WaitClamp, Closing, Done };

    MachineModel(const Options& options, Io io);

    // The machine at rest: mould closed and injecting, door closed, ejector
    // back, the part in the mould.
    void start(Clock::time_point now);
    // The current phase counts its time from now (a machine held at rest
    // until the monitor is there).
    void restartPhase(Clock::time_point now) { since_ = now; }
    // Advances to now with the applied output word.
    void step(Clock::time_point now, int outputs);

    bool finished() const { return phase_ == Phase::Done; }
    Phase phase() const { return phase_; }
    int cycle() const { return cycle_; }
    int okCycles() const { return okCycles_; }
    int alarms() const { return alarms_; }
    bool partLeftThisCycle() const { return leaveThisCycle_; }

    static QString inputName(int index);

private:
    int ms(Clock::time_point now, Clock::time_point since) const;
    void setInput(int input, bool level);
    void scene(const char* name);
    void say(const QString& text);
    void stepOperator(Clock::time_point now, bool alarm);
    bool leavesPart(int cycle) const;

    Options o_;
    Io io_;
    Phase phase_ = Phase::Closed;
    Clock::time_point since_;    // entry into the current phase
    Clock::time_point openedAt_;
    int cycle_ = 0;
    int okCycles_ = 0;
    int alarms_ = 0;
    bool leaveThisCycle_ = false;
    bool cycleHadAlarm_ = false;
    bool ejectorBlockSeen_ = false;
    bool clampBlockSeen_ = false;
    bool partFell_ = false;
    bool ejectorBack_ = true;
    bool alarmOn_ = false;
    // The operator.
    enum class Operator { Idle, Waiting, DoorOpen, PartOut } op_ = Operator::Idle;
    Clock::time_point opSince_;
    bool releasePending_ = false;   // an alarm happened; closing not yet released
    int inputs_ = 0;
};
