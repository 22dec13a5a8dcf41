#pragma once
// The system parameter record: one flat, trivially copyable record holding
// every system parameter.  The settings pages copy and compare it as a whole,
// so it holds plain 32-bit integers and fixed, zero-filled text buffers only.
// Every field starts at zero; the constructor then sets the few defaults.
#include "globals.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <cstring>
#include <type_traits>

enum SystemMode {
    SystemModeStandard = 0,
    SystemModeTwoColor = 1,
    SystemModeTurntable = 2,
    SystemModeAutoParts = 3,
    SystemModeMultiDetect = 4,
};

enum CutMode {
    CutModeAll = 0,
    CutModeSelf = 1,
    CutModeNone = 2,
    CutModeSelfDelay = 3,
    CutModeAllDelay = 4,
    CutModeNGSelf = 5,
};

enum VideoShare {
    VideoShareOff = 0,
    VideoShareScreen = 1,   // the screen image is shared
    VideoShareCamera = 2,   // the camera images are shared
};

// 1-based physical input of each trigger choice of the multi-detection table
// (physical input 2, the safety door, is never a trigger).
extern const int TriginNo[8];
// 1-based physical output of detection step j in the multi-detection mode.
extern const int OutputNo[8];

constexpr int kParamTextLen = 100;   // text fields: at most 99 bytes plus NUL
constexpr int kOutputs = 9;          // logical outputs 0..8

// Outcome of a load or save of the parameters, for the caller to show
// (messageId) and to log (detail).
struct ParamStoreResult {
    bool ok = true;
    int messageId = -1;   // message to show when !ok
    QString detail;       // what failed, for the log
};

class WizardPara {
public:
    WizardPara();

    // Storage in PARAM.db / SN.db / sysadd.txt / name.txt (wizardparastore.cpp).
    // The load fills this record and the globals gLan, gDNum, gaName and
    // gSerialNB; leftPairActive is the main window's flag of the same name.
    // A PARAM.db without table "sysparam" (new, or empty) is a first start:
    // the table is made with the first-start values.  A row that is missing
    // or does not parse takes the first-start values; a row that cannot be
    // read sets unreadRows and is reported, and the record is then not saved.
    ParamStoreResult LoadDatafromFile(QSqlDatabase paramDb, QSqlDatabase serialDb,
                                      int& leftPairActive);
    // Who tells the relay link that the parameters changed.
    enum class RelayNotice {
        AfterSave,   // the save, once its rows are written
        Caller,      // the caller, once the running system holds the record (NotifyRelay)
    };
    // Writes every stored field in one transaction (a savepoint, so it also
    // nests inside a caller's transaction: the caller's commit or rollback
    // then decides); nothing is kept unless every row was written.  Refused
    // for a record whose load could not read every row: it would write values
    // over rows it never saw.  A caller that nests the save should leave the
    // relay notice to itself, since only its commit makes the rows final.
    ParamStoreResult SaveDatatoFile(QSqlDatabase paramDb,
                                    RelayNotice notice = RelayNotice::AfterSave) const;
    // Sends the parameters to the relay when netEnabled is set and the link
    // is ready.
    void NotifyRelay() const;
    // Makes sure row name exists in table "sysparam" (inserted as "0").
    static bool SaveChkDBItem(QSqlDatabase paramDb, const QString& name);
    // Writes paramGroupIndex to sysadd.txt.
    bool SaveAddFile() const;

    // Text fields.  SetText copies the bytes up to the first NUL, at most 99
    // of them, zero-filling the rest of the buffer so that equal texts give
    // equal records.  A longer text is cut after the last whole UTF-8
    // character that fits and false is returned.  QString texts are stored
    // as UTF-8.
    static bool SetText(char (&field)[kParamTextLen], const QByteArray& bytes);
    static bool SetText(char (&field)[kParamTextLen], const QString& text);
    // The text of a field: UTF-8, or Latin-1 for bytes that are not UTF-8.
    static QString Text(const char (&field)[kParamTextLen]);

