// UVC cameras through the installed capture path (FFmpeg): polled; the
// contrast, gamma and sharpness are software filters of the path.  Two slots
// never share a device node.
#include "cameraglobals.h"
#include "cameraprobe.h"
#include "cameraservices.h"
#include "family_rows.h"
#include "framehandover.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <cstdio>

namespace {
// Device nodes held by open UVC slots.
QMutex gNodesMutex;
QSet<QString> gNodes;

bool probeUvc()
{
    const int n = uvcCameraCount();
    if (n <= 0)
        return false;
    std::unique_ptr<UvcSource> src = makeUvcSource();
    if (!src)
        return false;
    const bool ok = src->open(uvcNode(0));
    src->close();
    if (!ok)
        return false;
    gFindCamera = n;
    gCameraID = CameraKindUvc;
    setProbedSize(960, 540);
    return true;
}

int countUvc()
{
    return uvcCameraCount();
}

// Filter fragments from the panel's values (contrast 0..200, gamma 0..250,
// sharpness 0..100), the factor applied in single precision.
std::string formatted(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
std::string contrastFilter(int contrast)
{
    return formatted("eq=contrast=%f:", static_cast<double>(contrast * 0.02f - 2.0f));
}
std::string gammaFilter(int gamma)
{
    return formatted("gamma=%f,", static_cast<double>(gamma * 0.0396f + 0.1f));
}
std::string sharpnessFilter(int sharpness)
{
    return formatted("unsharp=5:5:%f", static_cast<double>(sharpness * 0.05f));
}

class UvcDriver : public CameraDriver {
public:
    explicit UvcDriver(const DriverSlot& slot) : CameraDriver(slot)
    {
        const CameraValues v = slot.host ? slot.host->cameraValues(slot.camIndex, false) : CameraValues{};
        contrast_ = contrastFilter(v.contrast);
        gamma_ = gammaFilter(v.gamma);
        sharp_ = sharpnessFilter(v.sharpness);
    }

    CameraCapabilities capabilities() const override { return {true}; }

    bool open() override
    {
        source_ = makeUvcSource();
        if (!source_)
            return false;
        bool ok = tryNode(uvcNode(slot_.camIndex));
        for (int n = gFindCamera; !ok && n <= 63; ++n)
            ok = tryNode(uvcNode(n));
        if (!ok) {
            source_.reset();
            return false;
        }
        return true;
    }

    bool start() override
    {
        source_->resume();
        return true;
    }

    void stop() override { source_->interrupt(); }

    void interrupt() override
    {
        if (source_)
            source_->interrupt();
    }

    void close() override
    {
        if (source_)
            source_->close();
        source_.reset();
        QMutexLocker lock(&gNodesMutex);
        gNodes.remove(node_);
        node_.clear();
    }

    GrabResult grab() override
    {
        if (!source_)
            return GrabResult::Nothing;
        // Read and decode without the slot's lock: a stalled device must not
        // block the cycle or the settings.
        FrameHandOver& out = *slot_.frames;
        const int r = source_->readGrey(out.grabBuffer(), gImageW, gImageH);
        if (r < 0)
            return GrabResult::Error;
        if (r == 0)
            return GrabResult::Nothing;
        out.deliverGrey(out.grabBuffer());
        return GrabResult::Frame;
    }

    void setSharpness(int s) override
    {
        QMutexLocker lock(pMutex[slot_.camIndex]);
        sharp_ = sharpnessFilter(s);
        rebuildFilters();
    }

    void setContrast(int k) override
    {
        QMutexLocker lock(pMutex[slot_.camIndex]);
        contrast_ = contrastFilter(k);
        rebuildFilters();
    }

    void setGamma(int m) override
    {
        QMutexLocker lock(pMutex[slot_.camIndex]);
        gamma_ = gammaFilter(m);
        rebuildFilters();
    }

    void restoreDefaults(CameraValues back) override
    {
        back.contrast = 140;
        back.gamma = 40;
        back.sharpness = 0;
        slot_.host->storeEditCameraValues(slot_.camIndex, back);
        QMutexLocker lock(pMutex[slot_.camIndex]);
        contrast_ = contrastFilter(back.contrast);
        gamma_ = gammaFilter(back.gamma);
        sharp_ = sharpnessFilter(back.sharpness);
        extra_.clear();
        // the graph takes them with the next contrast, gamma or sharpness setting
    }

private:
    bool tryNode(const QString& node)
    {
        QMutexLocker lock(&gNodesMutex);
        if (gNodes.contains(node))
            return false;   // another slot holds it
        if (!source_->open(node))
            return false;
        gNodes.insert(node);
        node_ = node;
        return true;
    }

    // The four fragments in order; caller holds pMutex[camIndex].
    void rebuildFilters()
    {
        if (source_)
            source_->setFilters(contrast_ + gamma_ + sharp_ + extra_);
    }

    std::unique_ptr<UvcSource> source_;
    QString node_;
    std::string contrast_, gamma_, sharp_, extra_;
};

std::unique_ptr<CameraDriver> makeUvc(const DriverSlot& slot)
{
    return std::make_unique<UvcDriver>(slot);
}
}

const CameraFamily kUvcFamily{CameraKindUvc, "uvc", &probeUvc, &countUvc, CameraFamily::Loss::Always, false, &makeUvc};
