#include "detectcyclewidget.h"

#include "choosebox.h"
#include "colorbutton.h"
#include "commandrunner.h"
#include "detectcyclesql.h"
#include "exportdialog.h"
#include "globals.h"
#include "kitfonts.h"
#include "messages.h"
#include "paths.h"
#include "pixmaps.h"
#include "progressbox.h"
#include "usbmount.h"
#include "warnbox.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QSqlTableModel>
#include <QStringListModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent>
#include <glog/logging.h>

#include <unistd.h>

const char* const DetectCycleWidget::kProgram = "./cnt_net/xls";
QPointer<DetectCycleWidget> DetectCycleWidget::exporter_;

namespace {

const QString kFont = QString::fromLatin1(kMicroHeiFamily);
const QString kFailed = QStringLiteral("导出失败");

DetectCycleSQL* cycleLog()
{
    return DetectCycleSQL::instance;
}

// What became of copying the program's file onto the disk.
struct CopyOutcome {
    bool ok = false;
    bool diskFault = false;   // the disk is missing, full, read-only or went away
    QString reason;
};

// A name on the disk that does not exist yet ("_2", "_3" ... before the extension).
QString freeTarget(const QString& dir, const QString& fileName)
{
    const QFileInfo info(fileName);
    const QString stem = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    QString target = QDir(dir).filePath(fileName);
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(dir).filePath(QStringLiteral("%1_%2%3").arg(stem).arg(n).arg(suffix));
    return target;
}

// Copies local onto the disk, forces it out and compares the sizes; only
// then is the local file removed.  Runs on a worker.
CopyOutcome copyOntoDisk(const QString& local, const QString& mountPoint)
{
    CopyOutcome out;
    const qint64 size = QFileInfo(local).size();
    const QString target = freeTarget(mountPoint, QFileInfo(local).fileName());
    if (!QFile::copy(local, target)) {
        QFile::remove(target);
        out.diskFault = true;
        out.reason = QStringLiteral("copy to %1 failed").arg(target);
        return out;
    }
    QFile copy(target);
    const bool synced = copy.open(QIODevice::ReadOnly) && ::fsync(copy.handle()) == 0;
    const bool sameSize = copy.size() == size;
    copy.close();
    if (!synced || !sameSize) {
        QFile::remove(target);
        out.diskFault = true;
        out.reason = QStringLiteral("copy %1 not complete on the disk").arg(target);
        return out;
    }
    if (!QFile::remove(local))
        LOG(WARNING) << "exported file stays in the program directory: " << local.toStdString();
    out.ok = true;
    return out;
}

}  // namespace

// ---------------------------------------------------------------- scanner
ExportOutputScanner::Line ExportOutputScanner::parse(const QString& raw)
{
    Line l;
    const QString line = raw.trimmed();
    l.text = line;
    if (line.startsWith(QLatin1String("progress "))) {
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool okDone = false, okTotal = false;
        if (parts.size() == 3) {
            l.done = parts[1].toInt(&okDone);
            l.total = parts[2].toInt(&okTotal);
        }
        if (okDone && okTotal)
            l.kind = Line::Progress;
    } else if (line.startsWith(QLatin1String("export failed"))) {
        l.kind = Line::Failed;
        l.text = line.section(QLatin1Char(':'), 1).trimmed();
    } else if (line.contains(QLatin1String("export finished"))) {
        l.kind = Line::Finished;
        l.text = line.section(QLatin1Char(' '), 0, 0);
    }
    return l;
}

QList<ExportOutputScanner::Line> ExportOutputScanner::feed(const QByteArray& chunk)
{
    all_ += chunk;
    pending_ += chunk;
    QList<Line> lines;
    int start = 0;
    for (int nl = pending_.indexOf('\n'); nl >= 0; nl = pending_.indexOf('\n', start)) {
        lines << parse(QString::fromUtf8(pending_.mid(start, nl - start)));
        start = nl + 1;
    }
    pending_.remove(0, start);
    return lines;
}

QList<ExportOutputScanner::Line> ExportOutputScanner::finish()
{
    QList<Line> lines;
    if (!pending_.trimmed().isEmpty())
        lines << parse(QString::fromUtf8(pending_));
    pending_.clear();
    return lines;
}

