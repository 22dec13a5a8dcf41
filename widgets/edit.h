#pragma once
// The touch text field.  Touching it makes it the keypad target and opens
// the on-screen keypad its flags choose, next to the field.
#include <QLineEdit>

enum EditFlag {
    EditFlagCharPad = 2, // character keyboard instead of the numeric keypad
    EditFlagPadUp1 = 8,  // open the keypad in the grandparent instead of the parent
};

class Edit : public QLineEdit {
    Q_OBJECT
public:
    Edit(int flags, QWidget* parent, int style = 1);
    ~Edit() override;

    void setValue(int v);
    void setValue(double v);

    // Longest text in UTF-8 bytes (0: no limit).  Text that would pass it,
    // typed or set, is cut after the last whole character that fits, so a
    // field never holds more than its stored buffer takes.
    void setMaxBytes(int bytes);

    // Where the keypad goes for this field: the container and the top-left
    // corner in it (kept on screen).
    struct Placement {
        QWidget* container = nullptr;
        QPoint pos;
    };
    Placement keypadPlacement(const QSize& keypadSize) const;

    int flags = 0;

signals:
    void sig_Dot();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void openKeypad();
    void keepWithinMaxBytes();

    int maxBytes_ = 0;
};

// Moves a keypad into container at pos and shows it; the keypad survives the
// container.
void PlaceKeypad(QWidget* pad, QWidget* container, const QPoint& pos);

// The framed look of style 1.
QString EditFrameStyleSheet();
