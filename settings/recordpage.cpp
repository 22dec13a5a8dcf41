// The record page (page 5): the operation record of today or of an archived
// day, and the data export reached from the advanced page.
//
// Looking at a day never creates or changes a file: archived days are read
// through "dbList", opened read-only, so a day removed after the listing
// shows an empty table instead of a new empty database.  Today is read
// through the window's own connection to RECORD.db.
#include "wizardparawidget.h"

#include "cameraglobals.h"
#include "clock.h"
#include "colorbutton.h"
#include "dataexport.h"
#include "kitlayout.h"
#include "operationrecord.h"
#include "settingshost.h"
#include "settingslayout.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlTableModel>
#include <QTableView>
#include <glog/logging.h>

namespace {

const char* const kArchiveConnection = "dbList";

// Column widths (time, user, operation) by screen width.
constexpr int kWideColumns[3] = {120, 125, 1330};
constexpr int kNarrowColumns[3] = {70, 65, 405};

const char* const kScrollBarSheet =
    "QScrollBar:vertical{width:30px;background:transparent;background-color:rgb(246, 248, 248);"
    "margin:2px,2px,2px,2px;padding-top:30px;padding-bottom:30px;}"
    "QScrollBar::handle{background:lightgray; border:2px solid transparent; border-radius:5px;}";

// Lets the archive connection go with the dialog: the model that reads
// through it first, then the connection's name, so a later dialog can take
// it again.
class RecordPageCleanup : public QObject {
public:
    using QObject::QObject;
    ~RecordPageCleanup() override
    {
        qDeleteAll(children());
        if (QSqlDatabase::contains(QString::fromLatin1(kArchiveConnection))) {
            QSqlDatabase::database(QString::fromLatin1(kArchiveConnection), false).close();
            QSqlDatabase::removeDatabase(QString::fromLatin1(kArchiveConnection));
        }
    }
};

} // namespace

void WizardParaWidget::BuildRecordPage()
{
    const SettingsMetrics& m = settingsMetrics();
    QWidget* page = pageArea(SettingsPageRecord);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(m.margin / 2);

    // The list is as wide as a date in the page's font; the table takes the
    // rest of the dialog up to its right edge.
    const int fontPx = large_ ? m.fontPx : qMax(12, m.fontPx - 2);
    recordDayList = new QListWidget(page);
    recordDayList->setFont(MicroHei(fontPx));
    const int listWidth = QFontMetrics(recordDayList->font()).horizontalAdvance(QStringLiteral("0000-00-00_00")) + 20;
    recordDayList->setFixedWidth(listWidth);
    row->addWidget(recordDayList);

    recordTable = new QTableView(page);
    recordTable->setFont(MicroHei(fontPx));
    recordTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordTable->verticalHeader()->hide();
    recordTable->verticalScrollBar()->setStyleSheet(QString::fromLatin1(kScrollBarSheet));
    recordTable->setFixedWidth(qMax(200, m.dialogSize.width() - 2 * m.margin - listWidth - m.margin / 2));
    row->addWidget(recordTable, 1);

    auto* cleanup = new RecordPageCleanup(this);
    const QString name = QString::fromLatin1(kArchiveConnection);
    recordDb = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                            : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    recordDb.close();
    recordDb.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    // The model lives under the cleanup, which deletes it before the
    // connection's name goes.
    recordModel = nullptr;
    cleanup->setObjectName(QStringLiteral("recordPageCleanup"));
}

void WizardParaWidget::WireRecordPage()
{
    connect(recordDayList, &QListWidget::itemClicked, this, &WizardParaWidget::UpdateRecord);
    if (ColorButton* b = buttonByText(206))
        connect(b, &QPushButton::clicked, this, &WizardParaWidget::SlotToRecord);
    if (ColorButton* b = buttonByText(326))
        connect(b, &QPushButton::clicked, this, &WizardParaWidget::SlotExportData);
}

void WizardParaWidget::SlotToRecord()
{
    if (currentPage == SettingsPageRecord)
        return;
    recordDayList->clear();
    recordDayList->addItem(appClock().now().date().toString(QStringLiteral("yyyy-MM-dd")));
    const QStringList names =
        QDir(host_->recordDirectory())
            .entryList({QStringLiteral("*.db")}, QDir::Files | QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot,
                       QDir::Name);
    for (auto it = names.crbegin(); it != names.crend(); ++it)
        recordDayList->addItem(it->endsWith(QLatin1String(".db")) ? it->chopped(3) : *it);
    recordDayList->setCurrentRow(0);
    UpdateRecord(recordDayList->item(0));
    currentPage = SettingsPageRecord;
    DoChangePage();
}

void WizardParaWidget::UpdateRecord(QListWidgetItem* item)
{
    if (!item)
        return;
    // The view lets go of the old model before it is deleted; the archive
    // connection closes only after nothing reads through it.
    recordTable->setModel(nullptr);
    delete recordModel;
    recordModel = nullptr;

    QSqlDatabase db;
    if (recordDayList->row(item) == 0) {
        db = host_->recordDatabase();
    } else {
        recordDb.close();
        recordDb.setDatabaseName(QDir(host_->recordDirectory()).absoluteFilePath(item->text() + QStringLiteral(".db")));
        if (!recordDb.open()) {
            LOG(WARNING) << "record archive " << item->text().toStdString()
                         << " does not open: " << recordDb.lastError().text().toStdString();
            return;
        }
        db = recordDb;
    }
    QObject* owner = findChild<QObject*>(QStringLiteral("recordPageCleanup"), Qt::FindDirectChildrenOnly);
    recordModel = new QSqlTableModel(owner ? owner : this, db);
    recordModel->setEditStrategy(QSqlTableModel::OnManualSubmit);
    recordModel->setTable(QStringLiteral("RECORD"));
    recordModel->setSort(0, Qt::DescendingOrder);
    if (!recordModel->select())
        LOG(WARNING) << "records of " << item->text().toStdString()
                     << " not read: " << recordModel->lastError().text().toStdString();
    const int headers[3] = {288, 289, 290};
    for (int c = 0; c < 3; ++c)
        recordModel->setHeaderData(c, Qt::Horizontal, SettingsCaption(headers[c]));
    recordTable->setModel(recordModel);
    recordTable->verticalHeader()->hide();
    FitRecordColumns();
}

void WizardParaWidget::FitRecordColumns()
{
    const int* widths = gShowW > 1024 ? kWideColumns : kNarrowColumns;
    // The level texts are longer in English than the narrow column was
    // made for; it widens to them while the operation column keeps 200 px.
    const QFontMetrics fm(recordTable->font());
    int levelWidth = widths[1];
    for (int level : {AccessLevelNone, AccessLevelPrimary, AccessLevelAdvanced})
        levelWidth = qMax(levelWidth, fm.horizontalAdvance(OperationRecord::LevelText(level)) + 12);
    const int inside = recordTable->maximumWidth() - 2 * recordTable->frameWidth() - 32;
    if (inside - widths[0] - levelWidth < 200)
        levelWidth = widths[1];
    recordTable->setColumnWidth(0, widths[0]);
    recordTable->setColumnWidth(1, levelWidth);
    // The operation text takes its width, but never reaches past the
    // table on a screen narrower than that width was made for.
    const int room = inside - widths[0] - levelWidth;
    recordTable->setColumnWidth(2, room >= 200 ? qMin(widths[2], room) : widths[2]);
}

void WizardParaWidget::SlotExportData()
{
    if (!dataExport)
        dataExport = new DataExport(this);
    if (!dataExport->start())
        LOG(INFO) << "data export already running; the button does nothing";
}
