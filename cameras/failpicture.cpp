#include "failpicture.h"

#include "cameraslotstate.h"
#include "cammersingleton.h"
#include "imageconvert.h"
#include "messages.h"
#include "viewtexts.h"
#include "wizardpara.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstring>

namespace {

const char kFontFamily[] = "WenQuanYi Micro Hei";
constexpr int kMarkPixels = 26;
constexpr int kLabelPixels = 16;
constexpr int kReasonLineGap = 30;
constexpr int kMarkX = 5;
constexpr int kStampX = 55;
constexpr int kLabelRise = 26;
constexpr int kLabelW = 400;
constexpr int kLabelH = 24;

constexpr int kMsgSafetyDoor = 265;
constexpr int kMsgClearMethod = 120;
constexpr int kMsgOkRedetect = 143;

// One row per picture state that stamps: its texts and the state after.
struct StampRow {
    int state;
    int firstMessage;
    int secondMessage;   // 0: none
    int next;
};
constexpr StampRow kStamps[] = {
    {4, kMsgClearMethod, 47, 9},    // "Don't Detect"
    {5, kMsgClearMethod, 48, 9},    // "Add As Temp"
    {6, kMsgClearMethod, 338, 9},   // re-detect switched to mould detection
    {7, kMsgClearMethod, 61, 8},    // "Re-detected"
    {8, kMsgOkRedetect, 0, 10},
};

const StampRow* stampRow(int state)
{
    for (const StampRow& row : kStamps)
        if (row.state == state)
            return &row;
    return nullptr;
}

QFont pictureFont(int pixels)
{
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPixelSize(pixels);
    return font;
}

QPen areaPen(bool failed)
{
    // Cosmetic: one pixel wide in the picture whatever scale the outline is
    // drawn under.
    QPen pen(failed ? QColor(Qt::red) : QColor(Qt::green));
    pen.setCosmetic(true);
    return pen;
}

// The frame as the picture's background: grey expanded, colour copied.
void drawFrame(QImage& picture, const CameraSlotState& slot)
{
    const size_t pixels = static_cast<size_t>(slot.imageW) * static_cast<size_t>(slot.imageH);
    const size_t expected = slot.color ? 4 * pixels : pixels;
    if (slot.alignedFrame.size() != expected || static_cast<size_t>(slot.colorLen) != expected) {
        picture.fill(Qt::black);
        return;
    }
    // An RGB32 picture's rows are 4 * width bytes without padding, so the
    // whole picture is one run of words.
    if (slot.color)
        std::memcpy(picture.bits(), slot.alignedFrame.data(), expected);
    else
        Gray2RGBA(slot.alignedFrame.data(), picture.bits(), slot.imageW, slot.imageH);
}

QPoint toImage(const QPoint& view, double showAW, double showAH)
{
    return QPoint(static_cast<int>(view.x() / showAW), static_cast<int>(view.y() / showAH));
}

// Draws the outline of area (d, i) in view coordinates (the painter carries
// the scale to image pixels) and moves *anchor to its label point in image
// pixels; an area without an outline leaves *anchor alone.
void drawOutline(QPainter& p, const CammerSingleton& set, int d, int i, double showAW, double showAH,
                 QPoint* anchor)
{
    switch (set.roiShape[d][i]) {
    case RoiShapeRect: {
        const QRect r = set.roiRect[d][i].rect.normalized();
        p.drawRect(r);
        *anchor = toImage(r.topLeft(), showAW, showAH);
        break;
    }
    case RoiShapePolygon: {
        const RePolygon& polygon = set.roiPolygon[d][i];
        if (polygon.count() == 0)
            break;
        p.drawPolygon(polygon.points().data(), polygon.count());
        *anchor = toImage(polygon.point(0), showAW, showAH);
        break;
    }
    case RoiShapeCircle: {
        const Circle& circle = set.roiCircle[d][i];
        p.drawEllipse(QPoint(circle.cx, circle.cy), circle.r1, circle.r1);
        if (circle.r2 > 0)
            p.drawEllipse(QPoint(circle.cx, circle.cy), circle.r2, circle.r2);
        *anchor = toImage(circle.rect.topLeft(), showAW, showAH);
        break;
    }
    default:
        break;
    }
}

void drawAlarmBoxes(QPainter& p, const CameraSlotState& slot, const CammerSingleton& set, int d, int i)
{
    // A distance area's record holds edge points, not boxes.
    if (set.roiMethod[d][i] == AreaFuncDistance || static_cast<size_t>(d) >= slot.roiAlarm.size())
        return;
    const RoiAlarm& alarm = slot.roiAlarm[static_cast<size_t>(d)][static_cast<size_t>(i)];
    const int boxes = std::clamp(alarm.boxCount(), 0, RoiAlarm::kMaxBoxes);
    for (int k = 1; k <= boxes; ++k) {
        const cv::Rect b = alarm.box(k);
        p.drawRect(QRect(b.x, b.y, b.width, b.height));
    }
}

}   // namespace

