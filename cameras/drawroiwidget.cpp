#include "drawroiwidget.h"

// Construction, visibility, sources, camera and detection choice, record
// browsing, opening and closing.

#include "cameraglobals.h"
#include "cammerwidget.h"
#include "checkbox.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "combobox.h"
#include "kitlayout.h"
#include "messages.h"
#include "templatelibrary.h"
#include "warnbox.h"
#include "wizardpara.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Sizes of the column.  Every control is as wide as the page; the height is
// the layout's, lowered only as far as the longest column (the template
// source with the drawing tools and the camera choice) needs to stay on the
// screen: 13 controls of 81 px run past an 800-high screen.
constexpr int kLongestColumn = 13;
constexpr int kSpacing = 1;

struct PageMetrics {
    int width;
    int controlHeight;
    int comboFont;
    int rowHeight;
    int rightOffset;   // the page's x is gShowW minus this, docked right
};

PageMetrics MetricsFor(int showW, int showH)
{
    // The large page stands 230 from the right edge although it is 240
    // wide: it overhangs the screen by 10 px, as the product always did.
    PageMetrics m = showW < 1025 ? PageMetrics{120, 45, 16, 45, 120} : PageMetrics{240, 81, 33, 81, 230};
    const int fitting = (showH - (kLongestColumn - 1) * kSpacing) / kLongestColumn;
    m.controlHeight = std::max(1, std::min(m.controlHeight, fitting));
    return m;
}

// The controls in the column's order.
enum PageControl {
    CtlShowHide,
    CtlSource,
    CtlCamera,
    CtlDetect,
    CtlReturn,
    CtlToolSwitch,
    CtlRect,
    CtlCircle,
    CtlPolygon,
    CtlHand,
    CtlCopy,
    CtlDelete,
    CtlDeleteAll,
    CtlNoCheck,
    CtlReCheck,
    CtlHelp,
    CtlAutoChange,
    CtlPrevious,
    CtlNext,
    CtlDeleteTemp,
    CtlAddTemp,
    kPageControls
};

constexpr unsigned Bit(PageControl c) { return 1u << c; }

// The controls shown for a source, page mode and tool set.  The camera
// choice appears only with more than one camera.
unsigned ShownControls(int source, int pageMode, int areaToolsShown, int cameras)
{
    const unsigned camera = cameras > 1 ? Bit(CtlCamera) : 0u;
    const unsigned browse = Bit(CtlSource) | camera | Bit(CtlDetect) | Bit(CtlReturn);
    unsigned shown = Bit(CtlShowHide);
    switch (source) {
    case PictureSourceTemplate:
        shown |= browse | Bit(CtlToolSwitch);
        if (areaToolsShown)
            shown |= Bit(CtlRect) | Bit(CtlCircle) | Bit(CtlPolygon) | Bit(CtlHand) | Bit(CtlCopy) | Bit(CtlDelete)
                   | Bit(CtlDeleteAll);
        else
            shown |= Bit(CtlPrevious) | Bit(CtlNext) | Bit(CtlDeleteTemp)
                   | (pageMode == PageModeAlarm ? Bit(CtlAutoChange) : 0u);
        break;
    case PictureSourceLive:
        if (pageMode == PageModeAlarm)
            shown |= Bit(CtlSource) | camera | Bit(CtlAddTemp) | Bit(CtlNoCheck) | Bit(CtlHelp) | Bit(CtlAutoChange)
                   | Bit(CtlReCheck);
        else
            shown |= Bit(CtlSource) | camera | Bit(CtlReturn);
        break;
    case PictureSourceRecentNG:
        shown |= browse | Bit(CtlPrevious) | Bit(CtlNext) | Bit(CtlAddTemp);
        break;
    case PictureSourceOKRecord:
    case PictureSourceNGRecord:
        shown |= browse | Bit(CtlPrevious) | Bit(CtlNext);
        break;
    default:
        break;
    }
    return shown;
}

