#include "viewpainter.h"
#include "areapanel.h"

#include "cameraglobals.h"
#include "cyclecounters.h"
#include "kitlayout.h"
#include "messages.h"
#include "relaylink.h"
#include "slothost.h"
#include "slotlayout.h"
#include "viewtexts.h"
#include "wizardpara.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor kSalmon(QStringLiteral("#E9967A"));   // the alarm-area legend and squares

// Font sizes and positions of the two layouts.
struct Layout {
    bool large;
    int pick(int largeValue, int smallValue) const { return large ? largeValue : smallValue; }
    QPoint at(QPoint largePos, QPoint smallPos) const { return large ? largePos : smallPos; }
};

QFont viewFont(int px)
{
    QFont f = MicroHei(px);
    f.setWeight(QFont::Normal);
    return f;
}

// Draws texts so that each ends inside the view, whatever the painter's
// scale and translation, and reports them when asked.
class TextWriter {
public:
    TextWriter(QPainter& painter, const QSize& view, std::vector<DrawnText>* sink)
        : p_(painter), view_(view), sink_(sink)
    {
    }

    // Text with its baseline starting at (x, y).  A text wider than the
    // whole view (a long record name in the large layout) is drawn smaller.
    void at(int x, int y, const QString& text) { within(x, y, text, 0, localRight()); }

    // The same, kept between left and right (local units): a text wider than
    // that room is drawn smaller.
    void within(int x, int y, const QString& text, int left, int right)
    {
        right -= left;
        x = std::max(x - left, 0);
        const QFont kept = p_.font();
        int w = p_.fontMetrics().horizontalAdvance(text);
        if (w > right && w > 0 && kept.pixelSize() > 0) {
            QFont smaller = kept;
            smaller.setPixelSize(std::max(kept.pixelSize() * right / w, 1));
            p_.setFont(smaller);
            w = p_.fontMetrics().horizontalAdvance(text);
        }
        const QFontMetrics fm = p_.fontMetrics();
        const int fx = left + FitTextX(x, w, right);
        p_.drawText(fx, y, text);
        report(text, QRect(fx, y - fm.ascent(), w, fm.height()));
        p_.setFont(kept);
    }

    // Text left-aligned and vertically centred in r, r moved left as far as
    // the text needs.
    void inRect(QRect r, const QString& text)
    {
        const QFontMetrics fm = p_.fontMetrics();
        const int w = fm.horizontalAdvance(text);
        r.moveLeft(FitTextX(r.left(), w, localRight()));
        p_.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
        report(text, QRect(r.left(), r.center().y() - fm.height() / 2, w, fm.height()));
    }

    // Whether a text starting at x ends inside the view.
    bool fits(int x, const QString& text) const
    {
        return x + p_.fontMetrics().horizontalAdvance(text) <= localRight();
    }

    // Text ending at the view's right edge, baseline y; the place it takes
    // is kept so that later texts of its line can keep clear of it.
    void atRightEdge(int y, const QString& text)
    {
        const QFontMetrics fm = p_.fontMetrics();
        const int w = fm.horizontalAdvance(text);
        const int x = std::max(localRight() - w, 0);
        p_.drawText(x, y, text);
        taken_ = p_.worldTransform().mapRect(QRect(x, y - fm.ascent(), w, fm.height()));
        report(text, QRect(x, y - fm.ascent(), w, fm.height()));
    }

    // Whether a text of the given local rectangle would run into the place
    // kept by atRightEdge.
    bool clashes(const QRect& local) const
    {
        return !taken_.isNull() && p_.worldTransform().mapRect(local).intersects(taken_);
    }

    // Width of the view in the painter's current units.
    int localRight() const
    {
        const QTransform inverse = p_.worldTransform().inverted();
        return static_cast<int>(std::floor(inverse.map(QPointF(view_.width(), 0)).x()));
    }

private:
    void report(const QString& text, const QRect& local)
    {
        if (sink_)
            sink_->push_back({text, p_.worldTransform().mapRect(local), p_.pen().color()});
    }

    QPainter& p_;
    QSize view_;
    std::vector<DrawnText>* sink_;
    QRect taken_;   // view pixels
};

void drawPicture(QPainter& p, const QImage& image, const QSize& view)
{
    p.drawImage(QRect(QPoint(0, 0), view), image);
}

