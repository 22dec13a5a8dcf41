#pragma once
// What the detection engine needs of the main window: the current detection,
// the statistics switch of the cycle, the system parameters it reads, the
// operation record and a repaint of the camera view.  The main window
// implements it; tests fill their own.
#include "globals.h"

#include <QString>
#include <QStringList>

#include <functional>

// The system parameters the engine reads, copied by the host.  The start
// values are those the parameter load gives a fresh PARAM.db.
struct EngineParams {
    int detectEnabled[kDetections] = {};
    int motionCorrection = -1;      // -1 positioning off, 0 on
    int rotationAngle = 0;          // 1..180: positioning also rotates
    int maxOffset = 8000;           // search margin, pixels
    int differenceMultiplier = 0;   // defect tolerance at edges
    int showAlgorithmDetails = 0;   // per-area filter size and alarm area
    int minimumSize = 3;            // global defect filter size
    int minimumArea = 100;          // global defect alarm area
    int templateIsNg = 0;           // defect areas fail below the limit
    int minSpot = 3;                // filter size of the gray-range methods
    int netEnabled = 0;             // result records for the relay
};

class EngineHost {
public:
    virtual ~EngineHost() = default;
    virtual int currentDetect() const = 0;
    virtual int statsTriggerSource() const = 0;
    virtual EngineParams params() const = 0;
    // One operation record.
    virtual void InsertRecord(const QString& text) = 0;
    // Repaint the view of the camera slot.
    virtual void repaint(int camIndex) = 0;
};

// A host with fixed values that keeps what it is told, for tests and tools.
class FixedEngineHost : public EngineHost {
public:
    int detect = 0;
    int triggerSource = 0;
    EngineParams values;
    QStringList records;
    int repaints = 0;

    int currentDetect() const override { return detect; }
    int statsTriggerSource() const override { return triggerSource; }
    EngineParams params() const override { return values; }
    void InsertRecord(const QString& text) override { records << text; }
    void repaint(int) override { ++repaints; }
};

// Takes the parameters from the live system record gpWPara (all zero while
// it does not exist); the main window supplies the detection and the
// statistics switch of its cycle state (followCycle), the record and the
// repaint through the callbacks it sets.
class WizardParaEngineHost : public EngineHost {
public:
    std::function<int()> currentDetectFn;
    std::function<int()> statsTriggerSourceFn;
    std::function<void(const QString&)> insertRecordFn;
    std::function<void(int)> repaintFn;

    // Reads the current detection and the statistics switch straight from
    // the detection cycle's state fields (which must outlive the host), so
    // the engine always judges the detection the cycle is at.
    void followCycle(const int& currentDetect, const int& statsTriggerSource)
    {
        const int* detect = &currentDetect;
        const int* source = &statsTriggerSource;
        currentDetectFn = [detect] { return *detect; };
        statsTriggerSourceFn = [source] { return *source; };
    }

    int currentDetect() const override { return currentDetectFn ? currentDetectFn() : 0; }
    int statsTriggerSource() const override { return statsTriggerSourceFn ? statsTriggerSourceFn() : 0; }
    EngineParams params() const override;
    void InsertRecord(const QString& text) override
    {
        if (insertRecordFn)
            insertRecordFn(text);
    }
    void repaint(int camIndex) override
    {
        if (repaintFn)
            repaintFn(camIndex);
    }
};
