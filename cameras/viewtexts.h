#pragma once
// The texts of a camera view and its decisions on what to draw, as plain
// functions of the state they depend on, so that they are tested without
// painting.  The camera view calls them while it paints; the result
// pictures (failpicture.h) use the label variants that show stored values.
// GUI thread only (they read the message table).
#include <QColor>
#include <QString>

class CammerSingleton;
class SlotHost;
class WizardPara;

// Name of detection d under the system mode: "Prod"/"Mold" (modes 0 and 3),
// "Left prod" .. "Right mold" (1 and 2), "1st" .. "8th" (4).  Empty for a d
// beyond the mode's names and for an unknown mode.
QString DetectionName(int systemMode, int d);

// Value part of an area's label: "edge count, value" for a distance area,
// else the value.
QString AreaValuePart(int method, int value, int edgeFoundCount);
// Limit part of area (d, i) of set: the minimum alarm area for a defect area
// while the algorithm details are hidden, B for similarity, "B--C" for spot,
// the low and high 16 bits of C as "low--high" for white count, else C.
QString AreaLimitPart(const CammerSingleton& set, int d, int i, const WizardPara& para);
// Label of area (d, i): "n: limit / value " while the detection has 10 areas
// or fewer, "n: value" with more (n = i + 1).
QString AreaLabel(const CammerSingleton& set, int d, int i, int value, int edgeFoundCount,
                  const WizardPara& para);

// The same two texts in a result picture, which shows values as stored: the
// limit part as AreaLimitPart except that a white-count area shows C itself,
// and the label with the plain value (no edge count).
QString PictureLimitPart(const CammerSingleton& set, int d, int i, const WizardPara& para);
QString PictureAreaLabel(const CammerSingleton& set, int d, int i, int value, const WizardPara& para);

// Remaining delay of the first detection 0 .. detections - 1 whose delay
// timer runs; 0 when none runs.
float FirstDelayCountdown(const SlotHost& host, int detections);
// Delay countdown in seconds, three significant digits; empty (not drawn)
// for 0.02 s or less.
QString CountdownText(double seconds);

// Counter line of the template source: "Templates shown / count     label".
QString TemplateCounterLine(int tempShown, int templateCount, const QString& keptLabel);
// Counter line of the other sources: NG, total and frame rate, or without
// the NG count when it is hidden.
QString CountLine(bool hideNgCount, int failNum, int allNum, int fps);

// Status line of a view of the live, template and idle sources: the skip
// line in red while the cycle skips, else "Cam n name word" with the word
// and colour of the run state and, while detecting, of the result phase.
struct StatusLine {
    QString text;
    QColor color;
};
StatusLine ViewStatusLine(int camera, const QString& detectionName, int runState, int resultPhase,
                          bool skipActive, int skipCount);

// Whether the view paints its area layer (outlines, labels, verdict,
// legend) for this page mode and picture source.  The recent-NG and record
// sources never do.
bool AreaLayerPainted(int pageMode, int source, bool liveRoiDisplay);
// Whether area i with method `method` is drawn.  Template source: every
// area while none is selected (selRoi -1), else the selected one, or every
// area in MoveModeAll; positioning areas included.  Live and idle: every
// area except positioning areas.  Other sources: none.
bool AreaDrawn(int source, int selRoi, int moveMode, int i, int method);
// Whether area labels go into the template counter line instead of beside
// the areas: the template source with an area selected.
bool LabelInCounterLine(int source, int selRoi);
