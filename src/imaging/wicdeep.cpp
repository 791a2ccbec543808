#include "imaging/wicdeep.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "imaging/decodedimage.h"
#include "imaging/decodelimits.h"

namespace {

// Rows are copied out a band of about this many bytes at a time, so that the
// stop request is looked at every few milliseconds.
constexpr size_t kBandBytes = 1 << 20;

// Words run to 65535; halves and floats are linear light, 1 the brightest.
enum class Sample { Word, Half, Float };

struct DeepFormat {
    const GUID* guid;
    Sample sample;
    int samples;           // a pixel's, padding included
    int red, green, blue;  // where each lies in the pixel; the same one for grey
    int alpha;             // -1 for none
    bool premultiplied;
};

const DeepFormat kDeepFormats[] = {
    {&GUID_WICPixelFormat48bppRGB, Sample::Word, 3, 0, 1, 2, -1, false},
    {&GUID_WICPixelFormat48bppBGR, Sample::Word, 3, 2, 1, 0, -1, false},
    {&GUID_WICPixelFormat64bppRGB, Sample::Word, 4, 0, 1, 2, -1, false},
    {&GUID_WICPixelFormat64bppRGBA, Sample::Word, 4, 0, 1, 2, 3, false},
    {&GUID_WICPixelFormat64bppBGRA, Sample::Word, 4, 2, 1, 0, 3, false},
    {&GUID_WICPixelFormat64bppPRGBA, Sample::Word, 4, 0, 1, 2, 3, true},
    {&GUID_WICPixelFormat64bppPBGRA, Sample::Word, 4, 2, 1, 0, 3, true},
    {&GUID_WICPixelFormat16bppGray, Sample::Word, 1, 0, 0, 0, -1, false},
    {&GUID_WICPixelFormat16bppGrayHalf, Sample::Half, 1, 0, 0, 0, -1, false},
    {&GUID_WICPixelFormat48bppRGBHalf, Sample::Half, 3, 0, 1, 2, -1, false},
    {&GUID_WICPixelFormat64bppRGBHalf, Sample::Half, 4, 0, 1, 2, -1, false},
    {&GUID_WICPixelFormat64bppRGBAHalf, Sample::Half, 4, 0, 1, 2, 3, false},
    {&GUID_WICPixelFormat64bppPRGBAHalf, Sample::Half, 4, 0, 1, 2, 3, true},
    {&GUID_WICPixelFormat32bppGrayFloat, Sample::Float, 1, 0, 0, 0, -1, false},
    {&GUID_WICPixelFormat96bppRGBFloat, Sample::Float, 3, 0, 1, 2, -1, false},
    {&GUID_WICPixelFormat128bppRGBFloat, Sample::Float, 4, 0, 1, 2, -1, false},
    {&GUID_WICPixelFormat128bppRGBAFloat, Sample::Float, 4, 0, 1, 2, 3, false},
    {&GUID_WICPixelFormat128bppPRGBAFloat, Sample::Float, 4, 0, 1, 2, 3, true},
};

const DeepFormat* FindDeepFormat(const WICPixelFormatGUID& format)
{
    for (const DeepFormat& deep : kDeepFormats)
        if (*deep.guid == format)
            return &deep;
    return nullptr;
}

float HalfValue(uint16_t half)
{
    const int exponent = (half >> 10) & 0x1F, mantissa = half & 0x3FF;
    float value = exponent == 0    ? std::ldexp((float)mantissa, -24)
                  : exponent == 31 ? (mantissa ? 0.0f : INFINITY)  // not a number counts as dark
                                   : std::ldexp((float)(mantissa | 0x400), exponent - 25);
    return half & 0x8000 ? -value : value;
}

// value in 0 to 1; anything else, not a number too, to the nearest end.
float Unit(float value)
{
    return value > 0 ? (value < 1 ? value : 1) : 0;
}

// Linear light of 0 to 1 as sRGB's 16-bit words: what the colour
// conversion takes for a picture without a profile.
uint16_t SrgbWord(float linear)
{
    static const std::vector<uint16_t> table = [] {
        std::vector<uint16_t> words(65536);
        for (size_t i = 0; i < words.size(); ++i) {
            const double v = i / 65535.0;
            const double encoded = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
            words[i] = (uint16_t)std::lround(std::clamp(encoded, 0.0, 1.0) * 65535);
        }
        return words;
    }();
    return table[(size_t)std::lround(Unit(linear) * 65535)];
}

// One row of the format's pixels as red, green, blue (and alpha) words,
// alpha no longer multiplied in.
void WordRow(const DeepFormat& f, const BYTE* in, int width, uint16_t* out)
{
    if (f.sample == Sample::Word) {
        const auto* p = reinterpret_cast<const uint16_t*>(in);
        for (int x = 0; x < width; ++x, p += f.samples) {
            const uint32_t alpha = f.alpha >= 0 ? p[f.alpha] : 65535;
            for (const int at : {f.red, f.green, f.blue}) {
                const uint32_t value = p[at];
                *out++ = !f.premultiplied ? (uint16_t)value
                         : alpha          ? (uint16_t)std::min<uint32_t>(65535, (value * 65535 + alpha / 2) / alpha)
                                          : 0;
            }
            if (f.alpha >= 0)
                *out++ = (uint16_t)alpha;
        }
        return;
    }
    for (int x = 0; x < width; ++x, in += f.samples * (f.sample == Sample::Half ? 2 : 4)) {
        const auto value = [&](int at) {
            if (f.sample == Sample::Half) {
                uint16_t half;
                std::memcpy(&half, in + at * 2, 2);
                return HalfValue(half);
            }
            float single;
            std::memcpy(&single, in + at * 4, 4);
            return single;
        };
        const float alpha = f.alpha >= 0 ? Unit(value(f.alpha)) : 1.0f;
        for (const int at : {f.red, f.green, f.blue})
            *out++ = SrgbWord(!f.premultiplied ? value(at) : alpha > 0 ? value(at) / alpha : 0);
        if (f.alpha >= 0)
            *out++ = (uint16_t)std::lround(alpha * 65535);
    }
}

size_t SampleBytes(Sample sample)
{
    return sample == Sample::Float ? 4 : 2;
}

}  // namespace

