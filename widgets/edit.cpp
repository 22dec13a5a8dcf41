#include "edit.h"

#include "globals.h"
#include "keypadhost.h"
#include "messages.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "utf8text.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

QString EditFrameStyleSheet()
{
    return QStringLiteral("QLineEdit{border-style:none;padding:1px;border-radius:5px;border:2px solid %1;}")
               .arg(QStringLiteral("#DCE4EC"))
        + QStringLiteral("QLineEdit:focus{border:2px solid %1;}").arg(QStringLiteral("#3498DB"));
}

Edit::Edit(int flags, QWidget* parent, int style)
    : QLineEdit(parent), flags(flags)
{
    if (style == 1)
        setStyleSheet(EditFrameStyleSheet());
}

Edit::~Edit() = default;

void Edit::setMaxBytes(int bytes)
{
    if (maxBytes_ == 0 && bytes > 0)
        connect(this, &QLineEdit::textChanged, this, &Edit::keepWithinMaxBytes);
    maxBytes_ = bytes;
    keepWithinMaxBytes();
}

void Edit::keepWithinMaxBytes()
{
    if (maxBytes_ <= 0)
        return;
    const QByteArray utf8 = text().toUtf8();
    if (utf8.size() <= maxBytes_)
        return;
    const QString t = QString::fromUtf8(utf8.left(Utf8CutLength(utf8, maxBytes_)));
    const int cursor = std::min(cursorPosition(), int(t.size()));
    setText(t);
    setCursorPosition(cursor);
}

void Edit::setValue(int v)
{
    setText(QString::number(v));
}

void Edit::setValue(double v)
{
    setText(QString::number(v, 'g', 6));
}

Edit::Placement Edit::keypadPlacement(const QSize& pad) const
{
    Placement out;
    QWidget* container = parentWidget();
    int x = this->x();
    int top = this->y() + height() + 5;
    if ((flags & EditFlagPadUp1) && container && container->parentWidget()) {
        x += container->x();
        top += container->y();
        container = container->parentWidget();
    }
    if (!container)
        return out;
    if (x + pad.width() > container->width())
        x = container->width() - pad.width();
    if (top + pad.height() >= gShowH - 49)
        top = top - pad.height() - 45;
    if (top + pad.height() > container->height())
        top = container->height() - pad.height();
    // A container smaller than the keypad must not push it off the screen.
    out.container = container;
    out.pos = QPoint(qMax(0, x), qMax(0, top));
    return out;
}

namespace {
// The keypads live for the whole run, but each opening puts one inside the
// touched field's container.  A container that goes away (a dialog made on
// the stack, a closed page) hands the keypad back before its children die.
class KeypadAnchor : public QObject {
public:
    static KeypadAnchor& instance()
    {
        static KeypadAnchor anchor;
        return anchor;
    }
    void containerGone(QObject* container)
    {
        for (QWidget* pad : {static_cast<QWidget*>(gpNumPad), static_cast<QWidget*>(gpNumCharPad)})
            if (pad && pad->parent() == container)
                pad->setParent(nullptr);
    }
};
}

void PlaceKeypad(QWidget* pad, QWidget* container, const QPoint& pos)
{
    QObject::connect(container, &QObject::destroyed, &KeypadAnchor::instance(), &KeypadAnchor::containerGone,
                     Qt::UniqueConnection);
    pad->setParent(container);
    pad->move(pos);
    pad->show();
    pad->raise();
}

void Edit::openKeypad()
{
    QWidget* pad = nullptr;
    if (flags & EditFlagCharPad) {
        pad = gpNumCharPad;
    } else if (gpNumPad) {
        gpNumPad->eraseAll();
        pad = gpNumPad;
    }
    if (!pad)
        return;
    const Placement where = keypadPlacement(pad->size());
    if (!where.container)
        return;
    PlaceKeypad(pad, where.container, where.pos);
}

bool Edit::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::FocusIn:
        if (echoMode() == QLineEdit::Password) {
            clear();
            clearFocus();
            setPlaceholderText(Msg(125));
        }
        keypadHost().setKeypadTarget(this);
        break;
    case QEvent::FocusOut:
        keypadHost().setKeypadTarget(nullptr);
        if (gpNumPad)
            gpNumPad->setVisible(false);
        if (gpNumCharPad)
            gpNumCharPad->setVisible(false);
        break;
    case QEvent::MouseButtonRelease:
        if (keypadHost().keypadTarget())
            openKeypad();
        break;
    default:
        break;
    }
    return QLineEdit::event(e);
}

void Edit::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Period) {
        emit sig_Dot();
    } else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (gpNumCharPad && gpNumCharPad->isVisible()) {
            gpNumCharPad->HideUpdate();
        } else if (gpNumPad && gpNumPad->isVisible()) {
            gpNumPad->HideUpdate();
        } else {
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0), mapToGlobal(QPointF(0, 0)),
                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(this, &release);
        }
    }
    QLineEdit::keyPressEvent(e);
}
