#pragma once
// The result pictures waiting for the picture writer: one slot per camera,
// detection and kind (0 NG, 1 OK), each with its pending flag.
//
// A slot holds an implicitly shared QImage, made by the first render of that
// camera and detection (no picture memory for slots never used).  Storing and
// taking are swaps under pMutexSaveFail, so the lock is never held while a
// picture is painted, encoded or written, and a picture replaced in its slot
// is released after the lock is given back.
//
// The GUI thread renders and stores (the camera slot), then flags (the
// verdict); the writer thread takes a flagged picture and clears its flag.
#include "globals.h"

#include <QImage>

extern QImage gpFailImage[kCameraSlots][kDetections][2];
// 1 = the picture of that slot waits to be written.
extern bool gisSaveFail[kCameraSlots][kDetections][2];

// Puts picture into the slot, replacing what it held (the flag is left as it is).
void StoreFailImage(int camera, int d, int slot, QImage picture);
// The slot's picture (a shallow copy); null when none was stored.
QImage FailImage(int camera, int d, int slot);
// Both pending flags of (camera, d), read together.
void FailImageFlags(int camera, int d, bool* ngPending, bool* okPending);
// When the slot's flag is set: moves its picture into *picture, clears the
// flag and returns true.
bool TakeFailImage(int camera, int d, int slot, QImage* picture);
// Empties every slot and flag (tests, and a program start).
void ClearFailImages();