// The detection the page edits when it opens outside the alarm.
int OpeningEditDetect(const WizardPara& p, int current, int detections)
{
    const bool productInUse = p.detectEnabled[0] != 0;
    switch (p.systemMode) {
    case SystemModeStandard:
    case SystemModeAutoParts:
        if (!productInUse)
            return 1;
        return p.moldSameAsProduct ? 0 : current;
    case SystemModeMultiDetect:
        return current == 0 && !productInUse ? 1 : current;
    case SystemModeTwoColor:
    case SystemModeTurntable: {
        // Left pair 0/1, right pair 2/3; moldSelect 0 left, 1 right, 2 both.
        int d = current;
        if (d == 0 || d == 1) {
            if (p.moldSelect == 1)
                d = 2;
        } else if (d == 2 || d == 3) {
            if (p.moldSameAsProduct) {
                d -= 2;
                if (p.moldSelect == 1)
                    d = 2;
            } else if (p.moldSelect == 0) {
                d -= 2;
            }
        }
        if (d % 2 == 0 && !productInUse)
            d += 1;
        if (d < 0 || d >= detections)
            d = 0;
        return d;
    }
    default:
        return current;
    }
}

// Product detections: 0, and every even one in the two-pair modes.
bool IsProductDetect(int systemMode, int d)
{
    if (d == 0)
        return true;
    return (systemMode == SystemModeTwoColor || systemMode == SystemModeTurntable) && d % 2 == 0;
}

// The integer before the first "_" of a stored picture's name (the running
// number); 0 when there is none.
long long PictureNumber(const QString& name)
{
    return name.section(QLatin1Char('_'), 0, 0).toLongLong();
}

} // namespace

// ------------------------------------------------------------ construction

DrawROIWidget::DrawROIWidget(AreaPageHost* host, QWidget* parent) : QWidget(parent), host_(host)
{
    const PageMetrics m = MetricsFor(gShowW, gShowH);
    setFixedWidth(m.width);

    auto button = [this, &m](int caption) {
        auto* b = new ColorButton(Msg(caption), this, ColorButtonSizeLarge);
        b->setFixedSize(m.width, m.controlHeight);
        return b;
    };
    auto combo = [this, &m] {
        auto* c = new ComboBox(this);
        c->setFixedSize(m.width, m.controlHeight);
        c->setFont(MicroHei(m.comboFont));
        c->setItemHeight(m.rowHeight);
        return c;
    };

    showHideButton = button(41);
    sourceCombo = combo();
    cameraCombo = combo();
    detectCombo = combo();
    returnButton = button(42);
    toolSwitchButton = button(50);
    drawRectButton = button(49);
    drawCircleButton = button(51);
    drawPolygonButton = button(53);
    drawHandButton = button(104);
    copyButton = button(9);
    deleteButton = button(55);
    deleteAllButton = button(57);
    noCheckButton = button(47);
    reCheckButton = button(61);
    helpButton = button(111);
    autoChangeButton = button(212);
    previousButton = button(59);
    nextButton = button(62);
    deleteTempButton = button(63);
    addTempButton = button(48);

    controls_ = {showHideButton,   sourceCombo,    cameraCombo,     detectCombo,   returnButton,  toolSwitchButton,
                 drawRectButton,   drawCircleButton, drawPolygonButton, drawHandButton, copyButton, deleteButton,
                 deleteAllButton,  noCheckButton,  reCheckButton,   helpButton,    autoChangeButton, previousButton,
                 nextButton,       deleteTempButton, addTempButton};

    static_assert(std::tuple_size_v<decltype(controls_)> == kPageControls, "one entry per control");

    for (int id : {223, 224, 60, 207, 208})
        sourceCombo->addItem(Msg(id));
    const int cameras = std::clamp(numCamera, 0, kCameraSlots);
    for (int i = 0; i < cameras; ++i)
        cameraCombo->addItem(Msg(43).arg(i + 1));
    if (cameras > 1)
        cameraCombo->addItem(Msg(44));
    const WizardPara& para = host_->liveParameters();
    switch (para.systemMode) {
    case SystemModeStandard:
    case SystemModeAutoParts:
        for (int id : {263, 264})
            detectCombo->addItem(Msg(46).arg(Msg(id)));
        break;
    case SystemModeTwoColor:
    case SystemModeTurntable:
        for (int id : {372, 373, 374, 375})
            detectCombo->addItem(Msg(46).arg(Msg(id)));
        break;
    case SystemModeMultiDetect:
        ChangeDetectNum(para.multiDetectCount);
        break;
    default:
        break;
    }

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(kSpacing);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (QWidget* w : controls_)
        layout->addWidget(w);

    connect(showHideButton, &QPushButton::clicked, this, &DrawROIWidget::SlotShowHide);
    connect(sourceCombo, &QComboBox::currentIndexChanged, this, &DrawROIWidget::SlotChangeSource);
    connect(cameraCombo, &QComboBox::currentIndexChanged, this, &DrawROIWidget::SlotChangeCamera);
    connect(detectCombo, &QComboBox::currentIndexChanged, this, &DrawROIWidget::SlotChangeDetect);
    connect(returnButton, &QPushButton::clicked, this, &DrawROIWidget::SlotReturn);
    connect(toolSwitchButton, &QPushButton::clicked, this, &DrawROIWidget::SlotChangeOp);
    connect(drawRectButton, &QPushButton::clicked, this, &DrawROIWidget::SlotDrawRect);
    connect(drawCircleButton, &QPushButton::clicked, this, &DrawROIWidget::SlotDrawCircle);
    connect(drawPolygonButton, &QPushButton::clicked, this, &DrawROIWidget::SlotDrawPloygn);
    connect(drawHandButton, &QPushButton::clicked, this, &DrawROIWidget::SlotDrawHand);
    connect(copyButton, &QPushButton::clicked, this, qOverload<>(&DrawROIWidget::SlotCopyArea));
    connect(deleteButton, &QPushButton::clicked, this, &DrawROIWidget::SlotDeleteROI);
    connect(deleteAllButton, &QPushButton::clicked, this, &DrawROIWidget::SlotDeleteAllROI);
    connect(noCheckButton, &QPushButton::clicked, this, &DrawROIWidget::SlotNoCheckCur);
    connect(reCheckButton, &QPushButton::clicked, this, &DrawROIWidget::SlotReCheck);
    connect(helpButton, &QPushButton::clicked, this, &DrawROIWidget::SlotHelp);
    connect(autoChangeButton, &QPushButton::clicked, this, &DrawROIWidget::SlotAutoChange);
    connect(previousButton, &QPushButton::clicked, this, &DrawROIWidget::SlotTempLast);
    connect(nextButton, &QPushButton::clicked, this, &DrawROIWidget::SlotTempNext);
    connect(deleteTempButton, &QPushButton::clicked, this, &DrawROIWidget::SlotTempDeleteCur);
    connect(addTempButton, &QPushButton::clicked, this, &DrawROIWidget::SlotAddTemp);

    SlotChangePage();
}

