#include "editbox.h"

#include "colorbutton.h"
#include "kitlayout.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <climits>

namespace {
// Pixel sizes of one row size.
struct RowMetrics {
    int font;            // caption and number
    QSize caption, button, field;
    int spacing;
    int unitChar;        // unit font size and width of one unit character
    int unitHeight;
    bool unitPadClear;   // the unit's side padding is kept free of the text too
};

RowMetrics rowMetrics(KitRowSize size)
{
    switch (size) {
    case KitRowSize::Large:
        return {27, {160, 50}, {127, 50}, {137, 50}, 10, 27, 50, true};
    case KitRowSize::Medium:
        // Five characters ("999.9", "10000") beside a two-letter unit.
        return {20, {120, 38}, {80, 38}, {110, 38}, 6, 16, 38, true};
    default:
        return {12, {65, 28}, {40, 28}, {50, 28}, 5, 10, 30, false};
    }
}

// A medium caption never drawn smaller than this; it wraps first.
constexpr int kMediumCaptionMinFont = 12;
}

EditParam::EditParam(EditBox* box, const QString& unit, KitRowSize size)
    : Edit(9, box, 1), box(box)
{
    const RowMetrics m = rowMetrics(ResolveRowSize(size));
    if (!unit.isEmpty()) {
        unitCharWidth = m.unitChar;
        unitLabel = new QLabel(unit, this);
        unitLabel->setFixedSize(unitCharWidth * int(unit.length()) + 10, m.unitHeight);
        unitLabel->setFont(MicroHei(unitCharWidth));
        unitLabel->setAlignment(Qt::AlignCenter);
        // The typed text never runs under the unit.  The small field is too
        // narrow to also keep the label's side padding free: there only the
        // unit's characters are kept clear, or "99.9" would not show whole.
        setTextMargins(0, 0, m.unitPadClear ? unitLabel->width() : unitCharWidth * int(unit.length()), 0);
        auto* row = new QHBoxLayout(this);
        row->setSpacing(0);
        row->setContentsMargins(0, 0, 0, 0);
        row->addStretch();
        row->addWidget(unitLabel);
        connect(this, &QLineEdit::textChanged, this, &EditParam::ChangeLabelP);
    }
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

EditParam::~EditParam() = default;

void EditParam::ChangeLabelP(const QString& text)
{
    if (!unitLabel)
        return;
    // The unit follows the right end of the centred number, whose digits
    // are half the font size wide; it never leaves the field.
    const int px = font().pixelSize() > 0 ? font().pixelSize() : 27;
    unitLabelX = (width() - unitLabel->width() + int(text.length() * px * 0.5)) / 2;
    unitLabelX = qMin(unitLabelX, width() - unitLabel->width());
    unitLabel->move(unitLabelX, 1);
}

void EditParam::focusOutEvent(QFocusEvent* event)
{
    emit focusOut();
    QLineEdit::focusOutEvent(event);
}

EditBox::EditBox(int min, int max, QWidget* parent, const QString& caption, QString unit, int type,
                 int scale, KitRowSize size)
    : QWidget(parent), rangeMin(min), rangeMax(max), currentValue(min), scale(qMax(1, scale)),
      type(type), rowSize(ResolveRowSize(size))
{
    const RowMetrics m = rowMetrics(rowSize);
    const QFont font = MicroHei(m.font);

    captionLabel = new QLabel(caption, this);
    captionLabel->setFixedSize(m.caption);
    captionLabel->setFont(font);
    SetTextColor(captionLabel, Qt::yellow);
    captionLabel->setAlignment(Qt::AlignCenter);
    fitCaption();

    auto stepButton = [&](const QString& sign, int units) {
        const QString label = QStringLiteral("%1 %2").arg(sign, QString::number(double(units) / this->scale, 'g', 6));
        auto* b = new ColorButton(label, this, ColorButtonSizeNormal);
        b->SetRepeat();
        b->setFixedSize(m.button);
        return b;
    };
    minusFiveButton = stepButton(QStringLiteral("-"), 5);
    minusOneButton = stepButton(QStringLiteral("-"), 1);
    plusOneButton = stepButton(QStringLiteral("+"), 1);
    plusFiveButton = stepButton(QStringLiteral("+"), 5);
    connect(minusFiveButton, &QPushButton::clicked, this, &EditBox::SubFive);
    connect(minusOneButton, &QPushButton::clicked, this, &EditBox::SubOne);
    connect(plusOneButton, &QPushButton::clicked, this, &EditBox::AddOne);
    connect(plusFiveButton, &QPushButton::clicked, this, &EditBox::AddFive);

    valueField = new EditParam(this, unit, rowSize);
    valueField->setFixedSize(m.field);
    valueField->setFont(font);
    connect(valueField, &EditParam::focusOut, this, qOverload<>(&EditBox::CheckRange));

    rowLayout = new QHBoxLayout(this);
    rowLayout->setSpacing(m.spacing);
    rowLayout->addWidget(captionLabel);
    rowLayout->addWidget(minusFiveButton);
    rowLayout->addWidget(minusOneButton);
    rowLayout->addWidget(valueField);
    rowLayout->addWidget(plusOneButton);
    rowLayout->addWidget(plusFiveButton);
    rowLayout->setSizeConstraint(QLayout::SetFixedSize);

    // Until the owner loads a value the box holds its minimum.
    setValue();
}

EditBox::~EditBox() = default;

void EditBox::step(int delta)
{
    currentValue = int(qBound(qint64(INT_MIN), qint64(currentValue) + delta, qint64(INT_MAX)));
    CheckRange();
}

void EditBox::AddOne() { step(1); }
void EditBox::SubOne() { step(-1); }
void EditBox::AddFive() { step(5); }
void EditBox::SubFive() { step(-5); }

void EditBox::setValue(int v)
{
    currentValue = v;
    CheckRange();
}

void EditBox::setValue()
{
    if (type == EditBoxTypeScaled)
        valueField->setValue(double(currentValue) / scale);
    else
        valueField->setValue(currentValue);
}

void EditBox::CheckRange()
{
    int v = currentValue;
    if (v >= rangeMin) {
        if (v > rangeMax)
            v = rangeMax;
    } else if (!(v == 0 && use0)) {
        v = rangeMin;
    }
    currentValue = v;
    setValue();
    emit valueChanged(v);
}

void EditBox::setText(const QString& text)
{
    captionLabel->setText(text);
    fitCaption();
}

// The medium row is for pages fitted to a smaller screen: a caption that
// does not fit its label wraps, and is drawn smaller while even the wrapped
// text does not fit.  The small and large rows keep their fixed font.
void EditBox::fitCaption()
{
    if (rowSize != KitRowSize::Medium)
        return;
    const QRect room(QPoint(0, 0), captionLabel->size());
    const QString text = captionLabel->text();
    QFont font = MicroHei(rowMetrics(rowSize).font);
    auto fits = [&](const QFont& f) {
        const QRect need = QFontMetrics(f).boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, text);
        return need.width() <= room.width() && need.height() <= room.height();
    };
    while (font.pixelSize() > kMediumCaptionMinFont && !fits(font))
        font.setPixelSize(font.pixelSize() - 1);
    captionLabel->setWordWrap(QFontMetrics(font).horizontalAdvance(text) > room.width());
    captionLabel->setFont(font);
}
