#pragma once
// The rules of the area parameter panel as pure functions over plain data:
// the packed values of spot and white-count areas, what each slider edits
// for an area function, the defaults a function change writes, the function
// button's search, what the panel shows, the captions of its buttons, the
// step and move buttons' changes of the work set, the removal of an area,
// and where the panel and its move row go on the screen.  CammerWidget's
// panel slots apply them to its work set, masks and controls.
#include "cammersingleton.h"
#include "slotlayout.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class WizardPara;

// Spot: byte 0 of A is the minimum grey, byte 1 the maximum; higher bits are
// kept.  White count: the low 16 bits of C are the minimum number, the high
// 16 bits the maximum.  The engine reads them the same way.
int SpotGray(int a, bool maximum);
int WithSpotGray(int a, int value, bool maximum);
int WhiteCountNumber(int c, bool maximum);
int WithWhiteCountNumber(int c, int value, bool maximum);

// One slider for an area function: used (re-targeted and shown) or not,
// range, caption (message id) and the value it shows.  Page step is 1.
struct PanelSlider {
    bool used = false;
    int min = 0;
    int max = 0;
    int captionId = 0;
    int value = 0;
};

struct PanelSliders {
    int funcCaptionId = 25;   // caption of the function button
    PanelSlider a;            // minSizeSlider
    PanelSlider b;            // sensibilitySlider
    PanelSlider c;            // maxAreaSlider
};

// The sliders for an area of this method with parameters A, B, C; with
// paraSwitch the spot and white-count sliders show their second value.
// A method outside 0..9 is treated as defect.
PanelSliders PanelSlidersFor(int method, int a, int b, int c, bool paraSwitch);

// What a change to the method writes; nullopt keeps the old value.
struct FunctionDefaults {
    std::optional<int> a;
    std::optional<int> b;
    std::optional<int> c;
};
FunctionDefaults FunctionDefaultsFor(int method);

// The ten function-offered switches of the system parameters, by method.
using OfferedFunctions = std::array<bool, kAreaFuncCount>;
OfferedFunctions OfferedFunctionsOf(const WizardPara& para);
int OfferedCount(const OfferedFunctions& offered);

// The function button's search: from current + 1 (a code outside 0..9
// continues at 0), cyclically, the first offered method.  At most ten steps,
// so a parameter record with nothing offered ends it: -1 then.
int NextFunction(int current, const OfferedFunctions& offered);

// The panel's visible controls.  The move buttons and the move-mode button
// share one flag; funcButton and funcLabel too.
struct PanelVisibility {
    bool minSize = false;
    bool sensibility = false;
    bool maxArea = false;
    bool funcButton = false;
    bool paraSwitch = false;
    bool outputCombo = false;
    bool roiSwitch = false;
    bool adjustPart = false;    // with the four step buttons
    bool moveButtons = false;
};

struct PanelVisibilityInput {
    bool selected = false;      // an area is selected
    int method = 0;
    int moveMode = 0;           // MoveMode*
    bool details = false;       // showAlgorithmDetails
    int offeredCount = 0;       // function-offered switches set
    int detect = 0;             // the page detection
    bool outputsOffered = false;   // productNgPulseNoAlarm or productOkNgOutputs
};
PanelVisibility PanelVisibilityFor(const PanelVisibilityInput& in);

// Parts the step buttons can adjust: rectangle 2, circle 3, polygon its
// point count; 0 for another shape code.
int AdjustPartCount(int shape, int polygonPoints);
// The part after this one, back to 0 past the last.
int NextAdjustPart(int part, int count);
// Caption of adjustPartButton.
QString AdjustPartCaption(int shape, int part);
// Captions of add10, add1, sub1 and sub10 in that order.
std::array<QString, 4> StepCaptions(int shape, int part);
// Caption of moveModeButton: names the mode the next press leads to.
QString MoveModeCaption(int moveMode);

// A step button (0 add10 .. 3 sub10) on the part of area (d, i): the shape's
// outline (view coordinates, kept in the picture) and image rectangle.
// False when nothing changed: a polygon vertex index beyond its points, or
// another shape code.  The caller rebuilds the mask.
bool StepArea(CammerSingleton& set, int d, int i, int part, int step);

// A move button by (dx, dy) view pixels on areas first..last of detection d.
// Rectangles and circles are brought back whole; polygons must keep every
// point within 3 of the view's border, and are all checked first: when one
// would leave, nothing moves.  Returns the areas whose outline changed, for
// their masks; areas of other shape codes are skipped.
std::vector<int> MoveAreas(CammerSingleton& set, int d, int first, int last, int dx, int dy, QSize view);

// Removes area a of detection d from the set and its mask: the later areas
// move down one index (shape, mask, shape code, method, A, B, C; the output
// numbers only in detection 0; the NG counters stay).  False when a is not
// an area of d.
bool RemoveArea(CammerSingleton& set, AreaMaskArray& masks, int d, int a);

// The image rectangle of area (d, i) as the panel places against it: left,
// top and bottom + 1 scaled to the screen and truncated.
struct PanelAnchor {
    int left = 0;
    int top = 0;
    int bottom = 0;   // one past the area's last row
};
PanelAnchor PanelAnchorFor(const CammerSingleton& set, int d, int i, double showAW, double showAH);

// Geometry of the panel.  Sliders stack from the top; the button row runs
// funcLabel, funcButton, paraSwitch, outputCombo, roiSwitch, adjustPart and
// the four step buttons.
struct PanelPlacement {
    QRect sensibility;
    QRect maxArea;
    QRect minSize;
    QRect funcLabel;
    QRect funcButton;
    QRect paraSwitch;
    QRect outputCombo;
    QRect roiSwitch;
    QRect adjustPart;
    QRect step[4];
};

// The horizontal room the area page leaves on the screen: its column stands
// at the left edge (pageAtLeft) or the right one.
struct PageRoom {
    int left = 0;
    int right = 0;
};
PageRoom PageRoomFor(int showW, bool pageAtLeft);

// The panel for an area at anchor: below it when it fits above the bottom
// margin, else above it, else at the bottom margin.  Small layout (showW <=
// 1024) or large.  Rows that would reach into the page column or past the
// screen move sideways together, then the button row narrows its gaps and
// widths only as far as needed.
PanelPlacement PlacePanel(const PanelAnchor& anchor, bool details, int showW, int showH, bool pageAtLeft);

// The move row and the cavity boxes of the layout, kept clear of the page
// column the same way: positions that fit stay.
SlotControlsGeometry FitControlsToRoom(const SlotControlsGeometry& g, const PageRoom& room);
