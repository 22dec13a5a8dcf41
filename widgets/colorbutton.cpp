#include "colorbutton.h"

#include "kitlayout.h"
#include "messages.h"
#include "pixmaps.h"

#include <QPainter>

ColorButton::ColorButton(const QString& text, QWidget* parent, int sizeClass)
    : QPushButton(text, parent), sizeClass(sizeClass)
{
}

ColorButton::ColorButton(QPixmap picture, QWidget* parent)
    : QPushButton(parent), pictureOnly(true), picture(std::move(picture))
{
}

ColorButton::~ColorButton() = default;

void ColorButton::SetRepeat()
{
    setAutoRepeat(true);
    setAutoRepeatDelay(300);
    setAutoRepeatInterval(50);
}

QFont ColorButton::labelFont(int sizeClass)
{
    int px;
    if (!IsLargeLayout())
        px = gLan == LanSimplifiedChinese ? 16 : 13;
    else if (sizeClass == ColorButtonSizeLarge)
        px = gLan == LanSimplifiedChinese ? 33 : 30;
    else
        px = gLan == LanSimplifiedChinese ? 27 : 22;
    return MicroHei(px);
}

void ColorButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect all(0, 0, width(), height());
    if (pictureOnly) {
        if (!picture.isNull())
            p.drawPixmap(all, picture);
        return;
    }
    DrawPixmap(p, all, gpPixmapButton[isDown() ? 1 : 0]);
    p.setPen(Qt::white);
    p.setFont(paintFont());
    p.drawText(all, Qt::AlignCenter, text());
}

QFont ColorButton::paintFont() const
{
    // A label too wide for its key in another language, or too tall for a
    // key scaled down with its page, is drawn smaller rather than cut off;
    // a label of two lines needs the height of both.
    QFont font = labelFont(sizeClass);
    const QRect all(0, 0, width(), height());
    const int room = width() - 4;
    while (font.pixelSize() > 8) {
        const QRect need = QFontMetrics(font).boundingRect(all, Qt::AlignCenter, text());
        if (need.width() <= room && need.height() <= height())
            break;
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}
