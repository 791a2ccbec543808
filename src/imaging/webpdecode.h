// Decoding WebP pictures through libwebp, into the same picture sections
// the JPEG pipeline gives. Used by CPictureBitmap.
#pragma once

#include <cstdio>

#include "gdi.h"
#include "imaging/jpegdecode.h"

// The picture of the file open as file (an animation's first frame), as
// DecodePicture does for JPEG.
Decoded DecodeWebpPicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header);

// Only what the header says of it; never a pixel.
bool ReadWebpHeader(FILE* file, PictureHeader& header, const StopRequest& stop = {});