// ---------------------------------------------------------------- page
DetectCycleWidget::DetectCycleWidget(QWidget* parent)
    : QWidget(parent), fit_(PageFit::forScreen(gShowW, gShowH, 1000, 700))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A finished day is closed first, and the rows queued so far are
    // written, so today's row shows today's file complete.
    if (DetectCycleSQL* log = cycleLog()) {
        log->checkDate();
        log->flush();
    }

    auto* dayLabel = new QLabel(QStringLiteral("检测日期"));
    dayLabel->setFixedHeight(fit_.px(50));
    dayView = new QListView;
    dayModel = new QStringListModel(cycleLog() ? cycleLog()->getDBName() : QStringList(), this);
    dayView->setModel(dayModel);
    dayView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(dayView, &QListView::clicked, this, &DetectCycleWidget::listDataChanged);

    auto* left = new QVBoxLayout;
    left->setSpacing(0);
    left->setContentsMargins(fit_.px(5), fit_.px(2), 0, fit_.px(2));
    left->addWidget(dayLabel);
    left->addWidget(dayView);

    recordView = new QTableView;
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(fit_.px(5), fit_.px(60), fit_.px(5), fit_.px(5));
    box->addLayout(left, 1);
    box->addWidget(recordView, 2);
    bindSql(QString::fromLatin1(DetectCycleSQL::kFile));

    const QSize buttonSize = fit_.size(100, 60);
    exitButton = new ColorButton(QStringLiteral("退出"), this, ColorButtonSizeNormal);
    exportButton = new ColorButton(QStringLiteral("导出"), this, ColorButtonSizeNormal);
    exitButton->setFixedSize(buttonSize);
    exportButton->setFixedSize(buttonSize);
    connect(exitButton, &QPushButton::clicked, this, &DetectCycleWidget::closeAction);
    connect(exportButton, &QPushButton::clicked, this, &DetectCycleWidget::exportData);

    setWindowFlags(Qt::CustomizeWindowHint | Qt::FramelessWindowHint);
    const QRect place = fit_.centred(1000, 700, gShowW, gShowH);
    setFixedSize(place.size());
    move(place.topLeft());
    // The exit button keeps to the right edge whatever the fitted width.
    exitButton->move(width() - exitButton->width(), 0);
    exportButton->move(0, 0);
    setStyleSheet(styleFor(fit_));

    progressBox = new ProgressBox(this);
}

DetectCycleWidget::~DetectCycleWidget()
{
    delete recordModel;
    recordModel = nullptr;
    if (DetectCycleSQL* log = cycleLog())
        log->closeDB();
}

QString DetectCycleWidget::getStyle()
{
    return QStringLiteral("QLabel{border: none;border-bottom: 1px solid #707070;font-size: 22px;background-color: #F5F5F5;}"
                          "QListView{font-size:22px;border: none;}QListView::item{height: 50px;padding-left: 10px;}");
}

QString DetectCycleWidget::styleFor(const PageFit& fit) const
{
    if (fit.full())
        return getStyle();
    return QStringLiteral("QLabel{border: none;border-bottom: 1px solid #707070;font-size: %1px;background-color: #F5F5F5;}"
                          "QListView{font-size:%1px;border: none;}QListView::item{height: %2px;padding-left: %3px;}")
        .arg(fit.fontPx(22))
        .arg(fit.px(50))
        .arg(fit.px(10));
}

bool DetectCycleWidget::exportRunning()
{
    return !exporter_.isNull();
}

void DetectCycleWidget::bindSql(const QString& file)
{
    delete recordModel;
    recordModel = nullptr;
    DetectCycleSQL* log = cycleLog();
    QSqlDatabase db;
    if (log) {
        log->closeDB();
        db = log->readDB(file);
    }
    recordModel = new QSqlTableModel(this, db);
    recordModel->setEditStrategy(QSqlTableModel::OnManualSubmit);
    recordModel->setTable(QStringLiteral("detect_cycle"));
    recordModel->setHeaderData(0, Qt::Horizontal, QStringLiteral("序号"));
    recordModel->setHeaderData(1, Qt::Horizontal, QStringLiteral("检测时间"));
    recordModel->setHeaderData(2, Qt::Horizontal, QStringLiteral("周期(s)"));
    recordModel->select();
    recordView->setModel(recordModel);
    recordView->setEditTriggers(QAbstractItemView::NoEditTriggers);

    const QFont font = fit_.pixelFont(kFont, 22);
    recordView->verticalHeader()->hide();
    recordView->verticalHeader()->setDefaultSectionSize(fit_.px(50));
    QHeaderView* header = recordView->horizontalHeader();
    header->setFixedHeight(fit_.px(50));
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(false);
    header->setFont(font);
    recordView->setFont(font);
    recordView->setColumnWidth(0, fit_.px(150));
    recordView->setColumnWidth(1, fit_.px(335));
    recordView->setColumnWidth(2, fit_.px(150));
}

void DetectCycleWidget::listDataChanged(const QModelIndex& index)
{
    DetectCycleSQL* log = cycleLog();
    if (!log || !index.isValid())
        return;
    bindSql(log->fileOf(index.data().toString()));
    recordView->update();
}

void DetectCycleWidget::closeAction()
{
    delete recordModel;
    recordModel = nullptr;
    if (DetectCycleSQL* log = cycleLog()) {
        log->closeDB();
        log->setDefaultDB();
    }
    close();
}

void DetectCycleWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int title = fit_.px(60);
    DrawPixmap(p, QRect(0, title, width() + 10, height() - title), gpPixmapBG);
    DrawPixmap(p, QRect(0, 0, width(), title), gpPixmapTitle);
    p.setPen(QColor(0, 255, 255));
    QFont font(kFont);
    font.setPixelSize(fit_.fontPx(32));
    p.setFont(font);
    p.drawText(QRect(0, 0, width(), title), Qt::AlignCenter, QStringLiteral("检测周期"));
}

