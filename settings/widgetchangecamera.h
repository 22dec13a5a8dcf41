#pragma once
// Camera renumbering: which slot each camera in use takes at the next start.
// One row per camera in use when the dialog is built; box i chooses the slot
// of camera view i (gCamNO[i]).  OK refuses a slot chosen twice (message
// 361), stores the binding of serial numbers to slots in SN.db (SaveSN) and
// then asks to shut down; a binding that could not be stored keeps the
// dialog open with its own message.  There is no Cancel.  A child of the
// main window, built once and hidden.  GUI thread only.
#include <QWidget>

#include <functional>

class ColorButton;
class ComboBox;

class WidgetChangeCamera : public QWidget {
    Q_OBJECT
public:
    explicit WidgetChangeCamera(QWidget* parent);
    ~WidgetChangeCamera() override;

    // The first slot chosen twice among the first count entries of chosen
    // (pairs in order of i, then j), or -1.
    static int RepeatedSlot(const int* chosen, int count);

    ComboBox* slotBox[8] = {};
    ColorButton* okButton = nullptr;
    int rows = 0;   // cameras in use at construction

    // Runs once the binding is stored: the shutdown question.
    std::function<void()> shutDownAsked;

    // Row geometry of the screen's layout.
    struct Metrics {
        int rowHeight, gap, textX, textW, boxX, boxW, textPx, boxPx;
        QSize size;
    };
    static Metrics metrics();

public slots:
    void SetCameraNO0(int index);
    void SetCameraNO1(int index);
    void SetCameraNO2(int index);
    void SetCameraNO3(int index);
    void SetCameraNO4(int index);
    void SetCameraNO5(int index);
    void SetCameraNO6(int index);
    void SetCameraNO7(int index);
    void SetCameraNO(int camera, int index);
    void SlotOK();

protected:
    void paintEvent(QPaintEvent* event) override;
};
