#include "multidetectmodel.h"

#include "ionames.h"
#include "messages.h"
#include "wizardpara.h"

#include <glog/logging.h>

#include <algorithm>

namespace {
constexpr int kCountMin = 2;
constexpr int kCountMax = 8;

// value when it lies in lo..hi, else replacement; a replacement is logged.
int Corrected(const char* what, int index, int value, int lo, int hi, int replacement)
{
    if (value >= lo && value <= hi)
        return value;
    LOG(WARNING) << "multi-detection: stored " << what << "[" << index << "] = " << value << " outside " << lo
                 << ".." << hi << ", taken as " << replacement;
    return replacement;
}
}  // namespace

void MultiDetectModel::load(const WizardPara& from)
{
    const int count = from.multiDetectCount;
    count_ = Corrected("multiDetectCount", 0, count, kCountMin, kCountMax, std::clamp(count, kCountMin, kCountMax));
    for (int i = 0; i < 8; ++i) {
        stepGroup_[i] = Corrected("multiDetectRow", i, from.multiDetectRow[i], -1, kRows - 1, -1);
        const int slot = from.multiRowTrigger[i];
        triggerSlot_[i] = Corrected("multiRowTrigger", i, slot, 0, 7, std::clamp(slot, 0, 7));
        firstSlot_[i] = 0;
        cutMode_[i] = Corrected("multiRowCutMode", i, from.multiRowCutMode[i], 0, kCutModes - 1, CutModeAll);
        inputName_[i] = Corrected("customInputName", i, from.customInputName[i], 0, kInNames - 1, 0);
        outputName_[i] = Corrected("customOutputName", i, from.customOutputName[i], 0, kOutNames - 1, 0);
    }
    notSequential_ = from.multiDetectInOrder == 0;
    applyCount(count_);

    // A stored table the page could not have made: steps out of the order of
    // their rows.  As the boxes are ticked step by step, the later step keeps
    // its row and the earlier ones it contradicts lose theirs.
    int groups[kSteps];
    std::copy(std::begin(stepGroup_), std::end(stepGroup_), groups);
    std::fill(std::begin(stepGroup_), std::end(stepGroup_), -1);
    for (int j = 0; j < count_; ++j) {
        const int r = groups[j];
        if (r < 0)
            continue;
        for (int k = 0; k < j; ++k) {
            const int a = stepGroup_[k];
            if (a >= 0 && a > r) {
                LOG(WARNING) << "multi-detection: stored step " << k << " in row " << a << " comes after step " << j
                             << " in row " << r << ", dropped";
                stepGroup_[k] = -1;
            }
        }
        stepGroup_[j] = r;
    }
}

void MultiDetectModel::store(WizardPara& to) const
{
    to.multiDetectCount = count_;
    for (int i = 0; i < 8; ++i) {
        to.multiRowTrigger[i] = triggerSlot_[i];
        to.multiDetectRow[i] = stepGroup_[i];
        to.multiRowCutMode[i] = cutMode_[i];
    }
    to.multiDetectInOrder = notSequential_ ? 0 : 1;
}

void MultiDetectModel::applyCount(int count)
{
    count_ = std::clamp(count, kCountMin, kCountMax);
    fillTriggerChoices();
    dropOutsideCount();
}

void MultiDetectModel::fillTriggerChoices()
{
    // Top down: each shown row offers the slots from the row above's to the
    // last one the count allows; a row never waits for an input beyond it.
    int previous = 0;
    for (int r = 0; r < count_; ++r) {
        firstSlot_[r] = previous;
        if (triggerSlot_[r] >= count_)
            triggerSlot_[r] = count_ - 1;
        previous = triggerSlot_[r];
    }
}

void MultiDetectModel::dropOutsideCount()
{
    for (int j = 0; j < kSteps; ++j)
        if (j >= count_ || stepGroup_[j] >= count_)
            stepGroup_[j] = -1;
}

