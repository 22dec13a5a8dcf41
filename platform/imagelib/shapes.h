#pragma once
// Area shapes: rectangle, circle or ring, polygon.  Outlines are held in view
// coordinates (the single-camera view at zoom 1); every shape also keeps its
// image rectangle (inclusive, image pixels) and builds the 8-bit mask of that
// rectangle, 255 inside the shape.  The scales come from kvor::geometry().
#include "geometry.h"

#include <QPoint>
#include <QRect>
#include <opencv2/core.hpp>

#include <type_traits>
#include <vector>

class QPainter;

// Hit margin of handles, view pixels.
constexpr int kShapeHandleMargin = 10;

// Image rectangle shared by the shapes: left, top, right, bottom, inclusive.
struct ShapeImageRect {
    int imgLeft = 0;
    int imgTop = 0;
    int imgRight = 0;
    int imgBottom = 0;

    // As a cv::Rect (width = right - left + 1).
    cv::Rect ImageRect() const { return {imgLeft, imgTop, imgRight - imgLeft + 1, imgBottom - imgTop + 1}; }
    bool operator==(const ShapeImageRect& o) const
    {
        return imgLeft == o.imgLeft && imgTop == o.imgTop && imgRight == o.imgRight && imgBottom == o.imgBottom;
    }

protected:
    // Sets the image rectangle from a view rectangle (any corner order),
    // truncating and clipping to the image.
    void setFromView(int l, int t, int r, int b);
};

// Rectangle area.  `rect` holds left, top, right, bottom in view coordinates.
class ClustomRect : public ShapeImageRect {
public:
    QRect rect;
    int selected = 0;

    ClustomRect() = default;
    explicit ClustomRect(const QRect& r) : rect(r) {}

    void SetSelected(bool s) { selected = s ? 1 : 0; }
    bool IsSelected() const { return selected != 0; }

    void setImageRect();
    cv::Mat UpdateMask() const;
    bool Contains(const QPoint& p) const;
    // True when p is on one of the 8 handles (0 TL, 1 top, 2 TR, 3 left,
    // 4 right, 5 BL, 6 bottom, 7 BR); writes the handle number.
    bool PtInCtrl(const QPoint& p, int* handle) const;
    // Moves the edges of the handle by to - from, then normalises.
    void Resize(int handle, const QPoint& from, const QPoint& to);
    void Draw(QPainter& painter) const;

    // Compares outline and image rectangle; the selection is not part of it.
    bool operator==(const ClustomRect& o) const { return rect == o.rect && ShapeImageRect::operator==(o); }
    bool operator!=(const ClustomRect& o) const { return !(*this == o); }
};

// Circle or ring.  `rect` is the bounding rectangle of the outer circle;
// r1 is the outer radius, r2 the inner radius of a ring (0: full circle),
// kept below r1 so that a ring always keeps a width.
class Circle : public ShapeImageRect {
public:
    static constexpr int kMaxRadius = 32767;

    QRect rect;
    int cx = 0;
    int cy = 0;
    int r1 = 0;
    int r2 = 0;
    int selected = 0;

    Circle() = default;

    void SetSelected(bool s) { selected = s ? 1 : 0; }
    bool IsSelected() const { return selected != 0; }

    // rect := (cx - r1, cy - r1, cx + r1, cy + r1); radii kept in range
    // (0 <= r2 < r1, or both 0).
    void UpdateRect();
    // Centre := centre of rect, r1 := min(width, height) / 2, r2 := min(r2, r1 - 1).
    void UpdateAll();
    void setImageRect();
    cv::Mat UpdateMask() const;
    bool Contains(const QPoint& p) const; // inside the outer circle
    bool PtInCtrl(const QPoint& p, int* handle) const;
    void Resize(int handle, const QPoint& from, const QPoint& to);
    void Draw(QPainter& painter) const;

    bool operator==(const Circle& o) const
    {
        return rect == o.rect && cx == o.cx && cy == o.cy && r1 == o.r1 && r2 == o.r2 && ShapeImageRect::operator==(o);
    }
    bool operator!=(const Circle& o) const { return !(*this == o); }
};

// Polygon or freehand outline, at most kMaxPoints points.
class RePolygon : public ShapeImageRect {
public:
    static constexpr int kMaxPoints = 8096;

    int selected = 0;

    RePolygon() = default;
    // Takes the first min(count, kMaxPoints) points.
    RePolygon(int count, const QPoint* points);

    int count() const { return static_cast<int>(pts_.size()); }
    const std::vector<QPoint>& points() const { return pts_; }
    const QPoint& point(int i) const { return pts_[static_cast<size_t>(i)]; }
    QPoint& point(int i) { return pts_[static_cast<size_t>(i)]; }
    // Replaces the points; more than kMaxPoints are cut.
    void setPoints(int count, const QPoint* points);
    void setPoints(const std::vector<QPoint>& points) { setPoints(static_cast<int>(points.size()), points.data()); }
    // False (nothing added) when full.
    bool append(const QPoint& p);
    void clear() { pts_.clear(); }
    void translate(int dx, int dy);

    void SetSelected(bool s) { selected = s ? 1 : 0; }
    bool IsSelected() const { return selected != 0; }

    void setImageRect(); // bounding box of the points
    cv::Mat UpdateMask() const; // empty (no rows) without points
    bool Contains(const QPoint& p) const; // odd-even rule
    // Handles are the vertices: writes the vertex index.
    bool PtInCtrl(const QPoint& p, int* handle) const;
    // Moves vertex `handle` by to - from, kept inside the picture
    // (image size times the given view scales).
    void Resize(int handle, const QPoint& from, const QPoint& to, double showAW, double showAH);
    void Draw(QPainter& painter) const;

    // Compares the points in use and the image rectangle, not the selection.
    bool operator==(const RePolygon& o) const { return pts_ == o.pts_ && ShapeImageRect::operator==(o); }
    bool operator!=(const RePolygon& o) const { return !(*this == o); }

private:
    std::vector<QPoint> pts_;
};

static_assert(std::is_trivially_copyable_v<ClustomRect>, "rectangles are plain data");
static_assert(std::is_trivially_copyable_v<Circle>, "circles are plain data");

// Brings one view coordinate back into the picture: axis 1 x in [0, showW - 1],
// axis 0 y in [0, showH - 1].
void CheckInRange(int& v, int axis);
void CheckInRange(int* v, int axis);
// Brings a view rectangle back into the picture, normalised.  keepSize true:
// translated inside (clipped when larger than the picture); false: each edge
// clipped.
void CheckInRange(QRect* rect, bool keepSize);
