// Load and save of the system parameter record (PARAM.db, SN.db,
// sysadd.txt, name.txt).
#include "wizardparastore.h"

#include "ionames.h"
#include "messages.h"
#include "namevaluerows.h"
#include "relaylink.h"
#include "storedints.h"
#include "utf8text.h"

#include <QFile>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QVariant>
#include <glog/logging.h>

namespace {

// ---------------------------------------------------------------- layout

#define FIELD(f) #f, offsetof(WizardPara, f)

class RowBuilder {
public:
    RowBuilder(const char* name, ParamRowKind kind = ParamRowKind::Numbers)
    {
        row_.name = name;
        row_.kind = kind;
        row_.recreated = false;
    }
    RowBuilder& v(const char* field, std::size_t offset)
    {
        row_.values.push_back({field, offset, offset, false});
        return *this;
    }
    // Elements first .. first + count - 1 of an int array.
    RowBuilder& a(const char* field, std::size_t offset, int first, int count)
    {
        for (int i = first; i < first + count; ++i) {
            const std::size_t at = offset + std::size_t(i) * sizeof(int);
            row_.values.push_back({field, at, at, false});
        }
        return *this;
    }
    RowBuilder& language()
    {
        row_.values.push_back({"gLan", 0, 0, true});
        return *this;
    }
    // The machine mode: the load reads systemMode, the save writes the
    // mode chosen for the next start.
    RowBuilder& machineMode()
    {
        row_.values.push_back({"systemMode", offsetof(WizardPara, systemMode),
                              offsetof(WizardPara, systemModePending), false});
        return *this;
    }
    RowBuilder& recreate()
    {
        row_.recreated = true;
        return *this;
    }
    operator ParamRow() const { return row_; }

private:
    ParamRow row_;
};

RowBuilder TextRow(const char* name, const char* field, std::size_t offset)
{
    return RowBuilder(name, ParamRowKind::Text).v(field, offset);
}

std::vector<ParamRow> BuildRows()
{
    return {
        RowBuilder("trigInDelay").a(FIELD(detectDelay), 0, 8),
        RowBuilder("exposeTime").a(FIELD(exposure), 0, 4),
        RowBuilder("adjustPlus").a(FIELD(gain), 0, 4),
        RowBuilder("numFailDetect")
            .machineMode()
            .v(FIELD(moldSelect))
            .v(FIELD(autoExposure))
            .v(FIELD(autoShading))
            .v(FIELD(saveProductOk))
            .v(FIELD(blackAreaEnabled))
            .v(FIELD(whiteAreaEnabled))
            .v(FIELD(similarityEnabled)),
        RowBuilder("numAllDetect").a(FIELD(gamma), 0, 8),
        RowBuilder("isPswUsed").v(FIELD(passwordEnabled)),
        TextRow("password", FIELD(password)),
        RowBuilder("system1")
            .v(FIELD(semiAuto))
            .v(FIELD(productDetectEnabled))
            .v(FIELD(moldSameAsProduct))
            .v(FIELD(motionCorrection))
            .v(FIELD(stopForbidsClamp))
            .v(FIELD(preCut))
            .v(FIELD(moldRecheckCount))
            .v(FIELD(okImageKeep))
            .v(FIELD(autoGenerateArea)),
        RowBuilder("system2")
            .v(FIELD(cutEjectorOnClamp))
            .v(FIELD(templateCount))
            .v(FIELD(minSpot))
            .v(FIELD(ngImageKeep))
            .v(FIELD(ejectorPulse))
            .v(FIELD(clampPulse))
            .v(FIELD(productNgPulseNoAlarm))
            .v(FIELD(cutClampAfterMoldOk))
            .v(FIELD(productNoEjectorControl))
            .v(FIELD(skipMoldPassword))
            .v(FIELD(addTemplatePassword))
            .v(FIELD(ignorePointPassword))
            .language()
            .v(FIELD(reserveOutputRole))
            .v(FIELD(maxOffset))
            .v(FIELD(screenOffSeconds))
            .v(FIELD(captureSpeed))
            .v(FIELD(inputTimeout)),
        RowBuilder("system3")
            .v(FIELD(reserveInputRole))
            .v(FIELD(safetyDoorClearsAlarm))
            .v(FIELD(differenceMultiplier))
            .v(FIELD(defectEnabled))
            .v(FIELD(spotEnabled))
            .v(FIELD(ignoreAreaEnabled))
            .v(FIELD(positionEnabled))
            .v(FIELD(showAlgorithmDetails))
            .v(FIELD(autoLogoutSeconds))
            .v(FIELD(oneNotMold))
            .v(FIELD(safetyDoorTrigger)),
        RowBuilder("system4")
            .v(FIELD(templateAutoUpdate))
            .a(FIELD(ipAddress), 0, 4)
            .a(FIELD(netMask), 0, 4)
            .a(FIELD(gateway), 0, 4)
            .v(FIELD(minimumSize))
            .v(FIELD(minimumArea)),
        RowBuilder("sharp").a(FIELD(sharpness), 0, 4),
        RowBuilder("contrast").a(FIELD(contrast), 0, 4),
        RowBuilder("system5")
            .a(FIELD(exposure), 4, 2)
            .a(FIELD(gain), 4, 2)
            .a(FIELD(sharpness), 4, 2)
            .a(FIELD(contrast), 4, 2)
            .v(FIELD(okNgPulses))
            .v(FIELD(rotationAngle))
            .v(FIELD(productAlarmCutsEjector))
            .v(FIELD(externalTrigger))
            .v(FIELD(moldAlarmCutsClamp)),
        RowBuilder("system6")
            .a(FIELD(exposure), 6, 2)
            .a(FIELD(gain), 6, 2)
            .a(FIELD(sharpness), 6, 2)
            .a(FIELD(contrast), 6, 2)
            .v(FIELD(debounceTime))
            .v(FIELD(statisticsEnabled))
            .v(FIELD(hideNgCount))
            .v(FIELD(stopDetectPassword)),
        RowBuilder("system7")
            .v(FIELD(serialPort))
            .v(FIELD(colorCamera))
            .v(FIELD(grayChannel))
            .v(FIELD(showManualSnapshot))
            .a(FIELD(outputInvert), 0, 3)
            .v(FIELD(noLensOptimize))
            .a(FIELD(outputInvert), 3, 1)
            .v(FIELD(showFactoryParams))
            .v(FIELD(templateIsNg))
            .v(FIELD(spareC))
            .v(FIELD(liveRoiDisplay))
            .v(FIELD(showCavityNumbers))
            .a(FIELD(outputInvert), 4, 5)
            .v(FIELD(whiteCountEnabled))
            .recreate(),
        RowBuilder("system8")
            .v(FIELD(multiDetectCount))
            .a(FIELD(multiRowTrigger), 0, 8)
            .a(FIELD(multiRowCutMode), 0, 8)
            .v(FIELD(cutEjectorAfterProductOk))
            .v(FIELD(logEnabled))
            .v(FIELD(directionEnabled))
            .recreate(),
        RowBuilder("system9")
            .a(FIELD(multiDetectRow), 0, 8)
            .v(FIELD(timingAlarm))
            .v(FIELD(skipDetectCount))
            .v(FIELD(skipDetectEnabled))
            .v(FIELD(separateDetectSignal))
            .v(FIELD(distanceEnabled))
            .v(FIELD(stopForbidsClamp))
            .v(FIELD(productOkNgOutputs))
            .v(FIELD(roiNgWarnCount))
            .v(FIELD(refreshAfterDetect))
            .v(FIELD(spareB))
            .v(FIELD(spareB))
            .v(FIELD(spareB))
            .recreate(),
        RowBuilder("system10")
            .a(FIELD(customInputName), 0, 8)
            .a(FIELD(customOutputName), 0, 8)
            .v(FIELD(spareD))
            .v(FIELD(moldNgPulseNoAlarm))
            .v(FIELD(imageAdjustEnabled))
            .v(FIELD(stopForbidsEjector))
            .recreate(),
        RowBuilder("system11")
            .a(FIELD(spareArrayA), 0, 8)
            .a(FIELD(spareArrayB), 0, 8)
            .v(FIELD(cameraCheck))
            .v(FIELD(ioLostAlarm))
            .v(FIELD(multiDetectInOrder))
            .v(FIELD(spareA))
            .recreate(),
        RowBuilder("system12")
            .a(FIELD(hMirror), 0, 8)
            .a(FIELD(vMirror), 0, 8)
            .v(FIELD(okClampNgEjector))
            .v(FIELD(showCaptureModeButton))
            .v(FIELD(ngSwitchToContinuous))
            .v(FIELD(continuousTimedDetect))
            .v(FIELD(cycleTimeLog))
            .recreate(),
        RowBuilder("CntNet")
            .v(FIELD(netEnabled))
            .v(FIELD(videoShareMode))
            .v(FIELD(videoShareFps))
            .v(FIELD(ngVideoEnabled))
            .v(FIELD(smsAlarmEnabled))
            .v(FIELD(productMoldCavity))
            .v(FIELD(productNum))
            .v(FIELD(productSerial)),
        TextRow("CntNet_UseName", FIELD(netCardName)),
        TextRow("CntNet_MsgTechName", FIELD(techName)),
        TextRow("CntNet_MsgTechNum", FIELD(techPhone)),
        TextRow("CntNet_ProName", FIELD(productName)),
        TextRow("CntNet_Operator", FIELD(operatorName)),
    };
}

#undef FIELD

// ---------------------------------------------------------------- SQL helpers

using namevaluerows::Exec;
using namevaluerows::Lookup;

const QString kSysParam = QStringLiteral("sysparam");

Lookup SelectValue(const QSqlDatabase& db, const QString& name, QByteArray* value, QString* error)
{
    return namevaluerows::Select(db, kSysParam, name, value, error);
}

// Whether db has table "sysparam".
Lookup FindTable(const QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select name from sqlite_master where type='table' and name='sysparam'"))) {
        *error = q.lastError().text();
        return namevaluerows::IsBusy(q.lastError()) ? Lookup::Busy : Lookup::Failed;
    }
    if (q.next())
        return Lookup::Found;
    if (q.lastError().isValid()) {
        *error = q.lastError().text();
        return namevaluerows::IsBusy(q.lastError()) ? Lookup::Busy : Lookup::Failed;
    }
    return Lookup::Missing;
}

