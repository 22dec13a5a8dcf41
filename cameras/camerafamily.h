#pragma once
// The camera families, one row each, in probe order.  A row says how the
// family is probed, counted and driven; each family lives in its own
// family_*.cpp with its probe step and its driver.
#include "cameradriver.h"

#include <memory>
#include <vector>

struct CameraFamily {
    int kind;                  // gCameraID of the family (CameraKind)
    const char* name;
    // The probe step: true when the family answers; it then sets
    // gCameraID, gFindCamera, the image size and its own globals.
    bool (*probe)();
    // Cameras of the family now attached; -1 when the family cannot count.
    int (*count)();
    // How a failed camera is judged: a loss, a loss only when the count
    // differs (or a camera did not open again), or never (no camera).
    enum class Loss { Always, ByCount, Never } loss;
    // The GigE reachability sweep runs before the family enumerates.
    bool reachSweep;
    std::unique_ptr<CameraDriver> (*makeDriver)(const DriverSlot& slot);
};

// The families in probe order (the no-camera row is not among them).
const std::vector<const CameraFamily*>& cameraFamilies();
// The row of a kind: the probed families and the no-camera row; null for
// an unknown kind.
const CameraFamily* cameraFamily(int kind);
