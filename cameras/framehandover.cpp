#include "framehandover.h"

#include "globals.h"
#include "imageconvert.h"
#include "simcamerabus.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

namespace {
size_t imageLen() { return static_cast<size_t>(gImageLen); }
size_t colorLen() { return static_cast<size_t>(gColorLen); }

// The image library's conversions, called on the whole frame as one row:
// OpenCV splits a conversion over its worker pool by rows, and a single row
// runs on the calling thread, so grab and SDK threads never hand frames to
// that pool.  Pixel by pixel the result is the same.
int onePass() { return gImageLen; }
}

FrameHandOver::FrameHandOver(int camIndex) : camIndex_(camIndex)
{
    recv_.assign(colorLen(), 0);
    grab_.assign(4 * imageLen(), 0);
    convert_.assign(colorLen(), 0);
}

void FrameHandOver::deliver(const uint8_t* frame, size_t length)
{
    QMutexLocker lock(pMutex[camIndex_]);
    std::memcpy(recv_.data(), frame, std::min(length, recv_.size()));
    isImageFill[camIndex_] = true;
    ++delivered_;
}

void FrameHandOver::deliverGrey(const uint8_t* grey)
{
    if (!gisColor) {
        deliver(grey, imageLen());
        return;
    }
    Gray2RGBA(grey, convert_.data(), onePass(), 1);
    deliver(convert_.data(), colorLen());
}

void FrameHandOver::deliverRgb(const uint8_t* rgb)
{
    if (gisColor) {
        RGB2RGBA(convert_.data(), rgb, onePass(), 1);   // the image library's layout, as the engine reads it
    } else {
        camsim::rgbToMono(rgb, convert_.data(), gImageW, gImageH);   // the grey formula the SDK stand-ins use
    }
    deliver(convert_.data(), colorLen());
}

bool FrameHandOver::take(uint8_t* dst)
{
    QMutexLocker lock(pMutex[camIndex_]);
    if (!isImageFill[camIndex_])
        return false;
    std::memcpy(dst, recv_.data(), colorLen());
    isImageFill[camIndex_] = false;
    return true;
}
