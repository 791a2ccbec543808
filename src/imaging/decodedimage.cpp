#include "imaging/decodedimage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "imaging/colour.h"
#include "imaging/decodelimits.h"
#include "imaging/resample.h"

namespace {

// Rows are converted a band of about this many bytes at a time, so that the
// stop request is looked at every few milliseconds.
constexpr size_t kBandBytes = 1 << 20;

// Rows of the image laid over the background, in the form the colour
// conversion takes: bytes, or 16-bit words scaled to run to 65535.
class BandMaker {
public:
    BandMaker(const DecodedImage& image, COLORREF background) : m_image(image), m_deep(image.depth > 8)
    {
        const unsigned most = m_deep ? (1u << image.depth) - 1 : 255;
        m_most = most;
        // Deep values widened to run to 65535, looked up: a division a
        // channel would cost more than the decoding.
        if (m_deep) {
            m_wide.resize(most + 1);
            for (unsigned v = 0; v <= most; ++v)
                m_wide[v] = (uint16_t)((v * 65535u + most / 2) / most);
        }
        const BYTE channels[3] = {GetRValue(background), GetGValue(background), GetBValue(background)};
        for (int c = 0; c < 3; ++c)
            m_background[c] = m_deep ? channels[c] * 257u : channels[c];
    }

    bool Deep() const { return m_deep; }
    size_t RowBytes() const { return (size_t)m_image.width * (m_deep ? 6 : 3); }

    void Row(int y, BYTE* out) const
    {
        if (m_deep)
            DeepRow(y, reinterpret_cast<uint16_t*>(out));
        else
            ByteRow(y, out);
    }

private:
    void ByteRow(int y, BYTE* out) const
    {
        const BYTE* in = m_image.bits + m_image.stride * (ptrdiff_t)y;
        if (!m_image.alpha) {
            std::memcpy(out, in, (size_t)m_image.width * 3);
            return;
        }
        for (int x = 0; x < m_image.width; ++x, in += 4, out += 3) {
            const unsigned alpha = in[3];
            for (int c = 0; c < 3; ++c)
                out[c] = (BYTE)((in[c] * alpha + m_background[c] * (255 - alpha) + 127) / 255);
        }
    }

    void DeepRow(int y, uint16_t* out) const
    {
        const auto* in = reinterpret_cast<const uint16_t*>(m_image.bits + m_image.stride * (ptrdiff_t)y);
        const uint16_t* wide = m_wide.data();
        const uint32_t most = m_most;
        const auto scaled = [wide, most](uint16_t value) -> uint32_t { return wide[std::min<uint32_t>(value, most)]; };
        if (!m_image.alpha) {
            for (int x = 0; x < m_image.width * 3; ++x)
                out[x] = (uint16_t)scaled(in[x]);
            return;
        }
        for (int x = 0; x < m_image.width; ++x, in += 4, out += 3) {
            const uint32_t alpha = scaled(in[3]);
            for (int c = 0; c < 3; ++c)
                out[c] = (uint16_t)((scaled(in[c]) * alpha + m_background[c] * (65535 - alpha) + 32767) / 65535);
        }
    }

