#pragma once
// What the relay messages read of the main window.  The program answers
// from MoJuWizard (MainWindowRelayHost); tests fill a fake.
class CammerSingleton;

class RelayHost {
public:
    virtual ~RelayHost() = default;
    // MoJuWizard::runState (RunState* of cameras/screenstates.h).
    virtual int runState() const = 0;
    // MoJuWizard::failImageState[camera][detection] (FailImageState*).
    virtual int failImageState(int camera, int detection) const = 0;
    // The last cycle's length in tenths of a second.
    virtual int cycleTime() const = 0;
    // The detection the cycle is on (0..7).
    virtual int currentDetect() const = 0;
    // Camera views in use (slots 0 .. numCamera - 1).
    virtual int numCamera() const = 0;
    // The saved area set of a camera slot; null for a slot not built.
    virtual const CammerSingleton* savedSet(int slot) const = 0;
};
