#include "cameragrid.h"

#include <algorithm>

CameraGrid LayoutCameraGrid(int w, int h, int n, int viewCamera, int imageW, int imageH, float startScaleX,
                            float startScaleY)
{
    CameraGrid g;
    n = std::clamp(n, 0, kCameraSlots);
    g.scaleX = startScaleX;
    g.scaleY = startScaleY;
    g.viewCamera = viewCamera;
    if (n == 0)
        return g;
    if (n == 1) {
        g.viewCamera = 0;
        g.cell[0] = QRect(0, 0, w, h);
        g.shown[0] = true;
        g.showType = ZoomShowEnlarge;
        return g;
    }

    int cellW = w;
    int cellH = h;
    if (viewCamera >= 0 && viewCamera < n) {
        g.cell[viewCamera] = QRect(0, 0, w, h);
        g.shown[viewCamera] = true;
        g.showType = ZoomShowEnlarge;
    } else {
        int columns;
        if (n == 2) {
            columns = 2;
            cellW = w / 2;
        } else if (n <= 4) {
            columns = 2;
            cellW = w / 2;
            cellH = h / 2;
        } else if (n <= 6) {
            columns = 3;
            cellW = w / 3 + 1;
            cellH = h / 2;
        } else {
            columns = 4;
            cellW = w / 4;
            cellH = h / 2;
        }
        for (int c = 0; c < n; ++c) {
            g.cell[c] = QRect((c % columns) * cellW, (c / columns) * cellH, cellW, cellH);
            g.shown[c] = true;
        }
        g.showType = ZoomShowNone;
    }
    if (imageW > 0 && imageH > 0) {
        g.scaleX = float(cellW) / float(imageW);
        g.scaleY = float(cellH) / float(imageH);
    }
    g.fracX = w > 0 ? float(cellW) / float(w) : 1.0f;
    g.fracY = h > 0 ? float(cellH) / float(h) : 1.0f;
    return g;
}

QRect ZoomButtonRect(int i, int screenH)
{
    constexpr int kTop = 300, kStep = 75, kSide = 70;
    constexpr int kEnd = kTop + (kZoomButtons - 1) * kStep + kSide;   // 820
    const int lift = std::clamp(kEnd - screenH, 0, kTop);
    return QRect(5, kTop - lift + i * kStep, kSide, kSide);
}

ZoomState ZoomStep(const ZoomState& from, int delta, int pointX, int pointY)
{
    if (delta == 0)
        return ZoomState{};
    double z;
    if (delta > 0) {
        z = std::min(from.zoom * 1.2, 32.0);
    } else {
        z = from.zoom / 1.2;
        if (z < 1.1)
            z = 1.0;
    }
    ZoomState to;
    to.zoom = z;
    if (z == 1.0)
        return to;
    // The point's distance from the pan, in unzoomed pixels, is kept.
    const float qx = float((pointX - from.panX) / from.zoom);
    const float qy = float((pointY - from.panY) / from.zoom);
    to.panX = pointX - qx * z;
    to.panY = pointY - qy * z;
    return to;
}
