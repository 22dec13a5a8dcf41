#pragma once
// The one-button message box: a red message over the page background and
// one Confirm button.  gpWarnBox is the shared instance.
#include <QDialog>
#include <QFont>

class ColorButton;

// Geometry of every box of the kit, centred on the screen.
QRect CentredBoxGeometry();
// The message font, made smaller (down to 3/5 of base) until text fits rect;
// adds word wrap to alignment when even that is too large.
QFont FitMessageFont(const QFont& base, const QString& text, const QRect& rect, int* alignment);
// Paints the common look: background, red message in textRect, white frame.
void PaintBox(QWidget* box, const QString& message, const QRect& textRect, int alignment, bool frame);
// The text of a message ready for drawing ("\r\n" line ends become "\n").
QString DrawableMessage(const QString& text);

class WarnBox : public QDialog {
    Q_OBJECT
public:
    explicit WarnBox(QWidget* parent = nullptr);
    ~WarnBox() override;

    // Stores the message; neither shows nor repaints.  messageId names the
    // table entry when the text came from it (for the modal hook).
    void setText(const QString& text, int messageId = -1);
    // Asks the modal hook first; otherwise runs modally until Confirm.
    int exec() override;

    ColorButton* okButton = nullptr;
    QString message;
    int messageId = -1;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

extern WarnBox* gpWarnBox;
