#include "statisticswidget.h"

#include "cameraglobals.h"
#include "colorbutton.h"
#include "globals.h"
#include "histogram.h"
#include "kitfonts.h"
#include "messages.h"
#include "statisticsexport.h"
#include "wizardpara.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSqlError>
#include <QSqlQuery>
#include <QVBoxLayout>
#include <glog/logging.h>

const char* const StatisticsWidget::kArchiveConnection = "dbListRes";

namespace {

const QString kFont = QString::fromLatin1(kMicroHeiFamily);

ResStatisticsParam* store()
{
    return gpResStatisticsParam;
}

// Tab bars of the camera and detection tabs, scaled with the page.
QString tabStyle(const PageFit& fit)
{
    return QStringLiteral("QTabBar::tab{width: %1px; height: %2px; font-size: %3px;}")
        .arg(fit.px(150))
        .arg(fit.px(50))
        .arg(fit.fontPx(25));
}

// First message id of the detection names of a machine mode.
int detectionNameBase(int systemMode)
{
    if (systemMode == 0 || systemMode == 3)
        return 263;
    if (systemMode == 1 || systemMode == 2)
        return 372;
    return 477;
}

QLabel* fixedLabel(const QString& text, QSize size, const QFont& font, Qt::Alignment align,
                   const QString& style = QString())
{
    auto* l = new QLabel(text);
    l->setFixedSize(size);
    l->setFont(font);
    l->setAlignment(align);
    if (!style.isEmpty())
        l->setStyleSheet(style);
    return l;
}

QList<int> hours(int first, int count)
{
    QList<int> h;
    for (int i = 0; i < count; ++i)
        h << (first + i) % 24;
    return h;
}

}  // namespace

PageFit StatisticsPageFit()
{
    return PageFit::forScreen(gShowW, gShowH);
}

// ---------------------------------------------------------------- one detection
CameraStatisticsWidget::CameraStatisticsWidget(int camera, int detection, QWidget* parent)
    : QWidget(parent), detection(detection), camera(camera)
{
    const PageFit fit = StatisticsPageFit();
    const QFont font = fit.pointFont(kFont, 10);
    const QSize titleSize = fit.size(150, 50);
    const QSize valueSize = fit.size(120, 40);
    const QString green = QStringLiteral("color:green;");
    const QString red = QStringLiteral("color:red;");
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;

    const auto block = [&](int titleId, QList<QLabel*> labels) {
        auto* box = new QVBoxLayout;
        box->setSpacing(fit.px(5));
        box->addWidget(fixedLabel(Msg(titleId), titleSize, font, Qt::AlignCenter));
        for (QLabel* l : labels)
            box->addWidget(l);
        return box;
    };
    const auto caption = [&](const QString& text) { return fixedLabel(text, valueSize, font, right); };
    const auto value = [&](const QString& style) { return fixedLabel(QStringLiteral("0"), valueSize, font, right, style); };

    morningOkLabel = value(green);
    morningNgLabel = value(red);
    nightOkLabel = value(green);
    nightNgLabel = value(red);
    dayCountLabel = value(green);
    dayNgLabel = value(red);
    ngRateLabel = value(red);
    ngRateLabel->setText(ngRateText(0, 0));

    QVBoxLayout* morning = block(545, {caption(Msg(542)), morningOkLabel, caption(Msg(543)), morningNgLabel});
    QVBoxLayout* night = block(546, {caption(Msg(542)), nightOkLabel, caption(Msg(543)), nightNgLabel});
    QVBoxLayout* day = block(567, {caption(Msg(547)), dayCountLabel, caption(Msg(543)), dayNgLabel,
                                   caption(QStringLiteral("NG率")), ngRateLabel});

    morningChart = new Histogram(this, hours(8, 12), {}, {});
    nightChart = new Histogram(this, hours(20, 12), {}, {});
    for (Histogram* chart : {morningChart, nightChart}) {
        chart->setFixedHeight(fit.px(420));
        chart->setFonts(fit.pixelFont(kFont, 15), fit.pointFont(kFont, 10));
    }

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(fit.px(30), fit.px(10), fit.px(30), fit.px(10));
    grid->setSpacing(1);
    grid->addLayout(morning, 0, 0, 4, 1);
    grid->addLayout(night, 4, 0, 4, 1);
    grid->addLayout(day, 8, 0, 4, 1);
    grid->addWidget(morningChart, 0, 2, 7, 8);
    grid->addWidget(nightChart, 7, 2, 7, 8);
    grid->setRowStretch(14, 1);
}

