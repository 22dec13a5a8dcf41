// mm_area_shots: the monitor on a demo program directory (the working
// directory, laid out by mm_make_demo) with the area page driven into one
// state, as an operator's presses would, then the screen photographed.  The
// cameras' pictures are the demo's scene files, swapped here the way the
// machine model swaps them.
//
//   mm_area_shots --state S --lang L --out FILE
//
// States: rect, rect_bottom, circle, polygon, browse, alarm_grid, alarm_one,
// recent_ng, ng_record, cavity, left.  Run by shots.sh beside it, under Xvfb
// with the board simulator.
#include "cameraglobals.h"
#include "cammerwidget.h"
#include "colorbutton.h"
#include "combobox.h"
#include "demolayout.h"
#include "drawroiwidget.h"
#include "mapplication.h"
#include "messages.h"
#include "mojuwizard.h"
#include "startup.h"
#include "wizardpara.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QSqlDatabase>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

const QStringList kStates = {"rect", "rect_bottom", "circle", "polygon", "browse", "alarm_grid",
                             "alarm_one", "recent_ng", "ng_record", "cavity", "left"};

bool writeParameters(const QString& state, int language)
{
    return demo::writeParameters(language, [&](WizardPara& p) {
        p.showAlgorithmDetails = 1;
        p.ioLostAlarm = 0;
        p.autoGenerateArea = 0;
        p.showCavityNumbers = state == QLatin1String("cavity") ? 1 : 0;
    });
}

void showScene(int c, demo::Scene scene)
{
    const QString live = demo::liveSceneFile(c);
    const QString next = live + QStringLiteral(".next");
    QFile::remove(next);
    QFile::copy(demo::sceneFile(c, scene), next);
    std::rename(qPrintable(next), qPrintable(live));
}

// Runs the event loop until pred holds or ms have passed.
bool waitFor(const std::function<bool()>& pred, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return true;
}

void pause(int ms)
{
    waitFor([] { return false; }, ms);
}

