#pragma once
// The main window.  It owns the three database connections, the parameter
// records (gpWPara and gpWParaBak point at them while it lives), the
// operation record and the shared boxes, and runs the start-up checks.  The detection cycle, the camera views and the pages join it as
// their subsystems land (see ARCHITECTURE.md).
#include "keypadhost.h"

#include <QPointer>
#include <memory>
#include <QSqlDatabase>
#include <QVector>
#include <QWidget>
#include <QtGui/qrgb.h>

class Edit;
class OperationRecord;
class QTimer;
class TouchHost;
class WizardPara;

class MoJuWizard : public QWidget {
    Q_OBJECT
public:
    explicit MoJuWizard(QWidget* parent = nullptr);
    ~MoJuWizard() override;

    // Access level of the operator (AccessLevelNone/Primary/Advanced).
    int accessLevel = 0;

    QSqlDatabase dbParam;    // "dbIn", PARAM.db
    QSqlDatabase dbRecord;   // "dbRecord", RECORD.db
    QSqlDatabase dbSerial;   // "dbT", SN.db

    int leftPairActive = 0;  // the left mould pair is the active one
    int screenOff = 0;       // backlight off; written only by LCDOnOff
    int calibrationArmed = 0;
    QTimer* calibrationTimer = nullptr;  // 3 s long press, runs TSClibrate
    QTimer* logoutTimer = nullptr;       // runs TimerLogout
    QTimer* screenOffTimer = nullptr;    // runs TimerLCD
    QTimer* dateCheckTimer = nullptr;    // 60 s, runs SlotCheckDate
    const QVector<QRgb>* grayColorTable = nullptr;  // GrayColorTable(), shared with the views
    qint64 clockFloorMs = 0;             // earliest valid clock time, from realytime.txt

    OperationRecord* operationRecord() const { return record_; }

    // The field the on-screen keypads type into; cleared when it goes away.
    QPointer<Edit> keypadTarget;

public slots:
    void InsertRecord(const QString& text);
    void ClearRecord();
    void SlotCheckDate();
    void FLushAll();
    void CountRead();
    void CountWrite();
    void TSClibrate();
    void TimerLogout();
    void TimerLCD();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Returns the messages it showed.
    QList<int> OpenDatabases();
    void CheckClock();

    OperationRecord* record_ = nullptr;
    // The records behind gpWPara and gpWParaBak.
    std::unique_ptr<WizardPara> para_;
    std::unique_ptr<WizardPara> paraBak_;
    std::unique_ptr<KeypadHost> keypadHost_;
    std::unique_ptr<TouchHost> touchHost_;
};

// The main window, set by its constructor before anything reads it.
extern MoJuWizard* gpWin;

// Backlight on (non-zero) or off; keeps gpWin->screenOff in step.
void LCDOnOff(int on);

// Name of the file holding the earliest valid clock time (ms since the epoch).
extern const char* const kClockFloorFile;