void CameraStatisticsWidget::updateData()
{
    const ResStatisticsParam* s = store();
    const auto count = [&](ShiftType shift, bool ok) { return s ? s->getCount(shift, ok, camera, detection) : 0; };
    const auto series = [&](ShiftType shift, bool ok) {
        return s ? s->getRes(shift, ok, camera, detection) : QList<int>(12, 0);
    };
    morningOkLabel->setText(QString::number(count(ShiftMorning, true)));
    morningNgLabel->setText(QString::number(count(ShiftMorning, false)));
    nightOkLabel->setText(QString::number(count(ShiftNight, true)));
    nightNgLabel->setText(QString::number(count(ShiftNight, false)));
    const int ok = count(ShiftWholeDay, true);
    const int ng = count(ShiftWholeDay, false);
    dayCountLabel->setText(QString::number(ok + ng));
    dayNgLabel->setText(QString::number(ng));
    ngRateLabel->setText(ngRateText(ok, ng));
    morningChart->modifyDataAxisY(series(ShiftMorning, true), series(ShiftMorning, false));
    nightChart->modifyDataAxisY(series(ShiftNight, true), series(ShiftNight, false));
    update();
}

void CameraStatisticsWidget::showEvent(QShowEvent* event)
{
    updateData();
    QWidget::showEvent(event);
}

// ---------------------------------------------------------------- one camera
CamereaTabWidget::CamereaTabWidget(int camera, QWidget* parent) : QTabWidget(parent)
{
    const int base = detectionNameBase(gpWPara ? gpWPara->systemMode : 0);
    for (int j = 0; j <= gDNum && j < 9; ++j) {
        detectionPages[j] = new CameraStatisticsWidget(camera, (j + 8) % 9, this);
        addTab(detectionPages[j], j == 0 ? QStringLiteral("所有检测") : Msg(1005).arg(Msg(base + j - 1)));
    }
}

void CamereaTabWidget::updateData()
{
    if (auto* page = qobject_cast<CameraStatisticsWidget*>(currentWidget()))
        page->updateData();
}

// ---------------------------------------------------------------- the page
StatisticsWidget::StatisticsWidget(QWidget* parent) : QWidget(parent)
{
    const PageFit fit = StatisticsPageFit();
    // A page of the screen's size needs no frame (on a desktop a title bar
    // would push the buttons off the bottom).  A smaller screen is covered
    // whole, the contents scaled.
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setGeometry(fit.full() ? fit.centred(1920, 1080, gShowW, gShowH) : QRect(0, 0, gShowW, gShowH));

    const QSize tabsSize = fit.size(1738, 980);
    const QString style = tabStyle(fit);
    cameraTabs = new QTabWidget(this);
    cameraTabs->setFixedSize(tabsSize);
    cameraTabs->setStyleSheet(style);
    for (int i = 0; i <= numCamera && i < 9; ++i) {
        cameraPages[i] = new CamereaTabWidget((i + 8) % 9, cameraTabs);
        cameraPages[i]->setFixedSize(tabsSize);
        cameraPages[i]->setStyleSheet(style);
        cameraTabs->addTab(cameraPages[i], i == 0 ? QStringLiteral("所有相机") : QStringLiteral("%1号相机 ").arg(i));
    }

    dayList = new QListWidget(this);
    dayList->setFixedHeight(fit.px(980));
    dayList->setFont(fit.pointFont(kFont, 10));
    connect(dayList, &QListWidget::itemClicked, this, &StatisticsWidget::UpdateRecord);

    returnButton = new ColorButton(Msg(58), this, ColorButtonSizeNormal);
    exportButton = new ColorButton(Msg(326), this, ColorButtonSizeNormal);
    for (ColorButton* b : {returnButton, exportButton})
        b->setFixedSize(fit.size(300, 50));
    connect(returnButton, &QPushButton::clicked, this, &StatisticsWidget::SlotConfirm);
    connect(exportButton, &QPushButton::clicked, this, &StatisticsWidget::SlotExportData);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(fit.px(10), fit.px(10), fit.px(10), fit.px(10));
    grid->addWidget(dayList, 0, 0, 15, 1, Qt::AlignTop);
    grid->addWidget(cameraTabs, 0, 1, 15, 10, Qt::AlignTop);
    grid->addWidget(exportButton, 15, 0, 1, 11, Qt::AlignRight);
    grid->addWidget(returnButton, 15, 1, 1, 11, Qt::AlignCenter);

    archiveDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QString::fromLatin1(kArchiveConnection));
    archiveDb.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));

    if (store())
        store()->setObserver(this);
}

