#pragma once
// Per camera slot, the detections counted and how many of them were NG.
// They survive a restart in "count.txt" in the program directory.
#include "globals.h"

extern int gAllNum[kCameraSlots];
extern int gFailNum[kCameraSlots];

// Loads both arrays from count.txt; a missing or unreadable file gives 0s,
// an out-of-range count (negative or above 100000000) gives 0.
void CountRead();
// Saves both arrays to count.txt, replacing the file only once the new
// content is complete.  False when it could not be written; the file then
// keeps its old content.
bool CountWrite();
