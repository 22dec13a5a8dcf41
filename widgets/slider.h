#pragma once
// The painted parameter slider: name, value box, -1, track with fill and
// knob, +1.  Dragging near the knob, the two repeat buttons or the numeric
// keypad (through a hidden field behind the value box) change the value.
#include <QAbstractSlider>
#include <QFont>

class ColorButton;
class Edit;

class Slider : public QAbstractSlider {
    Q_OBJECT
public:
    Slider(int min, int max, int pageStep, int value, QWidget* parent, const QString& name);
    ~Slider() override;

    void Reset(int min, int max, int pageStep, int value, const QString& name);

    // Length of the fill for the current value.
    int fillLength() const;

    ColorButton* plusButton = nullptr;
    ColorButton* minusButton = nullptr;
    Edit* valueEdit = nullptr;
    int trackWidth = 0;
    int fillOffset = 0;
    int fillWidth = 0;
    int knobX = 0;
    int knobWidth = 10;
    int dragX = -1;

public slots:
    void Add();
    void Sub();
    void SetText(const QString& text);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QFont nameFont;   // the name's font, fitted to the name column
    void applySettings(int min, int max, int pageStep, int value, const QString& name);
    void openValueKeypad();
};
