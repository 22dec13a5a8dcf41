#pragma once
// UVC cameras of the simulated camera bus.  A bus device of family "uvc" is
// read through the real capture path (FFmpeg) from the input its "uvc"
// object names, e.g.
//   "uvc": {"format": "lavfi", "url": "testsrc=size=320x240:rate=30"}
//   "uvc": {"format": "rawvideo", "url": "cam.yuv", "rewind": true,
//           "options": {"video_size": "320x240", "pixel_format": "gray"}}
// (format: an FFmpeg input format, default lavfi; url: required; options:
// texts passed to the input; rewind: files start again at their end;
// readTimeoutMs: 1..60000, default 2000).  The slots see the devices as
// nodes "camsim:uvc/<serial>"; no device node of the machine is opened.
#include "uvccapture.h"

#include <QByteArray>
#include <QString>

// The input of one bus device's "uvc" object; false with a message naming
// the key when the object is not usable.
bool parseSimulatedUvc(const QByteArray& json, UvcInput* input, QString* url, QString* error);

// When the bus holds UVC devices, installs the capture path and the device
// list that read them; true when it did.
bool installSimulatedUvc();
