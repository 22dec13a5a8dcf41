#include "shapes.h"

#include <QPainter>
#include <QPolygon>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// View-to-image scales; a broken geometry never divides by zero.
double scaleX()
{
    const double s = kvor::geometry().showAW;
    return s > 0 ? s : 1.0;
}

double scaleY()
{
    const double s = kvor::geometry().showAH;
    return s > 0 ? s : 1.0;
}

// The scales are ratios of whole pixel counts held as doubles, so a view
// coordinate on an image pixel's edge may divide to just below the whole
// number (9 / (9 / 7.0) = 6.999...); the small margin keeps it on that pixel.
// Real fractions are at least 1 / view size away from a whole number.
int toImage(int v, double scale)
{
    const double q = v / scale;
    return static_cast<int>(std::trunc(q + (q < 0 ? -1e-6 : 1e-6)));
}

QRect normalised(const QRect& r)
{
    return QRect(QPoint(std::min(r.left(), r.right()), std::min(r.top(), r.bottom())),
                 QPoint(std::max(r.left(), r.right()), std::max(r.top(), r.bottom())));
}

// The 8 handle points of a rectangle, numbered row by row.
void handlePoints(const QRect& raw, QPoint out[8])
{
    const QRect r = normalised(raw);
    const int mx = r.left() + (r.right() - r.left()) / 2;
    const int my = r.top() + (r.bottom() - r.top()) / 2;
    out[0] = {r.left(), r.top()};
    out[1] = {mx, r.top()};
    out[2] = {r.right(), r.top()};
    out[3] = {r.left(), my};
    out[4] = {r.right(), my};
    out[5] = {r.left(), r.bottom()};
    out[6] = {mx, r.bottom()};
    out[7] = {r.right(), r.bottom()};
}

// Nearest of `n` points within the hit margin (Chebyshev distance), ties to
// the lower index; -1 when none.
int nearestWithinMargin(const QPoint* pts, int n, const QPoint& p)
{
    int best = -1;
    int bestDist = std::numeric_limits<int>::max();
    for (int k = 0; k < n; ++k) {
        const int d = std::max(std::abs(pts[k].x() - p.x()), std::abs(pts[k].y() - p.y()));
        if (d <= kShapeHandleMargin && d < bestDist) {
            best = k;
            bestDist = d;
        }
    }
    return best;
}

bool rectPtInCtrl(const QRect& rect, const QPoint& p, int* handle)
{
    QPoint pts[8];
    handlePoints(rect, pts);
    const int h = nearestWithinMargin(pts, 8, p);
    if (h < 0)
        return false;
    if (handle)
        *handle = h;
    return true;
}

// Moves the edges that belong to a handle, then normalises.
void resizeRect(QRect& rect, int handle, const QPoint& from, const QPoint& to)
{
    if (handle < 0 || handle > 7)
        return;
    QRect r = normalised(rect);
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    if (handle == 0 || handle == 3 || handle == 5)
        r.setLeft(r.left() + dx);
    if (handle == 2 || handle == 4 || handle == 7)
        r.setRight(r.right() + dx);
    if (handle == 0 || handle == 1 || handle == 2)
        r.setTop(r.top() + dy);
    if (handle == 5 || handle == 6 || handle == 7)
        r.setBottom(r.bottom() + dy);
    rect = normalised(r);
}

void drawHandles(QPainter& painter, const QPoint* pts, int n)
{
    const QBrush old = painter.brush();
    painter.setBrush(painter.pen().color());
    for (int k = 0; k < n; ++k)
        painter.drawRect(QRect(pts[k].x() - 3, pts[k].y() - 3, 6, 6));
    painter.setBrush(old);
}

} // namespace

// ---------------------------------------------------------------------------

void ShapeImageRect::setFromView(int l, int t, int r, int b)
{
    const kvor::Geometry& g = kvor::geometry();
    const int maxX = std::max(0, g.imageW - 1);
    const int maxY = std::max(0, g.imageH - 1);
    int il = toImage(std::min(l, r), scaleX());
    int ir = toImage(std::max(l, r), scaleX());
    int it = toImage(std::min(t, b), scaleY());
    int ib = toImage(std::max(t, b), scaleY());
    imgLeft = std::clamp(il, 0, maxX);
    imgRight = std::clamp(ir, 0, maxX);
    imgTop = std::clamp(it, 0, maxY);
    imgBottom = std::clamp(ib, 0, maxY);
}

// --- rectangle -------------------------------------------------------------

void ClustomRect::setImageRect()
{
    setFromView(rect.left(), rect.top(), rect.right(), rect.bottom());
}

