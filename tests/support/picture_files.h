// Picture files of other formats than JPEG for tests: PNG and BMP written by
// the system's encoders, TIFF (with an Orientation tag or a colour
// profile), GIF (with transparency), ICO and 16-bit PNG written byte by
// byte, since Wine's encoders write neither tags nor transparency.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

// Quadrant colours, top left, top right, bottom left, bottom right, with
// their alpha.
struct Quadrants {
    COLORREF colour[4] = {RGB(220, 30, 30), RGB(30, 200, 30), RGB(30, 30, 220), RGB(230, 220, 40)};
    BYTE alpha[4] = {255, 255, 255, 255};

    int At(int x, int y, int width, int height) const { return (y >= height / 2) * 2 + (x >= width / 2); }
};
// Those of the JPEG maker's Quadrants pattern.
Quadrants JpegQuadrants();

// Rows of blue, green, red (and alpha) bytes, top row first, unpadded.
std::string QuadrantPixels(int width, int height, const Quadrants& q, bool alpha);
// The same as 48bppRGB, 64bppRGBA or 64bppPRGBA words; each low byte differs
// from its high one, so that a word read the wrong way round shows.
std::string QuadrantWords(int width, int height, const Quadrants& q, bool alpha, bool premultiplied = false);
// A file of container format written by the system's encoder, one frame
// of pixels in format each; empty when it refuses.
std::string Encode(const GUID& container, const WICPixelFormatGUID& format, int width, int height,
                   const std::vector<std::string>& frames);
// An RGB PNG of the quadrants, 16 bits a channel (Wine's encoder swaps them).
std::string Png16(int width, int height, const Quadrants& q);
// A baseline RGB TIFF of the quadrants with an Orientation tag, and an ICC
// profile when one is given; of 8 or 16 bits a sample.
std::string Tiff(int width, int height, const Quadrants& q, int orientation, const std::string& profile = "", int bits = 8);
// A GIF of 8-bit indices, one image a frame; palette index transparent, if
// any, shows nothing.
std::string Gif(int width, int height, const Quadrants& q, const std::vector<std::string>& frames, int transparent = -1);
// The quadrants as indices 0 to 3 of a GIF's palette.
std::string QuadrantIndices(int width, int height, const Quadrants& q);
// An icon of one 32-bit image of the quadrants.
std::string Ico(int width, int height, const Quadrants& q);
