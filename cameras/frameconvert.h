#pragma once
// Pixel conversions of the grab side: every frame reaches the receive buffer
// at the processed size, one byte per pixel (grey processing) or RGBA words
// in the image library's layout (24-bit RGB goes through its RGB2RGBA).
#include <cstddef>
#include <cstdint>

// Grey to RGBA words 0xFF000000 | v * 0x010101 (byte order does not matter).
void GreyToRgba(const uint8_t* grey, uint8_t* rgba, size_t pixels);
// 24-bit RGB to grey (ITU-R 601 weights).
void RgbToGrey(const uint8_t* rgb, uint8_t* grey, size_t pixels);
