// Drawing pictures and icons on the screen and on paper.
#pragma once

#include <string>

#include "dc.h"
#include "imaging/picture.h"

// Paints picture centred in area, at width by height, or with 0 and 0 at its
// own size shrunk to fit (never enlarged). On screen the rest of the area is
// black; on a printer it is left as it is.
void DrawPictureFitted(CDC* dc, const RECT& area, const CPictureBitmap& picture, int width,
                       int height);

// DrawPictureFitted with 0 and 0 for a picture decoded from path: first
// decoded again, at a larger scale, when the bitmap holds too few pixels
// for area (a larger window, a printer).
void DrawPictureFile(CDC* dc, const RECT& area, CPictureBitmap& picture, const std::string& path);

// Copies pixels with their top-left corner at (x, y), at their own size in
// the DC's units.
void DrawPixels(CDC* dc, int x, int y, const CPixels& pixels);

// text as it fits in width logical units in the DC's font: whole, or as
// much of its start and of its end as fits with an ellipsis between.
std::string FitBothEnds(CDC* dc, const std::string& text, int width);

// Draws icon with its top-left corner at (x, y). A printer gets the icon
// flattened onto white, without a mask.
void DrawIconOnOutput(CDC* dc, HICON icon, int x, int y);