StatisticsWidget::~StatisticsWidget()
{
    if (store())
        store()->setObserver(nullptr);
    archiveDb.close();
    archiveDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(QString::fromLatin1(kArchiveConnection));
}

CamereaTabWidget* StatisticsWidget::currentCameraPage() const
{
    return qobject_cast<CamereaTabWidget*>(cameraTabs->currentWidget());
}

void StatisticsWidget::showEvent(QShowEvent* event)
{
    updateList();
    QWidget::showEvent(event);
}

void StatisticsWidget::updateList()
{
    dayList->clear();
    if (!store())
        return;
    dayList->addItem(store()->statisticsDate);
    QStringList names = QDir(store()->archiveDir()).entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
    for (auto it = names.crbegin(); it != names.crend(); ++it)
        if (it->endsWith(QLatin1String(".db")))
            dayList->addItem(it->chopped(3));
    dayList->setCurrentRow(0);
    UpdateRecord(dayList->item(0));
}

bool StatisticsWidget::showsCurrentDay() const
{
    return dayList->currentRow() == 0;
}

void StatisticsWidget::checkUpdate()
{
    if (!showsCurrentDay())
        return;
    if (CamereaTabWidget* page = currentCameraPage())
        page->updateData();
}

bool StatisticsWidget::loadArchive(const QString& name)
{
    archiveDb.close();
    archiveDb.setDatabaseName(QDir(store()->archiveDir()).absoluteFilePath(name + QStringLiteral(".db")));
    bool loaded = false;
    if (!archiveDb.open()) {
        LOG(WARNING) << "statistics archive " << name.toStdString()
                     << " does not open: " << archiveDb.lastError().text().toStdString();
    } else {
        QSqlQuery query(archiveDb);
        loaded = store()->setFindCount(query);
        if (!loaded)
            LOG(WARNING) << "statistics archive " << name.toStdString() << " cannot be read";
    }
    if (!loaded) {
        // Zeros, never the figures of the day shown before.
        initStuCountAllCamera(store()->shownCounts);
        clcCount(store()->shownCounts);
    }
    archiveDb.close();
    return loaded;
}

void StatisticsWidget::UpdateRecord(QListWidgetItem* item)
{
    if (!item || !store())
        return;
    if (dayList->currentRow() != 0)
        loadArchive(item->text());
    else
        store()->setFindCount();
    if (CamereaTabWidget* page = currentCameraPage())
        page->updateData();
}

void StatisticsWidget::SlotConfirm()
{
    hide();
}

void StatisticsWidget::SlotExportData()
{
    if (!export_)
        export_ = new StatisticsExport(store(), this);
    if (!export_->start(this))
        LOG(INFO) << "statistics export already running; the button does nothing";
}
