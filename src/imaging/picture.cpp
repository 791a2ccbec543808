#include "imaging/picture.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

#include "jpeglib.h"
extern "C" {
#include "transupp.h"
}

#include "dc.h"
#include "gdi.h"

namespace {

// A damaged header can announce a picture of 65500 by 65500; past this the
// library fails cleanly instead of claiming all memory.
constexpr long kJpegMemoryLimit = 0x7FFFFFFF;

struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, CloseFile>;

DWORD LastError()
{
    const DWORD error = ::GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

// A picture open for reading that other programs may still delete, rename
// or rewrite meanwhile, as they could if it were not open at all.
FilePtr OpenSharedForReading(const std::string& path)
{
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    const int descriptor = ::_open_osfhandle((intptr_t)handle, _O_RDONLY | _O_BINARY);
    if (descriptor == -1) {
        ::CloseHandle(handle);
        ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    FILE* file = ::_fdopen(descriptor, "rb");
    if (!file) {
        ::_close(descriptor);
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return FilePtr(file);
}

// A decompressor or compressor whose errors are thrown. jpeg_destroy may
// run twice: it does nothing on a destroyed object.
template <class Info>
class JpegCodec {
public:
    Info info{};
    jpeg_error_mgr error{};

    JpegCodec()
    {
        info.err = jpeg_std_error(&error);
        error.error_exit = ThrowingErrorExit;
        if constexpr (std::is_same_v<Info, jpeg_decompress_struct>)
            jpeg_create_decompress(&info);
        else
            jpeg_create_compress(&info);
        info.mem->max_memory_to_use = kJpegMemoryLimit;
    }
    ~JpegCodec() { jpeg_destroy(reinterpret_cast<j_common_ptr>(&info)); }
    JpegCodec(const JpegCodec&) = delete;
    JpegCodec& operator=(const JpegCodec&) = delete;
};
using JpegDecompressor = JpegCodec<jpeg_decompress_struct>;
using JpegCompressor = JpegCodec<jpeg_compress_struct>;

// A file that is deleted with its guard unless it was moved away.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!m_path.empty())
            ::DeleteFileA(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const char* Path() const { return m_path.c_str(); }
    void Keep() { m_path.clear(); }

private:
    std::string m_path;
};

// Writes what the system still holds of file to the disk, so that a rename
// that follows can never leave an empty or partial picture after a power cut.
void FlushToDisk(FILE* file)
{
    if (std::fflush(file) != 0)
        throw (DWORD)ERROR_WRITE_FAULT;
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))))
        throw LastError();
}

void FlushToDisk(const char* path)
{
    const HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw LastError();
    const BOOL flushed = ::FlushFileBuffers(file);
    const DWORD error = LastError();
    ::CloseHandle(file);
    if (!flushed)
        throw error;
}

// A new empty file with a unique name in folder.
std::string CreateTemporaryFile(const std::string& folder)
{
    char name[MAX_PATH] = "";
    if (!::GetTempFileNameA(folder.c_str(), "JPG", 0, name))
        throw LastError();
    return name;
}

