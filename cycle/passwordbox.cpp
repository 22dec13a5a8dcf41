#include "passwordbox.h"

#include "clock.h"
#include "colorbutton.h"
#include "edit.h"
#include "keypadhost.h"
#include "kitlayout.h"
#include "messages.h"
#include "modalhook.h"
#include "numberinput.h"
#include "pixmaps.h"
#include "wizardpara.h"

#include <QPainter>

PasswordBox* gpPasswordBox = nullptr;

namespace {

// The box's rectangle, centred: the kit's box, except that the small layout
// grows to its full height at the first showing (the buttons sit below the
// height it is made with).
QRect PromptGeometry()
{
    if (IsLargeLayout())
        return CentredBoxGeometry();
    return QRect(gShowW / 2 - 210, gShowH / 2 - 120, 420, 240);
}

QRect CaptionRect()
{
    return IsLargeLayout() ? QRect(145, 75, 200, 40) : QRect(90, 40, 160, 40);
}

}

PasswordBox::PasswordBox(QWidget* parent)
    : KitBox(parent)
{
    const bool large = IsLargeLayout();
    okButton = new ColorButton(Msg(121), this, ColorButtonSizeNormal);
    cancelButton = new ColorButton(Msg(124), this, ColorButtonSizeNormal);
    passwordEdit = new Edit(5, this, 1);
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setFont(MicroHei(large ? 27 : 14));
    passwordEdit->setPlaceholderText(Msg(125));
    if (large) {
        passwordEdit->setGeometry(245, 70, 350, 50);
        okButton->setGeometry(100, 220, 220, 100);
        cancelButton->setGeometry(430, 220, 220, 100);
    } else {
        passwordEdit->setGeometry(140, 40, 160, 40);
        okButton->setGeometry(30, 125, 140, 60);
        cancelButton->setGeometry(240, 125, 140, 60);
    }
    setText(Msg(356), 356);
    connect(okButton, &QPushButton::clicked, this, &PasswordBox::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(passwordEdit, &QLineEdit::textChanged, this, &PasswordBox::SlotTextChanged);
    ConnectKeypad();
}

PasswordBox::~PasswordBox()
{
    // The shared prompt goes with the window it was re-parented to.
    if (gpPasswordBox == this)
        gpPasswordBox = nullptr;
}

void PasswordBox::ConnectKeypad()
{
    // The keypad may be made after the prompt; every opening makes sure.
    if (gpNumPad)
        connect(gpNumPad, &NumberInput::chkpassword, this, &PasswordBox::SlotKeypadConfirm, Qt::UniqueConnection);
}

void PasswordBox::SlotKeypadConfirm()
{
    // Every prompt hears the keypad; a hidden one or a one-shot dialog must
    // not check its field.
    if (isVisible() && submitsByKeypad())
        accept();
}

void PasswordBox::Prepare()
{
    okButton->setText(Msg(121));
    cancelButton->setText(Msg(124));
    setText(Msg(356), 356);
    errorState = 0;
    passwordEdit->clear();
    passwordEdit->setPlaceholderText(Msg(125));
    ConnectKeypad();
}

bool PasswordBox::Check()
{
    const WizardPara* para = gpWPara;
    const int granted = para ? AccessLevelFor(passwordEdit->text(), *para, prompt(), appClock().now()) : 0;
    Grant(granted);
    if (granted != 0) {
        errorState = 0;
        return true;
    }
    // Emptied before the hint is set: the emptying itself must not consume it.
    passwordEdit->clear();
    errorState = 2;
    passwordEdit->setPlaceholderText(Msg(357));
    return false;
}

void PasswordBox::Grant(int level)
{
    if (accessLevel_)
        *accessLevel_ = level;
}

void PasswordBox::accept()
{
    if (Check())
        QDialog::accept();
}

int PasswordBox::exec()
{
    if (!modal::hooked())
        return QDialog::exec();
    Prepare();
    // The request names the prompt and its caption, never a text.
    const ModalRequest request{QString::fromLatin1(metaObject()->className()), 356, Msg(356)};
    int result = QDialog::Rejected;
    while (const std::optional<QString> entry = modal::answerText(request)) {
        passwordEdit->setText(*entry);
        if (Check()) {
            result = QDialog::Accepted;
            break;
        }
    }
    passwordEdit->clear();
    setResult(result);
    return result;
}

void PasswordBox::SlotTextChanged(const QString& text)
{
    if (!text.isEmpty()) {
        passwordEdit->setPlaceholderText(QString());
        return;
    }
    if (errorState == 2) {
        errorState = 0;
        passwordEdit->setPlaceholderText(Msg(357));
    } else {
        passwordEdit->setPlaceholderText(Msg(125));
    }
}

void PasswordBox::showEvent(QShowEvent* event)
{
    Prepare();
    KitBox::showEvent(event);
    setGeometry(PromptGeometry());
}

void PasswordBox::hideEvent(QHideEvent* event)
{
    // Nothing typed outlives the prompt, accepted or cancelled.
    passwordEdit->clear();
    KeypadHost& host = keypadHost();
    if (Edit* target = host.keypadTarget()) {
        target->clearFocus();
        host.setKeypadTarget(nullptr);
    }
    if (gpNumPad)
        gpNumPad->HideUpdate();
    KitBox::hideEvent(event);
}

void PasswordBox::mouseReleaseEvent(QMouseEvent* event)
{
    // Closing the keypad submits the login prompt while it shows.
    if (gpNumPad)
        gpNumPad->HideUpdate();
    KitBox::mouseReleaseEvent(event);
}

void PasswordBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    DrawPixmap(p, rect(), gpPixmapBG);
    p.setPen(Qt::yellow);
    p.setFont(MicroHei(IsLargeLayout() ? 40 : 20));
    p.drawText(CaptionRect(), Qt::AlignLeft | Qt::AlignVCenter, DrawableMessage(message));
    p.setPen(QPen(Qt::white, 5));
    p.drawRect(0, 0, width() - 1, height() - 1);
}

PasswordDialog::PasswordDialog(QWidget* parent)
    : PasswordBox(parent)
{
}

void PasswordDialog::Prepare()
{
    level = 0;
    PasswordBox::Prepare();
}

PasswordPromptGate::~PasswordPromptGate()
{
    // A dialog with a parent goes with it.
    if (stopDialog_ && !stopDialog_->parent())
        delete stopDialog_;
}

void PasswordPromptGate::execPasswordBox()
{
    if (gpPasswordBox)
        gpPasswordBox->exec();
}

bool PasswordPromptGate::execStopPasswordDialog(int* level)
{
    if (!stopDialog_)
        stopDialog_ = new PasswordDialog(dialogParent_);
    if (stopDialog_->exec() != QDialog::Accepted)
        return false;
    *level = stopDialog_->level;
    return true;
}
