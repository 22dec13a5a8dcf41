#include "machinemodel.h"

#include <utility>

namespace {
constexpr int kMouldOpen = 0;
constexpr int kSafetyDoor = 1;
constexpr int kEjectorBack = 2;
constexpr int kClampBlocked = 0;
constexpr int kEjectorBlocked = 1;
constexpr int kAlarm = 2;
bool bit(int word, int i) { return (word >> i) & 1; }
}

MachineModel::Timing MachineModel::fastTiming()
{
    Timing t;
    // The ejection stays as it is: it must end well before the mould
    // detection, whose delay is the layout's, not the model's.
    t.closeMs = 300;
    t.injectMs = 500;
    t.openMs = 300;
    t.operatorWaitMs = 1000;
    t.partOutMs = 500;
    t.doorCloseMs = 1000;
    return t;
}

MachineModel::MachineModel(const Options& options, Io io) : o_(options), io_(std::move(io)) {}

QString MachineModel::inputName(int index)
{
    static const char* const names[10] = {"MouldOpenEnd", "SafetyDoor", "EjectorBack", "Reserve", "Input5",
                                          "Input6",       "Input7",     "Input8",      "Input9",  "Input10"};
    return index >= 0 && index < 10 ? QLatin1String(names[index]) : QString();
}

int MachineModel::ms(Clock::time_point now, Clock::time_point since) const
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(now - since).count());
}

void MachineModel::setInput(int input, bool level)
{
    if (bit(inputs_, input) == level)
        return;
    inputs_ = level ? inputs_ | (1 << input) : inputs_ & ~(1 << input);
    if (io_.setInput)
        io_.setInput(input, level);
}

void MachineModel::scene(const char* name)
{
    if (io_.setScene)
        io_.setScene(name);
}

void MachineModel::say(const QString& text)
{
    if (io_.trace)
        io_.trace(QStringLiteral("machine: ") + text);
}

bool MachineModel::leavesPart(int cycle) const
{
    return o_.leftIn.count(cycle) > 0 || (o_.leftEvery > 0 && cycle % o_.leftEvery == 0);
}

void MachineModel::start(Clock::time_point now)
{
    // Every input is set once, whatever the board held before.
    if (io_.setInput) {
        io_.setInput(kMouldOpen, false);
        io_.setInput(kSafetyDoor, true);
        io_.setInput(kEjectorBack, true);
    }
    inputs_ = (1 << kSafetyDoor) | (1 << kEjectorBack);
    scene("part");
    phase_ = Phase::Closed;
    since_ = now;
    say(QStringLiteral("mould closed, injecting"));
}

