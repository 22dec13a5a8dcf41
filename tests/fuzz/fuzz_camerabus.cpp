// The camera-bus configuration (MOULDMON_CAMSIM or ./camsim.json): whatever
// the text, the loader either refuses it with a reason and an empty bus, or
// accepts devices whose window lies within the sensor and whose frames are
// the size they claim.
#include "simcamerabus.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    camsim::Bus bus;   // a bus of its own, not the program's
    QString error;
    const bool ok = bus.loadJson(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)), &error);
    if (ok == !error.isEmpty() || (!ok && !bus.all().empty()))
        std::abort();
    for (const auto& d : bus.all()) {
        const camsim::DeviceConfig& c = d->config();
        if (c.width < 1 || c.height < 1 || c.width > 8192 || c.height > 8192 || d->windowWidth() < 1
            || d->windowHeight() < 1 || d->windowWidth() > c.width || d->windowHeight() > c.height)
            std::abort();
        // A frame where that is cheap; file sources would read whatever the
        // input names, so they are left out.
        if (c.source == QLatin1String("files") || static_cast<long>(d->windowWidth()) * d->windowHeight() > 256 * 256)
            continue;
        camsim::Frame f;
        d->makeFrame(&f);
        if (f.data.size() != static_cast<size_t>(f.width) * f.height * camsim::bytesPerPixel(f.format))
            std::abort();
    }
    return 0;
}
