#include "controlport.h"

#include "globals.h"
#include "iothread.h"
#include "paneldevice.h"
#include "wizardpara.h"

#include <QMutexLocker>

ControlPort* gpControlIO = nullptr;
bool gisSafeDoorOpen = false;

namespace {

// The door rule is off on machines whose door does not end a cycle.
bool doorRuleOn(const WizardPara& w)
{
    return w.systemMode != 1 && w.systemMode != 2;
}

int bitOf(int word, int i) { return (word >> i) & 1; }

}

ControlPort::ControlPort(QThread* link) : ioThread_(link)
{
    inWord = 0;
    IOResetAllOut();
    IOFlashOut();
    if (ioThread_)
        ioThread_->start(QThread::InheritPriority);
}

ControlPort::~ControlPort()
{
    // Production never ends the board thread; tests that gave one stop it here.
    if (ioThread_) {
        ioThread_->requestInterruption();
        ioThread_->wait();
    }
}

void ControlPort::IOSetOut(int out, int on)
{
    if (out < 0 || out >= kOutputBits)
        return;
    const WizardPara& w = *gpWPara;
    bool level = on != 0;
    if (w.outputInvert[out])
        level = !level;
    const int mirrored = w.reserveOutputRole;   // 1..3: output 3 follows output role - 1
    int mask = 1 << out;
    if (mirrored >= 1 && mirrored <= 3 && out == mirrored - 1)
        mask |= 1 << OutReserve;
    if (level)
        outWord |= mask;
    else
        outWord &= ~mask;
}

void ControlPort::IOResetAllOut()
{
    for (int i = 0; i < kOutputBits; ++i)
        IOSetOut(i, 0);
    // Writing output 3 after its source would leave the mirror contradicting
    // the source whenever their inversions differ; re-apply it from the
    // source's applied level.
    const int mirrored = gpWPara->reserveOutputRole;
    if (mirrored >= 1 && mirrored <= 3) {
        if (bitOf(outWord, mirrored - 1))
            outWord |= 1 << OutReserve;
        else
            outWord &= ~(1 << OutReserve);
    }
}

void ControlPort::IOFlashOut()
{
    {
        QMutexLocker lock(pMutexIO);
        gDataOut = outWord;
    }
    if (flushObserver)
        flushObserver(outWord);
}

int ControlPort::IOState(int isOutput, int i) const
{
    // The status strip asks for outputs past the board's last (its four
    // product-pulse lamps after nine outputs): those are off.
    const int bits = isOutput ? kOutputBits : 10;
    if (i < 0 || i >= bits)
        return 0;
    return bitOf(isOutput ? outWord : inWord, i);
}

int ControlPort::IOInTrigger(int i)
{
    {
        QMutexLocker lock(pMutexIO);
        inWord = gDataIn;
    }
    const WizardPara& w = *gpWPara;
    const int role = w.reserveInputRole;   // 1..3: input 3 stands in for input role - 1
    if (role >= 1 && role <= 3) {
        const int target = role - 1;
        if (bitOf(inWord, InReserve))
            inWord |= 1 << target;
        else
            inWord &= ~(1 << target);
    }

    int edge = 0;
    if (i >= 0 && i < kEdgeInputs)
        edge = (prevInput[i] == 0 && bitOf(inWord, i)) ? 1 : 0;

    if (doorRuleOn(w) && prevInput[InSafetyDoor] == 1 && !bitOf(inWord, InSafetyDoor)) {
        // Silence the alarm by its logical state: with an inverted alarm
        // output the applied bit is 0 while the alarm sounds.
        const bool alarmOn = (bitOf(outWord, OutAlarm) ^ (w.outputInvert[OutAlarm] ? 1 : 0)) != 0;
        if (alarmOn)
            IOSetOut(OutAlarm, 0);
        IOFlashOut();
        gisSafeDoorOpen = true;
    }

    if (i >= 0 && i < kEdgeInputs)
        prevInput[i] = static_cast<unsigned char>(bitOf(inWord, i));
    return edge;
}

namespace {
int gLedByte = 0xFF;
}

void LEDOnOff(int bit, int on)
{
    if (bit < 0 || bit > 7)
        return;
    gLedByte = (gLedByte & ~(1 << bit)) | ((on & 1) << bit);
    PanelDevice& dev = panelDevice();
    if (dev.isOpen())
        dev.control(PanelDevice::RequestLedByte | static_cast<unsigned long>(gLedByte), 0);
}

int LEDByte() { return gLedByte; }