const QString kCreateTable = QStringLiteral("create table if not exists sysparam(name text, value text)");

bool InsertRow(const QSqlDatabase& db, const QString& name, const QString& value, QString* error)
{
    return namevaluerows::Insert(db, kSysParam, name, value, error);
}

bool EnsureRow(const QSqlDatabase& db, const QString& name, QString* error)
{
    QByteArray value;
    switch (SelectValue(db, name, &value, error)) {
    case Lookup::Found:
        return true;
    case Lookup::Missing:
        return InsertRow(db, name, QStringLiteral("0"), error);
    case Lookup::Failed:
    case Lookup::Busy:
        break;
    }
    return false;
}

// The bytes of a stored text: UTF-8.  Older files may hold raw bytes that are
// not UTF-8; those are taken as Latin-1.
QByteArray StoredTextBytes(const QByteArray& raw)
{
    return IsUtf8(raw) ? raw : QString::fromLatin1(raw).toUtf8();
}

// ---------------------------------------------------------------- load steps

bool OutOfRange(int value, unsigned lo, unsigned hi)
{
    const unsigned u = unsigned(value);
    return u < lo || u > hi;
}

void Check(int& value, unsigned lo, unsigned hi, int replacement)
{
    if (OutOfRange(value, lo, hi))
        value = replacement;
}

