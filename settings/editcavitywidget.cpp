#include "editcavitywidget.h"

#include "cameraglobals.h"
#include "colorbutton.h"
#include "combobox.h"
#include "databaseopener.h"
#include "edit.h"
#include "keypadhost.h"
#include "kitlayout.h"
#include "messages.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "pagefit.h"
#include "pixmaps.h"
#include "settingspage.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <glog/logging.h>

const char* const EditCavitywidget::kConnection = "sql_CavityDatabase_connection";
const char* const EditCavitywidget::kFile = "CavityDatabase.db";
const char* const EditCavitywidget::kSavedTable = "CavityName_table";
const char* const EditCavitywidget::kWorkTable = "TempSave_table";

namespace {

// The design size the layout below adds up to: four columns of 180 px and
// nine rows (the button row 70 px, eight rows of 60 px), spacing and
// margins 10 px.
constexpr int kDesignW = 4 * 180 + 3 * 10 + 2 * 10;
constexpr int kDesignH = 70 + 8 * 60 + 8 * 10 + 2 * 10;

int cavityCaption(int i)
{
    return i < 8 ? 460 + i : 588 + i;
}

QString rowKey(int slot)
{
    return QStringLiteral("Camera%1").arg(slot);
}

// White space in any script (the stored column splits at it).
QString withoutWhiteSpace(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (!c.isSpace())
            out += c;
    return out;
}

} // namespace

QStringList EditCavitywidget::DefaultNames()
{
    QStringList names;
    for (int i = 0; i < kCavities; ++i)
        names << Msg(cavityCaption(i), LanSimplifiedChinese);
    return names;
}

QStringList EditCavitywidget::SplitNames(const QString& column)
{
    QStringList names = column.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    while (names.size() < kCavities)
        names << QString();
    return names.mid(0, kCavities);
}

EditCavitywidget::EditCavitywidget(SettingsPage* settingsDialog, LabelView labelView)
    : QWidget(nullptr, Qt::CustomizeWindowHint), settingsDialog(settingsDialog), labelView_(std::move(labelView))
{
    const PageFit fit = PageFit::forScreen(gShowW, gShowH, kDesignW, kDesignH);
    const QFont font = fit.pointFont(QString::fromLatin1(kMicroHeiFamily), 30);
    const QSize field = fit.size(180, 60);

    auto* grid = new QGridLayout(this);
    grid->setSpacing(fit.px(10));
    grid->setContentsMargins(fit.px(10), fit.px(10), fit.px(10), fit.px(10));
    grid->setSizeConstraint(QLayout::SetFixedSize);

    for (int i = 0; i < kCavities; ++i) {
        nameEdit[i] = new Edit(EditFlagCharPad | 4, this, 1);
        nameEdit[i]->setFixedSize(field);
        nameEdit[i]->setFont(font);
        // A name is one stored word: white space never enters, typed or set.
        connect(nameEdit[i], &QLineEdit::textChanged, nameEdit[i], [e = nameEdit[i]](const QString& text) {
            const QString kept = withoutWhiteSpace(text);
            if (kept != text) {
                const int cursor = std::min(e->cursorPosition(), int(kept.size()));
                e->setText(kept);
                e->setCursorPosition(cursor);
            }
        });
        cavityLabel[i] = new QLabel(Msg(cavityCaption(i)), this);
        cavityLabel[i]->setFixedSize(field);
        cavityLabel[i]->setFont(font);
        cavityLabel[i]->setAlignment(Qt::AlignCenter);
        SetTextColor(cavityLabel[i], Qt::yellow);
    }
    confirmButton = new ColorButton(Msg(121), this);
    cancelButton = new ColorButton(Msg(124), this);
    confirmButton->setFixedSize(fit.size(180, 70));
    cancelButton->setFixedSize(fit.size(180, 70));
    cameraBox = new ComboBox(this);
    cameraBox->setFixedSize(field);
    cameraBox->setFont(font);
    cameraBox->setItemHeight(field.height());
    for (int slot = 0; slot < numCamera && slot < 8; ++slot)
        cameraBox->addItem(Msg(595).arg(slot + 1), slot);
    cameraBox->setCurrentIndex(0);

    grid->addWidget(cameraBox, 0, 0);
    grid->addWidget(cancelButton, 0, 2);
    grid->addWidget(confirmButton, 0, 3);
    for (int i = 0; i < kCavities; ++i) {
        grid->addWidget(cavityLabel[i], 2 * (i / 4) + 1, i % 4);
        grid->addWidget(nameEdit[i], 2 * (i / 4) + 2, i % 4);
    }

    connect(confirmButton, &QPushButton::clicked, this, &EditCavitywidget::Accept);
    connect(cancelButton, &QPushButton::clicked, this, &EditCavitywidget::Reject);
    connect(cameraBox, qOverload<int>(&QComboBox::currentIndexChanged), this, &EditCavitywidget::SlotChangeCam);
}

