#pragma once
// Pixel conversions between the camera buffers and the 8-bit planes.
// "RGBA" is the 32-bit word 0xFFRRGGBB of QImage::Format_RGB32, bytes
// B, G, R, 0xFF in memory; "RGB" is 24-bit R, G, B as the cameras deliver it.
// Buffers belong to the caller and are not reallocated.

// 24-bit R,G,B -> RGBA words.
void RGB2RGBA(void* rgba, const void* rgb, int w, int h);
// RGBA words -> 8-bit gray (ITU-R 601 weights).
void RGBA2Gray(unsigned char* gray, const void* rgba, int w, int h);
// RGBA words -> 8-bit hue on 0..255 for the full circle; gray pixels
// (R = G = B) have no hue and give 0.
void RGBA2Hue(unsigned char* hue, const void* rgba, int w, int h);
// 8-bit gray -> RGBA words 0xFF000000 | v * 0x010101.
void Gray2RGBA(const unsigned char* gray, void* rgba, int w, int h);
