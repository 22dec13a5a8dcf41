#pragma once
// The numeric keypad: ten digits, backspace and Confirm, typing into the
// keypad target.  One instance, gpNumPad, made by the main window.
#include <QWidget>

class ColorButton;
class QButtonGroup;

class NumberInput : public QWidget {
    Q_OBJECT
public:
    explicit NumberInput(QWidget* parent = nullptr);
    ~NumberInput() override;

    QButtonGroup* keyGroup = nullptr;
    ColorButton* digitKeys[10] = {};
    ColorButton* confirmKey = nullptr;
    ColorButton* backspaceKey = nullptr;
    // The next digit replaces the target's content instead of appending.
    bool firstKey = true;

signals:
    void chkpassword();

public slots:
    void setContent(int id);
    void eraseContent();
    void eraseAll();
    void HideUpdate();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

extern NumberInput* gpNumPad;

// Shared look of both keypads.
void PaintKeypadBackground(QWidget* pad, QPaintEvent* event);
