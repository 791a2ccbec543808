#include "imaging/scaledpart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int kWeightBits = 14;
constexpr uint32_t kOne = 1u << kWeightBits;
// From this scale on a user inspecting detail sees the pixels themselves.
constexpr double kSquarePixels = 4.0;

enum class Filter { Area, Linear, Nearest };

// For the shown pixels from to to of one direction (shown of them in all),
// the source pixels each is made of: the first, their count, their weights.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<size_t> offset;  // of each one's first weight
    std::vector<uint32_t> weights;
    int lowest = 0;   // the first source pixel any of them uses
    int highest = 0;  // one past the last

    Taps(int sourceSize, int shownSize, int from, int to, Filter filter)
    {
        const int64_t b = sourceSize, z = shownSize;
        lowest = sourceSize;
        for (int t = from; t < to; ++t) {
            const size_t start = weights.size();
            int firstTap = 0;
            if (filter == Filter::Nearest) {
                firstTap = (int)std::min<int64_t>(b - 1, ((2 * t + 1) * b) / (2 * z));
                weights.push_back(kOne);
            } else if (filter == Filter::Linear) {
                // The centre of shown pixel t, in source pixels.
                const double u = ((t + 0.5) * b) / z - 0.5;
                const double floor = std::floor(u);
                const auto next = (uint32_t)std::lround((u - floor) * kOne);
                firstTap = (int)floor;
                if (firstTap < 0) {
                    firstTap = 0;
                    weights.push_back(kOne);
                } else if (firstTap >= sourceSize - 1) {
                    firstTap = sourceSize - 1;
                    weights.push_back(kOne);
                } else {
                    weights.push_back(kOne - next);
                    weights.push_back(next);
                }
            } else {
                // Shown pixel t covers [t * b, (t + 1) * b) in units of 1 / z
                // source pixels, source pixel s [s * z, (s + 1) * z).
                const int64_t begin = t * b, end = (t + 1) * b;
                firstTap = (int)(begin / z);
                uint32_t total = 0, heaviestWeight = 0;
                size_t heaviest = start;
                for (int64_t s = begin / z; s < b && s * z < end; ++s) {
                    const int64_t overlap = std::min(end, (s + 1) * z) - std::max(begin, s * z);
                    const auto weight = (uint32_t)((std::max<int64_t>(overlap, 0) * kOne + b / 2) / b);
                    if (weight > heaviestWeight) {
                        heaviestWeight = weight;
                        heaviest = weights.size();
                    }
                    weights.push_back(weight);
                    total += weight;
                }
                if (heaviest < weights.size())
                    weights[heaviest] += kOne - total;
            }
            first.push_back(firstTap);
            offset.push_back(start);
            count.push_back((int)(weights.size() - start));
            lowest = std::min(lowest, firstTap);
            highest = std::max(highest, firstTap + count.back());
        }
    }
};

// Window rows from to to (of the rows down covers, which start at top):
// down over the source columns shown first, then across.
void ScaleRows(const PixelRows& source, const PixelRows& target, const Taps& across, const Taps& down, int left,
               int top, int from, int to)
{
    const size_t samples = 3 * (size_t)(across.highest - across.lowest);
    const BYTE* const sourceLeft = source.bits + 3 * (ptrdiff_t)across.lowest;
    std::vector<uint16_t> line(samples);
    std::vector<uint16_t> cut((size_t)*std::max_element(down.count.begin(), down.count.end()));
    for (int y = from; y < to; ++y) {
        const size_t t = (size_t)(y - top);
        // Down in 16 bits, twice the samples at a time of 32: the weights
        // cut to 8 bits, adding up to exactly 256, so no sum overflows.
        const uint32_t* weight = &down.weights[down.offset[t]];
        const int count = down.count[t];
        uint32_t before = 0, rounded = 0;
        for (int k = 0; k < count; ++k) {
            // Rounded as running totals, so that none is lost or counted twice.
            before += weight[k];
            const uint32_t upTo = (before + (1u << (kWeightBits - 9))) >> (kWeightBits - 8);
            cut[k] = (uint16_t)(upTo - rounded);
            rounded = upTo;
        }
        std::fill(line.begin(), line.end(), 0);
        for (int k = 0; k < count; ++k) {
            const BYTE* in = sourceLeft + source.stride * (ptrdiff_t)(down.first[t] + k);
            const uint16_t w = cut[k];
            uint16_t* sum = line.data();
            for (size_t i = 0; i < samples; ++i)
                sum[i] = (uint16_t)(sum[i] + in[i] * w);
        }
        BYTE* out = target.Row(y) + 3 * (ptrdiff_t)left;
        for (size_t x = 0; x < across.first.size(); ++x, out += 3) {
            const uint16_t* in = &line[3 * (size_t)(across.first[x] - across.lowest)];
            const uint32_t* w = &across.weights[across.offset[x]];
            uint32_t b = 0, g = 0, r = 0;
            for (int k = 0; k < across.count[x]; ++k, in += 3) {
                b += in[0] * w[k];
                g += in[1] * w[k];
                r += in[2] * w[k];
            }
            constexpr int shift = kWeightBits + 8;
            constexpr uint32_t half = 1u << (shift - 1);
            out[0] = (BYTE)((b + half) >> shift);
            out[1] = (BYTE)((g + half) >> shift);
            out[2] = (BYTE)((r + half) >> shift);
        }
    }
}

