#pragma once
// How a page drawn for a fixed design size fits the screen it is shown on.
// On a screen at least as large as the design every size stays as given; on
// a smaller one every fixed size is scaled by the smaller of the two ratios,
// so the whole page (and its Return button) stays reachable, and fonts
// shrink with it but never below a readable 12 pixels.
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

struct PageFit {
    static constexpr int kMinFontPx = 12;

    double scale = 1.0;

    // scale = min(1, screenW / designW, screenH / designH).
    static PageFit forScreen(int screenW, int screenH, int designW = 1920, int designH = 1080);

    bool full() const { return scale >= 1.0; }
    int px(int designPx) const;
    QSize size(int designW, int designH) const { return QSize(px(designW), px(designH)); }
    int fontPx(int designPx) const;
    // A font given in points at the design size: exactly that point size
    // when not scaled, else pixels (96 dpi) scaled and kept readable.
    QFont pointFont(const QString& family, int designPt) const;
    QFont pixelFont(const QString& family, int designPx) const;
    // A window of the scaled design size centred on the screen, moved so that
    // it never lies above or left of the screen's edge.
    QRect centred(int designW, int designH, int screenW, int screenH) const;
};
