#pragma once
// Fixed names of the machine signals that the configurable inputs and
// outputs of the multi-detection mode can carry.  Three UTF-8 texts per name
// (Simplified Chinese, English, Traditional Chinese): entry 3 x index + gLan.
#include <QString>

constexpr int kInNames = 16;
constexpr int kOutNames = 14;

extern const char* const gInName[kInNames * 3];
extern const char* const gOutName[kOutNames * 3];

// Name index in the language of the run; empty for an index outside the table.
QString InName(int index);
QString OutName(int index);

// Default labels of the eight configurable input and output slots, named
// after the slot's physical input or output number: two texts per slot
// (Simplified Chinese, English), entry 2 x slot + text.
extern const char* const gCustomInputName[8 * 2];
extern const char* const gCustomOutputName[8 * 2];

// A slot's default label in the language of the run; the Traditional
// Chinese interface shows the Chinese text.  Empty outside 0..7.
QString CustomInputLabel(int slot);
QString CustomOutputLabel(int slot);
