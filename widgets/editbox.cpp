#include "editbox.h"

#include "colorbutton.h"
#include "kitlayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <climits>

EditParam::EditParam(EditBox* box, const QString& unit)
    : Edit(9, box, 1), box(box)
{
    const bool large = IsLargeLayout();
    if (!unit.isEmpty()) {
        unitCharWidth = large ? 27 : 10;
        unitLabel = new QLabel(unit, this);
        unitLabel->setFixedSize(unitCharWidth * int(unit.length()) + 10, large ? 50 : 30);
        unitLabel->setFont(MicroHei(unitCharWidth));
        unitLabel->setAlignment(Qt::AlignCenter);
        // The typed text never runs under the unit.  The small field is too
        // narrow to also keep the label's side padding free: there only the
        // unit's characters are kept clear, or "99.9" would not show whole.
        setTextMargins(0, 0, large ? unitLabel->width() : unitCharWidth * int(unit.length()), 0);
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
                 int scale)
    : QWidget(parent), rangeMin(min), rangeMax(max), currentValue(min), scale(qMax(1, scale)),
      type(type)
{
    const bool large = IsLargeLayout();
    const QFont font = MicroHei(large ? 27 : 12);

    captionLabel = new QLabel(caption, this);
    captionLabel->setFixedSize(large ? 160 : 65, large ? 50 : 28);
    captionLabel->setFont(font);
    SetTextColor(captionLabel, Qt::yellow);
    captionLabel->setAlignment(Qt::AlignCenter);

    auto stepButton = [&](const QString& sign, int units) {
        const QString label = QStringLiteral("%1 %2").arg(sign, QString::number(double(units) / this->scale, 'g', 6));
        auto* b = new ColorButton(label, this, ColorButtonSizeNormal);
        b->SetRepeat();
        b->setFixedSize(large ? 127 : 40, large ? 50 : 28);
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

    valueField = new EditParam(this, unit);
    valueField->setFixedSize(large ? 137 : 50, large ? 50 : 28);
    valueField->setFont(font);
    connect(valueField, &EditParam::focusOut, this, qOverload<>(&EditBox::CheckRange));

    rowLayout = new QHBoxLayout(this);
    rowLayout->setSpacing(large ? 10 : 5);
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
}