void CheckRanges(WizardPara& p)
{
    for (int c = 0; c < kCameraSlots; ++c) {
        Check(p.exposure[c], 0, 10000, 30);
        Check(p.gain[c], 0, 10000, 32);
        Check(p.sharpness[c], 0, 10000, 0);
        Check(p.contrast[c], 1, 10000, 100);
        Check(p.gamma[c], 1, 10000, 100);
    }
    Check(p.multiDetectCount, 2, 8, 2);
    // 0..4 only: any other mode derives no detection layout.
    Check(p.systemMode, 0, 4, SystemModeStandard);
    p.systemModePending = p.systemMode;
    Check(p.preCut, 0, 10000, 0);
    Check(p.moldRecheckCount, 0, 10000, 0);
    Check(p.minimumSize, 1, 100, 3);
    Check(p.minimumArea, 1, 99999, 100);
    Check(p.templateCount, 1, 100, 10);
    Check(p.ngImageKeep, 0, 2000, 0);
    Check(p.okImageKeep, 0, 2000, 0);
    Check(p.ejectorPulse, 0, 10000, 0);
    Check(p.clampPulse, 0, 10000, 0);
    if (p.motionCorrection != -1 && p.motionCorrection != 0)
        p.motionCorrection = -1;
    Check(p.rotationAngle, 0, 180, 0);
    Check(p.autoLogoutSeconds, 0, 10000, 0);
    Check(p.differenceMultiplier, 0, 4, 0);
    Check(p.maxOffset, 1, 8000, 8000);
    if (p.screenOffSeconds != 0 && OutOfRange(p.screenOffSeconds, 30, 9999))
        p.screenOffSeconds = 600;
    Check(p.captureSpeed, 0, 100, 12);
    Check(p.inputTimeout, 0, 100000000, 60);
    Check(gLan, 0, 2, LanSimplifiedChinese);
    Check(p.serialPort, 0, 100, 0);
    Check(p.minSpot, 1, 100, 3);
    Check(p.skipDetectCount, 1, 100, 0);
    Check(p.spareB, 0, 100000000, 0);
}

