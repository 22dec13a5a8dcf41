#pragma once
// The area and template page: a narrow column of touch buttons and combos
// over the camera views at the right (or left) screen edge.  While it is open
// it decides what every view shows (gSource), which camera is shown alone,
// which detection is edited and which drawing tool the area editor uses; it
// browses the template library, the recent NG frames and the stored
// pictures, runs the alarm commands ("Re-detected", "Don't Detect", "Add As
// Temp") and saves the edited area sets with a change record per area.
//
// Built once by the main window and hidden at once; opened by Reset and
// closed by Restart.  Edits live in the cameras' work sets (and the page's
// ignore-mask work copies) until SlotSaveData.  GUI thread only.
//
// drawroiwidget.cpp: construction, visibility, sources, camera and
// detection choice, record browsing, opening and closing.
// drawroiwidget_templates.cpp: the template library commands.
// drawroiwidget_commands.cpp: tools, deletes, re-check, "Don't Detect",
// save and return.
#include "areapagehost.h"
#include "slothost.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

class ColorButton;
struct TemplateReports;
class ComboBox;
class CammerWidget;

class DrawROIWidget : public QWidget {
    Q_OBJECT
public:
    DrawROIWidget(AreaPageHost* host, QWidget* parent);
    ~DrawROIWidget() override;

    ComboBox* sourceCombo = nullptr;
    ComboBox* cameraCombo = nullptr;
    ComboBox* detectCombo = nullptr;

    // The commands, in the column's order below the combos.
    ColorButton* showHideButton = nullptr;     // "Disp Switching"
    ColorButton* returnButton = nullptr;       // "End Set"
    ColorButton* toolSwitchButton = nullptr;   // "View Template" / "Change Area"
    ColorButton* drawRectButton = nullptr;
    ColorButton* drawCircleButton = nullptr;
    ColorButton* drawPolygonButton = nullptr;   // "Draw Polygon" / "End Polygon"
    ColorButton* drawHandButton = nullptr;
    ColorButton* copyButton = nullptr;
    ColorButton* deleteButton = nullptr;
    ColorButton* deleteAllButton = nullptr;
    ColorButton* noCheckButton = nullptr;   // "Don't Detect"
    ColorButton* reCheckButton = nullptr;   // "Re-detected"; the main loop clicks it
    ColorButton* helpButton = nullptr;
    ColorButton* autoChangeButton = nullptr;   // "Live<->Temp"
    ColorButton* previousButton = nullptr;
    ColorButton* nextButton = nullptr;
    ColorButton* deleteTempButton = nullptr;
    ColorButton* addTempButton = nullptr;

    int areaToolsShown = 0;   // template source: 1 drawing tools, 0 template browsing
    bool pageAtLeft = false;
    bool restoreOnTemplate = false;   // next template source restores the work sets
    bool retrainPending[kCameraSlots] = {};
    // The stored picture shown (sources 3 and 4); the views read it through
    // the host's recordPictures(), which is this one.
    RecordPictures records;
    int recordDetect = 0;
    int recordKind = 0;   // 1 OK pictures, 0 NG pictures

    // Opens the page (every caller passes false), closes it.
    void Reset(bool live);
    void Restart();
    // Selects picture source item `source`.
    void setSource(int source);
    // Fills the detection combo with n numbered detections (mode 4).
    void ChangeDetectNum(int n);
    // Sets gTempTime from template n of camera c, detection d.
    static void GetTempTIme(int c, int d, int n);

public slots:
    // Layout and selection.
    void SlotShowHide();
    void SlotChangeOp();
    void SlotChangePage();
    void SlotChangeSource(int source);
    void SlotChangeCamera(int index);
    void SlotChangeDetect(int d);
    void SlotAutoChange();
    void SlotHelp();
    void LoadPic();
    void SlotTempLast();
    void SlotTempNext();

    // Template library.
    void SlotTempDeleteCur();
    void SlotAddTemp();
    void SlotTempDeleteAll();

    // Commands.
    void SlotCopyArea();
    void SlotDrawRect();
    void SlotDrawCircle();
    void SlotDrawPloygn();
    void SlotDrawHand();
    void SlotDeleteROI();
    void SlotDeleteAllROI();
    // The button's slot: while another page command waits in a box, the
    // click is remembered and runs once when that command ends.
    void SlotReCheck();
    void SlotNoCheckCur();
    // False when a save was asked for and failed (nothing committed).
    bool SlotSaveData();
    void SlotReturn();

    AreaPageHost* host() const { return host_; }

private:
    // A page command that may wait in a modal box; re-check clicks that
    // arrive meanwhile are held until the outermost one ends.
    class CommandScope {
    public:
        explicit CommandScope(DrawROIWidget* page);
        ~CommandScope();

    private:
        DrawROIWidget* page_;
    };
    friend class CommandScope;
    int commandDepth_ = 0;
    bool reCheckHeld_ = false;
    void runHeldReCheck();
    void reCheck();   // "Re-detected" itself

    // The camera shown alone, or null (grid, or not in use).
    CammerWidget* shownCamera() const;
    // Camera slot c when in use, else null.
    CammerWidget* camera(int c) const;
    void stepRecordOrRecent(int direction);
    void stepTemplate(int direction);

    AreaPageHost* host_;

    // ---- layout and selection (drawroiwidget.cpp, drawroiwidget_templates.cpp)
    // The column's controls, top to bottom.
    std::array<QWidget*, 21> controls_{};
    // The source item of the last completed source change: a refused change
    // shows it again.
    int shownSourceItem_ = 0;
    // Message boxes: a warning, and a question answered Yes.
    // Every camera's work set := its saved set, work masks := live masks,
    // and the page's ignore-mask work copies dropped.
    void restoreWorkSets();
    // The view of cam shows picture, or black when it holds no picture.
    static void showPicture(CammerWidget* cam, const std::vector<uchar>& picture);
    // The view of cam shows its template tempShown of detection d.
    static void showTemplate(CammerWidget* cam, int d);
    // Library reports into the operation record and the retrain flags.
    TemplateReports templateReports();

    // ---- commands (drawroiwidget_commands.cpp)
    // The camera the drawing tools and the deletes work on: shown alone
    // with the template source; else null.
    CammerWidget* toolCamera() const;
    void setPolygonCaption(int messageId);
    // Rectangle (1), circle (4) or freehand (2) on the tool camera.
    void startTool(int drawMode);
    // The view after a re-check that started on camera b.
    void showAfterReCheck(int b);
    // Bit c: camera c's work set or ignore work copy differs from what is saved.
    unsigned changedCameras() const;
    // One transaction for the cameras of `changed`; on a failure everything
    // is as before and message 1 is shown.
    bool saveCameras(unsigned changed);
    // VarTrain of every enabled detection of each camera waiting for it.
    void serveRetrains();
};