void applyZoom(QPainter& p, const ViewState& v)
{
    p.translate(v.panX, v.panY);
    p.scale(v.zoom, v.zoom);
}

QString detectionName(const WizardPara& para, int d) { return DetectionName(para.systemMode, d); }

// Status word and colour by the run state only (recent-NG view).
StatusLine runStateStatus(int camera, const QString& name, int runState)
{
    int word = 312;
    QColor color(Qt::green);
    if (runState == RunStateTraining) {
        word = 310;
        color = QColor(Qt::cyan);
    } else if (runState == RunStateStopped) {
        word = 311;
        color = QColor(Qt::red);
    }
    return {Msg(313).arg(QString::number(camera + 1), name, Msg(word)), color};
}

void paintRecords(QPainter& p, const ViewPaintInput& in, const Layout& lay, TextWriter& out)
{
    const ViewState& v = in.host->viewState();
    const RecordPictures& rec = in.host->recordPictures();
    if (rec.recordCount > 0 && !rec.recordImage.isNull()) {
        p.save();
        applyZoom(p, v);
        drawPicture(p, rec.recordImage, in.viewSize);
        p.restore();
    }
    p.setFont(viewFont(lay.pick(45, 20)));
    p.setPen(Qt::green);
    const QString kind = Msg(in.source == PictureSourceOKRecord ? 216 : 217);
    const QPoint pos = lay.at({5, 40}, {5, 20});
    // Stored pictures are shown with one camera alone and the page open: the
    // title keeps clear of the page's column, so the picture's name stays
    // readable.
    const PageRoom room = PageRoomFor(gShowW, in.host->areaPageAtLeft());
    out.within(pos.x(), pos.y(),
               Msg(218).arg(QString::number(rec.recordCamera + 1),
                            detectionName(in.host->liveParameters(), v.editDetect), kind,
                            QString::number(rec.recordCount), QString::number(rec.recordIndex + 1), rec.recordName),
               room.left, std::min(room.right, in.viewSize.width()));
}

void paintRecentNG(QPainter& p, const ViewPaintInput& in, const Layout& lay, TextWriter& out)
{
    const CameraSlotState& slot = *in.slot;
    const ViewState& v = in.host->viewState();
    const WizardPara& para = in.host->liveParameters();
    if (ConvertShownFrame(slot, in.buffer) && in.viewImage) {
        p.save();
        applyZoom(p, v);
        drawPicture(p, *in.viewImage, in.viewSize);
        p.restore();
    }
    const int d = std::clamp(v.editDetect, 0, kDetections - 1);
    const QString name = detectionName(para, d);
    const StatusLine status = runStateStatus(slot.camIndex, name, in.host->runState);
    p.setFont(viewFont(lay.pick(45, 20)));
    p.setPen(status.color);
    QPoint pos = lay.at({5, 40}, {5, 20});
    out.at(pos.x(), pos.y(), status.text);
    p.setFont(viewFont(lay.pick(45, 16)));
    p.setPen(Qt::green);
    pos = lay.at({600, 40}, {320, 22});
    out.at(pos.x(), pos.y(),
           Msg(314).arg(name, QString::number(slot.recentShown + 1),
                        QString::number(std::min(slot.recentNGCount[d], CameraSlotState::kRecentNGFrames))));
}

// Where an area's label sits: the top-left of its rectangle or circle, or
// its polygon's first point.  False for an unknown shape code.
bool areaAnchor(const CammerSingleton& set, int d, int i, QPoint* anchor)
{
    switch (set.roiShape[d][i]) {
    case RoiShapeRect:
        *anchor = set.roiRect[d][i].rect.topLeft();
        return true;
    case RoiShapeCircle:
        *anchor = set.roiCircle[d][i].rect.topLeft();
        return true;
    case RoiShapePolygon:
        if (set.roiPolygon[d][i].count() == 0)
            return false;
        *anchor = set.roiPolygon[d][i].point(0);
        return true;
    default:
        return false;
    }
}

void drawShape(QPainter& p, const CammerSingleton& set, int d, int i)
{
    switch (set.roiShape[d][i]) {
    case RoiShapeRect:
        set.roiRect[d][i].Draw(p);
        break;
    case RoiShapeCircle:
        set.roiCircle[d][i].Draw(p);
        break;
    case RoiShapePolygon:
        set.roiPolygon[d][i].Draw(p);
        break;
    default:
        break;
    }
}

