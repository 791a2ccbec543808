#include "imaging/picture.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "dc.h"
#include "gdi.h"
#include "imaging/jpegdecode.h"
#include "imaging/heifdecode.h"
#include "imaging/jpegio.h"
#include "imaging/pictureformats.h"
#include "imaging/resample.h"
#include "imaging/stoppablestream.h"
#include "imaging/webpdecode.h"
#include "imaging/wicdecode.h"

// ---------------------------------------------------------------- CPictureBitmap

bool ReadsAsJpeg(const std::string& path, FILE* file)
{
    return DecoderFor(path, file) == PictureDecoder::Jpeg;
}

Decoded DecodeAnyPicture(const std::string& path, FILE* file, CBitmap& section, const PictureRequest& request,
                         PictureHeader& header)
{
    switch (DecoderFor(path, file)) {
    case PictureDecoder::Jpeg: return DecodePicture(file, section, request, header);
    case PictureDecoder::Heif: return DecodeHeifPicture(file, section, request, header);
    case PictureDecoder::WebP: return DecodeWebpPicture(file, section, request, header);
    case PictureDecoder::System: break;
    }
    return DecodeWicPicture(file, section, request, header);
}

bool ReadAnyHeader(const std::string& path, FILE* file, PictureHeader& header, const StopRequest& stop)
{
    switch (DecoderFor(path, file)) {
    case PictureDecoder::Jpeg: return ReadJpegHeader(file, header, stop);
    case PictureDecoder::Heif: return ReadHeifHeader(file, header, stop);
    case PictureDecoder::WebP: return ReadWebpHeader(file, header, stop);
    case PictureDecoder::System: break;
    }
    return ReadWicHeader(file, header, stop);
}

CPictureBitmap::~CPictureBitmap()
{
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
}

void CPictureBitmap::Give(CBitmap& section)
{
    m_shrunk.reset();
    section.Attach(std::exchange(m_hBitmap, nullptr));
}

void CPictureBitmap::Take(CBitmap& section, const PictureHeader& header)
{
    m_width = header.upright.cx;
    m_height = header.upright.cy;
    m_facts = header.facts;
    m_hBitmap = static_cast<HBITMAP>(section.Detach());
    PixelRows rows;
    m_bitmapSize = m_hBitmap && GetPictureRows(m_hBitmap, rows) ? SIZE{rows.width, rows.height} : SIZE{0, 0};
}

bool CPictureBitmap::LoadFromFile(const std::string& path, const StopRequest& stop, SIZE box,
                                  ColourTarget target)
{
    FilePtr file = OpenSharedForReading(path);
    if (!file)
        throw LastError();
    CBitmap section;
    PictureHeader header;
    Give(section);
    header.upright = SIZE{m_width, m_height};
    header.facts = m_facts;
    const PictureRequest request{box, target, stop};
    TakeStreamReadFailure();
    const Decoded result = DecodeAnyPicture(path, file.get(), section, request, header);
    Take(section, header);
    if (result == Decoded::Stopped)
        return false;
    const DWORD streamFailure = TakeStreamReadFailure();
    if (const DWORD failure = streamFailure ? streamFailure : ReadFailure(file.get()))
        throw failure;
    return true;
}

bool CPictureBitmap::LoadRegionFromFile(const std::string& path, RECT& region, const StopRequest& stop)
{
    FilePtr file = OpenSharedForReading(path);
    if (!file)
        throw LastError();
    CBitmap section;
    PictureHeader header;
    Give(section);
    const PictureRequest request{{0, 0}, ColourTarget::Display, stop};
    const bool jpeg = ReadsAsJpeg(path, file.get());
    const Decoded result = jpeg ? DecodePictureRegion(file.get(), region, section, request, header) : Decoded::Failed;
    Take(section, header);
    return result == Decoded::Complete;
}

void CPictureBitmap::Swap(CPictureBitmap& other) noexcept
{
    std::swap(m_hBitmap, other.m_hBitmap);
    std::swap(m_width, other.m_width);
    std::swap(m_height, other.m_height);
    std::swap(m_facts, other.m_facts);
    std::swap(m_bitmapSize, other.m_bitmapSize);
    std::swap(m_shrunk, other.m_shrunk);
}

bool CPictureBitmap::Covers(SIZE box) const
{
    if (!m_hBitmap || (m_bitmapSize.cx >= m_width && m_bitmapSize.cy >= m_height))
        return true;  // nothing more to be had
    if (box.cx <= 0 || box.cy <= 0)
        return false;
    const SIZE shown = FitSizeInBox(m_width, m_height, box.cx, box.cy);
    return m_bitmapSize.cx >= shown.cx && m_bitmapSize.cy >= shown.cy;
}

const CPixels* CPictureBitmap::Shrunk(int width, int height) const
{
    PixelRows rows;
    if (!m_hBitmap || !GetPictureRows(m_hBitmap, rows))
        return nullptr;
    if (!m_shrunk || m_shrunk->Width() != width || m_shrunk->Height() != height) {
        m_shrunk.reset();
        auto shrunk = std::make_unique<CPixels>(width, height);
        ::GdiFlush();  // drawing into the section may still be queued
        ShrinkPixels(rows, shrunk->Rows());
        m_shrunk = std::move(shrunk);
    }
    return m_shrunk.get();
}

