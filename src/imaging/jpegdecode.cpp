#include "imaging/jpegdecode.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "imaging/jpegio.h"
#include "jerror.h"
#include "imaging/metadata.h"
#include "imaging/resample.h"

namespace {

// Rows decoded between two looks at the stop request: some milliseconds of
// work even for the widest pictures.
constexpr JDIMENSION kRowsBetweenStopChecks = 32;

// Reads every output row of a started decompressor into rows stride apart.
Decoded ReadScanlines(jpeg_decompress_struct& info, BYTE* bits, ptrdiff_t stride, const StopRequest& stop)
{
    while (info.output_scanline < info.output_height) {
        if (stop && info.output_scanline % kRowsBetweenStopChecks == 0 && stop())
            return Decoded::Stopped;
        JSAMPROW row = bits + stride * (ptrdiff_t)info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return Decoded::Complete;
}

// Decodes the stream at full scale, as stored, into the rows that
// target(width, height, rows) provides once the header is read.
template <class Source, class Target>
Decoded DecodeStored(Source&& source, bool exchangeRedBlue, SIZE* size, Target&& target)
{
    try {
        JpegDecompressor decoder;
        jpeg_decompress_struct& info = decoder.info;
        source(info);
        jpeg_read_header(&info, TRUE);
        if (size) {
            size->cx = (LONG)info.image_width;
            size->cy = (LONG)info.image_height;
        }
        // libjpeg-turbo can give the exchanged order itself, the same bytes
        // without a second pass over every row.
        info.out_color_space = exchangeRedBlue ? JCS_EXT_BGR : JCS_RGB;
        PixelRows rows;
        if (!target((int)info.image_width, (int)info.image_height, rows))
            return Decoded::Failed;
        jpeg_start_decompress(&info);
        return ReadScanlines(info, rows.bits, rows.stride, {});
    } catch (int) {
        return Decoded::Failed;
    }
}

// The system hands out a new section's memory a page at a time, on first
// touch, which costs a large picture about a third of its decoding time.
// Touching the pages from another thread, ahead of the decoder, moves that
// cost onto another processor. The touch is an atomic or with zero, so it
// never changes a byte the decoder has already written.
class PageToucher {
public:
    static constexpr size_t kWorthIt = 2 << 20;  // bytes; smaller ones cost less than a thread

    PageToucher(BYTE* bits, size_t size) : m_thread([this, bits, size] {
        SYSTEM_INFO system;
        ::GetSystemInfo(&system);
        const size_t page = system.dwPageSize;
        BYTE* first = reinterpret_cast<BYTE*>(((uintptr_t)bits + page - 1) & ~(uintptr_t)(page - 1));
        for (BYTE* p = first; p + sizeof(LONG) <= bits + size && !m_stop; p += page)
            ::InterlockedOr(reinterpret_cast<volatile LONG*>(p), 0);
    }) {}
    ~PageToucher()
    {
        m_stop = true;
        m_thread.join();
    }
    PageToucher(const PageToucher&) = delete;
    PageToucher& operator=(const PageToucher&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A picture section for size in bitmap: the one it holds when that has the
// size, else a new one, whose pages toucher then brings in.
bool PictureSection(CBitmap& bitmap, SIZE size, PixelRows& rows, std::optional<PageToucher>& toucher)
{
    if (bitmap.m_hObject && GetPictureRows(bitmap, rows) && rows.width == size.cx && rows.height == size.cy)
        return true;
    if (!bitmap.Attach(CreatePictureDib(size.cx, size.cy)) || !GetPictureRows(bitmap, rows))
        return false;
    const size_t bytes = (size_t)rows.stride * (size_t)rows.height;
    if (bytes >= PageToucher::kWorthIt)
        toucher.emplace(rows.bits, bytes);
    return true;
}

// The smallest of the library's scales (1/8, 1/4, 1/2, 1) that still gives
// the picture fitted into box every pixel it is shown with.
void ChooseScale(jpeg_decompress_struct& info, SIZE box, int orientation)
{
    info.scale_num = 1;
    info.scale_denom = 1;
    if (box.cx <= 0 || box.cy <= 0)
        return;
    const SIZE upright = OrientedSize((int)info.image_width, (int)info.image_height, orientation);
    const SIZE shown = FitSizeInBox(upright.cx, upright.cy, box.cx, box.cy);
    const SIZE needed = OrientedSize(shown.cx, shown.cy, orientation);  // back as stored
    for (unsigned denominator = 8; denominator > 1; denominator /= 2) {
        info.scale_denom = denominator;
        jpeg_calc_output_dimensions(&info);
        if ((int)info.output_width >= needed.cx && (int)info.output_height >= needed.cy) {
            // What is shrunk further by averaging needs no smooth colour
            // upsampling: the average does the same, and more.
            if ((int)info.output_width > needed.cx && (int)info.output_height > needed.cy)
                info.do_fancy_upsampling = FALSE;
            return;
        }
    }
    info.scale_denom = 1;
}

// Thrown out of a read that the stop request gave up.
constexpr int kReadStopped = -1;

// The stdio source's reads, a buffer of the file each, look at the stop
// request: a progressive picture is read whole before its first row comes.
struct StoppableReads {
    boolean (*fill)(j_decompress_ptr);
    const StopRequest* stop;

    static boolean Fill(j_decompress_ptr info)
    {
        const auto* self = static_cast<const StoppableReads*>(info->client_data);
        if ((*self->stop)())
            throw kReadStopped;
        return self->fill(info);
    }
    void Attach(jpeg_decompress_struct& info)
    {
        fill = info.src->fill_input_buffer;
        info.client_data = this;
        info.src->fill_input_buffer = &StoppableReads::Fill;
    }
};

bool IsInk(J_COLOR_SPACE space)
{
    return space == JCS_CMYK || space == JCS_YCCK;
}

// Reads file's header into info and header; reads stop at request's stop.
void ReadHeader(jpeg_decompress_struct& info, FILE* file, StoppableReads& reads, const PictureRequest& request,
                PictureHeader& header)
{
    jpeg_stdio_src(&info, file);
    if (request.stop)
        reads.Attach(info);
    SaveMetadataMarkers(info);
    jpeg_read_header(&info, TRUE);
    header.orientation = ReadOrientation(info.marker_list);
    header.facts = ReadPhotoFacts(info.marker_list);
    header.stored = SIZE{(LONG)info.image_width, (LONG)info.image_height};
    header.upright = OrientedSize(header.stored.cx, header.stored.cy, header.orientation);
}

}  // namespace

Decoded DecodePicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header)
{
    std::optional<PageToucher> toucher;
    Decoded result = Decoded::Failed;
    try {
        JpegDecompressor decoder;
        jpeg_decompress_struct& info = decoder.info;
        StoppableReads reads{nullptr, &request.stop};
        ReadHeader(info, file, reads, request, header);
        const std::vector<BYTE> profile = ReadIccProfile(info.marker_list);

        const bool ink = IsInk(info.jpeg_color_space);
        info.out_color_space = ink ? JCS_CMYK : JCS_EXT_BGR;
        ChooseScale(info, request.box, header.orientation);
        jpeg_calc_output_dimensions(&info);
        const int width = (int)info.output_width, height = (int)info.output_height;

        PixelRows shown;
        if (!PictureSection(section, OrientedSize(width, height, header.orientation), shown, toucher))
            throw (int)JERR_OUT_OF_MEMORY;
        // Upright BGR pixels go straight into the section; others first
        // into memory of their own.
        const bool upright = header.orientation == OrientNormal;
        std::optional<CPixels> stored;
        if (!upright)
            stored.emplace(width, height);
        const PixelRows bgr = upright ? shown : stored->Rows();

        jpeg_start_decompress(&info);
        if (ink) {
            const size_t stride = (size_t)width * 4;
            std::vector<BYTE> cmyk(stride * (size_t)height);
            result = ReadScanlines(info, cmyk.data(), (ptrdiff_t)stride, request.stop);
            if (result == Decoded::Complete) {
                // Adobe's writers store every ink inverted; the library says
                // whether their marker was there.
                ConvertCmykPixels(profile, info.saw_Adobe_marker, cmyk.data(), stride, bgr.bits,
                                  (size_t)bgr.stride, width, height, request.target);
            }
        } else {
            result = ReadScanlines(info, bgr.bits, bgr.stride, request.stop);
        }
        if (result == Decoded::Complete && !upright)
            OrientPixels(bgr, shown, header.orientation);
        if (result == Decoded::Complete && !ink && !profile.empty())
            ConvertRgbPixels(profile, shown.bits, (size_t)shown.stride, shown.width, shown.height, request.target);
    } catch (int code) {
        result = code == kReadStopped ? Decoded::Stopped : Decoded::Failed;
    }
    toucher.reset();  // done before the section may go
    if (result != Decoded::Complete)
        section.DeleteObject();
    return result;
}

bool ReadJpegHeader(FILE* file, PictureHeader& header, const StopRequest& stop)
{
    try {
        JpegDecompressor decoder;
        StoppableReads reads{nullptr, &stop};
        const PictureRequest request{{0, 0}, ColourTarget::Display, stop};
        ReadHeader(decoder.info, file, reads, request, header);
        return true;
    } catch (int) {
        return false;
    }
}

namespace {

// Where the upright pixel (x, y) lies in the stored rows, as OrientPixels
// reads them.
POINT StoredPoint(int x, int y, SIZE stored, int orientation)
{
    const int w = stored.cx, h = stored.cy;
    switch (orientation) {
    case 2: return POINT{w - 1 - x, y};
    case 3: return POINT{w - 1 - x, h - 1 - y};
    case 4: return POINT{x, h - 1 - y};
    case 5: return POINT{y, x};
    case 6: return POINT{y, h - 1 - x};
    case 7: return POINT{w - 1 - y, h - 1 - x};
    case 8: return POINT{w - 1 - y, x};
    default: return POINT{x, y};
    }
}

} // namespace

Decoded DecodePictureRegion(FILE* file, RECT& region, CBitmap& section, const PictureRequest& request,
                            PictureHeader& header)
{
    Decoded result = Decoded::Failed;
    try {
        JpegDecompressor decoder;
        jpeg_decompress_struct& info = decoder.info;
        StoppableReads reads{nullptr, &request.stop};
        ReadHeader(info, file, reads, request, header);
        if (IsInk(info.jpeg_color_space) || info.progressive_mode)
            return Decoded::Failed;  // a progressive picture is read whole before its first row anyway
        region.left = std::max<LONG>(region.left, 0);
        region.top = std::max<LONG>(region.top, 0);
        region.right = std::min(region.right, header.upright.cx);
        region.bottom = std::min(region.bottom, header.upright.cy);
        if (region.left >= region.right || region.top >= region.bottom)
            return Decoded::Failed;
        const std::vector<BYTE> profile = ReadIccProfile(info.marker_list);

        // The region's corners as stored.
        const POINT a = StoredPoint(region.left, region.top, header.stored, header.orientation);
        const POINT b = StoredPoint(region.right - 1, region.bottom - 1, header.stored, header.orientation);
        const RECT stored{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
        info.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&info);
        // A block more on every side: the colour's smooth upsampling reads
        // the neighbours of the edge pixels, which a crop would leave out.
        const int margin = 2 * DCTSIZE;
        const RECT wider{std::max<LONG>(stored.left - margin, 0), std::max<LONG>(stored.top - margin, 0),
                         std::min<LONG>(stored.right + margin, header.stored.cx),
                         std::min<LONG>(stored.bottom + margin, header.stored.cy)};
        JDIMENSION left = (JDIMENSION)wider.left, width = (JDIMENSION)(wider.right - wider.left);
        jpeg_crop_scanline(&info, &left, &width);
        if (wider.top > 0)
            jpeg_skip_scanlines(&info, (JDIMENSION)wider.top);
        const int rows = wider.bottom - wider.top;
        CPixels cropped((int)width, rows);
        for (int y = 0; y < rows; ++y) {
            if (request.stop && y % kRowsBetweenStopChecks == 0 && request.stop())
                return Decoded::Stopped;
            JSAMPROW row = cropped.Row(y);
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_abort_decompress(&info);

        // The stored part without the columns of whole blocks around it.
        const PixelRows part{cropped.Row(stored.top - wider.top) + 3 * (stored.left - (LONG)left),
                             (ptrdiff_t)cropped.Stride(), stored.right - stored.left, stored.bottom - stored.top};
        PixelRows shown;
        std::optional<PageToucher> toucher;
        if (!PictureSection(section, OrientedSize(part.width, part.height, header.orientation), shown, toucher))
            throw (int)JERR_OUT_OF_MEMORY;
        toucher.reset();
        OrientPixels(part, shown, header.orientation);
        if (!profile.empty())
            ConvertRgbPixels(profile, shown.bits, (size_t)shown.stride, shown.width, shown.height, request.target);
        result = Decoded::Complete;
    } catch (int code) {
        result = code == kReadStopped ? Decoded::Stopped : Decoded::Failed;
    }
    if (result != Decoded::Complete)
        section.DeleteObject();
    return result;
}

HBITMAP DecodeJpeg(FILE* file, bool exchangeRedBlue, SIZE* size)
{
    CBitmap bitmap;
    const auto target = [&bitmap](int width, int height, PixelRows& rows) {
        return bitmap.Attach(CreatePictureDib(width, height)) && GetPictureRows(bitmap, rows);
    };
    const auto source = [file](jpeg_decompress_struct& info) { jpeg_stdio_src(&info, file); };
    if (DecodeStored(source, exchangeRedBlue, size, target) != Decoded::Complete)
        return nullptr;
    return static_cast<HBITMAP>(bitmap.Detach());
}

namespace {

template <class Source>
std::unique_ptr<CPixels> DecodeStoredPixels(Source&& source, SIZE* size)
{
    std::unique_ptr<CPixels> pixels;
    const auto target = [&pixels](int width, int height, PixelRows& rows) {
        if (width <= 0 || height <= 0)
            return false;
        pixels = std::make_unique<CPixels>(width, height);
        rows = pixels->Rows();
        return true;
    };
    if (DecodeStored(source, false, size, target) != Decoded::Complete)
        pixels.reset();
    return pixels;
}

} // namespace

std::unique_ptr<CPixels> DecodeJpegPixels(FILE* file, SIZE* size)
{
    return DecodeStoredPixels([file](jpeg_decompress_struct& info) { jpeg_stdio_src(&info, file); }, size);
}

std::unique_ptr<CPixels> DecodeJpegPixels(const unsigned char* data, size_t length, SIZE* size)
{
    if (!data || length == 0)
        return nullptr;
    return DecodeStoredPixels(
        [data, length](jpeg_decompress_struct& info) { jpeg_mem_src(&info, data, (unsigned long)length); }, size);
}

bool PeekJpegSize(const unsigned char* data, size_t length, SIZE* size)
{
    if (!data || length == 0)
        return false;
    try {
        JpegDecompressor decoder;
        jpeg_mem_src(&decoder.info, data, (unsigned long)length);
        if (jpeg_read_header(&decoder.info, TRUE) != JPEG_HEADER_OK)
            return false;
        size->cx = (LONG)decoder.info.image_width;
        size->cy = (LONG)decoder.info.image_height;
        return true;
    } catch (int) {
        return false;
    }
}
