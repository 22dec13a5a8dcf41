#include "cammerwidget.h"

#include "cameraglobals.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "failimagestore.h"
#include "failpicture.h"
#include "kitlayout.h"
#include "messages.h"
#include "numberinput.h"
#include "relaylink.h"
#include "slider.h"
#include "slotlayout.h"
#include "slotpictures.h"
#include "slotsets.h"
#include "viewpainter.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>

#include <cmath>

namespace {

constexpr int kAlarmBlinkMs = 1000;

bool largeLayout() { return gShowW > 1024; }

// Message ids of the provisional cavity captions "1#" .. "16#".
int cavityCaption(int k) { return k < 8 ? 460 + k : 596 + (k - 8); }

} // namespace

CammerWidget::CammerWidget(SlotHost* host, int index, QWidget* parent)
    : QWidget(parent), CameraBackend(host, index), slotHost_(host)
{
    camIndex = index;
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    hide();
    allocateViewBuffers();

    CameraOpen();
    // The count never exceeds the cameras found: the views in use are the
    // slots below it.
    if (host->cameraOpened[camIndex] && numCamera < std::max(gFindCamera, 1))
        ++numCamera;
    // Only slot 0 and the slots below the found count can come into use, and
    // each of those is built whole whether or not its camera opened, so a
    // camera that fails in the middle of the range never leaves a half-built
    // slot in use.
    if (camIndex > 0 && camIndex >= gFindCamera)
        return;

    AllocateSlotBuffers(gImageW, gImageH, gisColor != 0, gTempNum);
    makeControls();
    isOK = 1;
    alarmShow = 0;
    // All 8 detections: the settings may add detections at run time.
    LoadTemplateLibrary(*this, camIndex);
    LoadIgnorePoint();
    loadSets();
    CameraStart();
    registerLiveShare();

    alarmTimer = new QTimer(this);
    connect(alarmTimer, &QTimer::timeout, this, &CammerWidget::TimerShowAlarm);
    connect(roiSwitchButton, &ColorButton::clicked, this, &CammerWidget::SlotNextROI, Qt::UniqueConnection);
    moveMode = MoveModeShowPanel;
    paraSwitch = false;
    complete_ = true;
}

CammerWidget::~CammerWidget() = default;

void CammerWidget::allocateViewBuffers()
{
    // The geometry of a slot that stops early too: its view still paints
    // the record pictures.
    imageW = std::max(gImageW, 0);
    imageH = std::max(gImageH, 0);
    color = gisColor != 0;
    imageLen = imageW * imageH;
    colorLen = color ? 4 * imageLen : imageLen;
    shownFrame.assign(static_cast<size_t>(colorLen), 0);
    viewWords.assign(static_cast<size_t>(imageLen), 0);
    viewRGBA = reinterpret_cast<uchar*>(viewWords.data());
    viewImage = QImage(viewRGBA, imageW, imageH, imageW * 4, QImage::Format_RGB32);
    selRoi = -1;
    lastSelRoi = -1;
    brightness = 0;
}

void CammerWidget::makeControls()
{
    auto hidden = [](QWidget* w) {
        w->hide();
        return w;
    };
    // The panel re-targets the sliders before it first shows them.
    minSizeSlider = static_cast<Slider*>(hidden(new Slider(0, 10, 1, 25, this, QString())));
    sensibilitySlider = static_cast<Slider*>(hidden(new Slider(0, 255, 1, 25, this, QString())));
    maxAreaSlider = static_cast<Slider*>(hidden(new Slider(0, 1000, 1, 50, this, QString())));

    funcLabel = static_cast<QLabel*>(hidden(new QLabel(Msg(2), this)));
    funcLabel->setFont(MicroHei(largeLayout() ? 30 : 16));
    QPalette green = funcLabel->palette();
    green.setColor(QPalette::WindowText, Qt::green);
    funcLabel->setPalette(green);

    auto button = [this, &hidden](const QString& caption, int sizeClass, bool repeat) {
        auto* b = new ColorButton(caption, this, sizeClass);
        if (repeat)
            b->SetRepeat();
        hidden(b);
        return b;
    };
    funcButton = button(QString(), ColorButtonSizeNormal, false);
    paraSwitchButton = button(Msg(3), ColorButtonSizeNormal, false);

    outputCombo = static_cast<ComboBox*>(hidden(new ComboBox(this)));
    for (int n = 0; n < 4; ++n)
        outputCombo->addItem(QStringLiteral("N%1").arg(n + 1), n);
    outputCombo->setFont(MicroHei(largeLayout() ? 20 : 12));
    outputCombo->setItemHeight(50);

    roiSwitchButton = button(Msg(4), ColorButtonSizeNormal, false);
    adjustPartButton = button(QString(), ColorButtonSizeNormal, false);
    add10Button = button(QString(), ColorButtonSizeNormal, true);
    add1Button = button(QString(), ColorButtonSizeNormal, true);
    sub1Button = button(QString(), ColorButtonSizeNormal, true);
    sub10Button = button(QString(), ColorButtonSizeNormal, true);

    moveUpButton = button(Msg(5), ColorButtonSizeLarge, true);
    moveDownButton = button(Msg(6), ColorButtonSizeLarge, true);
    moveLeftButton = button(Msg(7), ColorButtonSizeLarge, true);
    moveRightButton = button(Msg(8), ColorButtonSizeLarge, true);
    moveModeButton = button(QString(), ColorButtonSizeLarge, false);

    for (int k = 0; k < 16; ++k)
        cavityBox[k] = static_cast<CheckBox*>(hidden(new CheckBox(this, Msg(cavityCaption(k)))));
    placeControls();
    connectPanel();
}

