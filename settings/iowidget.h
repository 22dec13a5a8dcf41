#pragma once
// The multi-detection I/O page: how many detections a cycle holds, which
// trigger group (row) each detection step belongs to, each row's input and
// cut mode, and whether the detections run in order.  Built once, hidden,
// by the settings dialog; shown over it by "Custom IO".  Its Confirm writes
// the table into the edit copy; the dialog's Confirm commits it.
//
// The rules live in MultiDetectModel; every box only mirrors the model,
// refreshed with its signals blocked after each change.
#include "multidetectmodel.h"
#include "pagefit.h"

#include <QWidget>

class CheckBox;
class ColorButton;
class ComboBox;
class IOWidget;
class QLabel;
class WizardParaWidget;

// One row of the page: trigger group rowIndex.
class IOCheckComBO : public QWidget {
    Q_OBJECT
public:
    IOCheckComBO(IOWidget* page, const QString& caption, int stepCount);

    // The trigger box refilled (slots firstSlot .. count - 1) and the step
    // boxes below count shown, from the page's model.
    void SetIONum(int count, int previousSlot);
    // Unlocks (true) or locks (false) step box step; a locked box is clear,
    // untickable and grey.
    void setCheckdisable(int step, bool enable);
    // Ticks or clears step box step without telling the page.
    void setCheckComboStatus(int step, bool on);
    // Trigger items and step boxes labelled from the current name indices.
    void resetName();
    // Everything of the row from the page's model.
    void showModel();

    QLabel* caption = nullptr;
    ComboBox* triggerBox = nullptr;
    ComboBox* cutModeBox = nullptr;
    CheckBox* stepBox[8] = {};
    IOWidget* owner = nullptr;
    int rowIndex = 0;
    int triggerSlot = 0;
    int firstSlot = 0;

signals:
    void clickeCheckBox(int row, int step, int state);
    void changeTrigin(int row, int slot);

public slots:
    void Slotclick(int step, int state);
    void SlotChangeTrigin(int index);
    void SlotChangeCutMode(int index);

private:
    int stepCount_ = 8;
};

class IOWidget : public QWidget {
    Q_OBJECT
public:
    explicit IOWidget(WizardParaWidget* dialog);

    // Loads the working copy from the live record and hides the page.
    void initIOWidget();

    const MultiDetectModel& model() const { return model_; }
    MultiDetectModel& model() { return model_; }
    const PageFit& fit() const { return fit_; }

    ComboBox* detectCountBox = nullptr;
    ColorButton* resetButton = nullptr;
    ColorButton* confirmButton = nullptr;
    IOCheckComBO* rows[8] = {};
    CheckBox* notSequentialBox = nullptr;
    WizardParaWidget* settingsDialog = nullptr;

public slots:
    void SlotChangeDetectNum(int index);
    void SlotClickCheckBox(int row, int step, int state);
    void SlotChangeTrigin(int row, int slot);
    void reset();
    // Every box from the model again.
    void ResetOutput();
    void accept();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A rectangle given at the design size, on the page.
    QRect at(int x, int y, int w, int h) const;

    MultiDetectModel model_;
    PageFit fit_;
    QPoint origin_;   // where the scaled design lies on the page
    bool reshowWithDialog_ = false;
};
