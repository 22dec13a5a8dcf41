#pragma once
// The set-clock dialog: a date and a time editor, Confirm (1) and Cancel (0).
#include "choosebox.h"

class EditDateTime;

class ModifyTimeWidget : public ChooseBox {
    Q_OBJECT
public:
    explicit ModifyTimeWidget(QWidget* parent = nullptr);
    ~ModifyTimeWidget() override;

    EditDateTime* dateTimeEdit = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
};
