#pragma once
// The skinned push button of every page: a skin picture (released or
// pressed) with a centred white label, or a picture only.
#include <QPixmap>
#include <QPushButton>

enum ColorButtonSize { ColorButtonSizeNormal = 3, ColorButtonSizeLarge = 4 };

class ColorButton : public QPushButton {
    Q_OBJECT
public:
    ColorButton(const QString& text, QWidget* parent, int sizeClass = ColorButtonSizeNormal);
    ColorButton(QPixmap picture, QWidget* parent);
    ~ColorButton() override;

    // Auto-repeat while held: first repeat after 300 ms, then every 50 ms.
    void SetRepeat();

    // Label font for a size class in the current layout and language.
    static QFont labelFont(int sizeClass);
    // The label's font as painted: labelFont, made smaller until the label fits.
    QFont paintFont() const;

    int sizeClass = ColorButtonSizeNormal;
    bool pictureOnly = false;
    QPixmap picture;

protected:
    void paintEvent(QPaintEvent* event) override;
};
