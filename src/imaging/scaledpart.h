// The part of a picture a window shows at any scale, made from whatever
// pixels of it are at hand (reduced or whole).
#pragma once

#include "imaging/pixels.h"

// Fills target (the window's pixels) with the picture of source shown at
// shown size with its top-left corner at origin, and background (blue,
// green, red order as in the rows) around it. scale is window pixels per
// picture pixel: below the source's own size pixels are area averaged,
// at it copied, above it interpolated up to 4x the picture and from then
// on repeated as squares.
void ScalePart(const PixelRows& source, SIZE shown, POINT origin, double scale, const PixelRows& target,
               const BYTE background[3]);
