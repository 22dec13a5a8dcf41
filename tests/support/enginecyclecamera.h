#pragma once
// A camera slot for the cycle with the real detection engine behind it: the
// slot's state and a CammerRecong built on it (an EngineRig's, say), no
// view and no camera.  Positioning and the pass run the engine for the
// cycle's current detection, as the camera widget does; frames reach the
// cycle through a real FrameHandOver when one is delivered.
#include "cameraslotstate.h"
#include "cammerrecongnize.h"
#include "cyclecamera.h"
#include "cyclestate.h"
#include "enginehost.h"
#include "framehandover.h"

#include <QMap>
#include <QString>

#include <functional>
#include <memory>

class EngineCycleCamera : public CycleCamera {
public:
    // slot, engine and host belong to the caller and outlive the camera;
    // cycle gives the detection the engine works on.
    EngineCycleCamera(CameraSlotState& slot, CammerRecong& engine, FixedEngineHost& host, const CycleState& cycle)
        : slot_(slot), engine_(engine), host_(host), cycle_(cycle)
    {
    }

    // Called at the start of every positioning (benchmarks take the time),
    // on the thread that judges the camera.
    std::function<void()> beforeShapeMatch;
    // Calls by name ("ShapeMatch", "Run", "SaveFailImage", ...).
    QMap<QString, int> calls;

    // Frames delivered here are taken over by the next pass.
    FrameHandOver& handOver()
    {
        if (!handOver_)
            handOver_ = std::make_unique<FrameHandOver>(slot_.camIndex);
        return *handOver_;
    }

    CameraSlotState& slotState() override { return slot_; }
    bool takeNewFrame() override { return handOver_ && handOver_->take(slot_.procFrame.data()); }
    void ShapeMatch() override
    {
        ++calls[QStringLiteral("ShapeMatch")];
        if (beforeShapeMatch)
            beforeShapeMatch();
        host_.detect = cycle_.currentDetect;
        engine_.ShapeMatch();
    }
    void Run(int d) override
    {
        ++calls[QStringLiteral("Run")];
        host_.detect = d;
        engine_.Run(d);
    }
    // Positioning and the pass touch only this camera's slot, engine, host
    // and call counts.
    bool judgesOffThread() const override { return true; }
    void RunKept(int d, PassReport& report) override
    {
        ++calls[QStringLiteral("Run")];
        host_.detect = d;
        engine_.Run(d, &report);
    }
    void HandOn(const PassReport& report) override
    {
        ++calls[QStringLiteral("HandOn")];
        engine_.HandOn(report);
    }
    void CreateShape(int d) override
    {
        ++calls[QStringLiteral("CreateShape")];
        engine_.CreateShape(d);
    }
    void VarTrain(int d) override
    {
        ++calls[QStringLiteral("VarTrain")];
        engine_.VarTrain(d);
    }
    void startAlarmBlink() override { ++calls[QStringLiteral("startAlarmBlink")]; }
    void SetWB() override { ++calls[QStringLiteral("SetWB")]; }
    void CameraChangeTrig(bool) override { ++calls[QStringLiteral("CameraChangeTrig")]; }
    void repaintView() override { ++calls[QStringLiteral("repaintView")]; }
    void repaintRect(const QRect&) override { ++calls[QStringLiteral("repaintRect")]; }
    void SaveFailImage(int, int) override { ++calls[QStringLiteral("SaveFailImage")]; }
    void UpdateFailImage(int, int) override { ++calls[QStringLiteral("UpdateFailImage")]; }
    void SaveReTrainImage(int) override { ++calls[QStringLiteral("SaveReTrainImage")]; }
    bool SaveIgnorePoint(int) override { return true; }

private:
    CameraSlotState& slot_;
    CammerRecong& engine_;
    FixedEngineHost& host_;
    const CycleState& cycle_;
    std::unique_ptr<FrameHandOver> handOver_;
};
