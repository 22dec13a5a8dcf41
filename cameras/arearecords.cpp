#include "arearecords.h"

#include "areapanel.h"
#include "messages.h"

#include <algorithm>
#include <array>

namespace {

// The values a record names.  Spot areas pack the grey range into A: the
// minimum in bits 0..7, the maximum in bits 8..15, as the panel and the
// engine read it.
enum RecordValue { ValueA, ValueB, ValueC, ValueSpotMin, ValueSpotMax };

int valueOf(const CammerSingleton& set, int d, int i, RecordValue v)
{
    switch (v) {
    case ValueA:
        return set.roiMinSize[d][i];
    case ValueB:
        return set.roiSensibility[d][i];
    case ValueC:
        return set.roiMaxArea[d][i];
    case ValueSpotMin:
        return SpotGray(set.roiMinSize[d][i], false);
    case ValueSpotMax:
        return SpotGray(set.roiMinSize[d][i], true);
    }
    return 0;
}

struct Clause {
    int messageId;   // "..., Changing the X from %1 to %2"
    RecordValue value;
};

// How a method is written: the text of a changed area with its clauses,
// and the description of an added area with the values it is filled with.
// The ignore area names no values.
struct MethodRecord {
    int changedId;
    int clauseCount;
    std::array<Clause, 4> clauses;
    int addedId;
    int addedCount;
    std::array<RecordValue, 4> added;
};

constexpr MethodRecord kIgnoreRecord{17, 0, {}, 17, 0, {}};
constexpr MethodRecord kSpotRecord{
    89, 4, {{{85, ValueSpotMin}, {86, ValueSpotMax}, {87, ValueB}, {88, ValueC}}},
    77, 4, {ValueSpotMin, ValueSpotMax, ValueB, ValueC}};
constexpr MethodRecord kPositionRecord{
    93, 3, {{{90, ValueB}, {91, ValueC}, {92, ValueA}, {0, ValueA}}},
    79, 3, {ValueB, ValueC, ValueA, ValueA}};
constexpr MethodRecord kDefectRecord{
    97, 3, {{{94, ValueB}, {95, ValueC}, {96, ValueA}, {0, ValueA}}},
    78, 3, {ValueB, ValueA, ValueC, ValueA}};

const MethodRecord& recordOf(int method)
{
    switch (method) {
    case AreaFuncIgnore:
        return kIgnoreRecord;
    case AreaFuncSpot:
        return kSpotRecord;
    case AreaFuncPosition:
        return kPositionRecord;
    default:
        return kDefectRecord;
    }
}

// Fills the %1.. placeholders of a message at once, so a filled text is
// never read as a placeholder.
QString fill(int messageId, const QStringList& args)
{
    QString text = Msg(messageId);
    switch (args.size()) {
    case 0:
        return text;
    case 1:
        return text.arg(args[0]);
    case 2:
        return text.arg(args[0], args[1]);
    case 3:
        return text.arg(args[0], args[1], args[2]);
    case 4:
        return text.arg(args[0], args[1], args[2], args[3]);
    default:
        return text.arg(args[0], args[1], args[2], args[3], args[4]);
    }
}

QString functionName(int method) { return Msg(FunctionNameId(method)); }
QString shapeName(int shape) { return Msg(ShapeNameId(shape)); }

QString addedDescription(const CammerSingleton& set, int d, int i)
{
    const MethodRecord& r = recordOf(set.roiMethod[d][i]);
    QStringList values;
    for (int k = 0; k < r.addedCount; ++k)
        values << QString::number(valueOf(set, d, i, r.added[static_cast<size_t>(k)]));
    return fill(r.addedId, values);
}

bool outlineChanged(const CammerSingleton& s, const CammerSingleton& w, int d, int i)
{
    if (s.roiShape[d][i] != w.roiShape[d][i])
        return true;
    switch (w.roiShape[d][i]) {
    case RoiShapeRect:
        return !(s.roiRect[d][i] == w.roiRect[d][i]);
    case RoiShapeCircle:
        return !(s.roiCircle[d][i] == w.roiCircle[d][i]);
    default:
        return !(s.roiPolygon[d][i] == w.roiPolygon[d][i]);
    }
}

// The record of area i present in both sets; empty when nothing it names changed.
QString changedRecord(const CammerSingleton& s, const CammerSingleton& w, int d, int i)
{
    const int sMethod = s.roiMethod[d][i];
    const int wMethod = w.roiMethod[d][i];
    const bool functionChanged = sMethod != wMethod;
    const bool outline = outlineChanged(s, w, d, i);

    const MethodRecord& r = recordOf(wMethod);
    bool valueChanged = false;
    QStringList clauses;
    for (int k = 0; k < r.clauseCount; ++k) {
        const Clause& c = r.clauses[static_cast<size_t>(k)];
        const int before = valueOf(s, d, i, c.value);
        const int after = valueOf(w, d, i, c.value);
        if (before == after) {
            clauses << QString();
            continue;
        }
        valueChanged = true;
        clauses << Msg(c.messageId).arg(before).arg(after);
    }
    if (!functionChanged && !valueChanged && !outline)
        return {};

    const QString function =
        functionChanged ? Msg(82) + functionName(sMethod) + Msg(83) : Msg(84);
    return fill(99, {shapeName(w.roiShape[d][i]), QString::number(i + 1), function, fill(r.changedId, clauses),
                     outline ? Msg(98) : QString()});
}

int areaCount(const CammerSingleton& set, int d) { return std::clamp(set.roiCount[d], 0, kAreas); }

} // namespace