DrawROIWidget::~DrawROIWidget() = default;

void DrawROIWidget::ChangeDetectNum(int n)
{
    // A refill is no choice of the user's: the page is closed whenever the
    // settings change the count.
    const QSignalBlocker block(detectCombo);
    detectCombo->clear();
    n = std::clamp(n, 0, kDetections);
    for (int i = 0; i < n; ++i)
        detectCombo->addItem(Msg(46).arg(Msg(477 + i)));
}

// ------------------------------------------------------------ helpers

CammerWidget* DrawROIWidget::camera(int c) const
{
    return c >= 0 && c < numCamera ? host_->cameraSlot(c) : nullptr;
}

CammerWidget* DrawROIWidget::shownCamera() const
{
    return camera(host_->viewState().viewCamera);
}

void DrawROIWidget::restoreWorkSets()
{
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* cam = camera(c);
        if (!cam || !cam->workSet || !cam->savedSet)
            continue;
        *cam->workSet = *cam->savedSet;
        cam->BackMask();
        cam->dropIgnoreWork();
    }
}

void DrawROIWidget::showPicture(CammerWidget* cam, const std::vector<uchar>& picture)
{
    // The view's frame keeps its size: a slot without a picture shows black.
    if (picture.size() == static_cast<size_t>(cam->colorLen))
        cam->shownFrame = picture;
    else
        cam->shownFrame.assign(static_cast<size_t>(cam->colorLen), 0);
}

void DrawROIWidget::showTemplate(CammerWidget* cam, int d)
{
    const int k = cam->tempShown;
    if (d < 0 || d >= kDetections || k < 0 || k >= static_cast<int>(cam->templates[d].size()))
        return;
    const std::vector<uchar>& picture = cam->templates[d][k];
    showPicture(cam, picture);
    if (cam->color && picture.size() == static_cast<size_t>(cam->colorLen)
        && cam->grayPlane.size() == static_cast<size_t>(cam->imageLen))
        RgbaToDetectionPlane(picture.data(), cam->imageW, cam->imageH, cam->grayPlane.data());
    GetTempTIme(cam->camIndex, d, k);
}

