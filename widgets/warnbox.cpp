#include "warnbox.h"

#include "colorbutton.h"
#include "keypadhost.h"
#include "kitlayout.h"
#include "messages.h"


WarnBox* gpWarnBox = nullptr;

WarnBox::WarnBox(QWidget* parent)
    : KitBox(parent)
{
    okButton = new ColorButton(Msg(121), this, ColorButtonSizeNormal);
    if (IsLargeLayout())
        okButton->setGeometry((width() - 220) / 2, height() - 150, 220, 100);
    else
        okButton->setGeometry(140, 105, 140, 60);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

WarnBox::~WarnBox() = default;

void WarnBox::Relabel()
{
    okButton->setText(Msg(121));
}

void WarnBox::paintEvent(QPaintEvent*)
{
    PaintBox(this, message, QRect(0, 5, width(), height() / 2), Qt::AlignCenter, true);
}

void WarnBox::showEvent(QShowEvent* event)
{
    // A notice must be readable: a dark panel is lit again.
    KeypadHost& host = keypadHost();
    if (host.screenOff()) {
        host.switchScreenOn();
        if (host.screenOffSeconds() > 0)
            host.restartScreenOffTimer(host.screenOffSeconds() * 1000);
    }
    KitBox::showEvent(event);
}

void WarnMessage(int messageId, const QString& text)
{
    if (!gpWarnBox)
        return;
    gpWarnBox->setText(text.isNull() ? Msg(messageId) : text, messageId);
    gpWarnBox->exec();
}