void CammerWidget::placeControls()
{
    const SlotControlsGeometry g = SlotControlsLayout(gShowW, gShowH);
    ColorButton* const move[5] = {moveUpButton, moveDownButton, moveLeftButton, moveRightButton, moveModeButton};
    for (int i = 0; i < 5; ++i)
        move[i]->setGeometry(g.moveButton[i]);
    for (int k = 0; k < 16; ++k)
        cavityBox[k]->setGeometry(g.cavityBox[k]);
}

void CammerWidget::loadSets()
{
    savedSetStore = std::make_unique<CammerSingleton>(camIndex);
    workSetStore = std::make_unique<CammerSingleton>(camIndex);
    savedSet = savedSetStore.get();
    workSet = workSetStore.get();
    savedSet->LoadDatafromFile(slotHost_->paramDatabase(), &liveMask, [](int messageId) { WarnMessage(messageId); });
    recong = std::make_unique<CammerRecong>(savedSet, this, &slotHost_->engineHost());
}

void CammerWidget::registerLiveShare()
{
    const WizardPara& para = slotHost_->liveParameters();
    if (para.videoShareMode == VideoShareCamera && slotHost_->cameraOpened[camIndex] && para.netEnabled && gpNet &&
        gpNet->serverOpen())
        gpNet->CNT_AddUseMemory(camIndex, imageW, imageH, viewRGBA);
}

void CammerWidget::DeselectROI()
{
    editor.EndGestures();
    ViewState& view = slotHost_->viewState();
    view.drawMode = 0;
    if (selRoi == -1)
        return;
    const int d = view.editDetect;
    if (workSet && d >= 0 && d < kDetections && selRoi >= 0 && selRoi < kAreas) {
        switch (workSet->roiShape[d][selRoi]) {
        case RoiShapeRect:
            workSet->roiRect[d][selRoi].SetSelected(false);
            break;
        case RoiShapeCircle:
            workSet->roiCircle[d][selRoi].SetSelected(false);
            break;
        case RoiShapePolygon:
            workSet->roiPolygon[d][selRoi].SetSelected(false);
            break;
        default:
            break;
        }
    }
    selRoi = -1;
}

void CammerWidget::LoadIgnorePoint() { ::LoadIgnorePoint(*this, camIndex); }

bool CammerWidget::SaveIgnorePoint(int d)
{
    return ::SaveIgnorePoint(*this, camIndex, d, slotHost_->liveParameters().netEnabled != 0);
}

void CammerWidget::BackMask() { ::BackMask(workMask, liveMask, gDNum); }

void CammerWidget::RestorMask() { ::RestorMask(liveMask, workMask, slotHost_->liveParameters(), gDNum); }

void CammerWidget::CopyPara()
{
    if (savedSet)
        ::CopyPara(*savedSet, liveMask, slotHost_->liveParameters().systemMode);
}

void CammerWidget::TimerShowAlarm()
{
    if (isOK == 1) {
        alarmShow = 0;
        if (alarmTimer)   // a slot above the cameras found has none
            alarmTimer->stop();
    } else {
        alarmShow = alarmShow ? 0 : 1;
    }
    update();
}

