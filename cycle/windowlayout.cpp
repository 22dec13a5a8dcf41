// The main window's surface: the camera views laid out for the camera shown,
// the zoom column of the single view, the side bar's navigation slots and
// the small periodic duties of the screen (heartbeat lamp, stall watch,
// frame rates, the area page's delayed repaint).  GUI thread only.
#include "mojuwizard.h"

#include "cameragrid.h"
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "controlport.h"
#include "drawroiwidget.h"
#include "indexbutton.h"
#include "operationrecord.h"
#include "pixmaps.h"
#include "recordsport.h"
#include "relaylink.h"
#include "settingspage.h"
#include "wizardpara.h"

#include <QPixmap>
#include <QTimer>

namespace {
constexpr int kZoomFoldMs = 30000;

bool visible(const QWidget* page)
{
    return page && page->isVisible();
}

bool visible(const SettingsPage* page)
{
    return page && page->pageShown();
}
}

void MoJuWizard::MakeZoomButtons()
{
    struct Row {
        int picture;   // gpPixmapMove entry
        void (MoJuWizard::*slot)();
        bool repeat;
    };
    static const Row rows[kZoomButtons] = {
        {5, &MoJuWizard::MEnlargeScale, true},
        {0, &MoJuWizard::MRecovery, false},
        {6, &MoJuWizard::MReductionScale, true},
        {1, &MoJuWizard::SlotMoveT, true},
        {2, &MoJuWizard::SlotMoveB, true},
        {3, &MoJuWizard::SlotMoveL, true},
        {4, &MoJuWizard::SlotMoveR, true},
    };
    for (int i = 0; i < kZoomButtons; ++i) {
        const QPixmap* picture = gpPixmapMove[rows[i].picture];
        auto* button = new ColorButton(picture ? *picture : QPixmap(), this);
        button->setGeometry(ZoomButtonRect(i, gShowH));
        if (rows[i].repeat)
            button->SetRepeat();
        connect(button, &QPushButton::clicked, this, rows[i].slot);
        button->hide();
        zoomButtons[i] = button;
    }
    zoomHideTimer = new QTimer(this);
    connect(zoomHideTimer, &QTimer::timeout, this, &MoJuWizard::MTimerScale);
}

void MoJuWizard::ChangeCammer()
{
    panX = 0;
    panY = 0;
    zoom = 1.0;
    const CameraGrid g = LayoutCameraGrid(gShowW, gShowH, numCamera, viewCamera, gImageW, gImageH,
                                          float(gShowAW), float(gShowAH));
    viewCamera = g.viewCamera;
    for (int k = 0; k < kCameraSlots; ++k) {
        CammerWidget* view = cameraViews[k];
        if (!view)
            continue;
        if (g.shown[k]) {
            view->setGeometry(g.cell[k]);
            view->show();
        } else {
            view->hide();
        }
    }
    viewScaleX = g.scaleX;
    viewScaleY = g.scaleY;
    viewFracX = g.fracX;
    viewFracY = g.fracY;
    MShowHide(g.showType);
    update();
}

void MoJuWizard::MShowHide(int type)
{
    if (!gpWPara || !gpWPara->imageAdjustEnabled)
        type = ZoomShowNone;
    if (type != ZoomShowNone && type != ZoomShowEnlarge && type != ZoomShowAll)
        return;
    zoomButtonState = type;
    for (int i = 0; i < kZoomButtons; ++i) {
        ColorButton* button = zoomButtons[i];
        if (!button)
            continue;
        const bool show = type == ZoomShowAll || (type == ZoomShowEnlarge && i == ZoomEnlarge);
        if (show) {
            button->show();
            button->raise();   // above the view it zooms
        } else {
            button->hide();
        }
    }
}

void MoJuWizard::RestartZoomHideTimer()
{
    if (zoomHideTimer)
        zoomHideTimer->start(kZoomFoldMs);
}

void MoJuWizard::MEnlargeScale()
{
    RestartZoomHideTimer();
    if (zoomButtonState == ZoomShowEnlarge)
        MShowHide(ZoomShowAll);   // the first press unfolds the column
    else if (zoomButtonState == ZoomShowAll)
        MScale(1);
}

void MoJuWizard::MRecovery()
{
    RestartZoomHideTimer();
    MScale(0);
}