// ------------------------------------------------------------ visibility

void DrawROIWidget::SlotChangePage()
{
    const unsigned shown = ShownControls(gSource, host_->cyclePageMode(), areaToolsShown, numCamera);
    if (gSource == PictureSourceTemplate)
        toolSwitchButton->setText(Msg(areaToolsShown ? 52 : 50));
    for (int i = 0; i < kPageControls; ++i)
        controls_[static_cast<size_t>(i)]->setVisible((shown & (1u << i)) != 0);
    const PageMetrics m = MetricsFor(gShowW, gShowH);
    move(pageAtLeft ? 0 : gShowW - m.rightOffset, 0);
    update();
}

void DrawROIWidget::SlotShowHide()
{
    pageAtLeft = !pageAtLeft;
    SlotChangePage();
    // The panel, the move row and the cavity boxes keep clear of the column,
    // so they follow it to the other side.
    if (CammerWidget* w = shownCamera()) {
        w->ShowHideROIPara();
        bool boxesShown = false;
        for (const CheckBox* box : w->cavityBox)
            boxesShown = boxesShown || (box && !box->isHidden());
        if (boxesShown)
            w->ShowHideCheckBox(true);
    }
}

void DrawROIWidget::SlotChangeOp()
{
    areaToolsShown = 1 - areaToolsShown;
    SlotChangePage();
}

// ------------------------------------------------------------ opening and closing

void DrawROIWidget::Reset(bool)
{
    CommandScope scope(this);
    pageAtLeft = false;
    restoreOnTemplate = true;
    areaToolsShown = 0;
    restoreWorkSets();

    ViewState& view = host_->viewState();
    const int pageMode = host_->cyclePageMode();
    view.editDetect = host_->cycleCurrentDetect();
    if (pageMode != PageModeAlarm)
        view.editDetect = OpeningEditDetect(host_->liveParameters(), view.editDetect, gDNum);
    detectCombo->setCurrentIndex(view.editDetect);

    const int wanted = pageMode == PageModeAlarm ? PictureSourceLive : PictureSourceTemplate;
    if (sourceCombo->currentIndex() == wanted)
        SlotChangeSource(wanted);
    else
        sourceCombo->setCurrentIndex(wanted);
    show();
}

void DrawROIWidget::Restart()
{
    host_->setPageMode(PageModeNone);
    for (int c = 0; c < numCamera; ++c)
        if (CammerWidget* cam = camera(c))
            cam->DeselectROI();
    host_->showSideBar();
    hide();
    for (int c = 0; c < numCamera; ++c)
        if (CammerWidget* cam = camera(c)) {
            cam->ShowHideROIPara();
            cam->update();
        }
}

void DrawROIWidget::setSource(int source)
{
    sourceCombo->setCurrentIndex(source);
}

// ------------------------------------------------------------ source, camera, detection

