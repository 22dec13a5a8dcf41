#include "choosebox.h"

#include "colorbutton.h"
#include "kitlayout.h"
#include "messages.h"

ChooseBox* gpChooseBox = nullptr;

ChooseBox::ChooseBox(QWidget* parent)
    : KitBox(parent)
{
    yesButton = new ColorButton(Msg(122), this, ColorButtonSizeNormal);
    noButton = new ColorButton(Msg(123), this, ColorButtonSizeNormal);
    if (IsLargeLayout()) {
        yesButton->setGeometry(100, height() - 150, 220, 100);
        noButton->setGeometry(width() - 320, height() - 150, 220, 100);
    } else {
        yesButton->setGeometry(30, 105, 140, 60);
        noButton->setGeometry(240, 105, 140, 60);
    }
    connect(yesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(noButton, &QPushButton::clicked, this, &QDialog::reject);
}

ChooseBox::~ChooseBox() = default;

void ChooseBox::paintEvent(QPaintEvent*)
{
    PaintBox(this, message, QRect(0, 0, width(), height() / 2), Qt::AlignCenter, true);
}

bool AskYes(int messageId, const QString& text)
{
    if (!gpChooseBox)
        return false;
    gpChooseBox->setText(text.isNull() ? Msg(messageId) : text, messageId);
    return gpChooseBox->exec() == 1;
}
