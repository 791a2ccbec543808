// The small picture a file carries beside its own, for showing something
// in a thumbnail's cell before the real thumbnail is made: a JPEG's EXIF
// thumbnail, found in the file's first 64 KB, and HEIF and AVIF thumbnail
// items.
#pragma once

#include <memory>
#include <string>

#include "imaging/picture.h"
#include "imaging/pixels.h"

// The embedded thumbnail of the picture at path, upright, in sRGB, fitted
// into box by box as the picture's own thumbnail is; null when the file
// has none, when its shape is not the picture's (a cropped or letterboxed
// thumbnail would show something else), or when it does not decode.
std::unique_ptr<CPixels> ReadEmbeddedThumbnail(const std::string& path, int box, const StopRequest& stop = {});
