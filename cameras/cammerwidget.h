#pragma once
// The camera slot: one object per camera slot 0..7, built by the main window
// and alive until the process ends.  It is the camera's view on the screen
// (QWidget), the plain state the engine and the cycle read and write
// (CameraSlotState: frames, sets, masks, templates, results) and the camera
// back-end (CameraBackend: open, start, settings, hand-over), in one.  To the
// detection cycle it is a CycleCamera.
//
// Slot 0 and every slot below the found camera count are built completely,
// whether or not their camera opened, since only these can come into use;
// a slot above that range keeps only its view buffers and is never used.
//
// Everything here runs on the GUI thread; the grab side writes only the
// back-end's members and the receive buffer, under pMutex[camIndex].
#include "cameraslotstate.h"
#include "camerabackend.h"
#include "cammerrecongnize.h"
#include "cyclecamera.h"
#include "editorstate.h"
#include "slothost.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class CheckBox;
class ColorButton;
class ComboBox;
class QLabel;
class QTimer;
class Slider;

class CammerWidget : public QWidget, public CameraSlotState, public CameraBackend, public CycleCamera {
    Q_OBJECT
public:
    // Builds slot camIndex (see the file comment), opening and starting its
    // camera; the slot counts itself in numCamera when the camera opened.
    CammerWidget(SlotHost* host, int camIndex, QWidget* parent);
    ~CammerWidget() override;

    // The slot number, 0..7 (the back-end keeps the same value for itself).
    using CameraSlotState::camIndex;

    // True when the construction ran to its end (slot in the usable range).
    bool complete() const { return complete_; }

    // Owners of the two area sets and the engine (savedSet and workSet of
    // CameraSlotState point into the first two).
    std::unique_ptr<CammerSingleton> savedSetStore;
    std::unique_ptr<CammerSingleton> workSetStore;
    std::unique_ptr<CammerRecong> recong;   // built over savedSet

    // The view's picture: RGB32 words of the W x H picture, allocated once;
    // viewRGBA never moves, since the live-video share reads it.
    std::vector<uint32_t> viewWords;
    uchar* viewRGBA = nullptr;
    QImage viewImage;                       // W x H Format_RGB32 over viewRGBA

    int selRoi = -1;                        // selected area of the page detection, -1 none
    int lastSelRoi = -1;                    // selected before the last deselection, -1 none
    EditorState editor;                     // the area editor's gesture state
    bool paraSwitch = false;                // spot / white-count sliders edit the second value
    int adjustPart = 0;                     // part of the selected area the step buttons change
    int moveMode = MoveModeShowPanel;       // MoveMode*

    // The area parameter panel, the move buttons and the cavity boxes: made
    // hidden by the construction; the area page shows and drives them.
    Slider* minSizeSlider = nullptr;
    Slider* sensibilitySlider = nullptr;
    Slider* maxAreaSlider = nullptr;
    QLabel* funcLabel = nullptr;
    ColorButton* funcButton = nullptr;
    ColorButton* paraSwitchButton = nullptr;
    ComboBox* outputCombo = nullptr;
    ColorButton* adjustPartButton = nullptr;
    ColorButton* add10Button = nullptr;
    ColorButton* add1Button = nullptr;
    ColorButton* sub1Button = nullptr;
    ColorButton* sub10Button = nullptr;
    ColorButton* roiSwitchButton = nullptr;
    ColorButton* moveUpButton = nullptr;
    ColorButton* moveDownButton = nullptr;
    ColorButton* moveLeftButton = nullptr;
    ColorButton* moveRightButton = nullptr;
    ColorButton* moveModeButton = nullptr;
    CheckBox* cavityBox[16] = {};

    // NG blink, 1000 ms; started by the cycle and the area page.
    QTimer* alarmTimer = nullptr;

    // Ends every gesture, clears the host's draw mode and drops the
    // selection (the selected shape's flag included).
    void DeselectROI();

    // Area editor (cammerwidget_editor.cpp): the template source's gestures
    // on the work set and work masks of the page detection, and the
    // operations the area page calls.
    // The selected area's index into selRoi; false (selRoi kept) when none.
    bool GetSelectedRect();
    // The selected area contains p or has a handle there.
    bool PtInRegion(QPoint p);
    // Selects the first area under p, from selRoi on; sets hitPoint.
    bool PtInRect(QPoint p);
    // Any area under p.
    bool PtInRectMove(QPoint p);
    // Stores the polygon in progress as a new area.
    void SavePolygon();
    // Copies the selected (or last selected, or last) area, placed at p.
    void SlotCopyArea(QPoint p);

    // Ignore-point masks of the slot's folders (all 8 detections), and the
    // write of one; false when it failed (logged, old file kept).
    void LoadIgnorePoint();
    bool SaveIgnorePoint(int d) override;

    // Work masks := live masks, and back (the partners CopyPara fills kept).
    void BackMask();
    void RestorMask();