// ---------------------------------------------------------------- bitmaps

HBITMAP CreatePictureDib(int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    // A damaged header can ask for 65500 by 65500; GDI would grant up to
    // 4 GB. No photograph needs more than 2 GB.
    const int64_t stride = ((int64_t)width * 3 + 3) & ~(int64_t)3;
    if (stride * height > 0x7FFFFFFF)
        return nullptr;

    CDC screen;
    if (!screen.CreateCompatibleDC(nullptr))
        return nullptr;
    BITMAPINFO info = PictureInfo(width, height);
    info.bmiHeader.biXPelsPerMeter = screen.GetDeviceCaps(LOGPIXELSX);
    info.bmiHeader.biYPelsPerMeter = screen.GetDeviceCaps(LOGPIXELSY);
    void* bits = nullptr;
    return ::CreateDIBSection(screen.m_hDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

bool GetPictureRows(HBITMAP bitmap, PixelRows& rows)
{
    DIBSECTION section{};
    if (::GetObjectA(bitmap, sizeof section, &section) != sizeof section)
        return false;
    if (!section.dsBm.bmBits || section.dsBmih.biBitCount != 24 || section.dsBm.bmHeight <= 0)
        return false;
    const ptrdiff_t stride = (ptrdiff_t)(section.dsBmih.biSizeImage / section.dsBm.bmHeight);
    if (stride < (ptrdiff_t)section.dsBm.bmWidth * 3)
        return false;
    rows.width = section.dsBm.bmWidth;
    rows.height = section.dsBm.bmHeight;
    rows.bits = static_cast<BYTE*>(section.dsBm.bmBits);
    rows.stride = stride;
    return true;
}

std::unique_ptr<CPixels> CopyPixels(HBITMAP section)
{
    PixelRows rows;
    if (!GetPictureRows(section, rows))
        return nullptr;
    ::GdiFlush();  // drawing into the section may still be queued
    auto pixels = std::make_unique<CPixels>(rows.width, rows.height);
    for (int y = 0; y < rows.height; ++y)
        std::memcpy(pixels->Row(y), rows.Row(y), (size_t)rows.width * 3);
    return pixels;
}

namespace {

template <class Destination>
void EncodeRows(const PixelRows& rows, JpegCompressor& encoder, Destination&& destination)
{
    jpeg_compress_struct& info = encoder.info;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.image_width = (JDIMENSION)rows.width;
    info.image_height = (JDIMENSION)rows.height;
    info.input_components = 3;
    info.data_precision = 8;
    destination(info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rows.Row((int)info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
}

void EncodeRows(const PixelRows& rows, FILE* file)
{
    JpegCompressor encoder;
    EncodeRows(rows, encoder, [file](jpeg_compress_struct& info) { jpeg_stdio_dest(&info, file); });
}

}  // namespace

void EncodeJpeg(HBITMAP bitmap, FILE* file)
{
    PixelRows rows;
    if (!GetPictureRows(bitmap, rows))
        return;
    ::GdiFlush();  // drawing into the section may still be queued
    EncodeRows(rows, file);
}

void EncodeJpeg(const CPixels& pixels, FILE* file)
{
    if (pixels.Width() <= 0 || pixels.Height() <= 0)
        return;
    EncodeRows(const_cast<CPixels&>(pixels).Rows(), file);
}

std::vector<unsigned char> EncodeJpegBytes(const CPixels& pixels)
{
    if (pixels.Width() <= 0 || pixels.Height() <= 0)
        return {};
    // The library grows its own buffer with malloc; it is freed whatever happens.
    struct Buffer {
        unsigned char* bytes = nullptr;
        unsigned long size = 0;
        ~Buffer() { std::free(bytes); }
    } buffer;
    try {
        JpegCompressor encoder;
        EncodeRows(const_cast<CPixels&>(pixels).Rows(), encoder,
                   [&buffer](jpeg_compress_struct& info) { jpeg_mem_dest(&info, &buffer.bytes, &buffer.size); });
    } catch (int) {
        return {};
    }
    return std::vector<unsigned char>(buffer.bytes, buffer.bytes + buffer.size);
}

// ---------------------------------------------------------------- fitting

SIZE FitSizeInBox(int width, int height, int boxWidth, int boxHeight)
{
    if ((width > boxWidth || height > boxHeight) && width > 0 && height > 0) {
        const double scale = std::min((double)boxWidth / width, (double)((float)boxHeight / (float)height));
        // A sliver of a picture still shows as one pixel across.
        return SIZE{std::max(1, (int)(width * scale)), std::max(1, (int)(height * scale))};
    }
    return SIZE{width, height};
}

SIZE FitPictureInBox(const CPictureBitmap& picture, int boxWidth, int boxHeight)
{
    const int width = picture.m_width;
    const int height = picture.m_height;
    if (width <= 0 || height <= 0)
        return SIZE{0, 0};
    // A sliver of a picture still gets a pixel, or it would get no thumbnail.
    if (width < height)
        return SIZE{std::max(1, boxWidth * width / height), boxHeight};
    return SIZE{boxWidth, std::max(1, boxHeight * height / width)};
}
