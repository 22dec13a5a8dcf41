// The area parameter panel of a camera slot: its controls' slots over the
// work set, built on the rules of areapanel.h.
#include "cammerwidget.h"

#include "areapanel.h"
#include "cameraglobals.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "messages.h"
#include "slider.h"
#include "slotlayout.h"
#include "wizardpara.h"

#include <QLabel>
#include <QSignalBlocker>

#include <algorithm>

void CammerWidget::connectPanel()
{
    // valueChanged reaches the slots only from the user: the panel
    // re-targets the sliders with their signals blocked.
    connect(minSizeSlider, &QAbstractSlider::valueChanged, this, &CammerWidget::SlotMinWH);
    connect(sensibilitySlider, &QAbstractSlider::valueChanged, this, &CammerWidget::SlotSensitivity);
    connect(maxAreaSlider, &QAbstractSlider::valueChanged, this, &CammerWidget::SlotArea);
    connect(outputCombo, &QComboBox::currentIndexChanged, this, &CammerWidget::SlotOutN);
    connect(funcButton, &QAbstractButton::clicked, this, &CammerWidget::SlotChangeFunc);
    connect(paraSwitchButton, &QAbstractButton::clicked, this, &CammerWidget::SlotChangeParaSow);
    connect(adjustPartButton, &QAbstractButton::clicked, this, &CammerWidget::SlotChangeObject);
    connect(add10Button, &QAbstractButton::clicked, this, &CammerWidget::SlotAdd10);
    connect(add1Button, &QAbstractButton::clicked, this, &CammerWidget::SlotAdd1);
    connect(sub1Button, &QAbstractButton::clicked, this, &CammerWidget::SlotSub1);
    connect(sub10Button, &QAbstractButton::clicked, this, &CammerWidget::SlotSub10);
    connect(moveUpButton, &QAbstractButton::clicked, this, &CammerWidget::SlotMoveT);
    connect(moveDownButton, &QAbstractButton::clicked, this, &CammerWidget::SlotMoveB);
    connect(moveLeftButton, &QAbstractButton::clicked, this, &CammerWidget::SlotMoveL);
    connect(moveRightButton, &QAbstractButton::clicked, this, &CammerWidget::SlotMoveR);
    connect(moveModeButton, &QAbstractButton::clicked, this, &CammerWidget::SlotMoveAll);
    for (int k = 0; k < 16; ++k)
        connect(cavityBox[k], &QAbstractButton::clicked, this, [this, k] { SlotClickCheckBox(k); });
    moveModeButton->setText(MoveModeCaption(moveMode));
}

bool CammerWidget::panelArea(int* d, int* a) const
{
    const int detect = slotHost_->viewState().editDetect;
    if (!workSet || selRoi < 0 || detect < 0 || detect >= kDetections || selRoi >= std::min(workSet->roiCount[detect], kAreas))
        return false;
    *d = detect;
    *a = selRoi;
    return true;
}

void CammerWidget::previewArea(int d, int a)
{
    if (recong)
        recong->RunTest(d, a);
    slotHost_->startDrawHintTimer();
    update();
}

void CammerWidget::retargetSliders(int d, int a)
{
    const PanelSliders s = PanelSlidersFor(workSet->roiMethod[d][a], workSet->roiMinSize[d][a],
                                           workSet->roiSensibility[d][a], workSet->roiMaxArea[d][a], paraSwitch);
    Slider* const sliders[3] = {minSizeSlider, sensibilitySlider, maxAreaSlider};
    const PanelSlider* const wanted[3] = {&s.a, &s.b, &s.c};
    for (int k = 0; k < 3; ++k) {
        if (!wanted[k]->used)
            continue;
        // Selecting an area only shows its values: a stored value outside
        // the slider's range stays as it is until the user moves the slider.
        const QSignalBlocker block(sliders[k]);
        sliders[k]->Reset(wanted[k]->min, wanted[k]->max, 1, wanted[k]->value, Msg(wanted[k]->captionId));
    }
    funcButton->setText(Msg(s.funcCaptionId));
}