bool MultiDetectModel::tick(int row, int step)
{
    if (!rowShown(row) || step < 0 || step >= count_ || ticked(row, step) || locked(row, step))
        return false;
    stepGroup_[step] = row;
    return true;
}

bool MultiDetectModel::clear(int row, int step)
{
    if (!ticked(row, step))
        return false;
    stepGroup_[step] = -1;
    return true;
}

void MultiDetectModel::reset() { std::fill(std::begin(stepGroup_), std::end(stepGroup_), -1); }

void MultiDetectModel::chooseTrigger(int row, int index)
{
    if (row < 0 || row >= kRows || index < 0 || firstSlot_[row] + index > 7)
        return;
    int slot = triggerSlot_[row] = firstSlot_[row] + index;
    // The rows below: an earlier slot is lifted to this one, a later one stays.
    for (int r = row + 1; r < kRows; ++r) {
        firstSlot_[r] = slot;
        if (triggerSlot_[r] < slot)
            triggerSlot_[r] = slot;
        slot = triggerSlot_[r];
    }
}

void MultiDetectModel::setCutMode(int row, int mode)
{
    if (row >= 0 && row < kRows && mode >= 0 && mode < kCutModes)
        cutMode_[row] = mode;
}

void MultiDetectModel::setInputNameIndex(int slot, int index)
{
    if (slot >= 0 && slot < 8 && index >= 0 && index < kInNames)
        inputName_[slot] = index;
}

void MultiDetectModel::setOutputNameIndex(int slot, int index)
{
    if (slot >= 0 && slot < 8 && index >= 0 && index < kOutNames)
        outputName_[slot] = index;
}

int MultiDetectModel::inputNameIndex(int slot) const { return slot >= 0 && slot < 8 ? inputName_[slot] : 0; }
int MultiDetectModel::outputNameIndex(int slot) const { return slot >= 0 && slot < 8 ? outputName_[slot] : 0; }

bool MultiDetectModel::ticked(int row, int step) const
{
    return step >= 0 && step < kSteps && row >= 0 && stepGroup_[step] == row;
}

bool MultiDetectModel::conflicts(int row, int step) const
{
    for (int j = 0; j < count_; ++j) {
        const int a = stepGroup_[j];
        if (a < 0 || a == row)
            continue;
        if ((row < a && step >= j) || (row > a && step <= j))
            return true;
    }
    return false;
}

bool MultiDetectModel::locked(int row, int step) const
{
    return rowShown(row) && step >= 0 && step < count_ && conflicts(row, step);
}

int MultiDetectModel::stepGroup(int step) const { return step >= 0 && step < kSteps ? stepGroup_[step] : -1; }
int MultiDetectModel::triggerSlot(int row) const { return row >= 0 && row < kRows ? triggerSlot_[row] : 0; }
int MultiDetectModel::firstSlot(int row) const { return row >= 0 && row < kRows ? firstSlot_[row] : 0; }
int MultiDetectModel::cutMode(int row) const { return row >= 0 && row < kRows ? cutMode_[row] : 0; }

QStringList MultiDetectModel::triggerItems(int row) const
{
    QStringList items;
    for (int k = firstSlot(row); k < count_; ++k)
        items << InName(inputName_[k]);
    return items;
}

int MultiDetectModel::triggerIndex(int row) const
{
    const int index = triggerSlot(row) - firstSlot(row);
    return index >= 0 && firstSlot(row) + index < count_ ? index : -1;
}

QString MultiDetectModel::stepText(int step) const
{
    // Step j drives the output of output slot j + 1; the last step always
    // that of output slot 0.
    if (step < 0 || step >= kSteps)
        return QString();
    const int slot = step == count_ - 1 || step + 1 >= 8 ? 0 : step + 1;
    return OutName(outputName_[slot]);
}

int MultiDetectModel::validate() const { return stepGroup_[count_ - 1] < 0 ? 512 : 0; }

QString MultiDetectModel::recheckCaption() const { return Msg(511).arg(Msg(476 + count_)); }