void DefaultDetectionMethod(WizardPara& p)
{
    if (!p.defectEnabled && !p.spotEnabled && !p.blackAreaEnabled && !p.whiteAreaEnabled
        && !p.similarityEnabled && !p.whiteCountEnabled && !p.directionEnabled
        && !p.distanceEnabled)
        p.defectEnabled = 1;
}

DetectionLayout DeriveStandardLayout(WizardPara& p, int leftPairActive)
{
    p.statusLampCount = 4;
    p.detectEnabled[0] = p.productDetectEnabled;
    p.detectEnabled[1] = 1;
    p.detectTriggerInput[0] = 0;
    p.detectTriggerInput[1] = p.semiAuto ? 2 : 0;
    const int areaOutputsInverted = (!p.productNgPulseNoAlarm && !p.productOkNgOutputs) ? 1 : 0;
    for (int o = 4; o <= 7; ++o)
        p.outputInvert[o] = areaOutputsInverted;
    return {2, leftPairActive};
}

// Two-colour and turntable machines: a left and a right pair of detections.
DetectionLayout DerivePairLayout(WizardPara& p, int leftPairActive)
{
    p.statusLampCount = 4;
    if (unsigned(p.moldSelect) > 3)
        p.moldSelect = 0;
    const int prod = p.productDetectEnabled ? 1 : 0;
    const bool twoColor = p.systemMode == SystemModeTwoColor;
    const bool semi = p.semiAuto != 0;
    int* en = p.detectEnabled;
    int* trig = p.detectTriggerInput;
    switch (p.moldSelect) {
    case 0:   // left
        en[0] = prod, en[1] = 1, en[2] = 0, en[3] = 0;
        trig[0] = 0;
        trig[1] = twoColor ? 2 : (semi ? 2 : 0);
        leftPairActive = 1;
        break;
    case 1:   // right
        en[0] = 0, en[1] = 0, en[2] = prod, en[3] = 1;
        trig[0] = twoColor ? 0 : 3;
        trig[1] = twoColor ? 3 : (semi ? 2 : 3);
        leftPairActive = 0;
        break;
    default:  // all moulds
        en[0] = prod, en[1] = 1, en[2] = prod, en[3] = 1;
        trig[0] = twoColor ? 0 : 255;
        trig[1] = twoColor ? 255 : (semi ? 2 : 255);
        break;
    }
    return {4, leftPairActive};
}

DetectionLayout DeriveMultiDetectLayout(WizardPara& p, int leftPairActive)
{
    p.statusLampCount = p.multiDetectCount;
    for (int d = 0; d < kDetections; ++d) {
        bool inUse = false;
        int trigger = -1;
        if (d < p.multiDetectCount) {
            const int row = p.multiDetectRow[d];
            // A stored row or trigger outside its table means "not in use".
            const bool rowValid = row >= 0 && row < 8;
            p.multiDetectRowActive[d] = rowValid ? row : -1;
            if (rowValid && (d != 0 || p.productDetectEnabled)) {
                const int choice = p.multiRowTrigger[row];
                if (choice >= 0 && choice < 8) {
                    inUse = true;
                    trigger = TriginNo[choice] - 1;
                }
            }
        }
        p.detectEnabled[d] = inUse ? 1 : 0;
        p.detectTriggerInput[d] = trigger;
    }
    return {p.multiDetectCount, leftPairActive};
}

}  // namespace

