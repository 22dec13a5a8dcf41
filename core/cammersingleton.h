#pragma once
// The area and detection parameters of one camera slot: per detection up to
// 50 areas, each with a shape, a method, three method parameters and an NG
// counter, plus 16 option values.  Stored as rows of table "cammer<slot>" in
// PARAM.db.  Every camera slot keeps two sets: the saved set the detection
// evaluates and the work set the area page edits; they are copied and
// compared as whole values.
#include "globals.h"
#include "shapes.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <array>
#include <functional>

// Shape codes of an area.
enum RoiShape { RoiShapeRect = 1, RoiShapePolygon = 2, RoiShapeCircle = 4 };

// Area method codes.  Their meaning and the use of A, B and C belong to the
// detection engine.
enum AreaFunc {
    AreaFuncDefect = 0,
    AreaFuncSpot = 1,
    AreaFuncIgnore = 2,
    AreaFuncPosition = 3,
    AreaFuncBlackArea = 4,
    AreaFuncWhiteArea = 5,
    AreaFuncSimilarity = 6,
    AreaFuncWhiteCount = 7,
    AreaFuncDirection = 8,
    AreaFuncDistance = 9,
};
constexpr int kAreaFuncCount = 10;
constexpr int kDetectOptions = 16;

// Per detection and area the 8-bit mask of the area's image rectangle, 255
// inside the shape.  The camera slot keeps one table for the saved set (live
// masks) and one for the work set.
using AreaMaskArray = std::array<std::array<cv::Mat, kAreas>, kDetections>;

class CammerSingleton {
public:
    // Shown (message id), once per load, when a stored area count or area
    // row is unusable.  Empty: the modal hook is asked when installed,
    // otherwise the problem is only logged.
    using WarnHandler = std::function<void(int messageId)>;

    explicit CammerSingleton(int camera = 0);

    int cameraIndex;
    int roiCount[kDetections];
    int roiMinSize[kDetections][kAreas];      // A
    int roiSensibility[kDetections][kAreas];  // B
    int roiMaxArea[kDetections][kAreas];      // C
    int roiMethod[kDetections][kAreas];
    ClustomRect roiRect[kDetections][kAreas];
    Circle roiCircle[kDetections][kAreas];
    RePolygon roiPolygon[kDetections][kAreas];
    int roiShape[kDetections][kAreas];
    int roiOutput[kAreas];                    // shared by the 8 detections
    int detectOptions[kDetections][kDetectOptions];
    int roiNgCount[kDetections][kAreas];

    // What the last load could not use, kept in the table as it is so that
    // a damaged row costs nothing.  Not part of the comparison.
    // - countUnusable: the detection's stored count (or its detect row) was
    //   unusable; while the detection has no areas, the save leaves its
    //   detect row and its area rows as they are.
    // - rowKept: the area's row was unusable and the default area was
    //   loaded; while the area is still that default area, the save leaves
    //   its row as it is (the area editor's changes are written).
    // - unreadRows: rows that could not be read at all; the set is then not
    //   saved, since it would write over rows it never saw.
    int countUnusable[kDetections];
    int rowKept[kDetections][kAreas];
    int unreadRows = 0;

    QString tableName() const { return QStringLiteral("cammer%1").arg(cameraIndex); }

    // Fills the set from its table (created when missing) and rebuilds the
    // masks of every loaded area into masks (may be null).  False, with
    // lastError(), when a statement failed; what could be read is kept.
    bool LoadDatafromFile(QSqlDatabase db, AreaMaskArray* masks, const WarnHandler& warn = {});
    // Writes the set into its table in one transaction (a savepoint, so it
    // also nests inside a caller's transaction).  Refused when the load had
    // rows it could not read (unreadRows).  On success queues one area
    // message per detection on the relay link when netEnabled is set and the
    // link is listening and connected.  False, with lastError(), when a
    // statement failed; the table is then left as it was.
    bool SaveDatatoFile(QSqlDatabase db, bool netEnabled);
    const QString& lastError() const { return lastError_; }

    // Image rectangle of area (d, i) of the shape in force (rectangle, circle,
    // else polygon); width or height below 1 when the area is empty.
    cv::Rect AreaImageRect(int d, int i) const;
    // Brings the image rectangle of the shape in force up to date and
    // returns its mask.
    cv::Mat UpdateAreaMask(int d, int i);
    // Rebuilds the masks of all areas 0 .. roiCount - 1 (others are cleared).
    void RebuildMasks(AreaMaskArray& masks);

    // Makes area (d, i) the default area (A 3, B 45, C 100, defect,
    // rectangle (50, 50)-(100, 100), output 0) and returns its mask.
    cv::Mat SetDefaultArea(int d, int i);

    // Stored row texts.
    QString DetectRowText(int d) const;
    QString NgCountRowText(int d) const;
    QString RoiRowText(int d, int i) const;   // the shape part included
    // Reads one ROI row into area (d, i) with the load's rules and mends.
    // Returns the area's mask.  *repaired is set when the row was unusable
    // (an item that is not a whole number, an unknown method or shape code,
    // a polygon without a usable point count) and the default area was
    // taken instead, keeping the shared output number.
    cv::Mat ParseRoiRow(int d, int i, const QByteArray& value, bool* repaired = nullptr);
    // True when area (d, i) is the default area of SetDefaultArea (the
    // output number, shared with the other detections, aside).
    bool IsDefaultArea(int d, int i) const;

    // Whole-set comparison, field by field: the points in use, not the
    // capacity, and not the selection of the shapes.
    bool operator==(const CammerSingleton& o) const;
    bool operator!=(const CammerSingleton& o) const { return !(*this == o); }

private:
    bool ensureTable(QSqlDatabase& db);
    QString lastError_;
};
