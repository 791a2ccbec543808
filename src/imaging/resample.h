// Shrinking and turning rows of 24-bit pixels in memory.
#pragma once

#include "imaging/pixels.h"

// Shrinks source into target by area averaging: every source pixel counts
// for the share of each target pixel it covers, so fine detail becomes its
// average instead of a pattern that was never there. Both are 24-bit rows;
// a target larger than the source in either direction is filled the same
// way (each of its pixels averages what it covers).
void ShrinkPixels(const PixelRows& source, const PixelRows& target);

// The size of pixels of width by height once shown in orientation (the
// EXIF values 1 to 8): 5 to 8 exchange width and height.
SIZE OrientedSize(int width, int height, int orientation);
// Copies source into target turned and mirrored as orientation says, so
// that target stands upright; target has OrientedSize of source.
void OrientPixels(const PixelRows& source, const PixelRows& target, int orientation);