void DrawROIWidget::SlotChangeSource(int source)
{
    CommandScope scope(this);
    if (source < PictureSourceTemplate || source > PictureSourceNGRecord)
        return;
    // The template source in the alarm needs access.  Asked before anything
    // changes: a refusal leaves the source, the combo and the views as they
    // were (the editor must not accept edits, the views must stay live).
    if (host_->cyclePageMode() == PageModeAlarm && source == PictureSourceTemplate && host_->CheckPassword() == 0) {
        const QSignalBlocker block(sourceCombo);
        sourceCombo->setCurrentIndex(shownSourceItem_);
        return;
    }
    shownSourceItem_ = source;
    ViewState& view = host_->viewState();
    gSource = source;
    pageAtLeft = false;
    view.copyAreaMode = false;
    if (host_->cyclePageMode() == PageModeAlarm && source != PictureSourceLive) {
        // The alarm output goes off once the operator looks at something else.
        host_->setOutput(2, 0);
        host_->flashOutputs();
    }

    for (int c = 0; c < numCamera; ++c)
        if (CammerWidget* cam = camera(c)) {
            cam->tempShown = 0;
            cam->DeselectROI();
            cam->ShowHideROIPara();
        }

    const int highest = source == PictureSourceLive ? numCamera : numCamera - 1;
    if (view.viewCamera < 0 || view.viewCamera > highest) {
        view.viewCamera = 0;
        host_->ChangeCammer();
    }
    {
        // Only shows the camera chosen here; its own slot would run this again.
        const QSignalBlocker block(cameraCombo);
        cameraCombo->setCurrentIndex(view.viewCamera);
    }

    const WizardPara& para = host_->liveParameters();
    if (source == PictureSourceTemplate) {
        if (para.showCavityNumbers)
            for (int c = 0; c < numCamera; ++c)
                if (CammerWidget* cam = camera(c))
                    cam->ShowHideCheckBox(true);
        host_->hideStatusStrip();
    } else {
        if (para.showCavityNumbers)
            for (int c = 0; c < numCamera; ++c)
                if (CammerWidget* cam = camera(c))
                    cam->ShowHideCheckBox(false);
        host_->showStatusStrip();
    }
    previousButton->setText(Msg(59));
    nextButton->setText(Msg(62));

    CammerWidget* shown = shownCamera();
    const int d = view.editDetect;
    switch (source) {
    case PictureSourceTemplate:
        drawPolygonButton->setText(Msg(53));
        previousButton->setText(Msg(559));
        nextButton->setText(Msg(560));
        view.drawMode = 0;
        if (restoreOnTemplate) {
            restoreOnTemplate = false;
            restoreWorkSets();
        }
        // The cavity boxes show the work set's ticks: after an opening that
        // is the saved set again, not what a discarded edit left on them.
        if (para.showCavityNumbers)
            for (int c = 0; c < numCamera; ++c)
                if (CammerWidget* cam = camera(c))
                    cam->SetCheckBoxState(1);
        if (shown) {
            showTemplate(shown, d);
            shown->update();
        }
        break;
    case PictureSourceLive:
        if (host_->cyclePageMode() == PageModeAlarm)
            for (int c = 0; c < numCamera; ++c)
                if (CammerWidget* cam = camera(c))
                    cam->alarmShow = 0;
        break;
    case PictureSourceRecentNG:
        if (shown && d >= 0 && d < kDetections) {
            shown->recentShown = 0;
            showPicture(shown, shown->recentNG[d][0]);
            shown->update();
        }
        break;
    default:
        records.recordIndex = 0;
        recordKind = source == PictureSourceOKRecord ? 1 : 0;
        LoadPic();
        if (shown)
            shown->update();
        break;
    }
    SlotChangePage();
}

void DrawROIWidget::SlotChangeCamera(int index)
{
    CommandScope scope(this);
    if (index < 0)
        return;
    ViewState& view = host_->viewState();
    if (index < numCamera)
        view.viewCamera = index;
    else
        view.viewCamera = gSource == PictureSourceLive ? numCamera : numCamera - 1;
    if (host_->cyclePageMode() == PageModeArea && host_->liveParameters().showCavityNumbers)
        if (CammerWidget* cam = shownCamera()) {
            cam->SetCheckBoxState(1);
            cam->ShowHideCheckBox(true);
        }
    host_->ChangeCammer();
    SlotChangeSource(gSource);
}

void DrawROIWidget::SlotChangeDetect(int d)
{
    CommandScope scope(this);
    ViewState& view = host_->viewState();
    CammerWidget* shown = shownCamera();
    if (!shown || d < 0 || d >= kDetections || gSource == PictureSourceLive || gSource == PictureSourceNone)
        return;
    view.copyAreaMode = false;
    const WizardPara& para = host_->liveParameters();
    if (IsProductDetect(para.systemMode, d)) {
        if (!para.productDetectEnabled) {
            WarnMessage(118);
            detectCombo->setCurrentIndex(1);
            return;
        }
    } else if (para.moldSameAsProduct && gSource == PictureSourceTemplate) {
        const bool pairModes = para.systemMode == SystemModeTwoColor || para.systemMode == SystemModeTurntable;
        const bool singleModes = para.systemMode == SystemModeStandard || para.systemMode == SystemModeAutoParts;
        if (singleModes && para.detectEnabled[0]) {
            WarnMessage(119);
            return;
        }
        if (pairModes && d > 1) {
            WarnMessage(371);
            return;
        }
    }

    shown->DeselectROI();
    view.editDetect = d;
    SlotChangeSource(gSource);
    shown = shownCamera();
    if (shown && shown->workSet && shown->workSet->roiCount[d] == 0 && para.autoGenerateArea && AskYes(354)) {
        // The box may have waited while the alarm or the view moved on.
        if (shownCamera() && gSource != PictureSourceLive && gSource != PictureSourceNone)
            host_->AutogenerationRegion(d);
    }
    if (host_->cyclePageMode() == PageModeArea)
        if (CammerWidget* cam = shownCamera())
            cam->SetCheckBoxState(1);
}

