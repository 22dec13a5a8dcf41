#pragma once
// The touch-calibration dialog: a question and a choice of 4, 9 or 25 points.
#include "choosebox.h"

class ComboBox;

class ChooseCaliNumWidget : public ChooseBox {
    Q_OBJECT
public:
    explicit ChooseCaliNumWidget(QWidget* parent = nullptr);
    ~ChooseCaliNumWidget() override;

    ComboBox* pointsCombo = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
};