    // Camera settings per camera slot.
    int exposure[kCameraSlots] = {};      // ms
    int gain[kCameraSlots] = {};          // 0..64 onto the camera's range
    int sharpness[kCameraSlots] = {};
    int contrast[kCameraSlots] = {};
    int gamma[kCameraSlots] = {};
    int detectDelay[kDetections] = {};         // trigger edge to detection, 0.1 s
    int detectTriggerInput[kDetections] = {};  // derived: 0-based input, -1 none, 255 any
    int inputInvert[kDetections] = {};         // only the constructor sets it
    int outputInvert[kOutputs] = {};           // per logical output
    int semiAuto = 0;
    int detectEnabled[kDetections] = {};       // derived
    int moldSameAsProduct = 0;
    int stopForbidsClamp = 0;
    int stopForbidsEjector = 0;
    int motionCorrection = 0;                  // -1 off, 0 on
    int cutEjectorOnClamp = 0;
    int passwordEnabled = 0;
    int templateAutoUpdate = 0;
    int productDetectEnabled = 0;
    int storedSerialCount = 0;                 // derived
    int templateCount = 0;
    int ngImageKeep = 0;
    int okImageKeep = 0;
    int screenOffSeconds = 0;                  // 0 = never
    int captureSpeed = 0;
    int differenceMultiplier = 0;
    int autoLogoutSeconds = 0;                 // 0 = off
    int frontMoldTimeLen = 0;                  // not stored; reported to the relay
    int moldRecheckCount = 0;
    int ejectorPulse = 0;                      // 0.1 s
    int clampPulse = 0;                        // 0.1 s
    int inputTimeout = 0;                      // s, 0 = off
    int debounceTime = 0;                      // 0.1 s
    int timingAlarm = 0;
    int skipDetectCount = 0;
    int minimumSize = 0;
    int minimumArea = 0;
    int productNoEjectorControl = 0;
    int productNgPulseNoAlarm = 0;
    int moldNgPulseNoAlarm = 0;
    int reserveInputRole = 0;                  // 0..3
    int cutClampAfterMoldOk = 0;
    int cutEjectorAfterProductOk = 0;
    int okNgPulses = 0;
    int okClampNgEjector = 0;
    int productAlarmCutsEjector = 0;
    int moldAlarmCutsClamp = 0;
    int productOkNgOutputs = 0;
    int skipMoldPassword = 0;
    int addTemplatePassword = 0;
    int ignorePointPassword = 0;
    int stopDetectPassword = 0;
    int safetyDoorClearsAlarm = 0;
    int defectEnabled = 0;
    int spotEnabled = 0;
    int ignoreAreaEnabled = 0;
    int positionEnabled = 0;
    int showAlgorithmDetails = 0;
    int safetyDoorTrigger = 0;
    int oneNotMold = 0;
    int autoGenerateArea = 0;
    int statisticsEnabled = 0;
    int reserveOutputRole = 0;                 // 0..3
    int maxOffset = 0;                         // pixels
    int templateIsNg = 0;
    int liveRoiDisplay = 0;
    int showCavityNumbers = 0;
    int logEnabled = 0;
    int skipDetectEnabled = 0;
    int hideNgCount = 0;
    int cameraCheck = 0;
    int ioLostAlarm = 0;
    int serialPort = 0;                        // 0..7 = COM1..COM8
    int colorCamera = 0;
    int grayChannel = 0;
    int noLensOptimize = 0;
    int minSpot = 0;
    int showManualSnapshot = 0;
    int showFactoryParams = 0;
    int systemMode = 0;                        // SystemMode in force
    int systemModePending = 0;                 // SystemMode from the next start
    int moldSelect = 0;                        // 0 left, 1 right, 2 all
    int preCut = 0;                            // 0.1 s
    int autoExposure = 0;
    int autoShading = 0;
    int saveProductOk = 0;
    int spareA = 0;
    int separateDetectSignal = 0;
    int blackAreaEnabled = 0;
    int whiteAreaEnabled = 0;
    int whiteCountEnabled = 0;
    int directionEnabled = 0;
    int similarityEnabled = 0;
    int distanceEnabled = 0;
    int rotationAngle = 0;                     // degrees
    int spareB = 0;
    char password[kParamTextLen] = {};
    int networkEnabled = 0;                    // not stored; reported to the relay
    int ipAddress[4] = {};
    int netMask[4] = {};
    int gateway[4] = {};
    int netEnabled = 0;                        // relay link on
    char netCardName[kParamTextLen] = {};
    int videoShareMode = 0;                    // VideoShare
    int videoShareFps = 0;                     // 0..4 = 5..25 frames/s
    int ngVideoEnabled = 0;
    int smsAlarmEnabled = 0;
    char techName[kParamTextLen] = {};
    char techPhone[kParamTextLen] = {};
    char productName[kParamTextLen] = {};
    int productSerial = 0;
    int productMoldCavity = 0;
    int productNum = 0;
    char operatorName[kParamTextLen] = {};
    int spareC = 0;
    // Multi-detection mode.
    int multiDetectCount = 0;                  // 2..8
    int multiDetectRow[kDetections] = {};      // table row per detection, -1 none
    int multiRowTrigger[8] = {};               // per table row: index into TriginNo
    int multiRowCutMode[8] = {};               // per table row: CutMode
    int multiDetectRowActive[kDetections] = {};  // derived copy the cycle uses
    int customInputName[8] = {};               // index into gInName
    int customOutputName[8] = {};              // index into gOutName
    int statusLampCount = 0;                   // derived
    int multiDetectInOrder = 0;
    int externalTrigger = 0;
    int refreshAfterDetect = 0;
    int spareD = 0;
    int spareArrayA[16] = {};                  // 0..7 stored
    int spareArrayB[16] = {};                  // 0..7 stored
    int hMirror[kCameraSlots] = {};
    int vMirror[kCameraSlots] = {};
    int paramGroupIndex = 0;                   // kept in sysadd.txt
    int imageAdjustEnabled = 0;
    int showCaptureModeButton = 0;
    int cycleTimeLog = 0;
    int ngSwitchToContinuous = 0;
    int continuousTimedDetect = 0;
    int roiNgWarnCount = 0;
    int unreadRows = 0;                        // not stored: rows the load could not read
};

