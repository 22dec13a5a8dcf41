#include "hardwareconfigurationwidget.h"

#include "cameraglobals.h"
#include "colorbutton.h"
#include "kitlayout.h"
#include "messages.h"
#include "pagefit.h"
#include "pixmaps.h"
#include "settingspage.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>

#include <glog/logging.h>

namespace {

constexpr int kDesignW = 1500;
constexpr int kDesignH = 800;

// A line as text: carriage returns and the other control characters but
// TAB go (a file written on another system, or garbage).
QString cleanLine(const QString& line)
{
    QString out;
    out.reserve(line.size());
    for (const QChar c : line)
        if (c == QLatin1Char('\t') || !(c.category() == QChar::Other_Control || c.category() == QChar::Other_Format))
            out += c;
    return out;
}

// The file's text, or nothing when it cannot be read or is no text file.
bool readText(const QString& file, QString* text)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    if (f.size() > HardwareConfigurationWidget::kMaxFileBytes) {
        LOG(ERROR) << file.toStdString() << " has " << f.size() << " bytes: not a configuration file, not shown";
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (bytes.contains('\0')) {
        LOG(ERROR) << file.toStdString() << " is damaged (not text): not shown";
        return false;
    }
    *text = QString::fromUtf8(bytes);
    return true;
}

} // namespace

ConfigurationEntries ParseConfiguration(const QString& text)
{
    ConfigurationEntries entries;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = cleanLine(raw);
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'), Qt::KeepEmptyParts);
        QString name = fields.value(0);
        QString value = fields.value(1);
        name.replace(QLatin1Char('_'), QLatin1Char(' '));
        value.replace(QLatin1Char('_'), QLatin1Char(' '));
        entries.append({name, value});
    }
    return entries;
}

void HardwareConfigurationWidget::loadConfiguration(ConfigurationEntries& entries)
{
    entries.clear();
    QString text;
    if (readText(QStringLiteral("conf.txt"), &text))
        entries = ParseConfiguration(text);
}

bool HardwareConfigurationWidget::loadConfigurationnext(ConfigurationEntries& entries)
{
    entries.clear();
    QString text;
    if (!readText(QStringLiteral("confnext.txt"), &text))
        return false;
    entries = ParseConfiguration(text);
    return true;
}

HardwareConfigurationWidget::HardwareConfigurationWidget(QWidget* parent, SettingsPage* settingsDialog)
    : QWidget(parent), settingsDialog(settingsDialog)
{
    const PageFit fit = PageFit::forScreen(gShowW, gShowH, kDesignW, kDesignH);
    setGeometry(fit.centred(kDesignW, kDesignH, gShowW, gShowH));

    page1 = new QWidget(this);
    page1->setGeometry(rect());
    ConfigurationEntries entries;
    loadConfiguration(entries);
    QGridLayout* grid1 = buildPage(page1, entries, fit.px(10), &countLabel1);
    const int row1 = grid1->rowCount();
    confirmButton1 = new ColorButton(Msg(121), page1);
    nextButton1 = new ColorButton(Msg(569), page1);
    for (ColorButton* b : {confirmButton1, nextButton1})
        b->setFixedSize(fit.size(150, 50));
    grid1->addWidget(confirmButton1, row1, 0, 1, 2, Qt::AlignHCenter | Qt::AlignBottom);
    grid1->addWidget(nextButton1, row1, 3, 1, 2, Qt::AlignHCenter | Qt::AlignBottom);
    nextButton1->hide();
    connect(confirmButton1, &QPushButton::clicked, this, &HardwareConfigurationWidget::slotConfirm);
    connect(nextButton1, &QPushButton::clicked, this, &HardwareConfigurationWidget::slotNextpage);

    page2 = new QWidget(this);
    page2->setGeometry(rect());
    ConfigurationEntries next;
    if (loadConfigurationnext(next)) {
        QGridLayout* grid2 = buildPage(page2, next, fit.px(6), &countLabel2);
        // An empty second page stays unreachable.
        if (!next.isEmpty())
            nextButton1->show();
        const int row2 = grid2->rowCount();
        confirmButton2 = new ColorButton(Msg(121), page2);
        nextButton2 = new ColorButton(Msg(569), page2);
        for (ColorButton* b : {confirmButton2, nextButton2})
            b->setFixedSize(fit.size(150, 50));
        grid2->addWidget(confirmButton2, row2, 0, 1, 2, Qt::AlignHCenter | Qt::AlignBottom);
        grid2->addWidget(nextButton2, row2, 2, 1, 2, Qt::AlignHCenter | Qt::AlignBottom);
        connect(confirmButton2, &QPushButton::clicked, this, &HardwareConfigurationWidget::slotConfirm);
        connect(nextButton2, &QPushButton::clicked, this, &HardwareConfigurationWidget::slotNextpage);
    }
    page2->hide();
}

HardwareConfigurationWidget::~HardwareConfigurationWidget() = default;

QGridLayout* HardwareConfigurationWidget::buildPage(QWidget* page, const ConfigurationEntries& entries, int spacing,
                                                    QLabel** countLabel)
{
    const PageFit fit = PageFit::forScreen(gShowW, gShowH, kDesignW, kDesignH);
    const QFont font = fit.pixelFont(QString::fromLatin1(kMicroHeiFamily), 30);
    auto* grid = new QGridLayout(page);
    const int margin = fit.px(50);
    grid->setContentsMargins(margin, margin, margin, margin);
    grid->setSpacing(spacing);
    int row = 0;
    for (const auto& [name, value] : entries) {
        const QColor colour = value.isEmpty() ? Qt::cyan : Qt::yellow;
        auto* nameLabel = new QLabel(name, page);
        auto* valueLabel = new QLabel(value, page);
        for (QLabel* l : {nameLabel, valueLabel}) {
            l->setFont(font);
            SetTextColor(l, colour);
            l->setTextFormat(Qt::PlainText);
        }
        if (name == QLatin1String("Count")) {
            valueLabel->clear();
            *countLabel = valueLabel;
        }
        grid->addWidget(nameLabel, row, 0);
        grid->addWidget(valueLabel, row, 1);
        ++row;
    }
    return grid;
}

void HardwareConfigurationWidget::slotNextpage()
{
    const bool toSecond = currentPage == 1;
    page1->setVisible(!toSecond);
    page2->setVisible(toSecond);
    currentPage = toSecond ? 2 : 1;
}

void HardwareConfigurationWidget::slotConfirm()
{
    hide();
    if (settingsDialog)
        settingsDialog->showPage();
}

void HardwareConfigurationWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPixmap(p, rect(), gpPixmapBG);
}

void HardwareConfigurationWidget::showEvent(QShowEvent* event)
{
    if (countLabel1)
        countLabel1->setText(QString::number(gCameraID == CameraKindNone ? 0 : numCamera));
    QWidget::showEvent(event);
}