// ---------------------------------------------------------------- export
void DetectCycleWidget::exportData()
{
    if (exportRunning()) {
        LOG(INFO) << "cycle-time export already running; the button does nothing";
        return;
    }
    exporter_ = this;
    hold_.reset();
    mountPoint_.clear();
    reportedFile_.clear();
    reported_ = false;
    copying_ = false;
    scanner_ = ExportOutputScanner();
    searchDisk();
}

void DetectCycleWidget::searchDisk()
{
    auto* watcher = new QFutureWatcher<std::pair<QString, std::shared_ptr<MountHold>>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const auto found = watcher->result();
        watcher->deleteLater();
        diskFound(found.first, found.second);
    });
    watcher->setFuture(QtConcurrent::run([] {
        auto hold = std::make_shared<MountHold>();
        const QString mountPoint = FindAU(hold.get());
        return std::make_pair(mountPoint, hold);
    }));
}

// No disk, or it failed during the copy: insert one and try again?
void DetectCycleWidget::retryOrGiveUp()
{
    ChooseBox ask(nullptr);   // a window of its own, centred on the screen
    ask.setText(Msg(320), 320);
    if (ask.exec() == QDialog::Accepted)
        searchDisk();
    else
        endExport(false);
}

void DetectCycleWidget::diskFound(const QString& mountPoint, std::shared_ptr<MountHold> hold)
{
    if (mountPoint.isEmpty()) {
        retryOrGiveUp();
        return;
    }
    hold_ = std::move(hold);
    mountPoint_ = mountPoint;
    if (copying_) {          // a retry after a disk fault: the file exists already
        copyToDisk();
        return;
    }
    ExportDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        endExport(false);
        return;
    }
    if (!dialog.written) {
        endExport(false, QStringLiteral("sql.txt could not be written"));
        return;
    }
    progressBox->setProgress(0, int(dialog.lines.size()));
    progressBox->show();
    runProgram();
}

void DetectCycleWidget::runProgram()
{
    program_ = commandRunner().start(QString::fromLatin1(kProgram), {}, this);
    connect(program_, &RunningCommand::output, this, &DetectCycleWidget::receive);
    connect(program_, &RunningCommand::finished, this, &DetectCycleWidget::programEnded);
}

void DetectCycleWidget::receive(const QByteArray& chunk)
{
    handle(scanner_.feed(chunk));
}

void DetectCycleWidget::handle(const QList<ExportOutputScanner::Line>& lines)
{
    for (const ExportOutputScanner::Line& line : lines) {
        if (line.kind == ExportOutputScanner::Line::Progress) {
            progressBox->setProgress(line.done, line.total);
        } else if (line.kind == ExportOutputScanner::Line::Finished && !reported_) {
            reported_ = true;
            reportedFile_ = line.text;
        }
    }
}

void DetectCycleWidget::programEnded(int exitCode)
{
    handle(scanner_.finish());
    if (program_)
        program_->deleteLater();
    // The report names a workbook in the program directory itself; anything
    // else (a path elsewhere, one of the program's own files) is not ours to
    // move, since the local file is removed after the copy.
    const QString suffix = QFileInfo(reportedFile_).suffix().toLower();
    const bool plainName = !reportedFile_.isEmpty() && !reportedFile_.contains(QLatin1Char('/')) &&
                           (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xls")) &&
                           QFileInfo(reportedFile_).isFile();
    if (!reported_ || exitCode != 0 || !plainName) {
        LOG(ERROR) << "cycle-time export failed (exit code " << exitCode << "): "
                   << scanner_.output().toStdString();
        endExport(false, kFailed);
        return;
    }
    copying_ = true;
    copyToDisk();
}

void DetectCycleWidget::copyToDisk()
{
    auto* watcher = new QFutureWatcher<CopyOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const CopyOutcome outcome = watcher->result();
        watcher->deleteLater();
        if (outcome.ok) {
            endExport(true);
            return;
        }
        LOG(ERROR) << "cycle-time export: " << outcome.reason.toStdString();
        if (outcome.diskFault) {
            retryOrGiveUp();
            return;
        }
        endExport(false, kFailed);
    });
    const QString local = reportedFile_;
    const QString mountPoint = mountPoint_;
    std::shared_ptr<MountHold> hold = std::move(hold_);
    watcher->setFuture(QtConcurrent::run([local, mountPoint, hold]() mutable {
        const CopyOutcome outcome = copyOntoDisk(local, mountPoint);
        if (hold)
            hold->release();
        UnmountAU();
        return outcome;
    }));
}

void DetectCycleWidget::endExport(bool ok, const QString& failure)
{
    progressBox->hide();
    hold_.reset();
    exporter_.clear();
    if (ok) {
        WarnBox box(nullptr);
        box.setText(QStringLiteral("导出成功"));
        box.exec();
    } else if (!failure.isEmpty()) {
        WarnBox box(nullptr);
        box.setText(kFailed);
        box.exec();
    }
    emit exportEnded(ok);
}