void CammerWidget::ShowHideROIPara()
{
    testShown = 0;
    if (!complete_)   // a slot above the cameras found has no panel
        return;
    QWidget* const panel[] = {minSizeSlider, sensibilitySlider, maxAreaSlider, funcLabel, funcButton,
                              paraSwitchButton, adjustPartButton, add10Button, add1Button, sub1Button,
                              sub10Button, roiSwitchButton, outputCombo};
    QWidget* const moveRow[] = {moveUpButton, moveDownButton, moveLeftButton, moveRightButton, moveModeButton};
    int d = 0;
    int a = 0;
    if (!panelArea(&d, &a)) {
        for (QWidget* w : panel)
            w->hide();
        for (QWidget* w : moveRow)
            w->hide();
        moveMode = MoveModeShowPanel;
        adjustPart = 0;
        moveModeButton->setText(MoveModeCaption(moveMode));
        update();
        return;
    }

    const WizardPara& para = slotHost_->liveParameters();
    const bool pageAtLeft = slotHost_->areaPageAtLeft();
    const PanelPlacement at = PlacePanel(PanelAnchorFor(*workSet, d, a, gShowAW, gShowAH),
                                         para.showAlgorithmDetails != 0, gShowW, gShowH, pageAtLeft);
    minSizeSlider->setGeometry(at.minSize);
    sensibilitySlider->setGeometry(at.sensibility);
    maxAreaSlider->setGeometry(at.maxArea);
    funcLabel->setGeometry(at.funcLabel);
    funcButton->setGeometry(at.funcButton);
    paraSwitchButton->setGeometry(at.paraSwitch);
    outputCombo->setGeometry(at.outputCombo);
    roiSwitchButton->setGeometry(at.roiSwitch);
    adjustPartButton->setGeometry(at.adjustPart);
    ColorButton* const steps[4] = {add10Button, add1Button, sub1Button, sub10Button};
    for (int k = 0; k < 4; ++k)
        steps[k]->setGeometry(at.step[k]);
    const SlotControlsGeometry row =
        FitControlsToRoom(SlotControlsLayout(gShowW, gShowH), PageRoomFor(gShowW, pageAtLeft));
    for (int k = 0; k < 5; ++k)
        moveRow[k]->setGeometry(row.moveButton[k]);

    paraSwitch = false;
    retargetSliders(d, a);

    PanelVisibilityInput in;
    in.selected = true;
    in.method = workSet->roiMethod[d][a];
    in.moveMode = moveMode;
    in.details = para.showAlgorithmDetails != 0;
    in.offeredCount = OfferedCount(OfferedFunctionsOf(para));
    in.detect = d;
    in.outputsOffered = para.productNgPulseNoAlarm != 0 || para.productOkNgOutputs != 0;
    const PanelVisibility v = PanelVisibilityFor(in);
    minSizeSlider->setVisible(v.minSize);
    sensibilitySlider->setVisible(v.sensibility);
    maxAreaSlider->setVisible(v.maxArea);
    funcLabel->setVisible(v.funcButton);
    funcButton->setVisible(v.funcButton);
    paraSwitchButton->setVisible(v.paraSwitch);
    roiSwitchButton->setVisible(v.roiSwitch);
    adjustPartButton->setVisible(v.adjustPart);
    for (ColorButton* b : steps)
        b->setVisible(v.adjustPart);
    for (QWidget* w : moveRow)
        w->setVisible(v.moveButtons);
    if (v.outputCombo) {
        const QSignalBlocker block(outputCombo);
        outputCombo->setCurrentIndex(std::clamp(workSet->roiOutput[a], 0, 3));
    }
    outputCombo->setVisible(v.outputCombo);

    const int shape = workSet->roiShape[d][a];
    const std::array<QString, 4> captions = StepCaptions(shape, adjustPart);
    for (int k = 0; k < 4; ++k)
        steps[k]->setText(captions[static_cast<size_t>(k)]);
    adjustPartButton->setText(AdjustPartCaption(shape, adjustPart));
    moveModeButton->setText(MoveModeCaption(moveMode));
    update();
}

void CammerWidget::ShowHideCheckBox(bool show)
{
    if (!complete_)
        return;
    const SlotControlsGeometry g =
        FitControlsToRoom(SlotControlsLayout(gShowW, gShowH), PageRoomFor(gShowW, slotHost_->areaPageAtLeft()));
    for (int k = 0; k < 16; ++k) {
        cavityBox[k]->setGeometry(g.cavityBox[k]);
        cavityBox[k]->setVisible(show);
    }
}

void CammerWidget::SetCheckBoxState(int d)
{
    if (!complete_ || !workSet || d < 0 || d >= kDetections)
        return;
    for (int k = 0; k < 16; ++k) {
        const QSignalBlocker block(cavityBox[k]);
        cavityBox[k]->setValue(workSet->detectOptions[d][k]);
    }
}

void CammerWidget::SlotClickCheckBox(int k)
{
    if (!workSet || k < 0 || k >= 16)
        return;
    // Cavities belong to detection 1 whatever the page shows.
    workSet->detectOptions[1][k] = cavityBox[k]->value() ? 2 : 0;
    update();
}

