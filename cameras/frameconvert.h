#pragma once
// Pixel conversions of the grab side: every frame reaches the receive buffer
// at the processed size, one byte per pixel (grey processing) or RGBA.
#include <cstddef>
#include <cstdint>

// Grey to RGBA: R = G = B = grey, A = 255.
void GreyToRgba(const uint8_t* grey, uint8_t* rgba, size_t pixels);
// 24-bit RGB to RGBA, A = 255.
void RgbToRgba(const uint8_t* rgb, uint8_t* rgba, size_t pixels);
// 24-bit RGB to grey (ITU-R 601 weights).
void RgbToGrey(const uint8_t* rgb, uint8_t* grey, size_t pixels);
