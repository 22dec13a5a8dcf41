#pragma once
// The result record of one evaluated area, collected during a cycle for the
// statistics message of the relay link (which takes a list of them).
#include <QList>

#include <cstdint>

struct param_roi {
    int32_t cameraId = 0;        // camera slot 0..7
    int32_t detectId = 0;        // detection 0..7
    int32_t roiId = 0;           // area 0..49 within the detection
    int32_t algorithmType = 0;   // area method code
    int32_t algorithmResult = 0; // the area's value
    int32_t algorithmPremin = 0; // lower limit of the verdict
    int32_t algorithmPremax = 0; // upper limit of the verdict
    int32_t stageOk = 0;         // 0 when the area failed, else the camera's OK flag so far
};