QRect ring(const QPoint& c) { return QRect(QPoint(c.x() - 5, c.y() - 5), QPoint(c.x() + 4, c.y() + 4)); }

// The squares that show the smallest defect filtered and the alarm area.
void drawScaleSquares(QPainter& p, const CammerSingleton& set, int d, int i, const WizardPara& para)
{
    const cv::Rect r = set.AreaImageRect(d, i);
    if (r.width < 1 || r.height < 1)
        return;
    const int left = r.x, top = r.y, right = r.x + r.width - 1, bottom = r.y + r.height - 1;
    const int w = right - left;
    const int cx = (left + right) / 2;
    const int cy = (top + bottom) / 2;
    const int f = para.showAlgorithmDetails ? set.roiMinSize[d][i] : para.minimumSize;
    const int a = para.showAlgorithmDetails ? set.roiMaxArea[d][i] : para.minimumArea;
    const int s = static_cast<int>(std::sqrt(static_cast<double>(std::max(a, 0))));
    const int y = static_cast<int>(cy * gShowAH);
    p.setPen(Qt::blue);
    p.drawRect(static_cast<int>((cx - w / 4) * gShowAW) - f / 2, y - f / 2, f, f);
    p.setPen(kSalmon);
    p.drawRect(static_cast<int>((cx + w / 4) * gShowAW) - s / 2, y - s / 2, s, s);
}

struct AreaContext {
    const ViewPaintInput& in;
    const CammerSingleton& set;
    int d;
    const WizardPara& para;
    int pageMode;
    ViewOverlayContext overlay;
    const Layout& lay;
    QFont labelFont;
    QString keptLabel;
};

