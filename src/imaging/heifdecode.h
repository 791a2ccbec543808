// Decoding HEIF pictures (HEVC-coded, the HEIC files phones make) and AVIF
// pictures (AV1-coded) through libheif, into the same picture sections the
// JPEG pipeline gives. Used by CPictureBitmap.
#pragma once

#include <cstdio>

#include "gdi.h"
#include "imaging/jpegdecode.h"

// The primary picture of the file open as file, as DecodePicture does for
// JPEG: whole (a grid's tiles put together), upright as its transform
// properties say, in the target's colours, transparency laid over the
// background. Auxiliary, depth and thumbnail pictures are never shown.
Decoded DecodeHeifPicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header);

// Only what the header says of it: its size as stored and upright, and the
// facts its EXIF gives; never a pixel.
bool ReadHeifHeader(FILE* file, PictureHeader& header, const StopRequest& stop = {});
