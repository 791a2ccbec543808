#include "imaging/resample.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace {

// One source pixel's part in a target pixel.
struct Tap {
    int source;
    uint32_t weight;  // of the target pixel's span of source pixels
};

// For each target pixel, the source pixels it covers and by how much. In
// units of 1 / targetSize of a source pixel both spans are whole numbers:
// target pixel t covers [t * sourceSize, (t + 1) * sourceSize), source
// pixel s covers [s * targetSize, (s + 1) * targetSize); the weights of a
// target pixel add up to sourceSize.
struct Taps {
    std::vector<int> first;  // index into taps of each target pixel's first tap, and one past the last
    std::vector<Tap> taps;

    Taps(int sourceSize, int targetSize) : first((size_t)targetSize + 1)
    {
        const int64_t from = sourceSize, to = targetSize;
        for (int t = 0; t < targetSize; ++t) {
            first[(size_t)t] = (int)taps.size();
            const int64_t begin = t * from, end = (t + 1) * from;
            for (int64_t s = begin / to; s < sourceSize && s * to < end; ++s) {
                const int64_t overlap = std::min(end, (s + 1) * to) - std::max(begin, s * to);
                if (overlap > 0)
                    taps.push_back(Tap{(int)s, (uint32_t)overlap});
            }
        }
        first[(size_t)targetSize] = (int)taps.size();
    }
};

}  // namespace

void ShrinkPixels(const PixelRows& source, const PixelRows& target)
{
    if (source.width <= 0 || source.height <= 0 || target.width <= 0 || target.height <= 0)
        return;
    const Taps across(source.width, target.width);
    const Taps down(source.height, target.height);

    // Each source row is shrunk across once, to 8 bits of fraction, and
    // added into the target row it falls in with its vertical weight.
    const uint64_t acrossTotal = (uint64_t)source.width;
    const uint64_t total = (uint64_t)source.height << 8;
    std::vector<uint32_t> row((size_t)target.width * 3);
    std::vector<uint64_t> sums((size_t)target.width * 3);
    int lastRow = -1;
    for (int t = 0; t < target.height; ++t) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = down.first[(size_t)t]; k < down.first[(size_t)t + 1]; ++k) {
            const Tap& vertical = down.taps[(size_t)k];
            if (vertical.source != lastRow) {
                const BYTE* in = source.Row(vertical.source);
                for (int x = 0; x < target.width; ++x) {
                    uint32_t b = 0, g = 0, r = 0;
                    for (int j = across.first[(size_t)x]; j < across.first[(size_t)x + 1]; ++j) {
                        const Tap& tap = across.taps[(size_t)j];
                        const BYTE* pixel = in + 3 * (size_t)tap.source;
                        b += pixel[0] * tap.weight;
                        g += pixel[1] * tap.weight;
                        r += pixel[2] * tap.weight;
                    }
                    uint32_t* out = &row[3 * (size_t)x];
                    out[0] = (uint32_t)(((uint64_t)b << 8) / acrossTotal);
                    out[1] = (uint32_t)(((uint64_t)g << 8) / acrossTotal);
                    out[2] = (uint32_t)(((uint64_t)r << 8) / acrossTotal);
                }
                lastRow = vertical.source;
            }
            for (size_t i = 0; i < sums.size(); ++i)
                sums[i] += (uint64_t)row[i] * vertical.weight;
        }
        BYTE* out = target.Row(t);
        for (size_t i = 0; i < sums.size(); ++i)
            out[i] = (BYTE)((sums[i] + total / 2) / total);
    }
}

SIZE OrientedSize(int width, int height, int orientation)
{
    if (orientation >= 5 && orientation <= 8)
        std::swap(width, height);
    return SIZE{width, height};
}

void OrientPixels(const PixelRows& source, const PixelRows& target, int orientation)
{
    const int w = source.width, h = source.height;
    // Where the upright pixel (x, y) lies in the stored rows: stored column
    // sx = a + bx * x + by * y, stored row sy = c + cx * x + cy * y.
    int a = 0, bx = 1, by = 0, c = 0, cx = 0, cy = 1;
    switch (orientation) {
    case 2: a = w - 1; bx = -1; break;
    case 3: a = w - 1; bx = -1; c = h - 1; cy = -1; break;
    case 4: c = h - 1; cy = -1; break;
    case 5: bx = 0; by = 1; cx = 1; cy = 0; break;
    case 6: bx = 0; by = 1; c = h - 1; cx = -1; cy = 0; break;
    case 7: a = w - 1; bx = 0; by = -1; c = h - 1; cx = -1; cy = 0; break;
    case 8: a = w - 1; bx = 0; by = -1; cx = 1; cy = 0; break;
    default: break;
    }
    for (int y = 0; y < target.height; ++y) {
        BYTE* out = target.Row(y);
        int sx = a + by * y, sy = c + cy * y;
        for (int x = 0; x < target.width; ++x, sx += bx, sy += cx, out += 3) {
            const BYTE* in = source.Row(sy) + 3 * (size_t)sx;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
}
