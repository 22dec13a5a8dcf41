#pragma once
// The bodies of the messages the monitor sends to the relay, one builder per
// message type.  Each returns the body as UTF-8 bytes; framing, queueing and
// the enable table belong to the link (cnt_net).  Nothing here touches a
// socket, a file or a lock, so every builder may run on any thread that may
// read its inputs (the main window's state is read on the GUI thread).
//
// Conventions shared by the bodies:
// - deviceId is the host name the link read from the system (its netCard).
// - Time stamps are milliseconds since the epoch, UTC, taken from appClock().
// - JSON goes out as cJSON_Print prints it (members on their own lines,
//   indented with tabs); whole numbers print as integers, and times of 13
//   digits print whole.
// - Every text goes out as UTF-8.  Texts stored in the parameter record are
//   raw bytes: each byte that is not part of valid UTF-8 becomes U+FFFD.
// - Form bodies (key=value joined by "&") are not escaped: the relay reads
//   them as they always were, so a value holding "&" or "=" goes out as is.
#include "globals.h"
#include "paramroirecord.h"
#include "wizardpara.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <vector>

struct cJSON;
class CammerSingleton;
class RelayHost;

// Adds a string member holding value as UTF-8.
void ccJSON_AddItemToObject(cJSON* object, const char* name, const QString& value);
// Adds a number member.
void ccJSON_AddItemToObject(cJSON* object, const char* name, const long& value);

// A text field of the parameter record (bytes up to the first NUL) as
// text; each byte that is not part of valid UTF-8 becomes U+FFFD.
QString StoredText(const char (&field)[kParamTextLen]);

// What the bodies read of the program's shared state besides the main
// window.  live() points at the program's own (gpWPara, gLan, gAllNum,
// gFailNum, gSerialNB); tests point it at fixtures.
struct CatalogueInputs {
    const WizardPara* para = nullptr;               // never null in live()
    int language = 0;                               // interface language 0..2
    const int* allNum = nullptr;                    // kCameraSlots detections counted
    const int* failNum = nullptr;                   // kCameraSlots of them NG
    const char (*serials)[kParamTextLen] = nullptr; // kCameraSlots camera serials

    // With no parameter record yet, an all-zero one stands in.
    static CatalogueInputs live();
};

namespace cnt {

// One value of the parameter message: a number or a text.
struct ParamValue {
    bool isText = false;
    long number = 0;
    QString text;
};

// One member of the parameter message (type 2) and where its value comes
// from.  source names the record field copied ("minSpot",
// "detectDelay[0]"), or says how the value is made; the builder and the
// tests both walk this table.
struct ParamKey {
    const char* key;
    const char* source;
    ParamValue (*value)(const QString& deviceId, const CatalogueInputs& in);
};
// The top-level members in sending order; the "camera" array follows them.
const std::vector<ParamKey>& ParamKeys();

// One member of each camera object of the parameter message, for slot.
struct ParamCameraKey {
    const char* key;
    const char* source;
    ParamValue (*value)(const CatalogueInputs& in, int slot);
};
const std::vector<ParamCameraKey>& ParamCameraKeys();

// Type 1, one row of the operation record: form of device_id, operater
// (the access-level text), utc (time of the row) and description (its text,
// the last key, so a relay splitting at "&" still gets the whole text).
QByteArray RecordBody(const QString& deviceId, const QDateTime& time, const QString& level,
                      const QString& text);

// Type 2, the system parameters: the members of ParamKeys(), then "camera"
// with one object per camera slot, all eight whatever the cameras in use.
QByteArray ParamBody(const QString& deviceId, const CatalogueInputs& in);

// Types 5 and 6: the absolute path of a written picture, as the caller
// passes it.
QByteArray PathBody(const QString& path);

// Type 8, the areas of detection 0..7 of one camera's saved set.  Empty for
// a detection outside that range.
QByteArray RoiParamBody(const QString& deviceId, const CammerSingleton& set, int detection);
// The same for a camera slot of the main window; empty when the slot has no
// saved set (nothing is to be sent then).
QByteArray RoiParamBody(const QString& deviceId, const RelayHost& host, int camera, int detection);

// Type 11, a template file deleted: camera and detection counted from 1 as
// the area page passes them, the file name as given, and the operator of
// the manual-stop record.
QByteArray DelTempPicBody(const QString& deviceId, int camera, int detection, const QString& name,
                          const QString& operatorId);

// Type 15, NG video marker: isng 1 at alarm start, 0 at release; product is
// the statistics record's product name.
QByteArray SaveNgVideoBody(const QString& deviceId, int camera, const QString& product, int isng);

// Type 16, technician notice: detection index (sent counted from 1) and its
// number of NG areas, with the technician of the parameter record.
QByteArray TelInfoBody(const QString& deviceId, int detection, int count, const WizardPara& para);

// Type 18, the results of one detection.  utc is the time the body carries;
// the link keeps it as bindUtc for the release message.
struct StatisticsOnce {
    QByteArray body;
    qint64 utc = 0;
};
// list: the per-area results in collection order; entries of a camera not
// in use are left out, and only detections 0..4 get detect entries (the
// relay's tables hold five).  ng: the verdict; trigger: what started the
// detection.
StatisticsOnce StatisticsOnceBody(const QString& deviceId, const RelayHost& host,
                                  const CatalogueInputs& in, const QList<param_roi>& list,
                                  bool ng, int trigger);

// Type 20, the alarm was released.  bindUtc: the utc of the last type 18.
QByteArray CancleBody(const QString& deviceId, qint64 bindUtc, const RelayHost& host,
                      const WizardPara& para);

// Types 14 and 17, the product and memo list queries.
inline QByteArray EmptyBody() { return {}; }

// The texts the relay shows for the run state, the trigger and the way an
// alarm ended ("" for values without one).
QString RunStateText(int runState);
QString TriggerText(int trigger);
QString ReleaseMethodText(int failImageState);
// How the alarm the cycle is on ended: the release state of the current
// detection on the first camera in use that holds one (4..8); "" without.
QString ReleaseMethod(const RelayHost& host);

}  // namespace cnt