void MachineModel::step(Clock::time_point now, int outputs)
{
    if (phase_ == Phase::Done)
        return;
    const Timing& t = o_.timing;
    const bool alarm = bit(outputs, kAlarm);
    if (alarm && !alarmOn_) {
        ++alarms_;
        cycleHadAlarm_ = true;
        releasePending_ = true;
        say(QStringLiteral("cycle %1: alarm on").arg(cycle_));
    } else if (!alarm && alarmOn_) {
        say(QStringLiteral("cycle %1: alarm off").arg(cycle_));
    }
    alarmOn_ = alarm;
    stepOperator(now, alarm);

    if (phase_ >= Phase::WaitEjector && phase_ <= Phase::WaitClamp) {
        ejectorBlockSeen_ = ejectorBlockSeen_ || bit(outputs, kEjectorBlocked);
        clampBlockSeen_ = clampBlockSeen_ || bit(outputs, kClampBlocked);
    }
    // An interlock counts as released once it was seen and dropped, or when
    // it never came (the monitor does not watch that step).
    auto released = [&](int out, bool seen) {
        return !bit(outputs, out) && (seen || ms(now, openedAt_) >= t.blockGraceMs);
    };

    switch (phase_) {
    case Phase::Closed:
        if (ms(now, since_) >= t.injectMs) {
            ++cycle_;
            leaveThisCycle_ = leavesPart(cycle_);
            cycleHadAlarm_ = false;
            phase_ = Phase::Opening;
            since_ = now;
            say(QStringLiteral("cycle %1: opening%2").arg(cycle_).arg(leaveThisCycle_ ? QStringLiteral(" (this part will stick)") : QString()));
        }
        break;
    case Phase::Opening:
        if (ms(now, since_) >= t.openMs) {
            openedAt_ = now;
            ejectorBlockSeen_ = bit(outputs, kEjectorBlocked);
            clampBlockSeen_ = bit(outputs, kClampBlocked);
            partFell_ = false;
            setInput(kMouldOpen, true);
            phase_ = Phase::WaitEjector;
            since_ = now;
            say(QStringLiteral("cycle %1: mould open, part in the mould").arg(cycle_));
        }
        break;
    case Phase::WaitEjector:
        if (released(kEjectorBlocked, ejectorBlockSeen_)) {
            setInput(kEjectorBack, false);   // the ejector moves forward
            phase_ = Phase::Ejecting;
            since_ = now;
            say(QStringLiteral("cycle %1: ejector released after %2 ms, ejecting").arg(cycle_).arg(ms(now, openedAt_)));
        }
        break;
    case Phase::Ejecting:
        if (!partFell_ && ms(now, since_) >= t.ejectMs) {
            partFell_ = true;
            scene(leaveThisCycle_ ? "left" : "empty");
            say(leaveThisCycle_ ? QStringLiteral("cycle %1: the part stuck in the mould").arg(cycle_)
                                : QStringLiteral("cycle %1: the part fell").arg(cycle_));
        }
        if (ms(now, since_) >= t.ejectorBackMs) {
            setInput(kEjectorBack, true);
            phase_ = Phase::WaitClamp;
            since_ = now;
        }
        break;
    case Phase::WaitClamp:
        if (released(kClampBlocked, clampBlockSeen_) && op_ != Operator::DoorOpen && op_ != Operator::PartOut) {
            if (releasePending_) {
                releasePending_ = false;
                say(QStringLiteral("cycle %1: alarm released").arg(cycle_));
            }
            setInput(kMouldOpen, false);
            phase_ = Phase::Closing;
            since_ = now;
            say(QStringLiteral("cycle %1: closing released after %2 ms, closing").arg(cycle_).arg(ms(now, openedAt_)));
        }
        break;
    case Phase::Closing:
        if (ms(now, since_) >= t.closeMs) {
            if (cycleHadAlarm_) {
                say(QStringLiteral("cycle %1: ended after an alarm").arg(cycle_));
            } else {
                ++okCycles_;
                say(QStringLiteral("cycle %1: OK").arg(cycle_));
            }
            scene("part");   // the next part is moulded
            if (o_.cycles > 0 && cycle_ >= o_.cycles) {
                phase_ = Phase::Done;
                say(QStringLiteral("%1 cycles done: %2 OK, %3 alarm(s)").arg(cycle_).arg(okCycles_).arg(alarms_));
                return;
            }
            phase_ = Phase::Closed;
            since_ = now;
        }
        break;
    case Phase::Done:
        break;
    }
}

void MachineModel::stepOperator(Clock::time_point now, bool alarm)
{
    const Timing& t = o_.timing;
    switch (op_) {
    case Operator::Idle:
        if (alarm) {
            op_ = Operator::Waiting;
            opSince_ = now;
        }
        break;
    case Operator::Waiting:
        if (!alarm) {
            op_ = Operator::Idle;
        } else if (ms(now, opSince_) >= t.operatorWaitMs) {
            setInput(kSafetyDoor, false);
            op_ = Operator::DoorOpen;
            opSince_ = now;
            say(QStringLiteral("cycle %1: operator opens the safety door").arg(cycle_));
        }
        break;
    case Operator::DoorOpen:
        if (ms(now, opSince_) >= t.partOutMs) {
            // Whatever was in the mould is taken out.
            scene("empty");
            op_ = Operator::PartOut;
            say(QStringLiteral("cycle %1: operator takes the part out").arg(cycle_));
        }
        break;
    case Operator::PartOut:
        if (ms(now, opSince_) >= t.doorCloseMs) {
            setInput(kSafetyDoor, true);
            op_ = Operator::Idle;
            say(QStringLiteral("cycle %1: operator closes the safety door").arg(cycle_));
        }
        break;
    }
}