cv::Mat ClustomRect::UpdateMask() const
{
    const cv::Rect r = ImageRect();
    return cv::Mat(r.height, r.width, CV_8UC1, cv::Scalar(255));
}

bool ClustomRect::Contains(const QPoint& p) const
{
    return normalised(rect).contains(p);
}

bool ClustomRect::PtInCtrl(const QPoint& p, int* handle) const
{
    return rectPtInCtrl(rect, p, handle);
}

void ClustomRect::Resize(int handle, const QPoint& from, const QPoint& to)
{
    resizeRect(rect, handle, from, to);
}

void ClustomRect::Draw(QPainter& painter) const
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    const QRect r = normalised(rect);
    painter.drawRect(r);
    if (IsSelected()) {
        QPoint pts[8];
        handlePoints(r, pts);
        drawHandles(painter, pts, 8);
    }
    painter.restore();
}

// --- circle ----------------------------------------------------------------

namespace {
// The inner radius of a ring stays below the outer one, so that a ring
// always keeps a width (0: a full circle).
int innerRadius(int r2, int r1)
{
    return std::clamp(r2, 0, std::max(0, r1 - 1));
}
} // namespace

void Circle::UpdateRect()
{
    r1 = std::clamp(r1, 0, kMaxRadius);
    r2 = innerRadius(r2, r1);
    rect = QRect(QPoint(cx - r1, cy - r1), QPoint(cx + r1, cy + r1));
}

void Circle::UpdateAll()
{
    const QRect r = normalised(rect);
    cx = r.left() + (r.right() - r.left()) / 2;
    cy = r.top() + (r.bottom() - r.top()) / 2;
    r1 = std::clamp(std::min(r.right() - r.left(), r.bottom() - r.top()) / 2, 0, kMaxRadius);
    r2 = innerRadius(r2, r1);
}

void Circle::setImageRect()
{
    setFromView(cx - r1, cy - r1, cx + r1, cy + r1);
}

cv::Mat Circle::UpdateMask() const
{
    const cv::Rect ir = ImageRect();
    cv::Mat mask(ir.height, ir.width, CV_8UC1, cv::Scalar(0));
    // Sub-pixel centre and axes (4 fractional bits) so a ring stays round
    // for any scale.
    constexpr int kShift = 4;
    constexpr double kOne = 1 << kShift;
    const double sx = scaleX();
    const double sy = scaleY();
    const cv::Point centre(cvRound((cx / sx - ir.x) * kOne), cvRound((cy / sy - ir.y) * kOne));
    auto ellipse = [&](int radius, int value) {
        const cv::Size axes(cvRound(radius / sx * kOne), cvRound(radius / sy * kOne));
        cv::ellipse(mask, centre, axes, 0, 0, 360, cv::Scalar(value), cv::FILLED, cv::LINE_8, kShift);
    };
    ellipse(r1, 255);
    const int inner = innerRadius(r2, r1);
    if (inner > 0)
        ellipse(inner, 0);
    // A ring narrower than a pixel at this scale still marks its outline.
    if (cv::countNonZero(mask) == 0)
        cv::ellipse(mask, centre, cv::Size(cvRound(r1 / sx * kOne), cvRound(r1 / sy * kOne)), 0, 0, 360,
                    cv::Scalar(255), 1, cv::LINE_8, kShift);
    return mask;
}

bool Circle::Contains(const QPoint& p) const
{
    const qint64 dx = p.x() - cx;
    const qint64 dy = p.y() - cy;
    return dx * dx + dy * dy <= qint64(r1) * r1;
}

bool Circle::PtInCtrl(const QPoint& p, int* handle) const
{
    return rectPtInCtrl(rect, p, handle);
}

void Circle::Resize(int handle, const QPoint& from, const QPoint& to)
{
    resizeRect(rect, handle, from, to);
}

void Circle::Draw(QPainter& painter) const
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPoint(cx, cy), r1, r1);
    if (r2 > 0)
        painter.drawEllipse(QPoint(cx, cy), r2, r2);
    if (IsSelected()) {
        QPoint pts[8];
        handlePoints(rect, pts);
        drawHandles(painter, pts, 8);
    }
    painter.restore();
}

// --- polygon ---------------------------------------------------------------

RePolygon::RePolygon(int count, const QPoint* points)
{
    setPoints(count, points);
}

void RePolygon::setPoints(int count, const QPoint* points)
{
    const int n = std::clamp(count, 0, kMaxPoints);
    if (n == 0 || !points) {
        pts_.clear();
        return;
    }
    pts_.assign(points, points + n);
}

