#include "picture_files.h"

#include <wrl/client.h>

#include <algorithm>
#include <utility>

#include "imaging/wicdecode.h"
#include "jpeg_maker.h"

using Microsoft::WRL::ComPtr;

namespace {

// Little-endian bytes of the files written by hand.
struct Bytes {
    std::string s;
    Bytes& U8(unsigned v) { return s += (char)v, *this; }
    Bytes& U16(unsigned v) { return U8(v & 255).U8(v >> 8); }
    Bytes& U32(unsigned v) { return U16(v & 0xFFFF).U16(v >> 16); }
};

}  // namespace

Quadrants JpegQuadrants()
{
    Quadrants q;
    for (int i = 0; i < 4; ++i)
        q.colour[i] = RGB(kQuadrantColours[i][0], kQuadrantColours[i][1], kQuadrantColours[i][2]);
    return q;
}

// Rows of blue, green, red (and alpha) bytes, top row first, unpadded.
std::string QuadrantPixels(int width, int height, const Quadrants& q, bool alpha)
{
    std::string pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int i = q.At(x, y, width, height);
            pixels += {(char)GetBValue(q.colour[i]), (char)GetGValue(q.colour[i]), (char)GetRValue(q.colour[i])};
            if (alpha)
                pixels += (char)q.alpha[i];
        }
    }
    return pixels;
}

std::string QuadrantWords(int width, int height, const Quadrants& q, bool alpha, bool premultiplied)
{
    Bytes b;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int i = q.At(x, y, width, height);
            for (const unsigned c : {GetRValue(q.colour[i]), GetGValue(q.colour[i]), GetBValue(q.colour[i])})
                b.U16((c * 256 + 0x80) * (premultiplied ? q.alpha[i] : 255) / 255);
            if (alpha)
                b.U16(q.alpha[i] * 257u);
        }
    }
    return b.s;
}

// A file of container format written by the system's encoder, one frame
// of pixels in format each; empty when it refuses.
std::string Encode(const GUID& container, const WICPixelFormatGUID& format, int width, int height,
                   const std::vector<std::string>& frames)
{
    CComOnThread com;
    ComPtr<IWICImagingFactory> factory;
    ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    if (!factory || FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))
        || FAILED(factory->CreateEncoder(container, nullptr, &encoder))
        || FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)))
        return "";
    const UINT stride = (UINT)(frames[0].size() / height);
    for (const std::string& pixels : frames) {
        ComPtr<IWICBitmapFrameEncode> frame;
        ComPtr<IPropertyBag2> options;
        WICPixelFormatGUID given = format;
        if (FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.Get()))
            || FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&given)) || given != format
            || FAILED(frame->WritePixels(height, stride, (UINT)pixels.size(), (BYTE*)pixels.data()))
            || FAILED(frame->Commit()))
            return "";
    }
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(encoder->Commit()) || FAILED(stream->Stat(&stat, STATFLAG_NONAME))
        || FAILED(::GetHGlobalFromStream(stream.Get(), &memory)))
        return "";
    const std::string bytes(static_cast<const char*>(::GlobalLock(memory)), (size_t)stat.cbSize.QuadPart);
    ::GlobalUnlock(memory);
    return bytes;
}

// Rows in deflate's stored blocks, uncompressed; words high byte first.
std::string Png16(int width, int height, const Quadrants& q)
{
    std::string words = QuadrantWords(width, height, q, false), rows, deflated = "\x78\x01";
    for (size_t i = 0; i < words.size(); i += 2)
        rows += (i % (width * 6) ? std::string() : std::string(1, '\0')) + words[i + 1] + words[i];
    for (size_t at = 0; at < rows.size(); at += 65535) {
        const unsigned size = (unsigned)std::min<size_t>(65535, rows.size() - at);
        deflated += (char)(at + size == rows.size()) + Bytes{}.U16(size).U16(~size & 0xFFFF).s + rows.substr(at, size);
    }
    unsigned a = 1, b = 0;
    for (const char c : rows)
        a = (a + (BYTE)c) % 65521, b = (b + a) % 65521;
    const auto big = [](unsigned v) { return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; };
    const auto chunk = [&big](const std::string& type, const std::string& data) {
        unsigned crc = ~0u;
        for (const char c : type + data)
            for (int k = 0, bits = (BYTE)c; k < 8; ++k, bits >>= 1)
                crc = (crc ^ bits) & 1 ? 0xEDB88320 ^ (crc >> 1) : crc >> 1;
        return big((unsigned)data.size()) + type + data + big(~crc);
    };
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", big(width) + big(height) + std::string{16, 2, 0, 0, 0})
         + chunk("IDAT", deflated + big(b << 16 | a)) + chunk("IEND", "");
}

