// The relay peer's frame decoder and body checks on any byte stream: the
// input is fed whole and again in pieces of sizes taken from its first byte
// (a frame split anywhere must decode the same), and every decoded frame's
// body goes through the checks.  A small length cap keeps the target quick
// and exercises the over-cap path.
#include "peerframes.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace relaypeer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    FrameDecoder whole(64 * 1024);
    std::vector<Frame> a;
    const size_t used = whole.feed(bytes, size, &a);
    if (used > size)
        std::abort();

    FrameDecoder pieces(64 * 1024);
    std::vector<Frame> b;
    const size_t step = size ? 1 + data[0] % 7 : 1;
    for (size_t p = 0; p < size && !pieces.failed(); p += step)
        pieces.feed(bytes + p, std::min(step, size - p), &b);

    if (a.size() != b.size() || whole.failed() != pieces.failed() || whole.error() != pieces.error())
        std::abort();
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].type != b[i].type || a[i].body != b[i].body || a[i].declared != a[i].body.size())
            std::abort();
        if (a[i].body.size() > whole.lengthCap())
            std::abort();
        checkBody(a[i].type, a[i].body);
    }
    if (whole.bufferedBytes() > whole.lengthCap() + 32)
        std::abort();
    // The body checks on the raw input too: the JSON reader and the form
    // splitter meet arbitrary text.
    for (int type : {1, 2, 7, 8, 18, 20})
        checkBody(type, QByteArray::fromRawData(bytes, int(size)));
    return 0;
}