Filter FilterFor(int sourceSize, int shownSize, double scale)
{
    if (scale >= kSquarePixels || shownSize == sourceSize)
        return Filter::Nearest;
    return shownSize < sourceSize ? Filter::Area : Filter::Linear;
}

bool SingleTaps(const Taps& taps)
{
    return taps.weights.size() == taps.first.size();
}

// Each shown pixel is one source pixel, as at 100 % and from 400 % on:
// copied without arithmetic.
void CopyRows(const PixelRows& source, const PixelRows& target, const Taps& across, const Taps& down, int left,
              int top, int from, int to)
{
    const size_t count = across.first.size();
    const bool consecutive = across.highest - across.lowest == (int)count;
    for (int y = from; y < to; ++y) {
        const BYTE* in = source.Row(down.first[(size_t)(y - top)]);
        BYTE* out = target.Row(y) + 3 * (ptrdiff_t)left;
        if (consecutive) {
            std::memcpy(out, in + 3 * (ptrdiff_t)across.lowest, 3 * count);
            continue;
        }
        for (size_t x = 0; x < count; ++x, out += 3) {
            const BYTE* pixel = in + 3 * (ptrdiff_t)across.first[x];
            out[0] = pixel[0];
            out[1] = pixel[1];
            out[2] = pixel[2];
        }
    }
}

// Below this many window pixels a second thread costs more than it saves.
constexpr int64_t kWorthASecondThread = 1 << 17;

} // namespace

void ScalePart(const PixelRows& source, SIZE shown, POINT origin, double scale, const PixelRows& target,
               const BYTE background[3])
{
    const int left = std::clamp<int>(origin.x, 0, target.width);
    const int right = std::clamp<int>(origin.x + shown.cx, left, target.width);
    const int top = std::clamp<int>(origin.y, 0, target.height);
    const int bottom = std::clamp<int>(origin.y + shown.cy, top, target.height);
    for (int y = 0; y < target.height; ++y) {
        BYTE* row = target.Row(y);
        const bool beside = y >= top && y < bottom;
        for (int x = 0; x < target.width; ++x) {
            if (beside && x == left)
                x = right;
            if (x >= target.width)
                break;
            std::memcpy(row + 3 * (size_t)x, background, 3);
        }
    }
    if (left >= right || top >= bottom || source.width <= 0 || source.height <= 0)
        return;
    const Taps across(source.width, shown.cx, left - origin.x, right - origin.x,
                      FilterFor(source.width, shown.cx, scale));
    const Taps down(source.height, shown.cy, top - origin.y, bottom - origin.y,
                    FilterFor(source.height, shown.cy, scale));
    if (SingleTaps(across) && SingleTaps(down)) {
        CopyRows(source, target, across, down, left, top, top, bottom);
        return;
    }
    if ((int64_t)(right - left) * (bottom - top) >= kWorthASecondThread && std::thread::hardware_concurrency() > 1) {
        const int half = (top + bottom) / 2;
        std::thread upper(ScaleRows, std::cref(source), std::cref(target), std::cref(across), std::cref(down),
                          left, top, top, half);
        ScaleRows(source, target, across, down, left, top, half, bottom);
        upper.join();
        return;
    }
    ScaleRows(source, target, across, down, left, top, top, bottom);
}