bool MoveOver(const char* replacement, const std::string& path)
{
    return ::MoveFileExA(replacement, path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// Puts the complete turned copy in place of the picture in one rename.
void ReplacePicture(TemporaryFile& turned, const std::string& path)
{
    // Windows refuses to replace a read-only file; Wine's MoveFileEx does not.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw (DWORD)ERROR_ACCESS_DENIED;
    if (MoveOver(turned.Path(), path)) {
        turned.Keep();
        return;
    }
    const DWORD error = LastError();
    if (error != ERROR_NOT_SAME_DEVICE)
        throw error;

    // A move across volumes copies over the picture and could leave it half
    // written: stage the copy on the picture's own volume and rename that.
    const size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    TemporaryFile staged(CreateTemporaryFile(folder));
    if (!::CopyFileA(turned.Path(), staged.Path(), FALSE))
        throw LastError();
    FlushToDisk(staged.Path());
    if (!MoveOver(staged.Path(), path))
        throw LastError();
    staged.Keep();
}

// The EXIF Orientation tag of the primary image: turned pixels stand as the
// user saw them, so every reader must show them as they are (1, normal).
// Markers that are not EXIF, or whose structure runs out of the segment,
// stay as they are.
void SetExifOrientationNormal(jpeg_saved_marker_ptr markers)
{
    constexpr unsigned kOrientationTag = 0x0112;
    constexpr unsigned kShortType = 3;
    for (jpeg_saved_marker_ptr marker = markers; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 14
            || std::memcmp(marker->data, "Exif\0\0", 6) != 0)
            continue;
        BYTE* tiff = marker->data + 6;
        const size_t size = marker->data_length - 6;
        const bool motorola = tiff[0] == 'M' && tiff[1] == 'M';
        if (!motorola && !(tiff[0] == 'I' && tiff[1] == 'I'))
            continue;
        auto read = [&](size_t at, int bytes) {
            unsigned value = 0;
            for (int i = 0; i < bytes; ++i)
                value |= (unsigned)tiff[at + i] << 8 * (motorola ? bytes - 1 - i : i);
            return value;
        };
        const size_t directory = read(4, 4);
        if (directory > size - 2)
            continue;
        const size_t count = read(directory, 2);
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = directory + 2 + 12 * i;
            if (entry + 12 > size)
                break;
            if (read(entry, 2) == kOrientationTag && read(entry + 2, 2) == kShortType
                && read(entry + 4, 4) == 1) {
                tiff[entry + 8] = motorola ? 0 : 1;
                tiff[entry + 9] = motorola ? 1 : 0;
            }
        }
    }
}

// Copies what follows the stream's end-of-image marker in inFile (the video
// of a motion photo, say) to the end of outFile unchanged. The library has
// read the input up to the marker and buffered some bytes beyond it.
void CopyTrailingBytes(jpeg_decompress_struct& source, FILE* inFile, FILE* outFile)
{
    const long long end = _ftelli64(inFile) - (long long)source.src->bytes_in_buffer;
    if (end < 0 || _fseeki64(inFile, end, SEEK_SET) != 0)
        throw (DWORD)ERROR_READ_FAULT;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, inFile)) > 0) {
        if (std::fwrite(buffer, 1, got, outFile) != got)
            throw (DWORD)ERROR_WRITE_FAULT;
    }
    if (std::ferror(inFile))
        throw (DWORD)ERROR_READ_FAULT;
}

enum class Decoded { Complete, Failed, Stopped };
Decoded DecodePicture(FILE* file, CBitmap& bitmap, SIZE* size, const StopRequest& stop);

}  // namespace

// ---------------------------------------------------------------- CPictureBitmap

CPictureBitmap::~CPictureBitmap()
{
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
}

