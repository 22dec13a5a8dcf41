#include "pagefit.h"

#include <algorithm>
#include <cmath>

PageFit PageFit::forScreen(int screenW, int screenH, int designW, int designH)
{
    PageFit fit;
    if (screenW > 0 && screenH > 0)
        fit.scale = std::min({1.0, double(screenW) / designW, double(screenH) / designH});
    return fit;
}

int PageFit::px(int designPx) const
{
    return full() ? designPx : int(std::floor(designPx * scale + 1e-9));
}

int PageFit::fontPx(int designPx) const
{
    return full() ? designPx : std::max(kMinFontPx, int(std::lround(designPx * scale)));
}

QFont PageFit::pointFont(const QString& family, int designPt) const
{
    QFont f(family);
    if (full())
        f.setPointSize(designPt);
    else
        f.setPixelSize(fontPx(int(std::lround(designPt * 96.0 / 72.0))));
    return f;
}

QFont PageFit::pixelFont(const QString& family, int designPx) const
{
    QFont f(family);
    f.setPixelSize(fontPx(designPx));
    return f;
}

QRect PageFit::centred(int designW, int designH, int screenW, int screenH) const
{
    const QSize s = size(designW, designH);
    return QRect(std::max(0, (screenW - s.width()) / 2), std::max(0, (screenH - s.height()) / 2),
                 s.width(), s.height());
}