bool RePolygon::append(const QPoint& p)
{
    if (count() >= kMaxPoints)
        return false;
    pts_.push_back(p);
    return true;
}

void RePolygon::translate(int dx, int dy)
{
    for (QPoint& p : pts_)
        p += QPoint(dx, dy);
}

void RePolygon::setImageRect()
{
    if (pts_.empty()) {
        setFromView(0, 0, 0, 0);
        return;
    }
    int l = pts_[0].x(), r = l, t = pts_[0].y(), b = t;
    for (const QPoint& p : pts_) {
        l = std::min(l, p.x());
        r = std::max(r, p.x());
        t = std::min(t, p.y());
        b = std::max(b, p.y());
    }
    setFromView(l, t, r, b);
}

cv::Mat RePolygon::UpdateMask() const
{
    // No point, no area: the pass reports a missing mask rather than judge
    // a pixel that nobody drew.
    if (pts_.empty())
        return {};
    const cv::Rect ir = ImageRect();
    cv::Mat mask(ir.height, ir.width, CV_8UC1, cv::Scalar(0));
    const double sx = scaleX();
    const double sy = scaleY();
    std::vector<cv::Point> poly;
    poly.reserve(pts_.size());
    for (const QPoint& p : pts_)
        poly.emplace_back(toImage(p.x(), sx) - ir.x, toImage(p.y(), sy) - ir.y);
    const cv::Point* data = poly.data();
    const int n = static_cast<int>(poly.size());
    cv::fillPoly(mask, &data, &n, 1, cv::Scalar(255), cv::LINE_8);
    return mask;
}

bool RePolygon::Contains(const QPoint& p) const
{
    if (pts_.size() < 3)
        return false;
    const QPolygon poly(QList<QPoint>(pts_.begin(), pts_.end()));
    return poly.containsPoint(p, Qt::OddEvenFill);
}

bool RePolygon::PtInCtrl(const QPoint& p, int* handle) const
{
    const int h = nearestWithinMargin(pts_.data(), count(), p);
    if (h < 0)
        return false;
    if (handle)
        *handle = h;
    return true;
}

void RePolygon::Resize(int handle, const QPoint& from, const QPoint& to, double showAW, double showAH)
{
    if (handle < 0 || handle >= count())
        return;
    const kvor::Geometry& g = kvor::geometry();
    // Picture size in view pixels, rounded: imageW * (showW / imageW) may
    // come out just below showW.
    const int maxX = std::max(0, static_cast<int>(std::lround(g.imageW * (showAW > 0 ? showAW : 1.0))) - 1);
    const int maxY = std::max(0, static_cast<int>(std::lround(g.imageH * (showAH > 0 ? showAH : 1.0))) - 1);
    QPoint& p = pts_[static_cast<size_t>(handle)];
    p.setX(std::clamp(p.x() + to.x() - from.x(), 0, maxX));
    p.setY(std::clamp(p.y() + to.y() - from.y(), 0, maxY));
}

void RePolygon::Draw(QPainter& painter) const
{
    if (pts_.empty())
        return;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(pts_.data(), count());
    if (IsSelected())
        drawHandles(painter, pts_.data(), count());
    painter.restore();
}

// --- range checks ----------------------------------------------------------

void CheckInRange(int& v, int axis)
{
    const kvor::Geometry& g = kvor::geometry();
    const int limit = axis == 1 ? g.showW : g.showH;
    v = std::clamp(v, 0, std::max(0, limit - 1));
}

void CheckInRange(int* v, int axis)
{
    if (v)
        CheckInRange(*v, axis);
}

void CheckInRange(QRect* rect, bool keepSize)
{
    if (!rect)
        return;
    const kvor::Geometry& g = kvor::geometry();
    const int maxX = std::max(0, g.showW - 1);
    const int maxY = std::max(0, g.showH - 1);
    QRect r = normalised(*rect);
    int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
    if (keepSize) {
        if (l < 0) {
            rr -= l;
            l = 0;
        }
        if (rr > maxX) {
            l -= rr - maxX;
            rr = maxX;
        }
        if (t < 0) {
            b -= t;
            t = 0;
        }
        if (b > maxY) {
            t -= b - maxY;
            b = maxY;
        }
    }
    // Clip: every edge inside (also a rectangle larger than the picture).
    l = std::clamp(l, 0, maxX);
    rr = std::clamp(rr, 0, maxX);
    t = std::clamp(t, 0, maxY);
    b = std::clamp(b, 0, maxY);
    *rect = QRect(QPoint(l, t), QPoint(rr, b));
}
