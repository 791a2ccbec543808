// Colour management through Little CMS: pixels of a picture with an
// embedded ICC profile converted to the display's profile (sRGB when the
// display has none) or to sRGB, and CMYK pixels turned into 24-bit rows.
//
// Every function may be called from any thread at once; none throws.
// Transforms cost milliseconds to make, so the last few made are kept,
// keyed by the profile's bytes, the pixel format and the target. Converting
// costs some hundredths of a microsecond a pixel (figures in colour.cpp):
// convert a shrunk copy where that is all that is shown.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

enum class ColourTarget { Display, Srgb };

// Converts width by height 24-bit pixels (bytes blue, green, red; rows
// stride bytes apart, top row first) in place from the RGB ICC profile to
// the target. True when they were converted, or needed no conversion (an
// sRGB profile on the way to sRGB). An empty, damaged, non-RGB or unusable
// profile leaves the pixels untouched and returns false.
bool ConvertRgbPixels(const std::vector<BYTE>& profile, BYTE* bits, size_t stride, int width,
                      int height, ColourTarget target);

// Converts rows of red, green, blue (bytes, or with sixteen 16-bit words
// running to 65535) from the RGB ICC profile to the target into 24-bit
// blue-green-red rows; deep pixels are reduced to 8 bits only after the
// conversion. False, with nothing written, when the profile is empty,
// damaged, non-RGB or unusable.
bool ConvertRgbRows(const std::vector<BYTE>& profile, bool sixteen, const void* rgb, size_t rgbStride, BYTE* bgr,
                    size_t stride, int width, int height, ColourTarget target);

// Converts CMYK pixels (4 bytes a pixel, C, M, Y, K, as libjpeg gives
// JCS_CMYK rows) into 24-bit blue-green-red rows. inverted: every byte is
// inverted (255 = no ink), as libjpeg gives the CMYK of Adobe's files. Goes
// through the profile when it is a usable CMYK profile, else through the
// plain conversion R = (255 - C) * (255 - K) / 255 and so on.
void ConvertCmykPixels(const std::vector<BYTE>& profile, bool inverted, const BYTE* cmyk,
                       size_t cmykStride, BYTE* bgr, size_t stride, int width, int height,
                       ColourTarget target);

// Whether the profile describes sRGB: sRGB's primaries and tone curves,
// without tables that could say otherwise. Pictures with such a profile
// need no conversion to sRGB.
bool IsSrgbProfile(const std::vector<BYTE>& profile);
