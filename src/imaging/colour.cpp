// TEMPORARY stub
#include "imaging/colour.h"
bool ConvertRgbPixels(const std::vector<BYTE>&, BYTE*, size_t, int, int, ColourTarget) { return false; }
void ConvertCmykPixels(const std::vector<BYTE>&, bool inverted, const BYTE* cmyk, size_t cmykStride, BYTE* bgr, size_t stride, int width, int height, ColourTarget)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const BYTE* p = cmyk + cmykStride * y + 4 * x;
            int c = p[0], m = p[1], ye = p[2], k = p[3];
            if (inverted) { c = 255 - c; m = 255 - m; ye = 255 - ye; k = 255 - k; }
            BYTE* o = bgr + stride * y + 3 * x;
            o[2] = (BYTE)((255 - c) * (255 - k) / 255);
            o[1] = (BYTE)((255 - m) * (255 - k) / 255);
            o[0] = (BYTE)((255 - ye) * (255 - k) / 255);
        }
}
