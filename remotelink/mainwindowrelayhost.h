#pragma once
// The relay messages' view of the main window: its run state, the cycle's
// state and the camera views' saved area sets.  Read on the GUI thread,
// where the window changes them.
#include "relayhost.h"

class MoJuWizard;

class MainWindowRelayHost : public RelayHost {
public:
    // The window outlives this host.
    explicit MainWindowRelayHost(const MoJuWizard& window) : window_(window) {}

    int runState() const override;
    // FailImgIdle for a camera or detection outside the tables.
    int failImageState(int camera, int detection) const override;
    int cycleTime() const override;
    int currentDetect() const override;
    int numCamera() const override;
    // Null for a slot outside 0..7 or not built.
    const CammerSingleton* savedSet(int slot) const override;

private:
    const MoJuWizard& window_;
};
