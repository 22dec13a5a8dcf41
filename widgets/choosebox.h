#pragma once
// The Yes/No box: a red question, YES (exec() returns 1) and NO (0).
// gpChooseBox is the shared instance.
#include "kitbox.h"

class ColorButton;

class ChooseBox : public KitBox {
    Q_OBJECT
public:
    explicit ChooseBox(QWidget* parent = nullptr);
    ~ChooseBox() override;

    ColorButton* yesButton = nullptr;
    ColorButton* noButton = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
};

extern ChooseBox* gpChooseBox;

// Asks message messageId (or text, when given) in gpChooseBox; true for
// YES, false for NO or without the shared box.
bool AskYes(int messageId, const QString& text = QString());