void CammerWidget::MUpdateXYV(int x, int y)
{
    ViewState& view = slotHost_->viewState();
    // The numerator's product is taken in single precision, the division in
    // double, so the read-out matches the zoom buttons' own arithmetic.
    const float numX = static_cast<float>(gImageW) * static_cast<float>(x - view.panX);
    const float numY = static_cast<float>(gImageH) * static_cast<float>(y - view.panY);
    view.pointerImageX = static_cast<int>(static_cast<double>(numX) / (gShowW * view.zoom));
    view.pointerImageY = static_cast<int>(static_cast<double>(numY) / (gShowH * view.zoom));

    const int px = view.pointerImageX;
    const int py = view.pointerImageY;
    view.pointerPixel = 0;
    if (px < 0 || py < 0 || px >= imageW || py >= imageH)
        return;
    const size_t at = static_cast<size_t>(py) * static_cast<size_t>(imageW) + static_cast<size_t>(px);
    if (!color) {
        if (at < shownFrame.size())
            view.pointerPixel = shownFrame[at];
    } else if (4 * at + 2 < shownFrame.size()) {
        const uchar* p = &shownFrame[4 * at];   // B, G, R, A
        view.pointerPixel = qGray(p[2], p[1], p[0]);
    }
}

void CammerWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ViewPaintInput in;
    in.slot = this;
    in.host = slotHost_;
    in.source = gSource;
    in.viewSize = size();
    in.selRoi = selRoi;
    in.moveMode = moveMode;
    in.adjustPart = adjustPart;
    in.editor = &editor;
    in.buffer = ViewBuffer{viewWords.data(), viewWords.size()};
    in.viewImage = &viewImage;
    PaintCameraView(painter, in);
}

// ------------------------------------------------------------ cycle camera

bool CammerWidget::takeNewFrame()
{
    // The hand-over copies gColorLen bytes; a slot without its frame
    // buffers never takes one.
    if (gColorLen <= 0 || procFrame.size() < static_cast<size_t>(gColorLen))
        return false;
    return TakeNewFrame(this, procFrame.data());
}

void CammerWidget::ShapeMatch()
{
    if (recong)
        recong->ShapeMatch();
}

void CammerWidget::Run(int d)
{
    if (recong)
        recong->Run(d);
}

void CammerWidget::RunKept(int d, PassReport& report)
{
    if (recong)
        recong->Run(d, &report);
}

void CammerWidget::HandOn(const PassReport& report)
{
    if (recong)
        recong->HandOn(report);
}

void CammerWidget::CreateShape(int d)
{
    if (recong)
        recong->CreateShape(d);
}

void CammerWidget::VarTrain(int d)
{
    if (recong)
        recong->VarTrain(d);
}

void CammerWidget::startAlarmBlink()
{
    if (alarmTimer)
        alarmTimer->start(kAlarmBlinkMs);
}

void CammerWidget::SaveFailImage(int d, int slot)
{
    if (!complete_ || !savedSet || d < 0 || d >= kDetections || slot < 0 || slot > 1)
        return;
    FailPictureScene scene;
    scene.slot = this;
    scene.set = savedSet;
    scene.para = &slotHost_->liveParameters();
    scene.d = d;
    scene.kind = slot;
    scene.safetyDoorFired = slotHost_->cycleSafetyDoorFired();
    scene.showW = gShowW;
    scene.showAW = gShowAW;
    scene.showAH = gShowAH;
    // Painted into a picture of its own, not the view's canvas, so the live
    // share never shows a half-drawn picture; the store takes it by swap.
    StoreFailImage(camIndex, d, slot, RenderFailPicture(scene));
}

void CammerWidget::UpdateFailImage(int d, int slot)
{
    if (!complete_ || d < 0 || d >= kDetections || slot < 0 || slot > 1)
        return;
    int& state = slotHost_->cycleFailImageState(camIndex, d);
    StampedFailImage stamped = StampFailImage(FailImage(camIndex, d, slot), state, gShowW);
    state = stamped.state;
    if (!stamped.picture.isNull())
        StoreFailImage(camIndex, d, slot, std::move(stamped.picture));
}

void CammerWidget::SaveReTrainImage(int d)
{
    if (d < 0 || d >= kDetections || colorLen <= 0 || procFrame.size() != static_cast<size_t>(colorLen))
        return;
    // The re-sampling frame is taken as it is, without positioning.
    alignedFrame = procFrame;
    shownFrame = alignedFrame;
    uchar* base = TemplateBuffer(d, 0);
    if (!base)
        return;
    std::copy(alignedFrame.begin(), alignedFrame.end(), base);
    if (!templateValid[d][0]) {
        templateValid[d][0] = 1;
        ++templateCount[d];
    }
    // A file that cannot be written is logged by the store; the template in
    // memory stands all the same.
    SaveTemplate(*this, camIndex, d, 0, slotHost_->liveParameters().netEnabled != 0);
    update();
}
