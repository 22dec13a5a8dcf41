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
