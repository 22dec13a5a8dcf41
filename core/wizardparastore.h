#pragma once
// Layout of the system parameters in table "sysparam" of PARAM.db: one row
// per group of values.  This table is the single description of the rows;
// the load, the save and the tests all walk it.
#include "wizardpara.h"

#include <QString>
#include <cstddef>
#include <vector>

enum class ParamRowKind {
    Numbers,   // decimal integers separated by single spaces
    Text,      // one text field, UTF-8
};

// Where the value at one position of a row lives.
struct ParamSlot {
    const char* field;       // field name ("gLan" for the language)
    std::size_t offset;      // byte offset of the field (element) read by the load
    std::size_t saveOffset;  // ... and written by the save (differ only for the machine mode)
    bool language;           // the global gLan instead of a field
};

struct ParamRow {
    const char* name;
    ParamRowKind kind;
    std::vector<ParamSlot> values;  // by position; position n is values[n - 1]
    bool recreated;                 // inserted by the load, with the first-start values, when missing
};

// Every row of PARAM.db's "sysparam", in load order.
const std::vector<ParamRow>& SysParamRows();
// The same rows in save order.
const std::vector<const ParamRow*>& SysParamSaveOrder();
const ParamRow* FindSysParamRow(const QString& name);

// The int (or text buffer) at a byte offset of the record.
int& ParamInt(WizardPara& para, std::size_t offset);
int ParamInt(const WizardPara& para, std::size_t offset);
char (&ParamText(WizardPara& para, std::size_t offset))[kParamTextLen];
const char (&ParamText(const WizardPara& para, std::size_t offset))[kParamTextLen];

// The stored text of a row for this record (what the save writes).
QString SysParamRowValue(const WizardPara& para, const ParamRow& row);

// The detection layout a record's function gives.
struct DetectionLayout {
    int detections;       // detections per cycle (gDNum) under this function
    int leftPairActive;   // the main window's left-pair flag after the derivation
};
// Derives the record's detection layout fields (detectEnabled,
// detectTriggerInput, statusLampCount, the area outputs' inversion in the
// standard functions, the multi-detection rows in force) from its systemMode,
// mould selection, product and semi-auto switches and step table.  A single
// mould of the two-colour and turntable functions chooses the pair; every
// other case hands leftPairActive back unchanged.  Writes no global: the load
// and the settings' Confirm apply the result.
DetectionLayout DeriveLayout(WizardPara& p, int leftPairActive);

// The status-strip labels gaName of the record's function in the run's
// language (the multi-detection function names them after its I/O names).
void FillDefaultLabels(const WizardPara& p);

// Message shown when the parameters cannot be read or written.
constexpr int kMsgSystemParamFileError = 160;
