#include "frameconvert.h"

void GreyToRgba(const uint8_t* grey, uint8_t* rgba, size_t pixels)
{
    uint32_t* out = reinterpret_cast<uint32_t*>(rgba);
    for (size_t i = 0; i < pixels; ++i)
        out[i] = 0xFF000000u | grey[i] * 0x010101u;
}

void RgbToGrey(const uint8_t* rgb, uint8_t* grey, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i)
        grey[i] = static_cast<uint8_t>((rgb[3 * i] * 77 + rgb[3 * i + 1] * 150 + rgb[3 * i + 2] * 29) >> 8);
}
