#include "viewtexts.h"

#include "cammersingleton.h"
#include "messages.h"
#include "screenstates.h"
#include "slothost.h"
#include "wizardpara.h"

#include <QtGlobal>

#include <algorithm>

namespace {

// Detection names by system mode: first message id and how many names the
// mode has.
struct DetectionNames {
    int mode;
    int firstMessage;
    int names;
};
constexpr DetectionNames kDetectionNames[] = {
    {SystemModeStandard, 263, 2},
    {SystemModeTwoColor, 372, 4},
    {SystemModeTurntable, 372, 4},
    {SystemModeAutoParts, 263, 2},
    {SystemModeMultiDetect, 477, 8},
};

// Areas above this count get labels without their limit part.
constexpr int kFullLabelAreas = 10;
constexpr double kCountdownShownAbove = 0.02;

// Message ids of the status words.
constexpr int kMsgResampling = 310;
constexpr int kMsgStopping = 311;
constexpr int kMsgDetecting = 312;
constexpr int kMsgStatus = 313;
constexpr int kMsgTemplates = 315;
constexpr int kMsgNgTotalFps = 316;
constexpr int kMsgDetected = 528;
constexpr int kMsgWaiting = 529;
constexpr int kMsgSkip = 575;
constexpr int kMsgTotalFps = 655;

QString rangeText(int low, int high)
{
    return QStringLiteral("%1--%2").arg(low).arg(high);
}

} // namespace

QString DetectionName(int systemMode, int d)
{
    for (const DetectionNames& row : kDetectionNames) {
        if (row.mode == systemMode)
            return d >= 0 && d < row.names ? Msg(row.firstMessage + d) : QString();
    }
    return QString();
}

QString AreaValuePart(int method, int value, int edgeFoundCount)
{
    if (method == AreaFuncDistance)
        return QStringLiteral("%1, %2").arg(edgeFoundCount).arg(value);
    return QString::number(value);
}

namespace {

// The limit part of both labels; the view reads a white-count area's C as its
// two packed limits, the result picture shows C as stored.
QString limitPart(const CammerSingleton& set, int d, int i, const WizardPara& para, bool unpackWhiteCount)
{
    const int b = set.roiSensibility[d][i];
    const int c = set.roiMaxArea[d][i];
    switch (set.roiMethod[d][i]) {
    case AreaFuncDefect:
        return QString::number(para.showAlgorithmDetails ? c : para.minimumArea);
    case AreaFuncSimilarity:
        return QString::number(b);
    case AreaFuncSpot:
        return rangeText(b, c);
    case AreaFuncWhiteCount:
        if (unpackWhiteCount) {
            // Both limits packed in C: low in the low half, high in the high half.
            const auto packed = static_cast<quint32>(c);
            return rangeText(static_cast<int>(packed & 0xFFFFu), static_cast<int>(packed >> 16));
        }
        return QString::number(c);
    default:
        return QString::number(c);
    }
}

QString labelText(int areas, int i, const QString& limit, const QString& value)
{
    const QString number = QString::number(i + 1);
    if (areas <= kFullLabelAreas)
        return QStringLiteral("%1: %2 / %3 ").arg(number, limit, value);
    return QStringLiteral("%1: %2").arg(number, value);
}

} // namespace

QString AreaLimitPart(const CammerSingleton& set, int d, int i, const WizardPara& para)
{
    return limitPart(set, d, i, para, true);
}

QString AreaLabel(const CammerSingleton& set, int d, int i, int value, int edgeFoundCount,
                  const WizardPara& para)
{
    // The limit is only worked out when the label shows it.
    const bool full = set.roiCount[d] <= kFullLabelAreas;
    return labelText(set.roiCount[d], i, full ? AreaLimitPart(set, d, i, para) : QString(),
                     AreaValuePart(set.roiMethod[d][i], value, edgeFoundCount));
}

QString PictureLimitPart(const CammerSingleton& set, int d, int i, const WizardPara& para)
{
    return limitPart(set, d, i, para, false);
}

QString PictureAreaLabel(const CammerSingleton& set, int d, int i, int value, const WizardPara& para)
{
    const bool full = set.roiCount[d] <= kFullLabelAreas;
    return labelText(set.roiCount[d], i, full ? PictureLimitPart(set, d, i, para) : QString(),
                     QString::number(value));
}

float FirstDelayCountdown(const SlotHost& host, int detections)
{
    for (int k = 0; k < std::min(detections, kDetections); ++k) {
        if (host.cycleDelayTimerRunning(k))
            return host.cycleDelayCountdown(k);
    }
    return 0.0f;
}

QString CountdownText(double seconds)
{
    return seconds > kCountdownShownAbove ? QString::number(seconds, 'g', 3) : QString();
}

QString TemplateCounterLine(int tempShown, int templateCount, const QString& keptLabel)
{
    return Msg(kMsgTemplates).arg(QString::number(tempShown + 1), QString::number(templateCount), keptLabel);
}

QString CountLine(bool hideNgCount, int failNum, int allNum, int fps)
{
    if (hideNgCount)
        return Msg(kMsgTotalFps).arg(allNum).arg(fps);
    return Msg(kMsgNgTotalFps).arg(failNum).arg(allNum).arg(fps);
}

StatusLine ViewStatusLine(int camera, const QString& detectionName, int runState, int resultPhase,
                          bool skipActive, int skipCount)
{
    if (skipActive)
        return {Msg(kMsgSkip).arg(camera + 1).arg(skipCount), QColor(Qt::red)};
    int word = kMsgDetecting;
    QColor color(Qt::green);
    if (runState == RunStateTraining) {
        word = kMsgResampling;
        color = QColor(Qt::cyan);
    } else if (runState == RunStateStopped) {
        word = kMsgStopping;
        color = QColor(Qt::red);
    } else if (resultPhase == PhaseDetected) {
        word = kMsgDetected;
    } else if (resultPhase == PhaseShown) {
        word = kMsgWaiting;
    }
    return {Msg(kMsgStatus).arg(QString::number(camera + 1), detectionName, Msg(word)), color};
}

bool AreaLayerPainted(int pageMode, int source, bool liveRoiDisplay)
{
    const bool templ = source == PictureSourceTemplate;
    const bool live = source == PictureSourceLive;
    if (!templ && !live && source != PictureSourceNone)
        return false;
    switch (pageMode) {
    case PageModeNone:
        return liveRoiDisplay || templ;
    case PageModeOKShown:
        return true;
    case PageModeAlarm:
        return templ || live;
    case PageModeArea:
        return templ;
    default:
        return false;
    }
}

bool AreaDrawn(int source, int selRoi, int moveMode, int i, int method)
{
    if (source == PictureSourceTemplate)
        return selRoi < 0 || i == selRoi || moveMode == MoveModeAll;
    if (source == PictureSourceLive || source == PictureSourceNone)
        return method != AreaFuncPosition;
    return false;
}

bool LabelInCounterLine(int source, int selRoi)
{
    return source == PictureSourceTemplate && selRoi >= 0;
}