DetectionLayout DeriveLayout(WizardPara& p, int leftPairActive)
{
    switch (p.systemMode) {
    case SystemModeStandard:
    case SystemModeAutoParts:
        return DeriveStandardLayout(p, leftPairActive);
    case SystemModeTwoColor:
    case SystemModeTurntable:
        return DerivePairLayout(p, leftPairActive);
    case SystemModeMultiDetect:
        return DeriveMultiDetectLayout(p, leftPairActive);
    }
    return {gDNum, leftPairActive};   // not reached: the load keeps the mode in 0..4
}

void FillDefaultLabels(const WizardPara& p)
{
    static const int kStandard[8] = {301, 302, 303, 304, 305, 306, 307, 304};
    static const int kTwoColor[8] = {301, 302, 376, 377, 305, 378, 307, 304};
    static const int kTurntable[8] = {379, 380, 381, 382, 378, 306, 307, 304};
    const int* ids = nullptr;
    switch (p.systemMode) {
    case SystemModeStandard:
    case SystemModeAutoParts:
        ids = kStandard;
        break;
    case SystemModeTwoColor:
        ids = kTwoColor;
        break;
    case SystemModeTurntable:
        ids = kTurntable;
        break;
    case SystemModeMultiDetect:
        gaName[0] = InName(p.customInputName[0]);
        gaName[1] = Msg(302);
        for (int k = 1; k < 8; ++k)
            gaName[1 + k] = InName(p.customInputName[k]);
        gaName[9] = OutName(p.customOutputName[0]);
        gaName[10] = OutName(p.customOutputName[1]);
        gaName[11] = Msg(307);
        for (int k = 2; k < 8; ++k)
            gaName[10 + k] = OutName(p.customOutputName[k]);
        return;
    }
    if (ids) {
        for (int i = 0; i < 8; ++i)
            gaName[i] = Msg(ids[i]);
    }
}

