#pragma once
// The statistics page: the hourly OK/NG counts of the statistics store for
// the current statistics day or an archived one, per camera (tab 0 all
// cameras) and per detection (tab 0 all detections), as shift totals, an NG
// rate and two bar charts.  Built once at start-up without a parent when
// statistics are on; Return hides it, Export runs the statistics workbook.
//
// The page reads every figure from the store's shownCounts; choosing a day
// decides what shownCounts holds.  Archives are read through the read-only
// connection "dbListRes", so looking at a day never creates or changes a
// file; an archive that cannot be read shows zeros (the reason is logged).
//
// At 1920 x 1080 and larger the page has the design's fixed sizes, centred;
// on a smaller screen it covers the screen with every size scaled (PageFit).
// GUI thread.
#include "pagefit.h"
#include "resstatisticsparam.h"

#include <QSqlDatabase>
#include <QTabWidget>
#include <QWidget>

class ColorButton;
class Histogram;
class QLabel;
class QListWidget;
class QListWidgetItem;
class StatisticsExport;

// The page's sizes on the current screen (gShowW x gShowH).
PageFit StatisticsPageFit();

// One detection of one camera (8 = all of them): three blocks of labels and
// the morning and night charts.
class CameraStatisticsWidget : public QWidget {
    Q_OBJECT
public:
    CameraStatisticsWidget(int camera, int detection, QWidget* parent);

    // Refills the labels and both charts from the store and repaints.
    void updateData();

    Histogram* morningChart = nullptr;
    Histogram* nightChart = nullptr;
    QLabel* morningOkLabel = nullptr;
    QLabel* morningNgLabel = nullptr;
    QLabel* nightOkLabel = nullptr;
    QLabel* nightNgLabel = nullptr;
    QLabel* dayCountLabel = nullptr;
    QLabel* dayNgLabel = nullptr;
    QLabel* ngRateLabel = nullptr;
    int detection = 0;
    int camera = 0;

protected:
    void showEvent(QShowEvent* event) override;
};

// One camera (8 = all): a tab per detection, tab 0 for all detections.
class CamereaTabWidget : public QTabWidget {
    Q_OBJECT
public:
    CamereaTabWidget(int camera, QWidget* parent);

    // updateData of the detection page in view only.
    void updateData();

    CameraStatisticsWidget* detectionPages[9] = {};
};

class StatisticsWidget : public QWidget, public StatisticsObserver {
    Q_OBJECT
public:
    static const char* const kArchiveConnection;   // "dbListRes"

    explicit StatisticsWidget(QWidget* parent = nullptr);
    ~StatisticsWidget() override;

    // Rebuilds the day list (current day, then the archives newest first),
    // selects row 0 and shows it.
    void updateList() override;
    // After a verdict: redraws the page in view while row 0 is selected.
    void checkUpdate() override;
    bool showsCurrentDay() const override;

    // The camera page in view (tests, benchmarks).
    CamereaTabWidget* currentCameraPage() const;

    QTabWidget* cameraTabs = nullptr;
    CamereaTabWidget* cameraPages[9] = {};
    QListWidget* dayList = nullptr;
    QSqlDatabase archiveDb;
    ColorButton* returnButton = nullptr;
    ColorButton* exportButton = nullptr;
    // The workbook export of the Export button (made at its first use).
    StatisticsExport* export_ = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void SlotConfirm();
    void UpdateRecord(QListWidgetItem* item);
    void SlotExportData();

private:
    bool loadArchive(const QString& name);
};