// The record a new PARAM.db starts with, and the values a missing or garbled
// row is repaired with: the constructor's defaults, the load's replacement
// values where zero would fail its range check, the settings pages' minimums
// (exposure 30 ms, gain 32, contrast and gamma 100, ...), the defect method
// offered and the alarm output inverted.
const WizardPara& FirstStartParameters();

static_assert(std::is_trivially_copyable_v<WizardPara>, "copied as a whole");
static_assert(std::is_standard_layout_v<WizardPara>, "fields addressed by offset");
static_assert(std::has_unique_object_representations_v<WizardPara>,
              "no padding: byte comparison must equal field comparison");

// Every field, byte for byte (text buffers are zero-filled, see SetText).
inline bool operator==(const WizardPara& a, const WizardPara& b)
{
    return std::memcmp(&a, &b, sizeof(WizardPara)) == 0;
}
inline bool operator!=(const WizardPara& a, const WizardPara& b) { return !(a == b); }

// The live record and the settings pages' edit copy; made by the main window.
extern WizardPara* gpWPara;
extern WizardPara* gpWParaBak;

// Set by the parameter load.
extern int gDNum;                                  // detections per cycle
constexpr int kStatusLabels = 18;
extern QString gaName[kStatusLabels];              // status-strip I/O labels
extern char gSerialNB[kCameraSlots][kParamTextLen];  // camera serial per slot, "0" none
