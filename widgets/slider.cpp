#include "slider.h"

#include "colorbutton.h"
#include "edit.h"
#include "kitlayout.h"
#include "pixmaps.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace {
struct SliderLayout {
    int nameWidth;
    int boxX, boxY, boxW, boxShrink; // value box: (boxX, boxY, boxW, h - boxShrink)
    int minusX, buttonShiftY;
    int trackX, trackY, trackShrink;
    int fillY, fillShrink;
    int trackMargin;                 // w - trackMargin is the track width
    int buttonW, buttonH;
    int fontPx;
    int editH;
};

const SliderLayout kLarge{120, 135, 3, 80, 6, 220, -6, 295, 3, 6, 11, 22, 370, 70, 41, 30, 60};
const SliderLayout kSmall{64, 69, 8, 40, 16, 114, 0, 157, 8, 16, 16, 32, 202, 40, 28, 14, 40};

const SliderLayout& sliderLayout()
{
    return IsLargeLayout() ? kLarge : kSmall;
}
}

Slider::Slider(int min, int max, int pageStep, int value, QWidget* parent, const QString& name)
    : QAbstractSlider(parent)
{
    setOrientation(Qt::Horizontal);
    applySettings(min, max, pageStep, value, name);
    const SliderLayout& L = sliderLayout();
    plusButton = new ColorButton(QStringLiteral("+ 1"), this, ColorButtonSizeNormal);
    minusButton = new ColorButton(QStringLiteral("- 1"), this, ColorButtonSizeNormal);
    for (ColorButton* b : {plusButton, minusButton}) {
        b->SetRepeat();
        b->resize(L.buttonW, L.buttonH);
    }
    connect(plusButton, &QPushButton::clicked, this, &Slider::Add);
    connect(minusButton, &QPushButton::clicked, this, &Slider::Sub);

    valueEdit = new Edit(9, this, 1);
    valueEdit->setGeometry(0, 0, 0, L.editH);
    connect(valueEdit, &QLineEdit::textChanged, this, &Slider::SetText);
}

Slider::~Slider() = default;

void Slider::applySettings(int min, int max, int pageStep, int value, const QString& name)
{
    setObjectName(name);
    // A long name in another language is drawn smaller rather than cut off;
    // the name changes only here, so its font is fitted once.
    const SliderLayout& L = sliderLayout();
    nameFont = MicroHei(L.fontPx);
    const int minPx = L.fontPx * 3 / 5;
    while (nameFont.pixelSize() > minPx && QFontMetrics(nameFont).horizontalAdvance(name) > L.nameWidth)
        nameFont.setPixelSize(nameFont.pixelSize() - 1);
    setMinimum(min);
    setMaximum(max);
    setPageStep(pageStep);
    setValue(value);
    dragX = -1;
}

void Slider::Reset(int min, int max, int pageStep, int value, const QString& name)
{
    applySettings(min, max, pageStep, value, name);
    update();
}

void Slider::Add()
{
    setValue(value() + 1);
}

void Slider::Sub()
{
    setValue(value() - 1);
}

void Slider::SetText(const QString& text)
{
    // Opening the keypad empties the field: that is no entry yet.
    if (text.isEmpty())
        return;
    bool digitsOnly = true;
    for (const QChar c : text)
        digitsOnly = digitsOnly && c.isDigit() && c.unicode() < 128;
    if (!digitsOnly) {
        setValue(0);
        return;
    }
    bool ok = false;
    const uint v = text.toUInt(&ok);
    // A digit string too long for a number is more than any maximum.
    if (!ok || v > uint(maximum()))
        setValue(maximum());
    else
        setValue(int(v));
}

int Slider::fillLength() const
{
    const int range = maximum() - minimum();
    if (range <= 0)
        return 0;
    return int(float(fillWidth) * (float(value() - minimum()) / float(range)));
}

void Slider::mousePressEvent(QMouseEvent* event)
{
    const int x = int(event->position().x());
    dragX = (x >= knobX - 20 && x <= knobX + knobWidth + 19) ? x : -1;
}

void Slider::mouseMoveEvent(QMouseEvent* event)
{
    if (dragX < 1 || fillWidth <= 0)
        return;
    const int range = maximum() - minimum();
    if (range <= 0)
        return;
    const int x = int(event->position().x());
    const int delta = int(float(x - dragX) / float(fillWidth) * float(range));
    if (delta == 0)
        return;
    setValue(value() + delta);
    dragX = x;
}

void Slider::mouseReleaseEvent(QMouseEvent* event)
{
    dragX = -1;
    const int x = int(event->position().x());
    const SliderLayout& L = sliderLayout();
    if (x >= L.boxX && x < L.boxX + L.boxW)
        openValueKeypad();
}

void Slider::openValueKeypad()
{
    // The hidden field becomes the keypad target without taking the focus.
    QFocusEvent focusIn(QEvent::FocusIn, Qt::OtherFocusReason);
    QApplication::sendEvent(valueEdit, &focusIn);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0), valueEdit->mapToGlobal(QPointF(0, 0)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(valueEdit, &release);
}

void Slider::paintEvent(QPaintEvent*)
{
    const SliderLayout& L = sliderLayout();
    const int h = height();
    QPainter p(this);
    p.setPen(Qt::green);
    p.setFont(nameFont);
    p.drawText(QRect(0, 0, L.nameWidth, h), Qt::AlignLeft | Qt::AlignVCenter, objectName());
    p.setFont(MicroHei(L.fontPx));
    const QRect box(L.boxX, L.boxY, L.boxW, h - L.boxShrink);
    DrawPixmap(p, box, gpPixmapEdit);
    p.drawText(box, Qt::AlignCenter, QString::number(value()));
    DrawPixmap(p, QRect(L.trackX, L.trackY, trackWidth, h - L.trackShrink), gpPixmapSliderd);
    const int f = fillLength();
    DrawPixmap(p, QRect(L.trackX + fillOffset, L.fillY, f, h - L.fillShrink), gpPixmapSlideru);
    knobX = L.trackX + fillOffset + f;
    DrawPixmap(p, QRect(knobX, 3, knobWidth, h - 6), gpPixmapSlidert);
}

void Slider::resizeEvent(QResizeEvent* event)
{
    const SliderLayout& L = sliderLayout();
    const int w = width(), h = height();
    trackWidth = w - L.trackMargin;
    fillOffset = int(0.03 * trackWidth);
    fillWidth = int(0.95 * trackWidth);
    const int y = (h - 28) / 2 + L.buttonShiftY;
    minusButton->move(L.minusX, y);
    plusButton->move(w - L.buttonW, y);
    QAbstractSlider::resizeEvent(event);
}
