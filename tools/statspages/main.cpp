// mm_stats_pages: the statistics page or the cycle-time page on its own.
#include "cameraglobals.h"
#include "detectcyclesql.h"
#include "detectcyclewidget.h"
#include "exportdialog.h"
#include "globals.h"
#include "imagemaker.h"
#include "kitfonts.h"
#include "messages.h"
#include "pixmaps.h"
#include "progressbox.h"
#include "recordswriter.h"
#include "resstatisticsparam.h"
#include "statisticswidget.h"
#include "statsdays.h"
#include "wizardpara.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QListWidget>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

const char kUsage[] =
    "usage: mm_stats_pages [options]\n"
    "Shows the statistics page or the cycle-time page on its own, on the\n"
    "screen's size, until it is closed (or saves a screenshot with --shot).\n"
    "  --page P        statistics (default), cycle, export (the cycle-time\n"
    "                  export dialog over its page) or progress (its progress box)\n"
    "  --dir DIR       program directory to use as it is (e.g. build/demo);\n"
    "                  without it a temporary one is filled with generated days:\n"
    "                  today busy, yesterday busy, the day before empty, and a\n"
    "                  day of cycle times every 10 s\n"
    "  --cameras N     cameras (1-8, default 2); --detections D (1-8, default 2)\n"
    "  --mode M        machine mode (detection names), default 0\n"
    "  --lang L        0 Simplified Chinese, 1 English, 2 Traditional Chinese\n"
    "  --day R         row of the day list to show (0 today, 1 yesterday, 2 empty)\n"
    "  --camera-tab T  camera tab to show (0 all cameras)\n"
    "  --shot FILE     save the screen as FILE once painted, then quit\n";

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Today's statistics file (busy), two archives (busy, empty), restime.txt
// at today's 08:00, and cycle-time files for today and two archives.
void generate(int cameras, int detections)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime dayStart = statisticsDayStartOf(now);
    const QDate day = dayStart.date();
    statsdays::writeStatisticsFile(QStringLiteral("ResStatistics.db"), statsdays::busyDay(cameras, detections, 3));
    statsdays::writeStatisticsFile(QStringLiteral("ResStatistics/%1.db").arg(day.addDays(-1).toString(Qt::ISODate)),
                                   statsdays::busyDay(cameras, detections, 4));
    statsdays::writeStatisticsFile(QStringLiteral("ResStatistics/%1.db").arg(day.addDays(-2).toString(Qt::ISODate)),
                                   statsdays::Day());
    QFile t(QStringLiteral("restime.txt"));
    if (t.open(QIODevice::WriteOnly))
        t.write(QByteArray::number(dayStart.toSecsSinceEpoch()));
    t.close();

    const QDate today = now.date();
    statsdays::writeCycleDay(QStringLiteral("DetectCycle.db"), today, 10000, QTime(0, 0), now.time());
    statsdays::writeCycleDay(QStringLiteral("DetectCycle/%1.db").arg(today.addDays(-1).toString(Qt::ISODate)),
                             today.addDays(-1), 10000);
    statsdays::writeCycleDay(QStringLiteral("DetectCycle/%1.db").arg(today.addDays(-3).toString(Qt::ISODate)),
                             today.addDays(-3), 30000, QTime(6, 0), QTime(18, 0));
    QFile d(QStringLiteral("DetectCycle/time.txt"));
    if (d.open(QIODevice::WriteOnly))
        d.write(today.toString(Qt::ISODate).toLatin1());
    d.close();
    QDir().mkpath(QStringLiteral("cnt_net"));
    QFile::remove(QStringLiteral("cnt_net/xls"));
    QFile::copy(QStringLiteral(MM_XLS_PROGRAM), QStringLiteral("cnt_net/xls"));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RegisterKitFonts();
    QString page = QStringLiteral("statistics"), dir, shot;
    int cameras = 2, detections = 2, mode = 0, lang = 0, dayRow = 0, cameraTab = 0;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        bool used = true;
        if (a == QLatin1String("--page")) page = next;
        else if (a == QLatin1String("--dir")) dir = next;
        else if (a == QLatin1String("--shot")) shot = QFileInfo(next).absoluteFilePath();
        else if (a == QLatin1String("--cameras")) cameras = qBound(1, next.toInt(), 8);
        else if (a == QLatin1String("--detections")) detections = qBound(1, next.toInt(), 8);
        else if (a == QLatin1String("--mode")) mode = next.toInt();
        else if (a == QLatin1String("--lang")) lang = qBound(0, next.toInt(), 2);
        else if (a == QLatin1String("--day")) dayRow = next.toInt();
        else if (a == QLatin1String("--camera-tab")) cameraTab = next.toInt();
        else used = false;
        if (!used || next.isEmpty()) {
            std::fprintf(stderr, "mm_stats_pages: bad argument %s\n%s", qPrintable(a), kUsage);
            return 2;
        }
        ++i;
    }

    QTemporaryDir tmp;
    QTemporaryDir pictures;
    MakeInterfaceImages(pictures.path());
    LoadPixmaps(pictures.path() + QStringLiteral("/"));
    if (dir.isEmpty())
        dir = tmp.path();
    QDir().mkpath(dir);
    QDir::setCurrent(dir);
    if (dir == tmp.path())
        generate(cameras, detections);

    gLan = lang;
    FillMessageTable();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    gShowW = screen.width();
    gShowH = screen.height();
    numCamera = cameras;
    gDNum = detections;
    WizardPara para;
    para.systemMode = mode;
    gpWPara = &para;

    RecordsWriter writer;
    QDir().mkpath(QStringLiteral("ResStatistics"));
    ResStatisticsParam store(writer);
    gpResStatisticsParam = &store;
    gisUseStatistics = true;
    DetectCycleSQL::instance = new DetectCycleSQL(writer);

    std::unique_ptr<StatisticsWidget> statistics;
    QWidget* shown = nullptr;
    if (page == QLatin1String("statistics")) {
        statistics = std::make_unique<StatisticsWidget>();
        statistics->show();
        statistics->cameraTabs->setCurrentIndex(cameraTab);
        if (dayRow > 0 && dayRow < statistics->dayList->count()) {
            statistics->dayList->setCurrentRow(dayRow);
            emit statistics->dayList->itemClicked(statistics->dayList->item(dayRow));
        }
        shown = statistics.get();
    } else {
        auto* cycle = new DetectCycleWidget;   // deletes itself when closed
        cycle->show();
        shown = cycle;
        if (page == QLatin1String("export")) {
            auto* dialog = new ExportDialog(cycle);
            dialog->show();
        } else if (page == QLatin1String("progress")) {
            cycle->progressBox->setProgress(12, 29);
            cycle->progressBox->show();
        }
    }
    Q_UNUSED(shown);

    int rc = 0;
    if (!shot.isEmpty()) {
        settle(400);
        rc = QGuiApplication::primaryScreen()->grabWindow(0).save(shot) ? 0 : 1;
    } else {
        QApplication::setQuitOnLastWindowClosed(true);
        rc = app.exec();
    }
    statistics.reset();
    gpResStatisticsParam = nullptr;
    return rc;
}
