#pragma once
// Sizes of the settings dialog in its three forms: the small layout
// (700 x 500), the large one where 1800 x 950 fits the screen, and the
// fitted large one on a smaller large-layout screen, which takes the
// screen's size and builds its fields in an intermediate size.
#include "kitlayout.h"

#include <QSize>
#include <QString>

class CheckBox;
class EditBox;
class QFont;

struct SettingsMetrics {
    enum Form { Small, Fitted, Large };
    Form form = Small;
    QSize dialogSize;
    int margin = 10;
    int titleHeight = 30;
    int headerHeight = 26;
    int rowHeight = 28;       // number rows and combos
    int rowSpacing = 3;
    int fontPx = 16;          // combos and text fields
    int boxFontPx = 14;       // check boxes
    int indicator = 16;
    int headerPx = 18;
    int notePx = 12;
    int labelPx = 14;
    int titlePx = 20;
    int versionWidth = 170;
    int comboWidth = 120;
    int labelWidth = 150;     // drawn labels left of combos
    QSize pageButton{110, 40};
    QSize actionButton{110, 40};
    int numberWidth = 300;    // a whole number row
    KitRowSize rowSize = KitRowSize::Small;
};

// For the screen gShowW x gShowH; computed when first asked and again after
// resetSettingsMetrics() (tests change the screen).
const SettingsMetrics& settingsMetrics();
void resetSettingsMetrics();

// The common and advanced pages' columns: three of fields and one of
// action buttons side by side over the whole page.
struct PageColumns {
    class QVBoxLayout* left;
    class QVBoxLayout* middle;
    class QVBoxLayout* right;
    class QVBoxLayout* actions;
    // Width left to each of the two box columns beside a number column.
    int boxWidth;
};
PageColumns MakePageColumns(class QWidget* page, const SettingsMetrics& m, int minBoxWidth);

// A number row: a long caption wraps (the medium row fits its own).
void FitEditBox(EditBox* box);
// A check box whose caption wraps at width (line breaks at word or, for
// Chinese, character boundaries).
void FitCheckBox(CheckBox* box, int width);
// text broken into lines no wider than width in font.
QString WrapText(const QString& text, const QFont& font, int width);
// font, made smaller (not below 9 px) until text laid out with flags fits room.
QFont FitFont(QFont font, const QString& text, const QSize& room, int flags);
