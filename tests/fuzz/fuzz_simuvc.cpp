// The "uvc" object of a simulated camera-bus device: any bytes give either
// an input or a message naming the key, never a crash.
#include "simuvc.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    UvcInput input;
    QString url, error;
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<int>(size));
    if (parseSimulatedUvc(json, &input, &url, &error)) {
        if (url.isEmpty() || input.readTimeoutMs < 1 || input.readTimeoutMs > 60000)
            __builtin_trap();
    } else if (error.isEmpty()) {
        __builtin_trap();
    }
    return 0;
}