void CammerWidget::clearIgnorePoints(int d, const QRect& imageRect)
{
    if (d < 0 || d >= kDetections)
        return;
    // Only the picture's pixels: an area reaching past the border must not
    // write past the mask.
    const QRect r = imageRect.normalized().intersected(QRect(0, 0, imageW, imageH));
    const std::vector<uchar>& shown = shownIgnoreMask(d);
    if (r.isEmpty() || shown.size() < static_cast<size_t>(imageLen))
        return;
    auto rowStart = [&](int y) { return static_cast<std::ptrdiff_t>(y) * imageW + r.left(); };
    bool marked = false;
    for (int y = r.top(); y <= r.bottom() && !marked; ++y)
        marked = std::any_of(shown.begin() + rowStart(y), shown.begin() + rowStart(y) + r.width(),
                             [](uchar v) { return v != 0; });
    if (!marked)
        return;   // nothing to clear: the detection keeps no work copy for it
    // The page's work copy, never the live mask: the deletion may still be
    // discarded, and the detection goes on judging with the saved points.
    std::vector<uchar>& work = ignoreWorkMask[d];
    if (work.empty())
        work = ignoreMask[d];
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::fill_n(work.begin() + rowStart(y), r.width(), uchar(0));
}

void CammerWidget::DeleteROI(int a)
{
    const int d = slotHost_->viewState().editDetect;
    if (!workSet || d < 0 || d >= kDetections || a < 0 || a >= std::min(workSet->roiCount[d], kAreas))
        return;
    const int shape = workSet->roiShape[d][a];
    if (shape == RoiShapeRect || shape == RoiShapeCircle || shape == RoiShapePolygon) {
        const cv::Rect r = workSet->AreaImageRect(d, a);
        clearIgnorePoints(d, QRect(r.x, r.y, r.width, r.height));
    }
    RemoveArea(*workSet, workMask, d, a);
}

void CammerWidget::SlotMinWH(int v)
{
    int d, a;
    if (!panelArea(&d, &a))
        return;
    int& value = workSet->roiMinSize[d][a];
    value = workSet->roiMethod[d][a] == AreaFuncSpot ? WithSpotGray(value, v, paraSwitch) : v;
    previewArea(d, a);
}

void CammerWidget::SlotSensitivity(int v)
{
    int d, a;
    if (!panelArea(&d, &a))
        return;
    workSet->roiSensibility[d][a] = v;
    previewArea(d, a);
}

void CammerWidget::SlotArea(int v)
{
    int d, a;
    if (!panelArea(&d, &a))
        return;
    int& value = workSet->roiMaxArea[d][a];
    value = workSet->roiMethod[d][a] == AreaFuncWhiteCount ? WithWhiteCountNumber(value, v, paraSwitch) : v;
    previewArea(d, a);
}

void CammerWidget::SlotOutN(int index)
{
    int d, a;
    if (!panelArea(&d, &a) || d != 0 || index < 0 || index > 3)
        return;
    workSet->roiOutput[a] = index;
}

void CammerWidget::SlotChangeFunc()
{
    int d, a;
    if (!panelArea(&d, &a))
        return;
    const int next = NextFunction(workSet->roiMethod[d][a], OfferedFunctionsOf(slotHost_->liveParameters()));
    if (next < 0)
        return;
    workSet->roiMethod[d][a] = next;
    const FunctionDefaults defaults = FunctionDefaultsFor(next);
    if (defaults.a)
        workSet->roiMinSize[d][a] = *defaults.a;
    if (defaults.b)
        workSet->roiSensibility[d][a] = *defaults.b;
    if (defaults.c)
        workSet->roiMaxArea[d][a] = *defaults.c;
    ShowHideROIPara();
    paraSwitch = false;
}

void CammerWidget::SlotChangeParaSow()
{
    int d, a;
    if (!panelArea(&d, &a))
        return;
    paraSwitch = !paraSwitch;
    retargetSliders(d, a);
    update();
}

void CammerWidget::SlotChangeObject()
{
    int d, a;
    if (!panelArea(&d, &a))
        return;
    const int count = AdjustPartCount(workSet->roiShape[d][a], workSet->roiPolygon[d][a].count());
    adjustPart = NextAdjustPart(adjustPart, count);
    ShowHideROIPara();
}

void CammerWidget::SlotSize(int step)
{
    int d, a;
    if (!panelArea(&d, &a) || !StepArea(*workSet, d, a, adjustPart, step))
        return;
    workMask[d][a] = workSet->UpdateAreaMask(d, a);
    update();
}

void CammerWidget::SlotMove(int dx, int dy)
{
    int d, a;
    if (!panelArea(&d, &a))
        return;
    const bool all = moveMode == MoveModeAll;
    const int first = all ? 0 : a;
    const int last = all ? workSet->roiCount[d] - 1 : a;
    for (int i : MoveAreas(*workSet, d, first, last, dx, dy, size()))
        workMask[d][i] = workSet->UpdateAreaMask(d, i);
    // Refreshed also when nothing moved, so the view shows where the
    // areas stand.
    ShowHideROIPara();
}

void CammerWidget::SlotMoveAll()
{
    int d, a;
    if (panelArea(&d, &a))
        moveMode = (moveMode + 1) % 3;
    ShowHideROIPara();
}