int FailPictureTopLine(int showW)
{
    return showW <= 1024 ? 70 : 80;
}

QImage RenderFailPicture(const FailPictureScene& scene)
{
    if (!scene.slot || scene.slot->imageW <= 0 || scene.slot->imageH <= 0)
        return QImage();
    const CameraSlotState& slot = *scene.slot;
    QImage picture(slot.imageW, slot.imageH, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    drawFrame(picture, slot);

    const int top = FailPictureTopLine(scene.showW);
    const QColor markColor = scene.kind == 0 ? QColor(Qt::red) : QColor(Qt::green);
    QPainter p(&picture);
    p.setPen(markColor);
    p.setFont(pictureFont(kMarkPixels));
    p.drawText(QPoint(kMarkX, top), scene.kind == 0 ? QStringLiteral("NG") : QStringLiteral("OK"));
    if (scene.safetyDoorFired)
        p.drawText(QPoint(kMarkX, top + kReasonLineGap), Msg(kMsgSafetyDoor));

    const int d = scene.d;
    if (!scene.set || !scene.para || d < 0 || d >= kDetections)
        return picture;
    const CammerSingleton& set = *scene.set;
    const double showAW = scene.showAW > 0 ? scene.showAW : 1.0;
    const double showAH = scene.showAH > 0 ? scene.showAH : 1.0;
    const int areas = std::clamp(set.roiCount[d], 0, kAreas);
    p.setFont(pictureFont(kLabelPixels));
    QPoint anchor(kMarkX, top);
    for (int i = 0; i < areas; ++i) {
        const bool failed = slot.roiOK[d][i] == 0;
        const QPen pen = areaPen(failed);
        p.setPen(pen);
        if (failed)
            drawAlarmBoxes(p, slot, set, d, i);
        p.save();
        p.scale(1.0 / showAW, 1.0 / showAH);
        drawOutline(p, set, d, i, showAW, showAH, &anchor);
        p.restore();
        p.setPen(pen);
        p.drawText(QRect(anchor.x(), anchor.y() - kLabelRise, kLabelW, kLabelH), Qt::AlignLeft | Qt::AlignVCenter,
                   PictureAreaLabel(set, d, i, slot.roiValue[d][i], *scene.para));
    }
    return picture;
}

QString FailImageStampText(int state)
{
    const StampRow* row = stampRow(state);
    if (!row)
        return QString();
    return QStringLiteral("%1%2").arg(Msg(row->firstMessage), row->secondMessage ? Msg(row->secondMessage) : QString());
}

StampedFailImage StampFailImage(QImage picture, int state, int showW)
{
    const StampRow* row = stampRow(state);
    if (!row)
        return {std::move(picture), state};
    if (!picture.isNull()) {
        // The stored picture is shared with the store; painting detaches it.
        QPainter p(&picture);
        p.setPen(QColor(Qt::red));
        p.setFont(pictureFont(kMarkPixels));
        p.drawText(QPoint(kStampX, FailPictureTopLine(showW)), FailImageStampText(state));
    }
    return {std::move(picture), row->next};
}
