#include "iostatusmodel.h"

#include "messages.h"
#include "operationrecord.h"
#include "wizardpara.h"

#include <algorithm>

namespace {

constexpr int kMultiDetectMode = 4;
// Inputs and outputs 4 to 8 of the multi-detection mode need more lamps than
// their index - 1.
constexpr int kFirstCountedLamp = 4;
constexpr int kLastCountedLamp = 8;
constexpr int kFirstPlaceX = 7;
constexpr int kOutputGap = 20;   // plus a lamp width between inputs and outputs

const StripMetrics kSmall{50, 30, 40, 35, 10, 12, 16, 20, 40, 40, 60, 16};
const StripMetrics kLarge{180, 70, 80, 75, 16, 18, 35, 45, 150, 155, 150, 22};

bool counted(int index, int statusLampCount)
{
    return statusLampCount > index - 1;
}

int bit(quint32 word, int i)
{
    return i >= 0 && i < 32 ? int((word >> i) & 1u) : 0;
}

// Without the real font: a Latin character is about 0.55 of the pixel size
// wide (as the group's advance reckons), any other (Chinese) a full size.
int estimatedWidth(const QString& text, int px)
{
    double w = 0;
    for (const QChar c : text)
        w += c.unicode() < 0x2E80 ? 0.55 * px : px;
    return int(w + 0.5);
}

// Right end of the text line.
int lineEnd(const QList<StripText>& texts, const std::function<int(const QString&, int)>& width)
{
    int end = 0;
    for (const StripText& t : texts)
        end = std::max(end, t.pos.x() + width(t.text, t.px));
    return end;
}

// Keeps the text line left of the side bar's column (see LayOutStrip).
// bands: where the line may start instead of the table's place, in order.
// False when not even the screen's edge could be kept.
bool fitTexts(StripPicture& pic, const StripInput& in, const QList<QPoint>& bands)
{
    const auto width = in.textWidth ? in.textWidth : std::function<int(const QString&, int)>(estimatedWidth);
    if (pic.texts.isEmpty())
        return true;
    const QList<StripText> table = pic.texts;
    const QPoint start = table.first().pos;
    QList<QPoint> starts{start};
    starts += bands;
    // Left of the bar if at all possible, down to 3/5; else on the screen,
    // seen whenever the bar is hidden, down to 1/2; else the place and size
    // that leave the least of the line past the screen's edge.
    struct Pass {
        int limit;
        int minPercent;
    };
    const Pass passes[] = {{in.screenW - kStripSideBarWidth, 60}, {in.screenW, 50}};
    QList<StripText> best = table;
    int bestEnd = lineEnd(table, width);
    for (const Pass& pass : passes) {
        for (const QPoint& band : starts) {
            for (int percent = 100; percent >= pass.minPercent; percent -= 5) {
                for (int i = 0; i < table.size(); ++i) {
                    pic.texts[i].px = std::max(1, (table[i].px * percent + 50) / 100);
                    pic.texts[i].pos = QPoint(band.x() + (table[i].pos.x() - start.x()) * percent / 100, band.y());
                }
                const int end = lineEnd(pic.texts, width);
                if (end <= pass.limit)
                    return true;
                if (end < bestEnd) {
                    best = pic.texts;
                    bestEnd = end;
                }
            }
        }
    }
    pic.texts = best;
    return false;
}

} // namespace

StripParams StripParams::from(const WizardPara& w)
{
    StripParams p;
    p.systemMode = w.systemMode;
    for (int d = 0; d < kDetections; ++d)
        p.detectTriggerInput[d] = w.detectTriggerInput[d];
    p.statusLampCount = w.statusLampCount;
    p.productNgPulseNoAlarm = w.productNgPulseNoAlarm;
    p.productOkNgOutputs = w.productOkNgOutputs;
    p.paramGroupIndex = w.paramGroupIndex;
    p.passwordEnabled = w.passwordEnabled;
    return p;
}

const StripMetrics& StripMetricsFor(int screenW)
{
    return screenW <= 1024 ? kSmall : kLarge;
}

StripLampSet StripLampsFor(const StripParams& p)
{
    StripLampSet s;
    s.inputs = 1u << 1;   // the safety door, always
    s.outputs = 4;
    if (p.systemMode == kMultiDetectMode) {
        for (int d = 0; d < kDetections; ++d) {
            const int in = p.detectTriggerInput[d];
            if (in < 0 || in >= kStripInputs)   // -1 and 255 name none; input 9 has no place
                continue;
            if (in >= kFirstCountedLamp && !counted(in, p.statusLampCount))
                continue;
            s.inputs |= 1u << in;
        }
        for (int k = kFirstCountedLamp; k <= kLastCountedLamp; ++k)
            if (counted(k, p.statusLampCount))
                s.outputs = k + 1;
    } else {
        s.inputs = 0xFu;
    }
    s.productPulse = p.productNgPulseNoAlarm != 0 || p.productOkNgOutputs != 0;
    return s;
}

