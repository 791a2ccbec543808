#include "imaging/resample.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Weights are fixed point with this many bits of fraction, and the weights
// of one target pixel add up to exactly one.
constexpr int kWeightBits = 14;
constexpr uint32_t kOne = 1u << kWeightBits;

// For each target pixel, the source pixels it covers and by how much. In
// units of 1 / targetSize of a source pixel both spans are whole numbers:
// target pixel t covers [t * sourceSize, (t + 1) * sourceSize), source
// pixel s covers [s * targetSize, (s + 1) * targetSize). A target pixel's
// sources are consecutive: the first, their count, their weights in turn.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<uint32_t> weights;  // all target pixels' in turn

    Taps(int sourceSize, int targetSize) : first((size_t)targetSize), count((size_t)targetSize)
    {
        const int64_t from = sourceSize, to = targetSize;
        for (int t = 0; t < targetSize; ++t) {
            const int64_t begin = t * from, end = (t + 1) * from;
            const size_t start = weights.size();
            uint32_t total = 0, heaviestWeight = 0;
            size_t heaviest = start;
            first[(size_t)t] = (int)(begin / to);
            for (int64_t s = begin / to; s < sourceSize && s * to < end; ++s) {
                const int64_t overlap = std::min(end, (s + 1) * to) - std::max(begin, s * to);
                const auto weight = (uint32_t)((std::max<int64_t>(overlap, 0) * kOne + from / 2) / from);
                if (weight > heaviestWeight) {
                    heaviestWeight = weight;
                    heaviest = weights.size();
                }
                weights.push_back(weight);
                total += weight;
            }
            count[(size_t)t] = (int)(weights.size() - start);
            // Rounding leaves the sum a little off one: the heaviest tap takes the rest.
            if (heaviest < weights.size())
                weights[heaviest] += kOne - total;
        }
    }
};

}  // namespace

namespace {

// Target rows from to to: down first, over whole rows, which the compiler
// does many samples at a time; then across, once for each target row.
void ShrinkRows(const PixelRows& source, const PixelRows& target, const Taps& across, const Taps& down,
                int from, int to)
{
    const size_t samples = (size_t)source.width * 3;
    std::vector<uint32_t> column(samples);
    const uint32_t* downWeight = down.weights.data();
    for (int t = 0; t < from; ++t)
        downWeight += down.count[(size_t)t];
    for (int t = from; t < to; ++t) {
        std::fill(column.begin(), column.end(), 0);
        for (int k = 0; k < down.count[(size_t)t]; ++k) {
            const BYTE* in = source.Row(down.first[(size_t)t] + k);
            const uint32_t weight = *downWeight++;
            for (size_t i = 0; i < samples; ++i)
                column[i] += in[i] * weight;
        }
        // Down to 8 bits of fraction, so that across fits 32 bits.
        constexpr int kept = kWeightBits - 8;
        for (uint32_t& sum : column)
            sum = (sum + (1u << (kept - 1))) >> kept;
        BYTE* out = target.Row(t);
        const uint32_t* acrossWeight = across.weights.data();
        for (int x = 0; x < target.width; ++x, out += 3) {
            const uint32_t* in = &column[3 * (size_t)across.first[(size_t)x]];
            uint32_t b = 0, g = 0, r = 0;
            for (int k = 0; k < across.count[(size_t)x]; ++k, in += 3) {
                const uint32_t weight = *acrossWeight++;
                b += in[0] * weight;
                g += in[1] * weight;
                r += in[2] * weight;
            }
            constexpr int shift = kWeightBits + 8;
            constexpr uint32_t half = 1u << (shift - 1);
            out[0] = (BYTE)((b + half) >> shift);
            out[1] = (BYTE)((g + half) >> shift);
            out[2] = (BYTE)((r + half) >> shift);
        }
    }
}

// Below this many target pixels a second thread costs more than it saves.
constexpr int64_t kWorthASecondThread = 1 << 18;

}  // namespace

void ShrinkPixels(const PixelRows& source, const PixelRows& target)
{
    if (source.width <= 0 || source.height <= 0 || target.width <= 0 || target.height <= 0)
        return;
    const Taps across(source.width, target.width);
    const Taps down(source.height, target.height);
    // A screen-sized picture shows the sooner for the second processor
    // taking half its rows; the thread is joined before the taps go.
    if ((int64_t)target.width * target.height >= kWorthASecondThread && std::thread::hardware_concurrency() > 1) {
        const int half = target.height / 2;
        std::thread top(ShrinkRows, std::cref(source), std::cref(target), std::cref(across), std::cref(down), 0, half);
        ShrinkRows(source, target, across, down, half, target.height);
        top.join();
        return;
    }
    ShrinkRows(source, target, across, down, 0, target.height);
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
