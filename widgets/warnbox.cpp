#include "warnbox.h"

#include "colorbutton.h"
#include "keypadhost.h"
#include "kitlayout.h"
#include "messages.h"
#include "modalhook.h"
#include "pixmaps.h"

#include <QPainter>

WarnBox* gpWarnBox = nullptr;

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

WarnBox::WarnBox(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::CustomizeWindowHint);
    setGeometry(CentredBoxGeometry());
    okButton = new ColorButton(Msg(121), this, ColorButtonSizeNormal);
    if (IsLargeLayout())
        okButton->setGeometry((width() - 220) / 2, height() - 150, 220, 100);
    else
        okButton->setGeometry(140, 105, 140, 60);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    // Explicitly hidden, so that showing a new parent does not show the box.
    hide();
}

WarnBox::~WarnBox() = default;

void WarnBox::setText(const QString& text, int id)
{
    message = text;
    messageId = id;
}

int WarnBox::exec()
{
    if (modal::hooked())
        return modal::answer({QString::fromLatin1(metaObject()->className()), messageId, message});
    return QDialog::exec();
}

void WarnBox::paintEvent(QPaintEvent*)
{
    PaintBox(this, message, QRect(0, 5, width(), height() / 2), Qt::AlignCenter, true);
}

void WarnBox::showEvent(QShowEvent* event)
{
    setGeometry(CentredBoxGeometry());
    // A notice must be readable: a dark panel is lit again.
    KeypadHost& host = keypadHost();
    if (host.screenOff()) {
        host.switchScreenOn();
        if (host.screenOffSeconds() > 0)
            host.restartScreenOffTimer(host.screenOffSeconds() * 1000);
    }
    QDialog::showEvent(event);
}

void WarnBox::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
}
