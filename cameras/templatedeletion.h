#pragma once
// Empties one camera slot's template libraries down to the base template,
// for re-sampling: the new base templates must not be trained together with
// pictures of the old ones.  Files and memory go together; each removed
// file is reported to the relay.  GUI thread only.
#include "cameraslotstate.h"

// For every detection d below detections: removes every "template*" file of
// the folder "./cammer<camIndex + 1><d + 1>" but "template0.bmp" (also the
// numbers above the library size, left by a larger library), and every
// template buffer but slot 0 (valid flags cleared, count 1 with a base
// template, the shown template 0).  Each removed file is reported with
// gpNet->CNT_SendDelTempPic(camIndex + 1, d + 1, file name) when netEnabled
// is set and the relay listens and is connected.  A file that cannot be
// removed is logged and not reported; memory is emptied all the same.
// Returns the number of files removed.
int DeleteTemplatesButBase(CameraSlotState& slot, int camIndex, int detections, bool netEnabled);