    const DecodedImage& m_image;
    bool m_deep;
    unsigned m_most = 255;
    std::vector<uint16_t> m_wide;
    unsigned m_background[3]{};
};

// Plain reduction to 24-bit rows where no profile converts them.
void PlainRows(const BYTE* rgb, size_t rgbStride, bool deep, const PixelRows& rows, int y, int count)
{
    for (int i = 0; i < count; ++i) {
        BYTE* out = rows.Row(y + i);
        if (deep) {
            const auto* in = reinterpret_cast<const uint16_t*>(rgb + rgbStride * (size_t)i);
            for (int x = 0; x < rows.width; ++x, in += 3, out += 3) {
                out[0] = (BYTE)((in[2] * 255u + 32767) / 65535);
                out[1] = (BYTE)((in[1] * 255u + 32767) / 65535);
                out[2] = (BYTE)((in[0] * 255u + 32767) / 65535);
            }
        } else {
            const BYTE* in = rgb + rgbStride * (size_t)i;
            for (int x = 0; x < rows.width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
    }
}

// The image into rows of its stored size, a band at a time.
Decoded ConvertImage(const DecodedImage& image, const PictureRequest& request, const PixelRows& rows)
{
    const BandMaker maker(image, request.background);
    const size_t rowBytes = maker.RowBytes();
    const int band = (int)std::clamp<size_t>(kBandBytes / rowBytes, 1, (size_t)rows.height);
    std::vector<BYTE> buffer(rowBytes * (size_t)band);
    bool profiled = !image.profile.empty();
    for (int y = 0; y < rows.height; y += band) {
        if (request.stop && request.stop())
            return Decoded::Stopped;
        const int count = std::min(band, rows.height - y);
        for (int i = 0; i < count; ++i)
            maker.Row(y + i, buffer.data() + rowBytes * (size_t)i);
        // A profile that does not convert the first band converts none.
        profiled = profiled
            && ConvertRgbRows(image.profile, maker.Deep(), buffer.data(), rowBytes, rows.Row(y), (size_t)rows.stride,
                              rows.width, count, request.target);
        if (!profiled)
            PlainRows(buffer.data(), rowBytes, maker.Deep(), rows, y, count);
    }
    return Decoded::Complete;
}

Decoded Deliver(const DecodedImage& image, CBitmap& section, const PictureRequest& request, PictureHeader& header)
{
    if (!image.bits || image.width <= 0 || image.height <= 0 || image.width > kMostDecodedSide
        || image.height > kMostDecodedSide || (int64_t)image.width * image.height > kMostDecodedPixels
        || image.depth < 8 || image.depth > 16)
        return Decoded::Failed;
    const int orientation = image.orientation >= 1 && image.orientation <= 8 ? image.orientation : 1;
    header.orientation = orientation;
    header.stored = SIZE{image.width, image.height};
    header.upright = OrientedSize(image.width, image.height, orientation);

    const bool boxed = request.box.cx > 0 && request.box.cy > 0;
    const SIZE shown =
        boxed ? FitSizeInBox(header.upright.cx, header.upright.cy, request.box.cx, request.box.cy) : header.upright;
    const bool shrink = shown.cx != header.upright.cx || shown.cy != header.upright.cy;
    PixelRows target;
    if (!SectionOfSize(section, shown, target))
        return Decoded::Failed;
    if (!shrink && orientation == 1)
        return ConvertImage(image, request, target);

    CPixels stored(image.width, image.height);
    const Decoded result = ConvertImage(image, request, stored.Rows());
    if (result != Decoded::Complete)
        return result;
    if (!shrink) {
        OrientPixels(stored.Rows(), target, orientation);
        return Decoded::Complete;
    }
    // Shrunk as stored, then turned: the fewer pixels are turned.
    const SIZE shrunkSize = OrientedSize(shown.cx, shown.cy, orientation);
    CPixels shrunk(shrunkSize.cx, shrunkSize.cy);
    ShrinkPixels(stored.Rows(), shrunk.Rows());
    OrientPixels(shrunk.Rows(), target, orientation);
    return Decoded::Complete;
}

}  // namespace

bool SectionOfSize(CBitmap& bitmap, SIZE size, PixelRows& rows)
{
    if (bitmap.m_hObject && GetPictureRows(bitmap, rows) && rows.width == size.cx && rows.height == size.cy)
        return true;
    return bitmap.Attach(CreatePictureDib(size.cx, size.cy)) && GetPictureRows(bitmap, rows);
}

Decoded DeliverImage(const DecodedImage& image, CBitmap& section, const PictureRequest& request,
                     PictureHeader& header)
{
    Decoded result = Decoded::Failed;
    try {
        result = Deliver(image, section, request, header);
    } catch (const std::bad_alloc&) {
        result = Decoded::Failed;
    }
    if (result != Decoded::Complete)
        section.DeleteObject();
    return result;
}

bool PlaceOnCanvas(CBitmap& section, SIZE canvas, POINT at, COLORREF background)
{
    PixelRows picture, whole;
    CBitmap placed;
    if (!section.m_hObject || !GetPictureRows(section, picture) || at.x < 0 || at.y < 0
        || at.x + picture.width > canvas.cx || at.y + picture.height > canvas.cy
        || !SectionOfSize(placed, canvas, whole)) {
        section.DeleteObject();
        return false;
    }
    ::GdiFlush();  // drawing into the section may still be queued
    const BYTE colour[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
    for (int y = 0; y < whole.height; ++y) {
        BYTE* row = whole.Row(y);
        for (int x = 0; x < whole.width; ++x, row += 3)
            std::memcpy(row, colour, 3);
    }
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(whole.Row(at.y + y) + (size_t)at.x * 3, picture.Row(y), (size_t)picture.width * 3);
    section.DeleteObject();
    section.Attach(placed.Detach());
    return true;
}