void paintArea(QPainter& p, AreaContext& c, int i, TextWriter& out)
{
    const CameraSlotState& slot = *c.in.slot;
    const CammerSingleton& set = c.set;
    const int d = c.d;
    const int method = set.roiMethod[d][i];
    const ViewState& v = c.in.host->viewState();
    const bool templ = c.in.source == PictureSourceTemplate;

    if (templ && (c.in.selRoi < 0 || i == c.in.selRoi) && method == AreaFuncDefect)
        drawScaleSquares(p, set, d, i, c.para);

    // Image pixels: the alarm boxes, and the distance markers, which lie on
    // the edges the engine found.
    p.save();
    p.scale(v.viewScaleX, v.viewScaleY);
    const AlarmBoxes boxes = AlarmBoxesToDraw(slot, set, d, i, c.overlay);
    if (boxes.count > 0) {
        p.setPen(Qt::red);
        for (int k = 0; k < boxes.count; ++k)
            p.drawRect(boxes.box(k));
    }
    const DistanceMarkers markers = DistanceMarkersToDraw(slot, set, d, i, 1.0, 1.0);
    if (markers.rings > 0) {
        QPen cyan(Qt::cyan, 4, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
        cyan.setCosmetic(true);
        p.setPen(cyan);
        for (int k = 0; k < markers.rings; ++k)
            p.drawEllipse(markers.ring[k]);
        if (markers.hasLine)
            p.drawLine(markers.line);
    }
    p.restore();

    // View coordinates, scaled to the view.
    p.save();
    p.scale(v.viewFracX, v.viewFracY);
    QColor penColor(Qt::green);
    if (c.pageMode == PageModeNone)
        penColor = QColor(Qt::darkBlue);
    else if (slot.roiOK[d][i] == 0 && slot.isOK == 0)
        penColor = QColor(Qt::red);
    p.setPen(penColor);
    drawShape(p, set, d, i);
    QPoint anchor;
    const bool anchored = areaAnchor(set, d, i, &anchor);
    if (templ && i == c.in.selRoi && set.roiShape[d][i] == RoiShapePolygon &&
        c.in.adjustPart < set.roiPolygon[d][i].count() && c.in.adjustPart >= 0) {
        p.setPen(QPen(Qt::cyan, 2));
        p.drawEllipse(ring(set.roiPolygon[d][i].point(c.in.adjustPart)));
        p.setPen(penColor);
    }
    const QString label = AreaLabel(set, d, i, slot.roiValue[d][i], slot.roiAlarm[d][i].edgeFoundCount(), c.para);
    if (LabelInCounterLine(c.in.source, c.in.selRoi)) {
        c.keptLabel = label;
    } else if (anchored) {
        p.setFont(c.labelFont);
        out.inRect(QRect(QPoint(anchor.x(), anchor.y() - 26), QPoint(anchor.x() + 399, anchor.y() - 2)), label);
    }
    p.restore();
}

void paintLegend(QPainter& p, const Layout& lay, const QSize& view, TextWriter& out)
{
    const int top = view.height() - lay.pick(80, 50);
    const int rowH = lay.pick(25, 20);
    const int textW = lay.pick(150, 100);
    const int gap = lay.pick(15, 10);
    const struct {
        int message;
        QColor color;
    } rows[] = {{22, QColor(Qt::blue)}, {24, kSalmon}};
    for (int r = 0; r < 2; ++r) {
        const int y = top + r * (rowH + gap);
        p.setPen(rows[r].color);
        out.inRect(QRect(10, y, textW, rowH), QStringLiteral("%1 :").arg(Msg(rows[r].message)));
        p.fillRect(QRect(10 + textW, y, rowH, rowH), rows[r].color);
    }
}

void paintCavityNames(QPainter& p, const ViewPaintInput& in, const CammerSingleton& saved, TextWriter& out)
{
    const int camera = in.slot->camIndex;
    out.at(67, 85, Msg(468));
    const int right = out.localRight();
    const QFontMetrics fm = p.fontMetrics();
    int x = 242;
    int y = 85;
    for (int k = 0; k < 16; ++k) {
        if (saved.detectOptions[1][k] != 2)
            continue;
        const QString name = Msg(469).arg(in.host->cavityName(camera, k));
        // A new row when the name would start past 1550, not fit the view,
        // or run into the brightness moved onto this line.
        const auto blocked = [&] {
            const int w = fm.horizontalAdvance(name);
            return x + w > right || out.clashes(QRect(x, y - fm.ascent(), w, fm.height()));
        };
        while (x > 1550 || (x > 242 && blocked())) {
            y += 40;
            x = 242;
        }
        out.at(x, y, name);
        x += 165;
    }
}

void paintRubberBand(QPainter& p, const EditorState& e, int drawMode)
{
    if (e.editAction != EditActionDraw)
        return;
    p.setPen(Qt::green);
    if (drawMode == 2) {
        const int n = std::min(e.polyCount, static_cast<int>(e.polyPoints.size()));
        if (n >= 2) {
            p.setPen(QPen(Qt::green, 2));
            p.drawPolyline(e.polyPoints.data(), n);
        }
        if (n >= 1) {
            p.setPen(Qt::cyan);
            p.drawEllipse(ring(e.polyPoints[0]));
        }
    } else if (drawMode == 4) {
        e.drawCircle.Draw(p);
    } else if (drawMode == 1) {
        e.drawRect.Draw(p);
    }
}

void paintLive(QPainter& p, const ViewPaintInput& in, const Layout& lay, TextWriter& out)
{
    const CameraSlotState& slot = *in.slot;
    const int camera = slot.camIndex;
    if (camera >= numCamera)
        return;
    SlotHost& host = *in.host;
    const ViewState& v = host.viewState();
    const WizardPara& para = host.liveParameters();
    const bool templ = in.source == PictureSourceTemplate;
    const CammerSingleton* set = templ ? slot.workSet : slot.savedSet;
    const int d = templ ? v.editDetect : host.cycleCurrentDetect();
    const bool validSet = set && d >= 0 && d < kDetections;
    const bool single = camera == v.viewCamera;
    const int pageMode = host.cyclePageMode();

    const ViewOverlayContext overlay{in.source, pageMode, in.selRoi};
    const bool pictured = validSet ? WriteViewPicture(slot, *set, d, overlay, in.buffer)
                                   : ConvertShownFrame(slot, in.buffer);
    // While the camera share sends this view to the relay, the picture
    // carries the share's time stamp on screen as well.
    if (pictured && in.viewImage && (in.source == PictureSourceNone || in.source == PictureSourceLive) && gpNet) {
        const QString stamp = gpNet->viewStamp();
        if (!stamp.isEmpty()) {
            QImage canvas(reinterpret_cast<uchar*>(in.buffer.rgba), in.viewImage->width(), in.viewImage->height(),
                          in.viewImage->bytesPerLine(), QImage::Format_RGB32);
            PaintViewStamp(canvas, stamp);
        }
    }
    p.save();
    if (single)
        applyZoom(p, v);
    if (pictured && in.viewImage)
        drawPicture(p, *in.viewImage, in.viewSize);

    QString keptLabel;
    if (validSet && AreaLayerPainted(pageMode, in.source, para.liveRoiDisplay != 0)) {
        if (pageMode == PageModeOKShown || in.source == PictureSourceLive) {
            p.setFont(viewFont(lay.pick(45, 22)));
            p.setPen(slot.isOK == 0 ? Qt::red : Qt::green);
            const QPoint verdict = lay.at({5, 85}, {15, 70});
            out.at(verdict.x(), verdict.y(), slot.isOK == 0 ? QStringLiteral("NG") : QStringLiteral("OK"));
            // Where the layout's place is off the view (a screen narrower than
            // the layout assumes, or a grid cell, since this text is not
            // scaled with the cell), the brightness ends at the view's edge
            // on the verdict's line, clear of the counter line.
            const QPoint bright = lay.at({1450, 40}, {620, 22});
            const QString text = Msg(367).arg(slot.brightness);
            if (out.fits(bright.x(), text))
                out.at(bright.x(), bright.y(), text);
            else
                out.atRightEdge(verdict.y(), text);
        }
        p.setFont(viewFont(lay.pick(30, 14)));
        if (templ)
            paintLegend(p, lay, in.viewSize, out);
        AreaContext c{in, *set, d, para, pageMode, overlay, lay, viewFont(lay.pick(30, 14)), QString()};
        const int count = std::clamp(set->roiCount[d], 0, kAreas);
        for (int i = 0; i < count; ++i) {
            if (AreaDrawn(in.source, in.selRoi, in.moveMode, i, set->roiMethod[d][i]))
                paintArea(p, c, i, out);
        }
        keptLabel = c.keptLabel;
    }
    p.restore();

    // Lines of the view, scaled with the cell.
    p.save();
    p.scale(v.viewFracX, v.viewFracY);
    const StatusLine status = ViewStatusLine(camera, validSet ? detectionName(para, d) : QString(), host.runState,
                                             host.cycleResultPhase(), host.cycleSkipActive(), host.cycleSkipCount());
    p.setFont(viewFont(lay.pick(45, 20)));
    p.setPen(status.color);
    QPoint pos = lay.at({5, 40}, {5, 20});
    out.at(pos.x(), pos.y(), status.text);

    const QString countdown = CountdownText(FirstDelayCountdown(host, gDNum));
    if (!countdown.isEmpty()) {
        p.setFont(viewFont(lay.pick(45, 14)));
        pos = lay.at({525, 40}, {270, 20});
        out.at(pos.x(), pos.y(), countdown);
    }

    p.setFont(viewFont(lay.pick(40, 16)));
    p.setPen(Qt::green);
    if (templ) {
        const int templates = validSet ? slot.templateCount[d] : 0;
        pos = lay.at({850, 40}, {320, 22});
        out.at(pos.x(), pos.y(), TemplateCounterLine(slot.tempShown, templates, keptLabel));
    } else {
        pos = lay.at({750, 40}, {320, 22});
        out.at(pos.x(), pos.y(),
               CountLine(para.hideNgCount != 0, gFailNum[camera], gAllNum[camera], host.cameraFps[camera]));
        if (lay.large && pageMode != PageModeArea && para.showCavityNumbers && slot.savedSet)
            paintCavityNames(p, in, *slot.savedSet, out);
    }
    if (templ) {
        pos = lay.at({5, 85}, {5, 43});
        out.at(pos.x(), pos.y(), gTempTime);
    }
    p.restore();

    if (in.editor) {
        p.save();
        if (single)
            applyZoom(p, v);
        paintRubberBand(p, *in.editor, v.drawMode);
        p.restore();
    }
}

} // namespace

void PaintCameraView(QPainter& painter, const ViewPaintInput& in)
{
    if (!in.slot || !in.host)
        return;
    const Layout lay{gShowW > 1024};
    painter.setFont(viewFont(lay.pick(45, 20)));
    TextWriter out(painter, in.viewSize, in.texts);
    switch (in.source) {
    case PictureSourceOKRecord:
    case PictureSourceNGRecord:
        paintRecords(painter, in, lay, out);
        break;
    case PictureSourceRecentNG:
        paintRecentNG(painter, in, lay, out);
        break;
    default:
        paintLive(painter, in, lay, out);
        break;
    }
}