int FunctionNameId(int method) { return PanelSlidersFor(method, 0, 0, 0, false).funcCaptionId; }

int ShapeNameId(int shape)
{
    switch (shape) {
    case RoiShapeRect:
        return 74;
    case RoiShapeCircle:
        return 75;
    default:
        return 76;
    }
}

QString RecordDetectionName(int systemMode, int d)
{
    switch (systemMode) {
    case 0:
    case 3:
        return Msg(263 + d);
    case 1:
    case 2:
        return Msg(372 + d);
    case 4:
        return Msg(477 + d);
    default:
        return QString::number(d + 1);
    }
}

QString RecordPrefix(int systemMode, int camera, int d)
{
    return Msg(73).arg(QString::number(camera + 1), RecordDetectionName(systemMode, d));
}

AreaChangeRecords AreaChanges(const CammerSingleton& saved, const CammerSingleton& work, int camera, int systemMode,
                              int detections)
{
    AreaChangeRecords out;
    const int last = std::clamp(detections, 0, kDetections);
    for (int d = 0; d < last; ++d) {
        const int savedCount = areaCount(saved, d);
        const int workCount = areaCount(work, d);
        const int both = std::min(savedCount, workCount);
        QString prefix;   // built on the first record of d
        auto add = [&](const QString& text) {
            if (prefix.isEmpty())
                prefix = RecordPrefix(systemMode, camera, d);
            out.texts << prefix + text;
        };
        for (int i = 0; i < std::max(savedCount, workCount); ++i) {
            if (i < both) {
                const QString text = changedRecord(saved, work, d, i);
                if (text.isEmpty())
                    continue;
                add(text);
                if (saved.roiMethod[d][i] == AreaFuncPosition || work.roiMethod[d][i] == AreaFuncPosition)
                    out.positioning = true;
            } else if (i < savedCount) {
                add(fill(81, {shapeName(saved.roiShape[d][i]), QString::number(i + 1),
                              functionName(saved.roiMethod[d][i])}));
                out.positioning |= saved.roiMethod[d][i] == AreaFuncPosition;
            } else {
                add(fill(80, {shapeName(work.roiShape[d][i]), QString::number(i + 1), addedDescription(work, d, i)}));
                out.positioning |= work.roiMethod[d][i] == AreaFuncPosition;
            }
        }
    }
    return out;
}
