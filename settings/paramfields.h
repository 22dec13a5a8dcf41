#pragma once
// The fields of the settings pages, described once.  The dialog builds,
// loads, shows and writes back its pages from this table; Confirm names the
// changes with the same captions; the range tests walk it.  Pure data and
// functions: nothing here touches a widget.
//
// Rules that do not fit a table stay as code in the dialog: the mode-4
// delay and output rows are chosen here, but the forcing rules of Confirm
// (method boxes tick the details box, continuous timed detection clears the
// external trigger) live in the Confirm plan.
#include "messages.h"
#include "wizardpara.h"

#include <QString>
#include <cstddef>
#include <vector>

namespace paramfields {

enum class Page { Common, Camera, IO, Advanced };

enum class Widget {
    Number,   // EditBox: a raw integer snapped into [minimum, maximum]
    Combo,    // ComboBox: the stored value is the item index
    Check,    // CheckBox: ticked = 1
};

// When a field is on screen (see FieldVisible).
enum class Show {
    Always,
    Factory,         // while "Display factory param" is ticked
    WithoutDetails,  // while "Display all the parameters" is not ticked
    LargeLayout,     // only on screens wider than 1024 px
    Never,           // built, never shown; the stored value passes through
    Delay,           // delays: 1 and 2 always, 3..8 in mode 4 up to the step count
    OutputState,     // output combos: factory; 1..4, in mode 4 1..max(4, N + 1)
    PairFunction,    // while the function combo shows two-colour or turntable
};

// When Confirm reads the widget back into the edit copy.
enum class Read {
    Always,
    MultiDetect,   // only while the live function is multi-detection
    Never,         // the page's setters already wrote the edit copy (camera values)
};

// How an otherwise unnamed change is named in the change record.  The
// record's fixed rows (Confirm plan) name the rest in their own forms.
enum class Clause {
    Switch,        // message 240 with the caption, then 250/251
    Value,         // message 245 with the caption, the old and the new value
    DelayStep,     // message 236 with the step's ordinal (477 + index)
    OutputState,   // message 245 with caption 496 filled with the output number
    Mirror,        // message 240 with the caption and the camera
    None,          // not recorded
};

// How the widget's value maps onto the stored one.
enum class Map {
    Plain,
    Motion,   // box ticked (1) stores 0, not ticked stores -1
};

// The field lies outside WizardPara (the main window's raw-image switch).
constexpr std::size_t kNotInRecord = std::size_t(-1);

struct ParamField {
    const char* name;      // WizardPara member name ("saveRawImages" for the outside one)
    int index;             // array element of a fixed-element field, else 0
    Page page;
    int column;            // column of the page, from 0 at the left
    Widget widget;
    int caption;           // message id; -1: fixedCaption
    int captionMultiDetect;  // message id when the dialog is built in mode 4, -1 none
    const char* fixedCaption;  // UTF-8 text shown in every language, when caption is -1
    int minimum, maximum;  // raw range (combos: 0 .. items - 1; boxes 0..1)
    int scale;             // shown = raw / scale
    bool scaled;           // EditBox type 2 (shows raw / scale with the unit)
    int unit;              // message id of the unit text, -1 none
    bool use0;             // 0 stands although below the minimum
    std::vector<int> items;  // combo item message ids, by index
    std::size_t offset;    // of the field (element 0 for per-camera fields), or kNotInRecord
    bool perCamera;        // element [camera] of an array over the camera slots
    Map map;
    Show show;
    Read read;
    Clause clause;
};

// Every field of the common, camera, I/O and advanced pages, page by page
// in page order (column by column, top to bottom).
const std::vector<ParamField>& ParamFields();
// The fields of one page, in order.
std::vector<const ParamField*> PageFields(Page page);
// A field by its member name and element; nullptr when there is none.
const ParamField* FindField(const char* name, int index = 0);

// --- values

// The stored int of field for camera (ignored unless perCamera).  The field
// must lie in the record.
int& FieldRef(const ParamField& field, WizardPara& para, int camera = 0);
int FieldValue(const ParamField& field, const WizardPara& para, int camera = 0);

// The value the widget takes for a stored value: snapped into the range
// (numbers: below -> minimum, above -> maximum, with use0 a 0 stands;
// combos: into the items; boxes: ticked when set, the motion box ticked
// when 0).
int SnapWidgetValue(const ParamField& field, int widgetValue);
int WidgetValueFor(const ParamField& field, int stored);
// What Confirm writes back for a widget value (the motion box: value - 1).
int StoredValueFor(const ParamField& field, int widgetValue);

// Load: the widget value for the field of para (0 for a field outside the
// record, which its owner loads).
int LoadWidgetValue(const ParamField& field, const WizardPara& para, int camera = 0);
// Write back: stores widgetValue (snapped first) into para; a field outside
// the record is left to its owner.
void StoreWidgetValue(const ParamField& field, WizardPara& para, int widgetValue, int camera = 0);
// Whether Confirm reads the widget back, with the live function in force.
bool ReadAtConfirm(const ParamField& field, int liveMode);

// The text a number field shows for a raw value ("2.5" for 25 with scale 10).
QString ShownText(const ParamField& field, int raw);

// --- captions

// Text of message id in language; a text that is empty in that language
// shows the Simplified Chinese one.
QString CaptionText(int id, int language);

struct CaptionContext {
    int builtMode = SystemModeStandard;  // live function when the dialog was built
    int multiDetectCount = 2;            // for the mode-4 re-detection caption
    int language = LanSimplifiedChinese;
};
QString FieldCaption(const ParamField& field, const CaptionContext& context);
// The combo items' texts.
QStringList ItemTexts(const ParamField& field, int language);

// --- visibility

struct VisibilityContext {
    bool factory = false;         // "Display factory param" box as it stands
    bool details = false;         // "Display all the parameters" box as it stands
    int builtMode = SystemModeStandard;  // live function when the dialog was built
    int multiDetectCount = 2;     // step count of the edit copy
    int functionShown = 0;        // index the system-function combo shows
    bool largeLayout = true;      // gShowW > 1024
};

// Whether the dialog builds a widget for field at all (mode-4 rows only in mode 4).
bool FieldBuilt(const ParamField& field, int builtMode);
bool FieldVisible(const ParamField& field, const VisibilityContext& context);
// The multi-detection buttons ("Custom IO", "IO name") beside the function combo.
bool MultiDetectButtonsVisible(int functionShown);
// Output combos shown and output labels drawn in mode 4 for N steps.
int MultiDetectOutputsShown(int multiDetectCount);

}  // namespace paramfields