bool CPictureBitmap::LoadFromFile(const std::string& path, const StopRequest& stop)
{
    FilePtr file = OpenSharedForReading(path);
    if (!file)
        throw LastError();
    CBitmap section;
    section.Attach(std::exchange(m_hBitmap, nullptr));
    SIZE size{m_width, m_height};
    const Decoded result = DecodePicture(file.get(), section, &size, stop);
    m_width = size.cx;
    m_height = size.cy;
    m_hBitmap = static_cast<HBITMAP>(section.Detach());
    return result != Decoded::Stopped;
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

namespace {

// The rows of a picture section, top row first as CreatePictureDib makes it.
struct DibRows {
    BYTE* bits = nullptr;
    ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;

    BYTE* Row(JDIMENSION y) const { return bits + stride * (ptrdiff_t)y; }
};

bool GetPictureRows(HBITMAP bitmap, DibRows& rows)
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

}  // namespace

// ---------------------------------------------------------------- libjpeg

void ThrowingErrorExit(jpeg_common_struct* info)
{
    (*info->err->output_message)(info);
    throw (int)info->err->msg_code;
}

namespace {

// Rows decoded between two looks at the stop request: some milliseconds of
// work even for the widest pictures.
constexpr JDIMENSION kRowsBetweenStopChecks = 32;

// Decodes the stream at full scale, one row per call, into the rows that
// target(width, height, rows) provides once the header is read.
template <class Target>
Decoded DecodeRows(FILE* file, bool exchangeRedBlue, SIZE* size, Target&& target, const StopRequest& stop)
{
    try {
        JpegDecompressor decoder;
        jpeg_decompress_struct& info = decoder.info;
        jpeg_stdio_src(&info, file);
        jpeg_read_header(&info, TRUE);
        if (size) {
            size->cx = (LONG)info.image_width;
            size->cy = (LONG)info.image_height;
        }
        // libjpeg-turbo can give the exchanged order itself, the same bytes
        // without a second pass over every row.
        info.out_color_space = exchangeRedBlue ? JCS_EXT_BGR : JCS_RGB;

        DibRows rows;
        if (!target((int)info.image_width, (int)info.image_height, rows))
            return Decoded::Failed;

        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            if (stop && info.output_scanline % kRowsBetweenStopChecks == 0 && stop())
                return Decoded::Stopped;
            JSAMPROW row = rows.Row(info.output_scanline);
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        return Decoded::Complete;
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
    static constexpr size_t kWorthIt = 16 << 20;  // bytes; smaller ones cost less than a thread

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

// A picture section for width by height in bitmap: the one it holds when
// that has the size, else a new one, whose pages toucher then brings in.
bool PictureSection(CBitmap& bitmap, int width, int height, DibRows& rows,
                    std::optional<PageToucher>& toucher)
{
    if (bitmap.m_hObject && GetPictureRows(bitmap, rows) && rows.width == width && rows.height == height)
        return true;
    if (!bitmap.Attach(CreatePictureDib(width, height)) || !GetPictureRows(bitmap, rows))
        return false;
    const size_t size = (size_t)rows.stride * (size_t)rows.height;
    if (size >= PageToucher::kWorthIt)
        toucher.emplace(rows.bits, size);
    return true;
}

DibRows RowsOf(CPixels& pixels)
{
    DibRows rows;
    rows.bits = pixels.Row(0);
    rows.stride = (ptrdiff_t)pixels.Stride();
    rows.width = pixels.Width();
    rows.height = pixels.Height();
    return rows;
}

// Decodes a picture file into bitmap, reusing the section it holds when
// that has the picture's size; bitmap is empty unless decoding completed.
Decoded DecodePicture(FILE* file, CBitmap& bitmap, SIZE* size, const StopRequest& stop)
{
    std::optional<PageToucher> toucher;
    const auto target = [&bitmap, &toucher](int width, int height, DibRows& rows) {
        return PictureSection(bitmap, width, height, rows, toucher);
    };
    const Decoded result = DecodeRows(file, true, size, target, stop);
    toucher.reset();  // done before the section may go
    if (result != Decoded::Complete)
        bitmap.DeleteObject();
    return result;
}

}  // namespace

HBITMAP DecodeJpeg(FILE* file, bool exchangeRedBlue, SIZE* size)
{
    CBitmap bitmap;
    const auto target = [&bitmap](int width, int height, DibRows& rows) {
        return bitmap.Attach(CreatePictureDib(width, height)) && GetPictureRows(bitmap, rows);
    };
    if (DecodeRows(file, exchangeRedBlue, size, target, {}) != Decoded::Complete)
        return nullptr;
    return static_cast<HBITMAP>(bitmap.Detach());
}

std::unique_ptr<CPixels> DecodeJpegPixels(FILE* file, SIZE* size)
{
    std::unique_ptr<CPixels> pixels;
    const auto target = [&pixels](int width, int height, DibRows& rows) {
        if (width <= 0 || height <= 0)
            return false;
        pixels = std::make_unique<CPixels>(width, height);
        rows = RowsOf(*pixels);
        return true;
    };
    if (DecodeRows(file, false, size, target, {}) != Decoded::Complete)
        pixels.reset();
    return pixels;
}

std::unique_ptr<CPixels> CopyPixels(HBITMAP section)
{
    DibRows rows;
    if (!GetPictureRows(section, rows))
        return nullptr;
    ::GdiFlush();  // drawing into the section may still be queued
    auto pixels = std::make_unique<CPixels>(rows.width, rows.height);
    for (int y = 0; y < rows.height; ++y)
        std::memcpy(pixels->Row(y), rows.Row((JDIMENSION)y), (size_t)rows.width * 3);
    return pixels;
}

namespace {

void EncodeRows(const DibRows& rows, FILE* file)
{
    JpegCompressor encoder;
    jpeg_compress_struct& info = encoder.info;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.image_width = (JDIMENSION)rows.width;
    info.image_height = (JDIMENSION)rows.height;
    info.input_components = 3;
    info.data_precision = 8;
    jpeg_stdio_dest(&info, file);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rows.Row(info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
}

}  // namespace

void EncodeJpeg(HBITMAP bitmap, FILE* file)
{
    DibRows rows;
    if (!GetPictureRows(bitmap, rows))
        return;
    ::GdiFlush();  // drawing into the section may still be queued
    EncodeRows(rows, file);
}

void EncodeJpeg(const CPixels& pixels, FILE* file)
{
    if (pixels.Width() <= 0 || pixels.Height() <= 0)
        return;
    EncodeRows(RowsOf(const_cast<CPixels&>(pixels)), file);
}

void TransformJpeg(FILE* inFile, FILE* outFile, int turn)
{
    jpeg_transform_info options{};
    switch (turn) {
    case Turn90: options.transform = JXFORM_ROT_90; break;
    case Turn180: options.transform = JXFORM_ROT_180; break;
    case Turn270: options.transform = JXFORM_ROT_270; break;
    default: options.transform = JXFORM_NONE; break;
    }
    options.trim = TRUE;
    options.force_grayscale = FALSE;

    JpegDecompressor source;
    JpegCompressor destination;
    jpeg_stdio_src(&source.info, inFile);
    jcopy_markers_setup(&source.info, JCOPYOPT_ALL);
    jpeg_read_header(&source.info, TRUE);

    jtransform_request_workspace(&source.info, &options);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source.info);
    // Damaged data reads with the gaps filled in grey: a turn would make
    // that damage permanent, so the picture is left as it is.
    if (source.error.num_warnings > 0)
        throw (int)source.error.msg_code;
    jpeg_copy_critical_parameters(&source.info, &destination.info);
    jvirt_barray_ptr* turned =
        jtransform_adjust_parameters(&source.info, &destination.info, coefficients, &options);
    if (options.transform != JXFORM_NONE)
        SetExifOrientationNormal(source.info.marker_list);

    jpeg_stdio_dest(&destination.info, outFile);
    jpeg_write_coefficients(&destination.info, turned);
    jcopy_markers_execute(&source.info, &destination.info, JCOPYOPT_ALL);
    jtransform_execute_transformation(&source.info, &destination.info, coefficients, &options);

    jpeg_finish_compress(&destination.info);
    jpeg_destroy_compress(&destination.info);
    jpeg_finish_decompress(&source.info);
    if (source.error.num_warnings > 0)
        throw (int)source.error.msg_code;
    CopyTrailingBytes(source.info, inFile, outFile);
    jpeg_destroy_decompress(&source.info);
}

void RotatePictureFile(const std::string& path, int turn)
{
    char folder[MAX_PATH] = "";
    if (!::GetTempPathA(MAX_PATH, folder))
        throw LastError();
    TemporaryFile turned(CreateTemporaryFile(folder));
    {
        FilePtr picture(std::fopen(path.c_str(), "rb"));
        if (!picture)
            throw LastError();
        FilePtr output(std::fopen(turned.Path(), "wb"));
        if (!output)
            throw LastError();
        TransformJpeg(picture.get(), output.get(), turn);
        // Only a copy that reached the disk whole may replace the picture.
        FlushToDisk(output.get());
        if (std::fclose(output.release()) != 0)
            throw (DWORD)ERROR_WRITE_FAULT;
    }
    ReplacePicture(turned, path);
}

// ---------------------------------------------------------------- fitting

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
