#pragma once
// The one-button message box: a red message over the page background and
// one Confirm button.  gpWarnBox is the shared instance.
#include "kitbox.h"

class ColorButton;

class WarnBox : public KitBox {
    Q_OBJECT
public:
    explicit WarnBox(QWidget* parent = nullptr);
    ~WarnBox() override;

    ColorButton* okButton = nullptr;

    // Labels the button in the current language; the shared box is made
    // before the language is loaded.
    void Relabel();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

extern WarnBox* gpWarnBox;

// Shows message messageId (or text, when given) in gpWarnBox and waits for
// Confirm; nothing without the shared box.
void WarnMessage(int messageId, const QString& text = QString());
