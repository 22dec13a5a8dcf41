#pragma once
// The styled check box: yellow text, a picture for the ticked state.
#include "kitlayout.h"

#include <QCheckBox>

class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    // size: the screen's layout unless a page asks for another row size.
    CheckBox(QWidget* parent, const QString& text, KitRowSize size = KitRowSize::Layout);
    ~CheckBox() override;

    int value() const;       // 1 when ticked, else 0
    void setValue(int v);    // ticked for any non-zero v

    KitRowSize rowSize = KitRowSize::Small;   // resolved: Small, Medium or Large
    int indicatorSide = 16;
};
