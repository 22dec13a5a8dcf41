#pragma once
// The side button bar at the right edge of the main screen: the operator's
// commands as large buttons, each running a slot of the main window.  Which
// buttons show follows the live parameters and the fold state; the logo at
// the top folds and unfolds the column, and the bar hides itself when the
// camera views have not been touched for a while.  GUI thread only.
#include <QWidget>

#include <array>
#include <vector>

class ColorButton;
class ComboBox;
class MoJuWizard;
class QLabel;
class QPixmap;
class QTimer;
class WizardPara;

// The bar's children whose visibility the parameters decide, top to bottom
// (the logo always shows).
enum SideBarChild {
    SideMultiScreen,
    SideStartStop,
    SideSystem,
    SideResample,
    SideArea,
    SideStatistics,
    SideSkip,
    SideHelp,
    SideSnapshot,
    SideCombo,
    SideMouldSnap,
    SideProductSnap,
    SideCaptureMode,
    SideBarChildCount
};

// What of the parameters (and of the start-up) the visibility depends on.
struct SideBarSwitches {
    bool skipDetect = false;         // WizardPara::skipDetectEnabled
    bool captureModeButton = false;  // WizardPara::showCaptureModeButton
    bool manualSnapshot = false;     // WizardPara::showManualSnapshot
    bool productDetect = false;      // WizardPara::productDetectEnabled
    int systemMode = 0;              // SystemMode
    bool statisticsBuilt = false;    // the statistics button exists

    static SideBarSwitches From(const WizardPara& w, bool statisticsBuilt);
};

using SideBarVisibility = std::array<bool, SideBarChildCount>;

// Which children show for the fold state u (true = unfolded).
SideBarVisibility SideBarChildrenShown(bool unfolded, const SideBarSwitches& s);

// Height of each button row when `rows` rows share the bar below the logo:
// the full 83 px where they fit, else all shrunk alike so the lowest stays
// on the screen.
int SideBarRowHeight(int barHeight, int rows);

class IndexButton : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtonW = 240;
    static constexpr int kButtonH = 83;
    static constexpr int kLogoW = 230;
    static constexpr int kLogoH = 110;
    static constexpr int kHideMs = 120000;

    // Builds the children, the layout and the geometry, hidden.  The
    // buttons run nothing until Connect.
    explicit IndexButton(QWidget* parent);
    ~IndexButton() override;

    // Every button to its slot of window (the wiring table below).
    void Connect(MoJuWizard* window);

    // 0: the bar hides, the buttons set as unfolded; 1: the buttons set for
    // the current fold state.
    void ShowHide(int mode);
    // Unfolds a folded bar.
    void checkShowHide();
    // The detection chosen for the multi-detection snapshot (0 = first).
    int CurChooseTrig() const;
    // The combo's entries "1st" ... for the detections of the live record.
    void ResetComboChooseManualTrig();
    // The capture-mode label for the live capture mode, when the button is on.
    void ReSetCaptureMode();

    ColorButton* startStopButton = nullptr;
    ColorButton* skipButton = nullptr;
    ColorButton* captureModeButton = nullptr;
    QTimer* hideTimer = nullptr;
    bool barUnfolded = true;
    QPixmap* logoPixmap = nullptr;   // null when no logo file exists
    QLabel* logoLabel = nullptr;
    ColorButton* resampleButton = nullptr;
    ColorButton* areaButton = nullptr;
    ColorButton* helpButton = nullptr;
    ColorButton* systemButton = nullptr;
    ColorButton* multiScreenButton = nullptr;
    ColorButton* statisticsButton = nullptr;   // only with statistics on
    ComboBox* manualTrigCombo = nullptr;
    ColorButton* snapshotButton = nullptr;
    ColorButton* productSnapButton = nullptr;
    ColorButton* mouldSnapButton = nullptr;
    int logoHeight = kLogoH;

    // The child of each SideBarChild (null for a statistics button not built).
    QWidget* child(SideBarChild c) const;

public slots:
    // Hides the bar and stops the hide timer.
    void SlotShowHideTimeout();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Gives the visible rows their height for the bar's height.
    void FitRows();
    // The combo's text size for its widest entry.
    void FitComboFont();
};

// One button and the main-window slot its click runs.
struct SideBarWire {
    ColorButton* IndexButton::*button;
    void (MoJuWizard::*slot)();
};

// The whole wiring, one row per button.
const std::vector<SideBarWire>& SideBarWiring();
