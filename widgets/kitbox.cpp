#include "kitbox.h"

#include "kitlayout.h"
#include "modalhook.h"
#include "pixmaps.h"

#include <QPainter>

QRect CentredBoxGeometry()
{
    if (IsLargeLayout())
        return QRect(gShowW / 2 - 375, gShowH / 2 - 185, 750, 370);
    return QRect(gShowW / 2 - 210, gShowH / 2 - 90, 420, 180);
}

QString DrawableMessage(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QFont FitMessageFont(const QFont& base, const QString& text, const QRect& rect, int* alignment)
{
    // A long text (often another language's) is drawn smaller rather than
    // cut off at the box's edge or hidden under a control; only when even
    // the smallest size does not fit are its lines wrapped.
    auto fits = [&](const QFont& f) {
        const QRect need = QFontMetrics(f).boundingRect(rect, *alignment, text);
        return need.width() <= rect.width() && need.height() <= rect.height();
    };
    QFont font = base;
    const int minPx = base.pixelSize() * 3 / 5;
    while (!fits(font) && font.pixelSize() > minPx)
        font.setPixelSize(font.pixelSize() - 1);
    if (!fits(font))
        *alignment |= Qt::TextWordWrap;
    return font;
}

void PaintBox(QWidget* box, const QString& message, const QRect& textRect, int alignment, bool frame)
{
    QPainter p(box);
    const int w = box->width(), h = box->height();
    DrawPixmap(p, QRect(0, 0, w, h), gpPixmapBG);
    if (!frame)
        return;
    p.setPen(Qt::red);
    const QString text = DrawableMessage(message);
    p.setFont(FitMessageFont(MicroHei(IsLargeLayout() ? 40 : 20), text, textRect, &alignment));
    p.drawText(textRect, alignment, text);
    p.setPen(QPen(Qt::white, 5));
    p.drawRect(0, 0, w - 1, h - 1);
}

KitBox::KitBox(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::CustomizeWindowHint);
    setGeometry(CentredBoxGeometry());
    hide();
}

void KitBox::setText(const QString& text, int id)
{
    message = text;
    messageId = id;
}

int KitBox::exec()
{
    if (modal::hooked())
        return modal::answer({QString::fromLatin1(metaObject()->className()), messageId, message});
    return QDialog::exec();
}

void KitBox::showEvent(QShowEvent* event)
{
    setGeometry(CentredBoxGeometry());
    QDialog::showEvent(event);
}
