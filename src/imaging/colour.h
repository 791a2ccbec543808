// TEMPORARY stub until the colour module lands.
#pragma once
#include <windows.h>
#include <cstddef>
#include <vector>
enum class ColourTarget { Display, Srgb };
bool ConvertRgbPixels(const std::vector<BYTE>& profile, BYTE* bits, size_t stride, int width, int height, ColourTarget target);
void ConvertCmykPixels(const std::vector<BYTE>& profile, bool inverted, const BYTE* cmyk, size_t cmykStride, BYTE* bgr, size_t stride, int width, int height, ColourTarget target);
