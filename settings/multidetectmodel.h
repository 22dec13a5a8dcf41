#pragma once
// The rules of the multi-detection I/O page without its widgets: how many
// detections a cycle holds, which trigger group (row) each detection step
// belongs to, each row's input slot and cut mode, the in-order switch and
// the slots' name indices.  The page's boxes only mirror this state.
//
// Which boxes are locked is a function of the assignments alone: box
// (r, k) of a shown row is locked exactly when ticking it would put a step
// of an earlier row after a step of a later one (or give a step two rows).
// So every change ends in the same lock state, however it was reached.
#include <QString>
#include <QStringList>

class WizardPara;

class MultiDetectModel {
public:
    static constexpr int kRows = 8;
    static constexpr int kSteps = 8;
    static constexpr int kCutModes = 6;

    // Everything from a parameter record (the live one, once, at start-up),
    // then the count applied.  Values the page never makes are corrected
    // and logged: a group outside -1..7 becomes -1, a slot is clamped into
    // 0..7, a cut mode outside 0..5 becomes CutModeAll, a count outside
    // 2..8 is clamped, a name index outside its table becomes 0.  Stored
    // steps that break the order of the rows: the later step keeps its row.
    void load(const WizardPara& from);
    // The table into the edit copy: all eight entries of every array.
    void store(WizardPara& to) const;

    // A new count (2..8): the rows' input choices refilled top down and
    // every assignment of a step or row at or beyond it dropped.
    void applyCount(int count);
    int count() const { return count_; }

    // Step step into row row; refused (false) for a locked, hidden or
    // already ticked box.
    bool tick(int row, int step);
    // Step step out of row row; refused when it is not there.
    bool clear(int row, int step);
    // Every step without a row; slots and cut modes stay.
    void reset();

    // Row row's input choice: item index of its trigger box.  The rows
    // below follow: a row whose slot is below the new one is lifted to it,
    // down to row 7 (hidden rows included).
    void chooseTrigger(int row, int index);
    void setCutMode(int row, int mode);
    void setNotSequential(bool on) { notSequential_ = on; }
    bool notSequential() const { return notSequential_; }

    // The I/O-name dialog's choices.
    void setInputNameIndex(int slot, int index);
    void setOutputNameIndex(int slot, int index);
    int inputNameIndex(int slot) const;
    int outputNameIndex(int slot) const;

    // State of the boxes.
    bool rowShown(int row) const { return row >= 0 && row < count_; }
    bool ticked(int row, int step) const;
    bool locked(int row, int step) const;
    int stepGroup(int step) const;
    int triggerSlot(int row) const;
    int firstSlot(int row) const;
    int cutMode(int row) const;
    // The trigger box: its item texts (slots firstSlot .. count - 1) and the
    // item shown, -1 when the row's slot lies outside them.
    QStringList triggerItems(int row) const;
    int triggerIndex(int row) const;
    // The machine-output name step step drives (the last step drives the
    // output of output slot 0).
    QString stepText(int step) const;

    // Confirm's check: 0 when it may store, else the message to show (512,
    // the last step has no row).
    int validate() const;
    // The re-detections caption for the count (message 511 with the ordinal).
    QString recheckCaption() const;

private:
    void fillTriggerChoices();
    void dropOutsideCount();
    // Whether assigning step to row breaks the order of the current rows.
    bool conflicts(int row, int step) const;

    int count_ = 2;
    int stepGroup_[kSteps] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int triggerSlot_[kRows] = {};
    int firstSlot_[kRows] = {};
    int cutMode_[kRows] = {};
    bool notSequential_ = false;
    int inputName_[8] = {};
    int outputName_[8] = {};
};
