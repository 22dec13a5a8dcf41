#include "settingslayout.h"

#include "checkbox.h"
#include "editbox.h"
#include "kitlayout.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QStringList>

namespace {
bool gValid = false;
SettingsMetrics gMetrics;

SettingsMetrics compute()
{
    SettingsMetrics m;
    if (!IsLargeLayout()) {
        m.form = SettingsMetrics::Small;
        m.dialogSize = QSize(qMin(700, gShowW), qMin(500, gShowH));
        // Eight delay rows and the filter fit above the page buttons only
        // with the rows packed.
        m.rowSpacing = 1;
        m.headerHeight = 22;
        m.comboWidth = 100;
        return m;
    }
    if (gShowW >= 1800 && gShowH >= 950) {
        m.form = SettingsMetrics::Large;
        m.dialogSize = QSize(1800, 950);
        m.margin = 16;
        m.titleHeight = 50;
        m.headerHeight = 40;
        m.rowHeight = 50;
        m.rowSpacing = 10;
        m.fontPx = 25;
        m.boxFontPx = 28;
        m.indicator = 32;
        m.headerPx = 30;
        m.notePx = 20;
        m.labelPx = 24;
        m.titlePx = 34;
        m.versionWidth = 300;
        m.comboWidth = 220;
        m.labelWidth = 300;
        m.pageButton = QSize(200, 60);
        m.actionButton = QSize(220, 60);
        m.numberWidth = 855;
        m.rowSize = KitRowSize::Large;
        return m;
    }
    m.form = SettingsMetrics::Fitted;
    m.dialogSize = QSize(qMin(1800, gShowW), qMin(950, gShowH));
    m.margin = 12;
    m.titleHeight = 40;
    m.headerHeight = 30;
    m.rowHeight = 38;
    m.rowSpacing = 8;
    m.fontPx = 20;
    m.boxFontPx = 18;
    m.indicator = 24;
    m.headerPx = 22;
    m.notePx = 15;
    m.labelPx = 18;
    m.titlePx = 26;
    m.versionWidth = 220;
    m.comboWidth = 170;
    m.labelWidth = 210;
    m.pageButton = QSize(150, 46);
    m.actionButton = QSize(160, 46);
    m.rowSize = KitRowSize::Medium;
    m.numberWidth = 120 + 4 * 80 + 100 + 5 * 6;
    return m;
}
}

const SettingsMetrics& settingsMetrics()
{
    if (!gValid) {
        gMetrics = compute();
        gValid = true;
    }
    return gMetrics;
}

void resetSettingsMetrics() { gValid = false; }

void FitEditBox(EditBox* box)
{
    // The medium row fits its caption itself; the others wrap a long one.
    if (box->rowSize != KitRowSize::Medium) {
        QLabel* label = box->captionLabel;
        label->setWordWrap(true);
        // The caption's box is fixed: a caption that wraps into more lines
        // than it holds is set smaller instead of cut at the bottom.
        QFont font = label->font();
        while (font.pixelSize() > 10 && label->heightForWidth(label->width()) > label->height()) {
            font.setPixelSize(font.pixelSize() - 1);
            label->setFont(font);
        }
        // Still too long at the smallest size: the row grows to its lines.
        if (label->heightForWidth(label->width()) > label->height())
            label->setFixedHeight(label->heightForWidth(label->width()));
    }
    // The column's spacing separates the rows, not the row's own margins.
    box->rowLayout->setContentsMargins(0, 0, 0, 0);
}

QString WrapText(const QString& text, const QFont& font, int width)
{
    const QFontMetrics fm(font);
    if (width <= 0 || fm.horizontalAdvance(text) <= width)
        return text;
    // Pieces: words of Latin text with their following space, single
    // characters of Chinese text.
    QStringList pieces;
    QString word;
    for (QChar ch : text) {
        if (ch.unicode() >= 0x2e80) {
            if (!word.isEmpty())
                pieces << word;
            word.clear();
            pieces << QString(ch);
        } else if (ch == QLatin1Char(' ')) {
            pieces << word + ch;
            word.clear();
        } else {
            word += ch;
        }
    }
    if (!word.isEmpty())
        pieces << word;
    QString out;
    QString line;
    for (const QString& piece : pieces) {
        if (!line.isEmpty() && fm.horizontalAdvance(line + piece.trimmed()) > width) {
            out += line.trimmed() + QLatin1Char('\n');
            line.clear();
        }
        line += piece;
    }
    return out + line.trimmed();
}

void FitCheckBox(CheckBox* box, int width)
{
    // The small dialog's columns are narrow: its check boxes take a size
    // below the kit's small row.
    if (settingsMetrics().form == SettingsMetrics::Small)
        box->setFont(MicroHei(12));
    box->setText(WrapText(box->text(), box->font(), width - box->indicatorSide - 20));
    // Every line of a wrapped caption shows: the column gives the box the
    // height of its lines.
    const int lines = int(box->text().count(QLatin1Char('\n'))) + 1;
    box->setMinimumHeight(lines * QFontMetrics(box->font()).height());
}

QFont FitFont(QFont font, const QString& text, const QSize& room, int flags)
{
    const QRect all(QPoint(0, 0), room);
    while (font.pixelSize() > 9) {
        const QRect need = QFontMetrics(font).boundingRect(all, flags, text);
        if (need.width() <= room.width() && need.height() <= room.height())
            break;
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

PageColumns MakePageColumns(QWidget* page, const SettingsMetrics& m, int minBoxWidth)
{
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(m.margin);
    PageColumns c{new QVBoxLayout, new QVBoxLayout, new QVBoxLayout, new QVBoxLayout, 0};
    for (QVBoxLayout* col : {c.left, c.middle, c.right, c.actions})
        col->setSpacing(m.rowSpacing);
    columns->addLayout(c.left);
    columns->addLayout(c.middle);
    columns->addLayout(c.right);
    columns->addStretch();
    columns->addLayout(c.actions);
    const int rest = m.dialogSize.width() - 2 * m.margin - m.numberWidth - 3 * m.margin - m.actionButton.width();
    c.boxWidth = qMax(minBoxWidth, rest / 2);
    return c;
}
