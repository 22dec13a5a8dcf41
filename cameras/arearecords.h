#pragma once
// The change records the area page writes when it saves one camera's area
// set: one operation-record text per added, removed or changed area,
// comparing the saved set as it was before the save with the work set, and
// whether a positioning area took part (the detector's positioning shapes
// must then be rebuilt).  Pure functions over two sets; texts in the
// language of the run.
#include "cammersingleton.h"

#include <QString>
#include <QStringList>

// Message id of the name of a function (method code), as the panel's
// function button shows it; a code outside 0..9 reads as defect.
int FunctionNameId(int method);
// Message id of the name of a shape code: rectangle, circle, else polygon.
int ShapeNameId(int shape);

// The name of detection d in the records of a system mode: the mode's
// detection names, or the number d + 1 for a mode without names.
QString RecordDetectionName(int systemMode, int d);
// "Detection <name> of camera <camera + 1> ".
QString RecordPrefix(int systemMode, int camera, int d);

struct AreaChangeRecords {
    QStringList texts;          // in detection and area order, prefix included
    bool positioning = false;   // a changed, added or removed area is or was positioning
};

// Records of camera `camera` for detections 0 .. detections - 1.  An area
// that differs in nothing the record names (function, compared values,
// outline) gives no text.
AreaChangeRecords AreaChanges(const CammerSingleton& saved, const CammerSingleton& work, int camera, int systemMode,
                              int detections);
