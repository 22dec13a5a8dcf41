// Stored area rows ("ROI<g>-<i>" of table "cammer<n>"): whatever the bytes,
// the row parser gives a usable area (default or parsed) with a mask that
// matches its image rectangle, and a row it took as usable reads back the
// same from its own stored text.
#include "testgeometry.h"
#include "cammersingleton.h"
#include "geometry.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
void setGeometryOnce()
{
    static bool done = false;
    if (done)
        return;
    setTestGeometry(320, 240, 2.5);
    done = true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setGeometryOnce();
    static auto store = std::make_unique<CammerSingleton>(0);
    const QByteArray row(reinterpret_cast<const char*>(data), int(size));
    bool repaired = false;
    const cv::Mat mask = store->ParseRoiRow(1, 2, row, &repaired);
    const cv::Rect r = store->AreaImageRect(1, 2);
    if (mask.empty() != (r.width < 1 || r.height < 1) || (!mask.empty() && (mask.cols != r.width || mask.rows != r.height)))
        std::abort();
    if (repaired && !store->IsDefaultArea(1, 2))
        std::abort();
    if (!repaired) {
        // What the save would write reads back as the same area.
        const QByteArray stored = store->RoiRowText(1, 2).toUtf8();
        auto again = std::make_unique<CammerSingleton>(0);
        again->roiOutput[2] = store->roiOutput[2];
        bool repairedAgain = true;
        again->ParseRoiRow(1, 2, stored, &repairedAgain);
        if (repairedAgain || again->RoiRowText(1, 2) != store->RoiRowText(1, 2))
            std::abort();
    }
    return 0;
}