namespace {

void LoadLabels(const WizardPara& p)
{
    QFile file(QStringLiteral("name.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        FillDefaultLabels(p);
        return;
    }
    QTextStream in(&file);
    for (int i = 0; i < 8; ++i)
        gaName[i] = in.readLine();   // null (empty) past the end
}

void SetSerial(int slot, const QByteArray& bytes)
{
    std::memset(gSerialNB[slot], 0, kParamTextLen);
    std::memcpy(gSerialNB[slot], bytes.constData(), size_t(bytes.size()));
}

}  // namespace

// ---------------------------------------------------------------- layout access

const std::vector<ParamRow>& SysParamRows()
{
    static const std::vector<ParamRow> rows = BuildRows();
    return rows;
}

const std::vector<const ParamRow*>& SysParamSaveOrder()
{
    static const std::vector<const ParamRow*> order = [] {
        static const char* const kNames[] = {
            "trigInDelay", "exposeTime", "sharp", "contrast", "adjustPlus", "numFailDetect",
            "numAllDetect", "isPswUsed", "password", "system1", "system2", "system3", "system4",
            "system5", "system6", "system7", "system8", "system9", "system10", "system11",
            "system12", "CntNet", "CntNet_UseName", "CntNet_MsgTechName", "CntNet_MsgTechNum",
            "CntNet_ProName", "CntNet_Operator"};
        std::vector<const ParamRow*> v;
        for (const char* name : kNames)
            v.push_back(FindSysParamRow(QLatin1String(name)));
        return v;
    }();
    return order;
}

const ParamRow* FindSysParamRow(const QString& name)
{
    for (const ParamRow& row : SysParamRows()) {
        if (name == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

int& ParamInt(WizardPara& para, std::size_t offset)
{
    return *reinterpret_cast<int*>(reinterpret_cast<char*>(&para) + offset);
}

int ParamInt(const WizardPara& para, std::size_t offset)
{
    return *reinterpret_cast<const int*>(reinterpret_cast<const char*>(&para) + offset);
}

char (&ParamText(WizardPara& para, std::size_t offset))[kParamTextLen]
{
    return *reinterpret_cast<char(*)[kParamTextLen]>(reinterpret_cast<char*>(&para) + offset);
}

const char (&ParamText(const WizardPara& para, std::size_t offset))[kParamTextLen]
{
    return *reinterpret_cast<const char(*)[kParamTextLen]>(
        reinterpret_cast<const char*>(&para) + offset);
}

namespace {
// Gives the fields of row the first-start values (the language stays).
void SetFirstStartValues(WizardPara& para, const ParamRow& row)
{
    const WizardPara& first = FirstStartParameters();
    if (row.kind == ParamRowKind::Text) {
        const std::size_t at = row.values.front().offset;
        std::memcpy(ParamText(para, at), ParamText(first, at), kParamTextLen);
        return;
    }
    for (const ParamSlot& slot : row.values) {
        if (!slot.language)
            ParamInt(para, slot.offset) = ParamInt(first, slot.offset);
    }
}

}  // namespace

QString SysParamRowValue(const WizardPara& para, const ParamRow& row)
{
    if (row.kind == ParamRowKind::Text)
        return WizardPara::Text(ParamText(para, row.values.front().offset));
    QVector<int> values;
    values.reserve(int(row.values.size()));
    for (const ParamSlot& slot : row.values)
        values << (slot.language ? gLan : ParamInt(para, slot.saveOffset));
    return JoinStoredInts(values);
}

// ---------------------------------------------------------------- WizardPara storage

ParamStoreResult WizardPara::LoadDatafromFile(QSqlDatabase paramDb, QSqlDatabase serialDb,
                                              int& leftPairActive)
{
    ParamStoreResult result;
    auto fault = [&result](const QString& what) {
        result.ok = false;
        result.messageId = kMsgSystemParamFileError;
        if (!result.detail.isEmpty())
            result.detail += QLatin1Char('\n');
        result.detail += what;
    };

    // 1. Parameter group index, kept apart from PARAM.db.
    paramGroupIndex = 0;
    QFile add(QStringLiteral("sysadd.txt"));
    if (add.open(QIODevice::ReadOnly)) {
        paramGroupIndex = ParseStoredInts(add.readAll(), 1).front();
    } else if (add.open(QIODevice::WriteOnly)) {
        add.write(QByteArray::number(paramGroupIndex));
    }
    add.close();

    // 2. A PARAM.db without the table is new (or was empty): first start.
    unreadRows = 0;
    QString tableError;
    switch (FindTable(paramDb, &tableError)) {
    case Lookup::Found:
        break;
    case Lookup::Missing: {
        const ParamStoreResult made = FirstStartParameters().SaveDatatoFile(paramDb);
        if (!made.ok)
            fault(made.detail);
        break;
    }
    case Lookup::Failed:
    case Lookup::Busy:
        fault(QStringLiteral("PARAM.db: %1").arg(tableError));
        break;
    }

    // 3. Rows.  Every stored field starts at its first-start value; a row
    // that is missing, cannot be read or does not parse leaves it there (a
    // field stored in two rows keeps the value of the row that was read).
    // A row that cannot be read also keeps the record from being saved.
    for (const ParamRow& row : SysParamRows())
        SetFirstStartValues(*this, row);
    bool busy = false;   // a lock held elsewhere: the remaining rows are not tried
    for (const ParamRow& row : SysParamRows()) {
        const QString name = QLatin1String(row.name);
        QByteArray value;
        QString error = QStringLiteral("database locked");
        const Lookup found = busy ? Lookup::Busy : SelectValue(paramDb, name, &value, &error);
        switch (found) {
        case Lookup::Busy:
            busy = true;
            [[fallthrough]];
        case Lookup::Failed:
            ++unreadRows;
            fault(QStringLiteral("PARAM.db row %1: %2").arg(name, error));
            continue;
        case Lookup::Missing:
            if (row.recreated
                && !InsertRow(paramDb, name, SysParamRowValue(FirstStartParameters(), row), &error))
                fault(QStringLiteral("PARAM.db row %1 not recreated: %2").arg(name, error));
            continue;
        case Lookup::Found:
            break;
        }
        if (row.kind == ParamRowKind::Text) {
            if (!SetText(ParamText(*this, row.values.front().offset), StoredTextBytes(value)))
                LOG(WARNING) << "PARAM.db row " << row.name << " is longer than its field; cut";
            continue;
        }
        QVector<int> values;
        if (!ParseWholeInts(value, &values, int(row.values.size())) || values.isEmpty()) {
            fault(QStringLiteral("PARAM.db row %1 is damaged: \"%2\"")
                      .arg(name, QString::fromLatin1(value.left(200))));
            continue;
        }
        // Values missing at the end read as 0.
        values.resize(int(row.values.size()));
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            const ParamSlot& slot = row.values[i];
            (slot.language ? gLan : ParamInt(*this, slot.offset)) = values[int(i)];
        }
    }

    // 3.-5. Range checks, method default, detection layout.
    CheckRanges(*this);
    DefaultDetectionMethod(*this);
    const DetectionLayout layout = DeriveLayout(*this, leftPairActive);
    gDNum = layout.detections;
    leftPairActive = layout.leftPairActive;

    // 6. Status-strip labels.
    LoadLabels(*this);

    // 7. Camera serials bound to the slots.
    storedSerialCount = 0;
    QString snError;
    if (!Exec(serialDb, kCreateTable, {}, &snError))
        fault(QStringLiteral("SN.db: %1").arg(snError));
    for (int i = 0; i < kCameraSlots; ++i) {
        const QString name = QStringLiteral("serialNB%1").arg(i);
        QByteArray bytes;
        QString error;
        const Lookup found = SelectValue(serialDb, name, &bytes, &error);
        if (found == Lookup::Found) {
            if (bytes.size() >= 9 && bytes.size() <= kParamTextLen - 1 && !bytes.contains('\0')) {
                SetSerial(i, bytes);
                ++storedSerialCount;
            }
            continue;
        }
        if (found != Lookup::Missing) {
            fault(QStringLiteral("SN.db row %1: %2").arg(name, error));
            continue;   // a row that cannot be read is not replaced
        }
        SetSerial(i, "0");
        if (!InsertRow(serialDb, name, QStringLiteral("0"), &error))
            fault(QStringLiteral("SN.db row %1 not created: %2").arg(name, error));
    }
    return result;
}

ParamStoreResult WizardPara::SaveDatatoFile(QSqlDatabase paramDb, RelayNotice notice) const
{
    ParamStoreResult result;
    auto fail = [&result](const QString& what) {
        result.ok = false;
        result.messageId = kMsgSystemParamFileError;
        result.detail = what;
        LOG(ERROR) << what.toStdString();
        return result;
    };
    if (unreadRows > 0)
        return fail(QStringLiteral("PARAM.db: not saved: %1 rows could not be read at start-up").arg(unreadRows));
    QString error;
    // A savepoint: the outermost one is a transaction of its own, an inner
    // one joins the caller's.
    if (!Exec(paramDb, QStringLiteral("savepoint sysparam_save"), {}, &error))
        return fail(QStringLiteral("PARAM.db: no transaction: %1").arg(error));

    bool written = Exec(paramDb, kCreateTable, {}, &error);
    QString failedRow = QStringLiteral("(table sysparam)");
    for (const ParamRow* row : SysParamSaveOrder()) {
        if (!written)
            break;
        const QString name = QLatin1String(row->name);
        int affected = 0;
        // Every row is written: a row missing from the file is made first.
        written = EnsureRow(paramDb, name, &error)
                  && namevaluerows::Update(paramDb, kSysParam, name, SysParamRowValue(*this, *row), &error,
                                           &affected);
        if (written && affected < 1) {
            written = false;
            error = QStringLiteral("row not updated");
        }
        if (!written)
            failedRow = name;
    }
    auto undo = [&paramDb] {
        QString ignored;
        Exec(paramDb, QStringLiteral("rollback to sysparam_save"), {}, &ignored);
        Exec(paramDb, QStringLiteral("release sysparam_save"), {}, &ignored);
    };
    if (!written) {
        undo();
        return fail(QStringLiteral("PARAM.db row %1 not saved: %2").arg(failedRow, error));
    }
    if (!Exec(paramDb, QStringLiteral("release sysparam_save"), {}, &error)) {
        undo();
        return fail(QStringLiteral("PARAM.db: commit failed: %1").arg(error));
    }

    // Only what is written goes to the relay.
    if (notice == RelayNotice::AfterSave)
        NotifyRelay();
    return result;
}

void WizardPara::NotifyRelay() const
{
    if (netEnabled && RelayReady(true))
        gpNet->CNT_SendParam();
}

bool WizardPara::SaveChkDBItem(QSqlDatabase paramDb, const QString& name)
{
    QString error;
    return EnsureRow(paramDb, name, &error);
}

bool WizardPara::SaveAddFile() const
{
    QSaveFile file(QStringLiteral("sysadd.txt"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray::number(paramGroupIndex) + '\n');
    return file.commit();
}