    // Pointer read-out of widget pixel (x, y): the image point under the
    // finger and its grey value into the host's view fields.
    void MUpdateXYV(int x, int y);

    // The slot's host.
    SlotHost* slotHost() const { return slotHost_; }

    // The slot as the detection cycle uses it.
    CameraSlotState& slotState() override { return *this; }
    // Takes a waiting frame over into procFrame; false when none waited or
    // the slot has no frame buffers (above the cameras found).
    bool takeNewFrame() override;
    // The engine over the saved set; nothing on a slot without one.
    void ShapeMatch() override;
    void Run(int d) override;
    void CreateShape(int d) override;
    void VarTrain(int d) override;
    bool judgesOffThread() const override { return true; }
    void RunKept(int d, PassReport& report) override;
    void HandOn(const PassReport& report) override;
    // Starts the NG blink (alarmTimer, 1000 ms).
    void startAlarmBlink() override;
    void SetWB() override { CameraBackend::SetWB(); }
    void CameraChangeTrig(bool restart) override { CameraBackend::CameraChangeTrig(restart); }
    void repaintView() override { update(); }
    void repaintRect(const QRect& rect) override { update(rect); }
    // Result pictures (failpicture.h) in the picture store: renders the last
    // evaluation of detection d into slot 0 (NG) or 1 (OK) of this camera,
    // and stamps that slot with the way its alarm was cleared, moving the
    // host's picture state on.
    void SaveFailImage(int d, int slot) override;
    void UpdateFailImage(int d, int slot) override;
    // The frame just taken (procFrame, without positioning) becomes the
    // aligned and shown frame and template 0 of detection d, which is also
    // written to its template file.
    void SaveReTrainImage(int d) override;

public slots:
    // Selects the next area under the last press point (ROI Switch).
    void SlotNextROI();
    // Copies each source detection's areas onto its partner in the saved
    // set, by the system mode.
    void CopyPara();
    // One blink step: stops and clears the phase once the camera is OK,
    // else toggles alarmShow; then repaints.
    void TimerShowAlarm();
    void SetHMirror() { CameraBackend::SetHMirror(); }
    void SetVMirror() { CameraBackend::SetVMirror(); }

    // Area parameter panel.  Every slot edits detection editDetect, area
    // selRoi of the work set and its work mask, and does nothing while no
    // area is selected.
    // Places and shows the panel for the selected area, or hides it.
    void ShowHideROIPara();
    void ShowHideCheckBox(bool show);
    // Ticks the cavity boxes from detectOptions[d] of the work set.
    void SetCheckBoxState(int d);
    // Removes area a of the page detection from the work set, clearing the
    // ignore points under it.
    void DeleteROI(int a);
    // Clears the ignore points of detection d inside imageRect (image
    // pixels, clipped to the picture) in the page's work copy, made from
    // the live mask when the rectangle first holds points; the page's save
    // makes it live and writes it.
    void clearIgnorePoints(int d, const QRect& imageRect);
    // User changes of the sliders: store, preview, draw hint.
    void SlotMinWH(int v);
    void SlotSensitivity(int v);
    void SlotArea(int v);
    void SlotOutN(int index);
    void SlotChangeFunc();
    void SlotChangeParaSow();
    void SlotChangeObject();
    void SlotAdd10() { SlotSize(0); }
    void SlotAdd1() { SlotSize(1); }
    void SlotSub1() { SlotSize(2); }
    void SlotSub10() { SlotSize(3); }
    void SlotSize(int step);
    void SlotMoveT() { SlotMove(0, -1); }
    void SlotMoveB() { SlotMove(0, 1); }
    void SlotMoveL() { SlotMove(-1, 0); }
    void SlotMoveR() { SlotMove(1, 0); }
    void SlotMove(int dx, int dy);
    void SlotMoveAll();
    // Cavity box k (0..15) into detectOptions[1][k]: 2 ticked, else 0.
    void SlotClickCheckBox(int k);

private:
    void connectPanel();
    // The page detection and the selected area when an area is selected.
    bool panelArea(int* d, int* a) const;
    // After a user's change of area (d, a): preview, draw hint, repaint.
    void previewArea(int d, int a);
    // Re-targets the sliders without storing anything.
    void retargetSliders(int d, int a);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    SlotHost* slotHost_;
    bool complete_ = false;

    void allocateViewBuffers();
    void makeControls();
    void placeControls();
    void loadSets();
    void registerLiveShare();

    // Area editor steps.
    QPoint editorViewPoint(QPoint widget) const;
    bool editorPress(QPoint p);   // false: the press stops here
    void editorMove(QMouseEvent* event, QPoint p);
    void editorRelease();
    void polygonClick(QPoint p);
    void newShapeArea();
    void fillNewArea(int d, int n, int shape);
    void rebuildSelectedMask();
    bool panStep(QMouseEvent* event);
};