EditCavitywidget::~EditCavitywidget()
{
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(QString::fromLatin1(kConnection));
    }
}

bool EditCavitywidget::Databaseinit()
{
    // A file that does not open or check is kept aside and an empty one
    // takes its place; the tables and their default rows are made below.
    QTemporaryDir scratch;
    QString emptyCopy;
    if (scratch.isValid()) {
        emptyCopy = scratch.filePath(QStringLiteral("empty.db"));
        QFile empty(emptyCopy);
        if (!empty.open(QIODevice::WriteOnly))
            emptyCopy.clear();
    }
    const DatabaseOpenResult r =
        DatabaseOpener::Open(QString::fromLatin1(kConnection), QString::fromLatin1(kFile), emptyCopy);
    if (r.restored)
        LOG(ERROR) << kFile << " was damaged and kept as " << r.movedAsideTo.toStdString()
                   << "; the cavity names start from their defaults";
    else if (!r.ok)
        LOG(ERROR) << kFile << ": " << r.error.toStdString();
    db_ = QSqlDatabase::database(QString::fromLatin1(kConnection), false);

    const QStringList tables = db_.isOpen() ? db_.tables() : QStringList();
    if (db_.isOpen() && (!tables.contains(QLatin1String(kSavedTable)) || !tables.contains(QLatin1String(kWorkTable)))) {
        // A statement that fails because its table or row exists changes
        // nothing, so names already saved stay.
        const QString defaults = DefaultNames().join(QLatin1Char(' '));
        for (const char* table : {kSavedTable, kWorkTable}) {
            QSqlQuery q(db_);
            q.exec(QStringLiteral("create table %1(Camera varchar(32) primary key,CavityName varchar(32))")
                       .arg(QLatin1String(table)));
            for (int slot = 0; slot < 8; ++slot) {
                q.prepare(QStringLiteral("insert into %1 values(?, ?)").arg(QLatin1String(table)));
                q.addBindValue(rowKey(slot));
                q.addBindValue(defaults);
                q.exec();
            }
        }
    }
    loadSaved();
    const QStringList now = db_.isOpen() ? db_.tables() : QStringList();
    return now.contains(QLatin1String(kSavedTable)) && now.contains(QLatin1String(kWorkTable));
}

bool EditCavitywidget::selectRow(const QString& table, int slot, QString* column) const
{
    if (!db_.isOpen())
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("select CavityName from %1 where Camera=?").arg(table));
    q.addBindValue(rowKey(slot));
    if (!q.exec() || !q.next())
        return false;
    *column = q.value(0).toString();
    return true;
}

void EditCavitywidget::loadSaved()
{
    for (int slot = 0; slot < 8; ++slot) {
        QString column;
        savedRow_[slot] = selectRow(QString::fromLatin1(kSavedTable), slot, &column);
        const QStringList names = savedRow_[slot] ? SplitNames(column) : QStringList();
        for (int k = 0; k < kCavities; ++k)
            saved_[slot][k] = k < names.size() ? names[k] : QString();
    }
}