// A finger on view w: press at a, through the points, release at the last.
void touch(QWidget* w, const QList<QPoint>& path)
{
    if (path.isEmpty())
        return;
    auto send = [w](QEvent::Type type, QPoint p, Qt::MouseButtons held) {
        const QPointF local(p);
        QMouseEvent e(type, local, w->mapToGlobal(local), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    };
    send(QEvent::MouseButtonPress, path.first(), Qt::LeftButton);
    for (int i = 1; i < path.size(); ++i) {
        send(QEvent::MouseMove, path[i], Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    send(QEvent::MouseButtonRelease, path.last(), Qt::NoButton);
    QCoreApplication::processEvents();
}

void click(ColorButton* b)
{
    if (b)
        b->click();
    QCoreApplication::processEvents();
}

CammerWidget* shown()
{
    const int c = gpWin->viewCamera;
    return c >= 0 && c < numCamera ? gpWin->cameraViews[c] : nullptr;
}

// The area page open on the template source with the drawing tools.
void openWithTools(DrawROIWidget* page)
{
    gpWin->SlotAdjustArea();
    pause(300);
    if (!page->areaToolsShown)
        click(page->toolSwitchButton);
}

// Selects area a of the page detection of the shown camera, by a tap on it.
void selectArea(int a)
{
    CammerWidget* w = shown();
    if (!w || !w->workSet || a >= w->workSet->roiCount[gpWin->editDetect])
        return;
    const int d = gpWin->editDetect;
    QPoint p;
    switch (w->workSet->roiShape[d][a]) {
    case RoiShapeCircle:
        p = QPoint(w->workSet->roiCircle[d][a].cx, w->workSet->roiCircle[d][a].cy);
        break;
    case RoiShapePolygon:
        if (!w->workSet->roiPolygon[d][a].points().empty())
            p = w->workSet->roiPolygon[d][a].points().front();
        break;
    default:
        p = w->workSet->roiRect[d][a].rect.center();
    }
    touch(w, {p});
}

// An NG picture in the stored-picture folder of camera 0, so that the record
// browser has one to show with its title.
void storeNgPicture(int d)
{
    const QString dir = gpWin->failImageDir(0, d, 0);
    QDir().mkpath(dir);
    if (!QDir(dir).entryList({QStringLiteral("*.jpg")}, QDir::Files).isEmpty())
        return;
    QImage scene(demo::sceneFile(0, demo::Scene::Left));
    scene.save(QDir(dir).filePath(QStringLiteral("100001_2026-12-11_10-00-00.jpg")), "JPG");
}

void raiseAlarm()
{
    showScene(0, demo::Scene::Left);
    showScene(1, demo::Scene::Left);
    pause(800);
    gpWin->SlotManualTrig(1);
    if (!waitFor([] { return gpWin->pageMode == PageModeAlarm; }, 15000))
        std::fputs("mm_area_shots: no alarm came\n", stderr);
    pause(300);
}

void drive(const QString& state)
{
    DrawROIWidget* page = gpWin->areaPage;
    if (!page)
        return;
    const int w = gShowW;
    const int h = gShowH;
    if (state == QLatin1String("rect")) {
        openWithTools(page);
        selectArea(0);
    } else if (state == QLatin1String("rect_bottom")) {
        openWithTools(page);
        click(page->drawRectButton);
        touch(shown(), {QPoint(w / 4, h - 110), QPoint(w / 4 + 60, h - 80), QPoint(w / 4 + 160, h - 40)});
    } else if (state == QLatin1String("circle")) {
        openWithTools(page);
        click(page->drawCircleButton);
        touch(shown(), {QPoint(w / 3, h / 3), QPoint(w / 3 + 30, h / 3 + 30), QPoint(w / 3 + 70, h / 3 + 70)});
    } else if (state == QLatin1String("polygon")) {
        openWithTools(page);
        click(page->drawPolygonButton);
        touch(shown(), {QPoint(w / 5, h / 5)});
        touch(shown(), {QPoint(w / 5 + 150, h / 5 + 20)});
        touch(shown(), {QPoint(w / 5 + 120, h / 5 + 140)});
    } else if (state == QLatin1String("browse")) {
        gpWin->SlotAdjustArea();
    } else if (state == QLatin1String("alarm_grid")) {
        raiseAlarm();
    } else if (state == QLatin1String("alarm_one")) {
        raiseAlarm();
        if (page->cameraCombo)
            page->cameraCombo->setCurrentIndex(0);
    } else if (state == QLatin1String("recent_ng")) {
        raiseAlarm();
        if (page->cameraCombo)
            page->cameraCombo->setCurrentIndex(0);
        page->setSource(PictureSourceRecentNG);
    } else if (state == QLatin1String("ng_record")) {
        storeNgPicture(0);
        storeNgPicture(1);
        gpWin->SlotAdjustArea();
        pause(300);
        page->setSource(PictureSourceNGRecord);
    } else if (state == QLatin1String("cavity")) {
        openWithTools(page);
        selectArea(0);
    } else if (state == QLatin1String("left")) {
        openWithTools(page);
        selectArea(0);
        click(page->showHideButton);
    }
    pause(500);
    gpWin->update();
}

}   // namespace

int main(int argc, char** argv)
{
    Startup::OpenPanelDevice();
    MApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const char* name) {
        const int i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
    };
    const QString state = option("--state");
    const QString out = option("--out");
    if (!kStates.contains(state) || out.isEmpty()) {
        std::fprintf(stderr, "usage: mm_area_shots --state %s --lang L --out FILE\n", qPrintable(kStates.join('|')));
        return 2;
    }
    if (!writeParameters(state, option("--lang").toInt())) {
        std::fputs("mm_area_shots: cannot write PARAM.db\n", stderr);
        return 1;
    }
    for (int c = 0; c < demo::kMaxCameras && QFile::exists(demo::liveSceneFile(c)); ++c)
        showScene(c, demo::Scene::Empty);

    Startup startup(Startup::ProgramParts());
    startup.BeforeMainWindow(argv);
    QWidget* window = startup.MakeMainWindow();
    window->showMaximized();

    QTimer::singleShot(6000, [&] {
        drive(state);
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        const bool saved = shot.save(out);
        std::printf("mm_area_shots: %s %s\n", saved ? "saved" : "could not save", qPrintable(out));
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
