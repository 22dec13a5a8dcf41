#pragma once
// A labelled number row: caption, -5, -1, the keypad field, +1, +5.  The
// value is a raw integer kept inside [min, max]; it is shown as is or
// divided by a scale.
#include "edit.h"
#include "kitlayout.h"

#include <QWidget>

class ColorButton;
class EditBox;
class QHBoxLayout;
class QLabel;

enum EditBoxType { EditBoxTypeInt = 0, EditBoxTypeScaled = 2 };

// The number field of an EditBox; the numeric keypad writes its digits into
// the owning box.
class EditParam : public Edit {
    Q_OBJECT
public:
    EditParam(EditBox* box, const QString& unit, KitRowSize size = KitRowSize::Layout);
    ~EditParam() override;

    EditBox* box = nullptr;
    QLabel* unitLabel = nullptr;
    int unitCharWidth = 0;
    int unitLabelX = 0;

signals:
    void focusOut();

public slots:
    void ChangeLabelP(const QString& text);

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

class EditBox : public QWidget {
    Q_OBJECT
public:
    // size: the screen's layout unless a page asks for another row size.
    EditBox(int min, int max, QWidget* parent, const QString& caption, QString unit = QString(),
            int type = EditBoxTypeInt, int scale = 1, KitRowSize size = KitRowSize::Layout);
    ~EditBox() override;

    void setUse0(bool on) { use0 = on; }

    int rangeMin = 0;
    int rangeMax = 0;
    int currentValue = 0;
    bool use0 = false;
    int scale = 1;
    int type = EditBoxTypeInt;
    KitRowSize rowSize = KitRowSize::Small;   // resolved: Small, Medium or Large

    QLabel* captionLabel = nullptr;
    ColorButton* minusFiveButton = nullptr;
    ColorButton* minusOneButton = nullptr;
    ColorButton* plusOneButton = nullptr;
    ColorButton* plusFiveButton = nullptr;
    EditParam* valueField = nullptr;
    QHBoxLayout* rowLayout = nullptr;

signals:
    void valueChanged(int value);

public slots:
    void AddOne();
    void SubOne();
    void AddFive();
    void SubFive();
    int value() const { return currentValue; }
    void setValue(int v);
    void setValue();
    void CheckRange();
    void setText(const QString& text);

private:
    void step(int delta);
    void fitCaption();
};