// A baseline RGB TIFF of the quadrants with an Orientation tag, and an ICC
// profile when one is given.
std::string Tiff(int width, int height, const Quadrants& q, int orientation, const std::string& profile, int bits)
{
    std::string rgb = QuadrantPixels(width, height, q, false);
    for (size_t i = 0; i < rgb.size(); i += 3)
        std::swap(rgb[i], rgb[i + 2]);
    if (bits == 16)
        rgb = QuadrantWords(width, height, q, false);
    const unsigned tags = profile.empty() ? 10 : 11, bitsAt = 8 + 2 + tags * 12 + 4, pixelsAt = bitsAt + 6;
    Bytes b;
    b.s = "II";
    b.U16(42).U32(8).U16(tags);
    const auto tag = [&b](unsigned id, unsigned type, unsigned count, unsigned value) {
        b.U16(id).U16(type).U32(count).U32(value);
    };
    tag(256, 3, 1, width), tag(257, 3, 1, height), tag(258, 3, 3, bitsAt), tag(259, 3, 1, 1), tag(262, 3, 1, 2);
    tag(273, 4, 1, pixelsAt), tag(274, 3, 1, orientation), tag(277, 3, 1, 3), tag(278, 3, 1, height);
    tag(279, 4, 1, (unsigned)rgb.size());
    if (!profile.empty())
        tag(34675, 7, (unsigned)profile.size(), pixelsAt + (unsigned)rgb.size());
    b.U32(0).U16(bits).U16(bits).U16(bits);
    return b.s + rgb + profile;
}

// A GIF of 8-bit indices, one image a frame, as literal codes only (a
// clear code before the code size would grow); palette index
// transparent, if any, shows nothing.
std::string Gif(int width, int height, const Quadrants& q, const std::vector<std::string>& frames, int transparent)
{
    Bytes b;
    b.s = "GIF89a";
    b.U16(width).U16(height).U8(0xF7).U8(0).U8(0);
    for (int i = 0; i < 256; ++i) {
        const COLORREF c = q.colour[i % 4];
        b.U8(i < 4 ? GetRValue(c) : 0).U8(i < 4 ? GetGValue(c) : 0).U8(i < 4 ? GetBValue(c) : 0);
    }
    for (const std::string& indices : frames) {
        if (transparent >= 0)
            b.U8(0x21).U8(0xF9).U8(4).U8(1).U16(0).U8(transparent).U8(0);
        b.U8(0x2C).U16(0).U16(0).U16(width).U16(height).U8(0).U8(8);
        std::string codes;
        unsigned bits = 0, count = 0;
        const auto code = [&](unsigned c) {
            bits |= c << count;
            for (count += 9; count >= 8; count -= 8, bits >>= 8)
                codes += (char)(bits & 255);
        };
        code(256);
        for (size_t i = 0; i < indices.size(); ++i) {
            if (i && i % 250 == 0)
                code(256);
            code((BYTE)indices[i]);
        }
        code(257);
        if (count)
            codes += (char)bits;
        for (size_t at = 0; at < codes.size(); at += 255) {
            const std::string block = codes.substr(at, 255);
            b.s += (char)block.size() + block;
        }
        b.U8(0);
    }
    return b.s + ";";
}

std::string QuadrantIndices(int width, int height, const Quadrants& q)
{
    std::string indices;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            indices += (char)q.At(x, y, width, height);
    return indices;
}

// An icon of one 32-bit image: bottom-up rows, alpha in each pixel, an AND
// mask of nothing.
std::string Ico(int width, int height, const Quadrants& q)
{
    const std::string top = QuadrantPixels(width, height, q, true);
    std::string rows;
    for (int y = height - 1; y >= 0; --y)
        rows += top.substr((size_t)y * width * 4, (size_t)width * 4);
    const std::string mask((size_t)((width + 31) / 32 * 4 * height), '\0');
    Bytes b;
    b.U16(0).U16(1).U16(1).U8(width & 255).U8(height & 255).U8(0).U8(0).U16(1).U16(32);
    b.U32(40 + (unsigned)(rows.size() + mask.size())).U32(22);
    b.U32(40).U32(width).U32(height * 2).U16(1).U16(32).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0);
    return b.s + rows + mask;
}