void DrawROIWidget::SlotAutoChange()
{
    CommandScope scope(this);
    if (host_->cyclePageMode() != PageModeAlarm || !shownCamera())
        return;
    if (gSource == PictureSourceLive) {
        sourceCombo->setCurrentIndex(PictureSourceTemplate);
    } else if (gSource == PictureSourceTemplate) {
        sourceCombo->setCurrentIndex(PictureSourceLive);
        for (int c = 0; c < numCamera; ++c)
            if (CammerWidget* cam = camera(c); cam && cam->isOK == 0)
                cam->startAlarmBlink();
    }
}

void DrawROIWidget::SlotHelp()
{
    host_->showHelpPage(6);
}

// ------------------------------------------------------------ stored pictures

void DrawROIWidget::LoadPic()
{
    int c = cameraCombo->currentIndex();
    if (c < 0 || c >= numCamera)
        c = 0;
    int d = detectCombo->currentIndex();
    if (d < 0 || d >= gDNum)
        d = 0;
    records.recordCamera = c;
    recordDetect = d;

    const QDir folder(host_->failImageDir(c, d, recordKind));
    QFileInfoList entries = folder.entryInfoList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    // Named by a running number: the newest first, 100 before 99.
    std::stable_sort(entries.begin(), entries.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return PictureNumber(a.fileName()) > PictureNumber(b.fileName());
    });
    records.recordCount = static_cast<int>(entries.size());
    if (entries.isEmpty()) {
        records.recordIndex = 0;
        records.recordName.clear();
        records.recordImage = QImage();
        return;
    }
    records.recordIndex = std::clamp(records.recordIndex, 0, records.recordCount - 1);
    const QFileInfo& entry = entries.at(records.recordIndex);
    records.recordName = entry.completeBaseName();
    QImageReader reader(entry.absoluteFilePath());
    reader.setDecideFormatFromContent(true);
    records.recordImage = reader.read();   // null when unreadable
}

// ------------------------------------------------------------ previous and next

void DrawROIWidget::SlotTempLast()
{
    if (gSource == PictureSourceTemplate)
        stepTemplate(-1);
    else
        stepRecordOrRecent(-1);
}

void DrawROIWidget::SlotTempNext()
{
    if (gSource == PictureSourceTemplate)
        stepTemplate(1);
    else
        stepRecordOrRecent(1);
}

void DrawROIWidget::stepTemplate(int direction)
{
    CammerWidget* cam = shownCamera();
    const int d = host_->viewState().editDetect;
    if (!cam || cam->tempShown < 0 || cam->tempShown >= gTempNum || d < 0 || d >= gDNum)
        return;
    const TemplateReports reports = templateReports();
    if (TemplateLibrary(*cam, reports).stepShown(d, direction))
        cam->update();
}

void DrawROIWidget::stepRecordOrRecent(int direction)
{
    CammerWidget* cam = shownCamera();
    const int d = host_->viewState().editDetect;
    if (!cam || cam->tempShown < 0 || cam->tempShown >= gTempNum || d < 0 || d >= gDNum)
        return;
    switch (gSource) {
    case PictureSourceLive:
        break;
    case PictureSourceRecentNG: {
        const int n = std::min(cam->recentNGCount[d], CameraSlotState::kRecentNGFrames);
        if (n <= 0)
            cam->recentShown = 0;
        else if (direction < 0)
            cam->recentShown = cam->recentShown <= 0 ? n - 1 : cam->recentShown - 1;
        else
            cam->recentShown = cam->recentShown >= n - 1 ? 0 : cam->recentShown + 1;
        showPicture(cam, cam->recentNG[d][cam->recentShown]);
        break;
    }
    case PictureSourceOKRecord:
    case PictureSourceNGRecord: {
        const int count = records.recordCount;
        if (count == 0)
            return;
        int i = records.recordIndex + (direction < 0 ? -1 : 1);
        if (i < 0)
            i = count - 1;
        if (i >= count)
            i = 0;
        records.recordIndex = i;
        LoadPic();
        break;
    }
    default:
        return;
    }
    cam->update();
}
