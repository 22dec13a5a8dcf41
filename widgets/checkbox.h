#pragma once
// The styled check box: yellow text, a picture for the ticked state.
#include <QCheckBox>

class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    CheckBox(QWidget* parent, const QString& text);
    ~CheckBox() override;

    int value() const;       // 1 when ticked, else 0
    void setValue(int v);    // ticked for any non-zero v
};