bool IsDeepPixelFormat(const WICPixelFormatGUID& format)
{
    return FindDeepFormat(format) != nullptr;
}

Decoded DecodeDeepFrame(IWICBitmapSource* frame, const WICPixelFormatGUID& format, int orientation,
                        std::vector<BYTE> profile, CBitmap& section, const PictureRequest& request,
                        PictureHeader& header)
{
    const DeepFormat* deep = FindDeepFormat(format);
    UINT width = 0, height = 0;
    if (!deep || FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 || width > kMostDecodedSide
        || height > kMostDecodedSide || (int64_t)width * height > kMostDecodedPixels)
        return Decoded::Failed;
    const int channels = deep->alpha >= 0 ? 4 : 3;
    const size_t wordStride = (size_t)width * channels;
    const size_t inStride = (size_t)width * deep->samples * SampleBytes(deep->sample);
    if ((int64_t)wordStride * 2 * height > kMostDecoderBytes)
        return Decoded::Failed;

    std::vector<uint16_t> words(wordStride * height);
    // 48bppRGB and 64bppRGBA, PNG's and TIFF's, are the words wanted already.
    const bool asIs = deep->sample == Sample::Word && deep->samples == channels && deep->red == 0 && deep->blue == 2
        && !deep->premultiplied;
    const int band = (int)std::clamp<size_t>(kBandBytes / inStride, 1, height);
    std::vector<BYTE> buffer(asIs ? 0 : inStride * (size_t)band);
    for (int y = 0; y < (int)height; y += band) {
        if (request.stop && request.stop())
            return Decoded::Stopped;
        const int count = std::min(band, (int)height - y);
        const WICRect rect{0, y, (INT)width, count};
        BYTE* target = asIs ? reinterpret_cast<BYTE*>(&words[wordStride * (size_t)y]) : buffer.data();
        if (FAILED(frame->CopyPixels(&rect, (UINT)inStride, (UINT)(inStride * (size_t)count), target)))
            return Decoded::Failed;
        for (int i = 0; i < count && !asIs; ++i)
            WordRow(*deep, buffer.data() + inStride * (size_t)i, (int)width, &words[wordStride * (size_t)(y + i)]);
    }
    DecodedImage image;
    image.bits = reinterpret_cast<const BYTE*>(words.data());
    image.stride = (ptrdiff_t)(wordStride * 2);
    image.width = (int)width;
    image.height = (int)height;
    image.depth = 16;
    image.alpha = deep->alpha >= 0;
    image.orientation = orientation;
    image.profile = std::move(profile);
    return DeliverImage(image, section, request, header);
}
