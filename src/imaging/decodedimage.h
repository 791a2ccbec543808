// What the program's own decoders of HEIF, AVIF and WebP share: their
// pixels, as the library gives them, made into the same picture sections
// the JPEG pipeline gives (upright, in the target's colours, transparency
// laid over the background, no more pixels than the box needs).
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "gdi.h"
#include "imaging/jpegdecode.h"

// Rows of red, green, blue (and alpha, not premultiplied) as stored, top
// row first: bytes for 8-bit pictures, 16-bit words in the machine's order
// for deeper ones, whose values run to 2^depth - 1.
struct DecodedImage {
    const BYTE* bits = nullptr;
    ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
    int depth = 8;  // bits a channel: 8, or 9 to 16 in 16-bit words
    bool alpha = false;
    // The EXIF value (1 to 8) that turns the rows upright; 1 when the
    // library turned them already.
    int orientation = 1;
    // The picture's ICC profile; empty for sRGB.
    std::vector<BYTE> profile;
};

// The section of size in bitmap: the one it holds when that has the size,
// which spares the system a fresh allocation, else a new one.
bool SectionOfSize(CBitmap& bitmap, SIZE size, PixelRows& rows);

// The image into section, reusing the one it holds when that has the size
// needed: laid over request.background, converted to the target's colours
// (deep pixels reduced to 8 bits only then), turned upright and shrunk by
// the area average to the box. header gets the sizes and orientation.
// Failed when the image is empty or too large, or memory runs short;
// Stopped when the request gave up between bands of rows. section is empty
// unless Complete.
Decoded DeliverImage(const DecodedImage& image, CBitmap& section, const PictureRequest& request,
                     PictureHeader& header);

// Lays the picture in section on a canvas of the background at at, as an
// animation's first frame that covers a part of its canvas shows. False,
// with section empty, when the picture does not lie within the canvas or
// memory runs short.
bool PlaceOnCanvas(CBitmap& section, SIZE canvas, POINT at, COLORREF background);
