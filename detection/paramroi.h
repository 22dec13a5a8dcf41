#pragma once
// The list of area results the detection pass collects for the relay link.
#include "paramroirecord.h"

#include <QList>

// Appended by the detection pass while the cycle collects statistics;
// handed to the relay link and emptied by the cycle.  GUI thread only.
extern QList<param_roi> g_listParamROI;
