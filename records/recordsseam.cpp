#include "recordsseam.h"

#include "detectcyclesql.h"
#include "myxls.h"
#include "recordswriter.h"
#include "resstatisticsparam.h"
#include "statisticswidget.h"
#include "usermanager.h"

#include <QCoreApplication>

namespace {
UserManager& userStore()
{
    if (!UserManager::instance)
        UserManager::instance = new UserManager;
    return *UserManager::instance;
}
}

RecordsSeam::RecordsSeam(int batchIntervalMs) : batchIntervalMs_(batchIntervalMs) {}

RecordsSeam::~RecordsSeam()
{
    // The stores outlive the seam only in tests, which end them first.
    if (!writer_)
        return;
    // The program's seam ends among the static objects, after the
    // application and perhaps the SQL driver code are gone: its writer,
    // flushed and closed at aboutToQuit, is left to the process's end.
    if (!QCoreApplication::instance()) {
        (void)writer_.release();
        return;
    }
    writer_->flush();
}

RecordsWriter& RecordsSeam::writer()
{
    if (!writer_) {
        writer_ = std::make_unique<RecordsWriter>(batchIntervalMs_);
        // The last second of counts reaches the files at a normal exit.
        if (auto* app = QCoreApplication::instance()) {
            RecordsWriter* w = writer_.get();
            quitContext_ = std::make_unique<QObject>();
            QObject::connect(app, &QCoreApplication::aboutToQuit, quitContext_.get(), [w] {
                w->flush();
                w->closeConnections();
            });
        }
    }
    return *writer_;
}

void RecordsSeam::openUserStore()
{
    userStore();
}

void RecordsSeam::logOutUser()
{
    userStore().LogOut();
}

void RecordsSeam::openCycleLog()
{
    if (!DetectCycleSQL::instance)
        DetectCycleSQL::instance = new DetectCycleSQL(writer());
}

QWidget* RecordsSeam::openStatistics(const QString& statisticsDir)
{
    if (!gpResStatisticsParam)
        gpResStatisticsParam = new ResStatisticsParam(writer(), statisticsDir);
    return makeStatisticsPage();
}

QWidget* RecordsSeam::makeStatisticsPage()
{
    return new StatisticsWidget;
}

void RecordsSeam::makeExport()
{
    if (!gpMyxls)
        gpMyxls = new Myxls;
}

void RecordsSeam::flushAll()
{
    if (writer_) {
        writer_->flush();
        writer_->closeConnections();
    }
}

void RecordsSeam::Stats::Add(const QDateTime& at, bool isOK, int camera, int detection)
{
    if (gpResStatisticsParam)
        gpResStatisticsParam->Add(at, isOK, camera, detection);
}

void RecordsSeam::Log::insertDate(const QString& roundstart, double roundtime)
{
    seam_.openCycleLog();
    DetectCycleSQL::instance->insertDate(detectCycleInfo{roundstart, roundtime});
}

QDate RecordsSeam::Log::logDate() const
{
    return DetectCycleSQL::instance ? DetectCycleSQL::instance->logDate : QDate();
}

void RecordsSeam::Log::checkDate()
{
    seam_.openCycleLog();
    DetectCycleSQL::instance->checkDate();
}
