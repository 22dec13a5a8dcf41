// The cycle's bookkeeping when Confirm changes the multi-detection step
// count: what the plan computed lands in the cycle's own arrays, and
// nothing of the steps beyond the new count or the cameras not in use is
// touched.
#include "fakecycle.h"
#include "cameraslotstate.h"
#include "messages.h"

#include <QtTest>

class TestCycleStepCount : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FillMessageTable(); }
    void threeToFiveSteps();
};

void TestCycleStepCount::threeToFiveSteps()
{
    CycleRig rig(2);
    rig.para.systemMode = SystemModeMultiDetect;
    gDNum = 3;
    // Everything a running cycle of three steps may hold, on all slots.
    for (int d = 0; d < kDetections; ++d) {
        rig.state.pendingCameraMask[d] = 0x3;
        rig.state.detectionArmed[d] = 1;
        for (int c = 0; c < kCameraSlots; ++c) {
            rig.state.failImageState[c][d] = FailImgArmed;
            rig.cams[c]->slotState().skipMould[d] = 1;
        }
    }
    for (int c = 0; c < kCameraSlots; ++c)
        rig.state.cycleFirstRun[c] = rig.state.roiNgCountPending[c] = true;
    rig.state.currentDetect = 1;

    // What the Confirm plan gives for mode 4, 3 -> 5 steps with step 2
    // disabled, on two cameras.
    std::array<bool, kDetections> clear{};
    clear[0] = clear[1] = clear[3] = clear[4] = true;
    rig.controller->ResetStepCount(5, 4, clear, 2);

    QCOMPARE(rig.state.currentDetect, 4);
    for (int d = 0; d < kDetections; ++d) {
        const bool inSteps = d < 5;
        QCOMPARE(rig.state.pendingCameraMask[d], inSteps && clear[size_t(d)] ? 0 : 0x3);
        QCOMPARE(rig.state.detectionArmed[d], inSteps ? 0 : 1);
        for (int c = 0; c < kCameraSlots; ++c) {
            const bool cleared = inSteps && c < 2;
            QCOMPARE(rig.state.failImageState[c][d], cleared ? 0 : int(FailImgArmed));
            QCOMPARE(int(rig.cams[c]->slotState().skipMould[d]), cleared ? 0 : 1);
        }
    }
    for (int c = 0; c < kCameraSlots; ++c) {
        QCOMPARE(rig.state.cycleFirstRun[c], c >= 2);
        QCOMPARE(rig.state.roiNgCountPending[c], c >= 2);
    }
}

QTEST_GUILESS_MAIN(TestCycleStepCount)
#include "tst_cyclestepcount.moc"
