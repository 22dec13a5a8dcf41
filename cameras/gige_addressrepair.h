#pragma once
// The GigE address repair as the camera probe calls it.  It exists only on a
// configured panel: panel mode on and the interfaces it may send on named in
// MOULDMON_GIGE_INTERFACES (comma separated).  Everywhere else no repair is
// installed and nothing is ever sent.
#include "cameraservices.h"
#include "gige_cameraip.h"
#include "gige_ensuredevicereach.h"

#include <memory>

class GigeAddressRepair : public AddressRepair {
public:
    GigeAddressRepair(GigeRepairEnv repair, EnsureReachEnv reach);
    int EnsureDeviceReach() override;
    // Writes an operation record for each camera it gave up on (no address
    // verified free, or no MAC to address).
    int RepairAllCameraIP() override;
private:
    GigeRepairEnv repair_;
    EnsureReachEnv reach_;
};

// The interfaces named in MOULDMON_GIGE_INTERFACES.
QStringList gigeAllowedInterfacesFromEnvironment();
// Null unless panelModeEnabled() and at least one interface is allowed.
std::shared_ptr<AddressRepair> makeGigeAddressRepairFromEnvironment();
