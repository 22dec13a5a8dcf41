#pragma once
// The logical I/O layer: the cycle speaks of logical inputs and outputs, this
// class turns them into bits of the shared words gDataIn/gDataOut (applying
// the per-output inversion, the reserve-output mirror, the reserve-input
// substitution and the safety-door rule).  GUI thread only; the board thread
// on the other side of the words is handed in, so tests run without one.
#include <QThread>

#include <functional>
#include <memory>

// Logical outputs (bit of the output word = board output number - 1).
enum LogicalOutput {
    OutNotAllowClose = 0,    // mould closing blocked
    OutNotAllowThimble = 1,  // ejector blocked
    OutAlarm = 2,
    OutReserve = 3,          // may mirror output 0, 1 or 2
    OutArea1 = 4,
    OutArea2 = 5,
    OutArea3 = 6,
    OutArea4 = 7,
    OutStep8 = 8,            // ninth board output, multi-detection mode only
};
constexpr int kOutputBits = 9;

// Logical inputs (bit of the input word); 4..8 are the further trigger
// inputs of the multi-detection mode.
enum LogicalInput {
    InMouldOpenEnd = 0,
    InSafetyDoor = 1,
    InEjectorBack = 2,
    InReserve = 3,
};
// Inputs with edges, filters and a place in the main-loop pass: 0..8.
constexpr int kEdgeInputs = 9;

// Set by the safety-door rule, read and cleared by the cycle.
extern bool gisSafeDoorOpen;

class ControlPort {
public:
    // Publishes every output off, then starts link (when given) with
    // inherited priority.  Takes ownership of link; it is never stopped.
    explicit ControlPort(QThread* link);
    ~ControlPort();
    ControlPort(const ControlPort&) = delete;
    ControlPort& operator=(const ControlPort&) = delete;

    unsigned char prevInput[kEdgeInputs] = {};  // raw level at the previous IOInTrigger(i)
    int outWord = 0;     // applied levels (after inversion)
    int inWord = 0;      // last snapshot of gDataIn, after the reserve-input substitution

    void IOSetOut(int out, int on);
    void IOResetAllOut();
    void IOFlashOut();
    int IOState(int isOutput, int i) const;
    int IOInTrigger(int i);

    // Sees every word IOFlashOut publishes (tests record the output trace).
    std::function<void(int word)> flushObserver;

    QThread* ioThread() const { return ioThread_.get(); }

private:
    std::unique_ptr<QThread> ioThread_;
};

// The one instance, built by the main window's constructor.
extern ControlPort* gpControlIO;

// Sets LED bit (0..7) to on & 1 and sends the whole byte to the panel device
// (request 0x5A018000 | byte).  The byte starts at 0xFF and changes even
// when the device is closed.
void LEDOnOff(int bit, int on);
int LEDByte();