void MoJuWizard::MReductionScale()
{
    RestartZoomHideTimer();
    MScale(-1);
}

void MoJuWizard::MScale(int delta)
{
    const ZoomState z = ZoomStep(ZoomState{zoom, panX, panY}, delta, pointerImageX, pointerImageY);
    zoom = z.zoom;
    panX = z.panX;
    panY = z.panY;
    update();
}

void MoJuWizard::MTimerScale()
{
    zoomHideTimer->stop();
    if (zoomButtonState == ZoomShowAll)
        MShowHide(ZoomShowEnlarge);
}

void MoJuWizard::SlotMove(int dx, int dy)
{
    // Panning means something only in a zoomed picture.
    if (zoom <= 1.0)
        return;
    panX += dx * zoom;
    panY += dy * zoom;
    update();
}

void MoJuWizard::SlotMoveT()
{
    RestartZoomHideTimer();
    SlotMove(0, -1);
}

void MoJuWizard::SlotMoveB()
{
    RestartZoomHideTimer();
    SlotMove(0, 1);
}

void MoJuWizard::SlotMoveL()
{
    RestartZoomHideTimer();
    SlotMove(-1, 0);
}

void MoJuWizard::SlotMoveR()
{
    RestartZoomHideTimer();
    SlotMove(1, 0);
}

void MoJuWizard::SlotReturn()
{
    if (visible(settingsPage) || visible(areaPage))
        return;
    if (numCamera > 1) {
        viewCamera = numCamera;   // back to the grid
        ChangeCammer();
        return;
    }
    viewCamera = 0;
    panX = 0;
    panY = 0;
    zoom = 1.0;
    update();
}

void MoJuWizard::SlotHelp()
{
    if (!helpPage)
        return;
    helpPage->show();
    helpPage->raise();
}

void MoJuWizard::SlotShowStatisticsWidget()
{
    if (!gisUseStatistics || !statisticsPage)
        return;
    statisticsPage->show();
    statisticsPage->raise();
}

void MoJuWizard::SlotSystemPara()
{
    if (visible(settingsPage) || visible(areaPage) || visible(cameraNumberDialog) || visible(ioNameDialog)
        || visible(cavityDialog))
        return;
    // The service level is entered again for every visit of the settings.
    if (accessLevel == AccessLevelAdvanced)
        accessLevel = gpWPara->passwordEnabled ? AccessLevelPrimary : AccessLevelNone;
    if (CheckPassword() == 0 || pageMode == PageModeAlarm)
        return;
    // The settings pages edit a copy; only their Confirm makes it live.
    *gpWParaBak = *gpWPara;
    if (gpNet)
        gpNet->netCardEdit = gpNet->netCard;
    // The bar goes while the settings are open; a press on a camera view
    // brings it back.
    if (sideBar)
        sideBar->SlotShowHideTimeout();
    if (settingsPage)
        settingsPage->showPage();
}

void MoJuWizard::SlotFPS()
{
    // Heartbeat lamp: steady while stopped, blinking while detecting.
    if (runState == RunStateStopped)
        LEDOnOff(5, 1);
    else
        LEDOnOff(5, (LEDByte() >> 5) & 1 ? 0 : 1);

    // A camera in continuous capture that delivers nothing for six seconds
    // is checked for loss; a triggered camera is silent between cycles.
    const bool continuous = gpWPara && gpWPara->externalTrigger == 0;
    for (int c = 0; c < numCamera && c < kCameraSlots; ++c) {
        if (continuous) {
            if (frameCount[c] == lastFrameCount[c]) {
                if (++stallSeconds[c] > 5) {
                    stallSeconds[c] = 0;
                    CameraCheck(c);
                }
            } else {
                stallSeconds[c] = 0;
            }
        }
        cameraFps[c] = frameCount[c] - lastFrameCount[c];
        lastFrameCount[c] = frameCount[c];
    }
    PublishWriterCounts();
}

void MoJuWizard::startDrawHintTimer()
{
    if (drawHintTimer)
        drawHintTimer->start();
}

void MoJuWizard::SlotDrawHint()
{
    drawHintTimer->stop();
    update();
}

// The cycle-time log is made on this tick when it does not exist yet.
void MoJuWizard::SlotDetectCycle()
{
    if (RecordsPort* records = recordsPort())
        records->openCycleLog();
}