void EditCavitywidget::Initialize(const QString& source, const QString& target)
{
    for (int slot = 0; slot < 8; ++slot) {
        QString column;
        if (!selectRow(source, slot, &column))
            continue;
        QSqlQuery q(db_);
        q.prepare(QStringLiteral("update %1 set CavityName=:CavityName where Camera=:Camera").arg(target));
        q.bindValue(QStringLiteral(":CavityName"), column);
        q.bindValue(QStringLiteral(":Camera"), rowKey(slot));
        if (!q.exec())
            LOG(ERROR) << kFile << ": " << target.toStdString() << " " << rowKey(slot).toStdString()
                       << " not written: " << q.lastError().text().toStdString();
    }
    // The views always show what is saved (a copy that failed leaves the
    // saved names, and the lookups, as they were).
    loadSaved();
    if (!labelView_)
        return;
    for (int slot = 0; slot < numCamera && slot < 8; ++slot)
        if (savedRow_[slot])
            labelView_(slot, QStringList(saved_[slot], saved_[slot] + kCavities));
}

void EditCavitywidget::init()
{
    Initialize(QString::fromLatin1(kSavedTable), QString::fromLatin1(kWorkTable));
    changeCamera();
}

void EditCavitywidget::changeCamera()
{
    QString column;
    if (!selectRow(QString::fromLatin1(kWorkTable), currentCamera, &column))
        return;
    const QStringList names = SplitNames(column);
    for (int i = 0; i < kCavities; ++i)
        nameEdit[i]->setText(names[i]);
}

QString EditCavitywidget::editedColumn() const
{
    const QStringList defaults = DefaultNames();
    QStringList names;
    for (int i = 0; i < kCavities; ++i) {
        const QString name = withoutWhiteSpace(nameEdit[i]->text());
        names << (name.isEmpty() ? defaults[i] : name);
    }
    return names.join(QLatin1Char(' '));
}

bool EditCavitywidget::writeEdits()
{
    if (!db_.isOpen())
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("update %1 set CavityName=? where Camera=?").arg(QLatin1String(kWorkTable)));
    q.addBindValue(editedColumn());
    q.addBindValue(rowKey(currentCamera));
    if (q.exec())
        return true;
    LOG(ERROR) << kFile << ": edits of " << rowKey(currentCamera).toStdString()
               << " not kept: " << q.lastError().text().toStdString();
    return false;
}

QString EditCavitywidget::getResult(int camera, int index) const
{
    if (camera < 0 || camera >= numCamera || camera >= 8 || index < 0 || index >= kCavities || !savedRow_[camera])
        return {};
    return saved_[camera][index];
}

void EditCavitywidget::SlotChangeCam(int index)
{
    writeEdits();
    const QVariant slot = cameraBox->itemData(index);
    currentCamera = slot.isValid() ? slot.toInt() : index;
    changeCamera();
}

void EditCavitywidget::Accept()
{
    writeEdits();
    Initialize(QString::fromLatin1(kWorkTable), QString::fromLatin1(kSavedTable));
    backToSettings();
}

void EditCavitywidget::Reject()
{
    backToSettings();
}

void EditCavitywidget::backToSettings()
{
    hide();
    if (settingsDialog)
        settingsDialog->showPage();
}

void EditCavitywidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (gpNumCharPad)
        gpNumCharPad->HideUpdate();
    QWidget::mouseReleaseEvent(event);
}

void EditCavitywidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPixmap(p, rect(), gpPixmapBG);
}

void EditCavitywidget::showEvent(QShowEvent* event)
{
    // Centred on the main window, which covers the screen.
    adjustSize();
    move(std::max(0, (gShowW - width()) / 2), std::max(0, (gShowH - height()) / 2));
    QWidget::showEvent(event);
}

void EditCavitywidget::hideEvent(QHideEvent* event)
{
    if (Edit* target = keypadHost().keypadTarget()) {
        target->clearFocus();
        keypadHost().setKeypadTarget(nullptr);
    }
    if (gpNumPad)
        gpNumPad->HideUpdate();
    if (gpNumCharPad)
        gpNumCharPad->HideUpdate();
    QWidget::hideEvent(event);
}
