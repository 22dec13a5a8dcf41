#include "slotlayout.h"

#include <algorithm>

namespace {

struct RowTable {
    int height, width, gap, firstLeft;
    int boxWidth, boxHeight, boxStep;
};
// The small boxes are a little wider than the rest of that layout, so that
// a cavity name beside the tick stays readable.
constexpr RowTable kSmall{30, 50, 5, 380, 58, 30, 60};
constexpr RowTable kLarge{75, 200, 10, 300, 130, 75, 155};

} // namespace

SlotControlsGeometry SlotControlsLayout(int showW, int showH)
{
    const bool small = showW <= 1024;
    const RowTable& t = small ? kSmall : kLarge;
    const int top = showH - t.height - 5;

    std::vector<QRect> move;
    int x = t.firstLeft;
    for (int i = 0; i < 5; ++i) {
        const int w = i == 4 ? t.width + 20 : t.width;   // the mode button is wider
        move.emplace_back(x, top, w, t.height);
        x += w + t.gap;
    }
    move = FitRow(move, showW);

    // The small layout's boxes would stand on the move row with their
    // second row below the screen: both rows stand right above the move row
    // instead, from its first button on.
    const QPoint first = small ? QPoint(move[0].left(), top - 2 * t.boxHeight - 5) : QPoint(450, 35);
    std::vector<QRect> boxes;
    for (int k = 0; k < 8; ++k)
        boxes.emplace_back(first.x() + k * t.boxStep, first.y(), t.boxWidth, t.boxHeight);
    boxes = FitRow(boxes, showW);

    SlotControlsGeometry g;
    for (int i = 0; i < 5; ++i)
        g.moveButton[i] = move[static_cast<size_t>(i)];
    for (int k = 0; k < 8; ++k) {
        g.cavityBox[k] = boxes[static_cast<size_t>(k)];
        g.cavityBox[k + 8] = g.cavityBox[k].translated(0, t.boxHeight);
    }
    return g;
}

std::vector<QRect> FitRow(const std::vector<QRect>& row, int right)
{
    if (row.empty() || row.back().x() + row.back().width() <= right)
        return row;
    std::vector<QRect> out = row;
    const int span = row.back().x() + row.back().width() - row.front().x();
    if (span <= right) {
        // Shifting left is enough.
        const int dx = row.front().x() - (right - span);
        for (QRect& r : out)
            r.translate(-dx, 0);
        return out;
    }
    int widths = 0;
    for (const QRect& r : row)
        widths += r.width();
    const int gaps = span - widths;
    int x = 0;
    if (widths <= right) {
        // Narrow the gaps, in proportion, as far as needed.
        const int room = right - widths;
        int usedGap = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            if (i > 0) {
                const int gap = row[i].x() - (row[i - 1].x() + row[i - 1].width());
                const int cumulative = gaps > 0 ? static_cast<int>(static_cast<long long>(room) *
                                                                   (usedGap + gap) / gaps)
                                                : 0;
                x += cumulative - (gaps > 0 ? static_cast<int>(static_cast<long long>(room) * usedGap / gaps) : 0);
                usedGap += gap;
            }
            out[i].moveLeft(x);
            x += out[i].width();
        }
        return out;
    }
    // No gaps left: narrow the widths in proportion.
    int usedWidth = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const int left = static_cast<int>(static_cast<long long>(right) * usedWidth / widths);
        usedWidth += row[i].width();
        const int end = static_cast<int>(static_cast<long long>(right) * usedWidth / widths);
        out[i].setLeft(left);
        out[i].setWidth(std::max(end - left, 1));
    }
    return out;
}

int FitTextX(int x, int textWidth, int right)
{
    if (x + textWidth <= right)
        return x;
    return std::max(right - textWidth, 0);
}
