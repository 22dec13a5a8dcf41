// No camera found: slots 0 to 3 open without a device and never see a frame.
#include "cameraglobals.h"
#include "family_rows.h"

namespace {
class NoCameraDriver : public CameraDriver {
public:
    using CameraDriver::CameraDriver;
    bool open() override { return true; }
    void close() override {}
};

std::unique_ptr<CameraDriver> makeNone(const DriverSlot& slot)
{
    return std::make_unique<NoCameraDriver>(slot);
}

int cannotCount()
{
    return -1;
}
}

const CameraFamily kNoCameraFamily{CameraKindNone, "none", nullptr, &cannotCount, CameraFamily::Loss::Never, false, &makeNone};
