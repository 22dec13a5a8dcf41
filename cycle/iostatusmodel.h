#pragma once
// What the status strip along the bottom of the main screen shows, as plain
// data: which lamps, where, at which level and with which label, and the
// texts (parameter group, login state, clock and cycle time) with their font
// size, colour and place.  Pure: the widget gathers the inputs and paints the
// result, so the layout rules are tested as tables.
#include "globals.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstring>
#include <functional>
#include <type_traits>

class WizardPara;

// The parameter fields the strip reads.
struct StripParams {
    int systemMode = 0;
    int detectTriggerInput[kDetections] = {};   // 0-based input, -1 or 255 none
    int statusLampCount = 0;
    int productNgPulseNoAlarm = 0;
    int productOkNgOutputs = 0;
    int paramGroupIndex = 0;
    int passwordEnabled = 0;

    static StripParams from(const WizardPara& w);
};
static_assert(std::has_unique_object_representations_v<StripParams>, "compared byte for byte");
inline bool operator==(const StripParams& a, const StripParams& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Sizes of one layout: small up to 1024 pixels of screen width, else large.
struct StripMetrics {
    int height;          // of the strip
    int lampW, lampH;
    int step;            // lamp width + 5
    int labelPx, labelH; // label font and box
    int textPx;          // login state, clock
    int groupPx;         // parameter group
    int textDx;          // text start, from the left edge of the last lamp
    int baseline;        // of every text
    int loginAdvance;    // plus 20 per language index
    int labelDy;         // one row: label top above the bottom line H
};
const StripMetrics& StripMetricsFor(int screenW);

// Inputs and outputs a lamp can show: inputs 0..8; outputs 0..8 and the four
// product-pulse lamps after them, up to output 12, which the board does not
// have (read as 0).
constexpr int kStripInputs = 9;
constexpr int kStripOutputs = 13;

// The levels as applied on the board, bit i for input or output i.
struct StripLevels {
    quint32 inputs = 0;
    quint32 outputs = 0;
};

// Which lamps a parameter record asks for, without their places.
struct StripLampSet {
    quint32 inputs = 0;     // bit i: input i has a lamp
    int outputs = 0;        // outputs 0 .. outputs - 1 have a lamp
    bool productPulse = false;   // four more lamps for outputs outputs .. outputs + 3
    int outputLamps() const { return outputs + (productPulse ? 4 : 0); }
    quint32 outputMask() const { return (1u << outputLamps()) - 1; }
};
StripLampSet StripLampsFor(const StripParams& p);

struct StripInput {
    StripParams para;
    int screenW = 0;
    StripLevels levels;
    int accessLevel = 0;
    QStringList paramGroups;     // the settings dialog's parameter-group list
    bool mounted = false;        // a USB disk is mounted
    QDateTime now;
    int cycleTime = 0;           // 0.1 s
    int language = 0;
    const QString* names = nullptr;   // kStatusLabels lamp labels (gaName); null: none
    // Drawn width of a text at a pixel size; null: the strip's own font.
    std::function<int(const QString& text, int px)> textWidth;
};

struct StripLamp {
    QRect rect;
    int level = 0;
    QString label;
    QRect labelRect;
};

struct StripText {
    QString text;
    int px = 0;
    QColor colour;
    QPoint pos;   // left end of the baseline
};

struct StripPicture {
    int labelPx = 0;
    QList<StripLamp> lamps;
    QList<StripText> texts;   // group, login state, clock, in that order, each only when shown
};

// Places are in the strip's own coordinates.
//
// The texts go after the last lamp as the layout table says while they end
// left of the side bar's column (the right 240 pixels, which the bar covers
// whenever it shows).  With many lamps they would run under the bar or off
// the screen: the large one-row layout then puts them in the free band
// above the lamps, from the first place on; where the line is still too
// long (or no band is free) its fonts shrink to fit, down to 3/5, or to 1/2
// where it would not even stay on the screen; failing that, the parameter
// group's name is left out.
StripPicture LayOutStrip(const StripInput& in);

// The right 240 pixels of the screen, under the side bar.
constexpr int kStripSideBarWidth = 240;

// The cycle time as the strip writes it: tenths of a second as "%4.1f".
QString StripCycleText(int cycleTime);