QString StripCycleText(int cycleTime)
{
    return QString::asprintf("%4.1f", cycleTime / 10.0);
}

StripPicture LayOutStrip(const StripInput& in)
{
    const StripMetrics& m = StripMetricsFor(in.screenW);
    const StripParams& p = in.para;
    const StripLampSet set = StripLampsFor(p);
    const bool multi = p.systemMode == kMultiDetectMode;
    const bool twoRows = multi && m.height == kLarge.height;
    const int bottom = m.height - 1;

    int inputLampY, inputLabelY, outputLampY, outputLabelY;
    if (twoRows) {
        inputLampY = bottom + 1 - 2 * (m.lampH + 5);
        inputLabelY = bottom - m.lampH - 29;
        outputLampY = bottom - m.lampH - 4;
        outputLabelY = bottom - 25;
    } else {
        inputLampY = outputLampY = bottom - m.lampH - 4;
        inputLabelY = outputLabelY = bottom - m.labelDy;
    }

    StripPicture pic;
    pic.labelPx = m.labelPx;
    auto add = [&](int x, int y, int labelY, int level, const QString& label) {
        StripLamp lamp;
        lamp.rect = QRect(x, y, m.lampW, m.lampH);
        lamp.level = level;
        lamp.label = label;
        lamp.labelRect = QRect(x, labelY, m.lampW, m.labelH);
        pic.lamps << lamp;
    };
    auto name = [&](int entry) { return in.names && entry < kStatusLabels ? in.names[entry] : QString(); };

    // Input 0 owns the first place even when it has no lamp; every other
    // shown input takes the next place.
    int place = 0;
    int lastInputX = kFirstPlaceX;
    for (int i = 0; i < kStripInputs; ++i) {
        if (i > 0 && (set.inputs & (1u << i)) == 0)
            continue;
        const int x = kFirstPlaceX + place * m.step;
        ++place;
        if ((set.inputs & (1u << i)) == 0)
            continue;
        add(x, inputLampY, inputLabelY, bit(in.levels.inputs, i), name(i));
        lastInputX = x;
    }

    int x = twoRows ? kFirstPlaceX : lastInputX + kOutputGap + m.lampW;
    const int firstOutputName = multi ? 9 : 4;
    for (int k = 0; k < set.outputLamps(); ++k, x += m.step) {
        const bool pulse = k >= set.outputs;
        const QString label = pulse ? QStringLiteral(" N %1 ").arg(k - set.outputs + 1) : name(firstOutputName + k);
        add(x, outputLampY, outputLabelY, bit(in.levels.outputs, k), label);
    }

    int textX = pic.lamps.last().rect.x() + m.textDx;
    const int index = p.paramGroupIndex;
    const bool group = index >= 0 && index < in.paramGroups.size() && in.paramGroups[index] != QLatin1String("default");
    if (group) {
        const QString text = Msg(557, in.language) + QLatin1Char(':') + in.paramGroups[index];
        pic.texts << StripText{text, m.groupPx, QColor(255, 0, 0), QPoint(textX, m.baseline)};
        textX = int(textX + (text.size() + 1) * m.groupPx * 0.55 + m.groupPx);
    }
    if (p.passwordEnabled) {
        const bool none = in.accessLevel == AccessLevelNone;
        pic.texts << StripText{Msg(none ? 156 : 308, in.language), m.textPx,
                               none ? QColor(255, 0, 0) : QColor(0, 255, 0), QPoint(textX, m.baseline)};
        textX += m.loginAdvance + 20 * in.language;
    }
    QString clock = in.now.toString(QStringLiteral("yyyy-MM-dd hh.mm.ss"));
    if (in.mounted)
        clock.prepend(QStringLiteral("* "));
    pic.texts << StripText{Msg(110, in.language).arg(clock, StripCycleText(in.cycleTime)), m.textPx,
                           QColor(0, 255, 0), QPoint(textX, m.baseline)};
    // Other places for the line: the large one-row layout has the band
    // above its lamps; two rows have the input row's end.
    QList<QPoint> bands;
    if (twoRows) {
        int lastInputRight = 0;
        for (const StripLamp& lamp : pic.lamps)
            if (lamp.rect.y() == inputLampY)
                lastInputRight = std::max(lastInputRight, lamp.rect.right());
        bands << QPoint(lastInputRight + kOutputGap, inputLampY + m.lampH - m.lampH / 4);
    } else if (m.height == kLarge.height) {
        bands << QPoint(kFirstPlaceX, outputLampY - m.textPx / 3);
    }
    const StripPicture table = pic;
    if (!fitTexts(pic, in, bands) && group) {
        // The clock, the cycle time and the login state matter more than the
        // group's name: without it, at the group's place.
        pic = table;
        const int dx = pic.texts[1].pos.x() - pic.texts[0].pos.x();
        pic.texts.removeFirst();
        for (StripText& t : pic.texts)
            t.pos.rx() -= dx;
        fitTexts(pic, in, bands);
    }
    return pic;
}
