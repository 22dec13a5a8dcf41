#pragma once
// The password prompts.  PasswordBox is the login prompt: a right entry
// raises the window's access level, a wrong one drops it to none and the
// box stays open.  PasswordDialog only reports which code was entered, for
// one protected action, and never touches the access level.  Both check
// through AccessLevelFor; neither keeps nor reports what was typed.
#include "accesscheck.h"
#include "kitbox.h"
#include "runcontrol.h"

#include <QPointer>

class ColorButton;
class Edit;

class PasswordBox : public KitBox {
    Q_OBJECT
public:
    explicit PasswordBox(QWidget* parent = nullptr);
    ~PasswordBox() override;

    ColorButton* okButton = nullptr;
    ColorButton* cancelButton = nullptr;
    Edit* passwordEdit = nullptr;
    // 2 after a refused entry until the field is emptied again, else 0.
    int errorState = 0;

    // The access level the login prompt writes (the main window's).
    void bindAccessLevel(int* level) { accessLevel_ = level; }

    // Runs the prompt modally.  When the modal hook answers, each answered
    // text is checked as if typed and confirmed, and a refused one is
    // followed by the next answer (the real box stays open); no answer is
    // Cancel.  The field is empty again once the prompt closes.
    int exec() override;

public slots:
    void accept() override;
    void SlotTextChanged(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // What each opening resets (also when the hook answers, without showing).
    virtual void Prepare();
    virtual PasswordPrompt prompt() const { return PasswordPrompt::LoginBox; }
    // Writes the level the entry granted (0 for a refused entry).
    virtual void Grant(int level);
    // The keypad's Confirm submits the login prompt only.
    virtual bool submitsByKeypad() const { return true; }

private slots:
    void SlotKeypadConfirm();

private:
    // Checks the field: true when accepted; a refusal empties the field and
    // shows the hint.
    bool Check();
    void ConnectKeypad();

    int* accessLevel_ = nullptr;
};

class PasswordDialog : public PasswordBox {
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget* parent = nullptr);

    // The result of the last check: 2 service code, 1 parameter password, 0 none.
    int level = 0;

protected:
    // Each opening starts from level 0, so a cancelled dialog reports none.
    void Prepare() override;
    PasswordPrompt prompt() const override { return PasswordPrompt::OneShotDialog; }
    void Grant(int granted) override { level = granted; }
    bool submitsByKeypad() const override { return false; }
};

// The login prompt, made by the main window.
extern PasswordBox* gpPasswordBox;

// The prompts behind the run control's gates: the login prompt
// gpPasswordBox, and the stop permission's own dialog, made under
// dialogParent on first use and kept.
class PasswordPromptGate : public AccessGate {
public:
    explicit PasswordPromptGate(QWidget* dialogParent) : dialogParent_(dialogParent) {}
    ~PasswordPromptGate() override;

    void execPasswordBox() override;
    bool execStopPasswordDialog(int* level) override;

private:
    QWidget* dialogParent_;
    QPointer<PasswordDialog> stopDialog_;
};
