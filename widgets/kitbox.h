#pragma once
// What every modal box of the kit shares: a message, a place centred on the
// screen, and an exec() that lets the modal hook answer first.
#include <QDialog>
#include <QFont>

// Geometry of every box of the kit, centred on the screen.
QRect CentredBoxGeometry();
// The message font, made smaller (down to 3/5 of base) until text fits rect;
// adds word wrap to alignment when even that is too large.
QFont FitMessageFont(const QFont& base, const QString& text, const QRect& rect, int* alignment);
// Paints the common look: background, red message in textRect, white frame.
void PaintBox(QWidget* box, const QString& message, const QRect& textRect, int alignment, bool frame);
// The text of a message ready for drawing ("\r\n" line ends become "\n").
QString DrawableMessage(const QString& text);

class KitBox : public QDialog {
    Q_OBJECT
public:
    // Frameless, centred and hidden: showing a new parent does not show it.
    explicit KitBox(QWidget* parent = nullptr);

    // Stores the message; neither shows nor repaints.  messageId names the
    // table entry when the text came from it (for the modal hook).
    void setText(const QString& text, int messageId = -1);
    // Asks the modal hook first; otherwise runs modally.
    int exec() override;

    QString message;
    int messageId = -1;

protected:
    // Re-centred at every showing (the screen may have another size by then).
    void showEvent(QShowEvent* event) override;
};
