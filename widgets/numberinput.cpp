#include "numberinput.h"

#include "colorbutton.h"
#include "edit.h"
#include "editbox.h"
#include "keypadhost.h"
#include "kitlayout.h"
#include "messages.h"

#include <QButtonGroup>
#include <QPaintEvent>
#include <QPainter>
#include <climits>

NumberInput* gpNumPad = nullptr;

void PaintKeypadBackground(QWidget* pad, QPaintEvent* event)
{
    QPainter p(pad);
    p.fillRect(event->rect(), QColor(255, 251, 240, 200));
    p.setPen(QColor(QStringLiteral("#191532")));
    p.drawRect(0, 0, pad->width() - 1, pad->height() - 1);
}

NumberInput::NumberInput(QWidget* parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::CustomizeWindowHint);
    setFocusPolicy(Qt::NoFocus);
    const bool large = IsLargeLayout();
    const int kw = large ? 100 : 80, kh = large ? 70 : 45, g = large ? 5 : 6;
    resize(large ? 427 : 345, large ? 230 : 155);

    auto place = [&](ColorButton* key, int col, int row) {
        key->setFocusPolicy(Qt::NoFocus);
        key->setGeometry(5 + col * (kw + g), 5 + row * (kh + g), kw, kh);
    };
    keyGroup = new QButtonGroup(this);
    for (int id = 0; id < 10; ++id) {
        digitKeys[id] = new ColorButton(QString::number((id + 1) % 10), this, ColorButtonSizeNormal);
        keyGroup->addButton(digitKeys[id], id);
        place(digitKeys[id], id % 4, id / 4);
    }
    backspaceKey = new ColorButton(Msg(157), this, ColorButtonSizeNormal);
    place(backspaceKey, 2, 2);
    confirmKey = new ColorButton(Msg(121), this, ColorButtonSizeNormal);
    place(confirmKey, 3, 2);

    connect(keyGroup, &QButtonGroup::idClicked, this, &NumberInput::setContent);
    connect(confirmKey, &QPushButton::clicked, this, &NumberInput::HideUpdate);
    connect(backspaceKey, &QPushButton::clicked, this, &NumberInput::eraseContent);
    hide();
}

NumberInput::~NumberInput() = default;

void NumberInput::setContent(int id)
{
    Edit* target = keypadHost().keypadTarget();
    if (!target || id < 0 || id > 9)
        return;
    const QString digit = digitKeys[id]->text();
    if (auto* param = qobject_cast<EditParam*>(target); param && param->box) {
        EditBox* box = param->box;
        const int d = digit.toInt();
        // Built in 64 bits: a long digit string must not wrap around.
        const qint64 next = firstKey ? d : qint64(box->value()) * 10 + d;
        firstKey = false;
        box->setValue(int(qBound(qint64(INT_MIN), next, qint64(INT_MAX))));
    } else {
        if (firstKey) {
            firstKey = false;
            target->setText(digit);
        } else {
            target->setText(target->text() + digit);
        }
    }
    target->setCursorPosition(target->text().length());
}

void NumberInput::eraseContent()
{
    Edit* target = keypadHost().keypadTarget();
    if (!target)
        return;
    if (auto* param = qobject_cast<EditParam*>(target); param && param->box) {
        // The box's value is what counts: dropping the last digit of the
        // value keeps the shown text and the value the same.  Once no digit
        // is left the next one starts a new number, as in a plain field
        // (the limits may show the minimum instead of an empty field).
        const int rest = param->box->value() / 10;
        if (rest == 0)
            firstKey = true;
        param->box->setValue(rest);
        target->setCursorPosition(target->text().length());
        return;
    }
    QString text = target->text();
    text.chop(1);
    target->setText(text);
    target->setCursorPosition(text.isEmpty() ? 0 : text.length() - 1);
    if (text.isEmpty())
        firstKey = true;
}

void NumberInput::eraseAll()
{
    firstKey = true;
    Edit* target = keypadHost().keypadTarget();
    if (!target)
        return;
    target->setText(QString());
    target->setCursorPosition(0);
}

void NumberInput::HideUpdate()
{
    KeypadHost& host = keypadHost();
    if (isVisible()) {
        hide();
        host.repaintMainWindow();
    }
    if (host.passwordBoxVisible()) {
        emit chkpassword();
        return;
    }
    if (Edit* target = host.keypadTarget())
        target->clearFocus();
}

void NumberInput::mousePressEvent(QMouseEvent*)
{
}

void NumberInput::mouseReleaseEvent(QMouseEvent*)
{
}

void NumberInput::paintEvent(QPaintEvent* event)
{
    PaintKeypadBackground(this, event);
}
