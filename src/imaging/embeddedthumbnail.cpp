#include "imaging/embeddedthumbnail.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

#include <vector>

#include "imaging/heifcontext.h"
#include "imaging/jpegio.h"
#include "imaging/metadata.h"
#include "imaging/pictureformats.h"
#include "imaging/resample.h"

namespace {

SIZE Fitted(int width, int height, int box)
{
    CPictureBitmap shape;
    shape.m_width = width;
    shape.m_height = height;
    return FitPictureInBox(shape, box, box);
}

std::string Extension(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos)
        return {};
    std::string extension = path.substr(dot);
    for (char& c : extension)
        c = (char)std::tolower((unsigned char)c);
    return extension;
}

bool NamedAsHeif(const std::string& extension)
{
    return extension == ".heic" || extension == ".heif" || extension == ".hif" || extension == ".avif";
}

bool NamedAsJpeg(const std::string& extension)
{
    return extension == ".jpg" || extension == ".jpeg" || extension == ".jpe" || extension == ".jfif";
}

// Whether a thumbnail of that shape shows the whole picture of this one:
// the same size, to a pixel, once both are fitted into the box.
bool SameShape(SIZE picture, SIZE thumbnail, int box, SIZE* fitted)
{
    *fitted = Fitted(picture.cx, picture.cy, box);
    const SIZE own = Fitted(thumbnail.cx, thumbnail.cy, box);
    return fitted->cx > 0 && std::abs(own.cx - fitted->cx) <= 1 && std::abs(own.cy - fitted->cy) <= 1;
}

std::unique_ptr<CPixels> HeifThumbnail(FILE* file, int box, const StopRequest& stop)
{
    CHeifFile heif(file, stop, 0);
    heif_image_handle* primary = heif.Primary();
    heif_item_id id = 0;
    if (!primary || heif_image_handle_get_list_of_thumbnail_IDs(primary, &id, 1) < 1)
        return nullptr;
    heif_image_handle* held = nullptr;
    if (heif_image_handle_get_thumbnail(primary, id, &held).code != heif_error_Ok || !held)
        return nullptr;
    const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> thumbnail(
        held, &heif_image_handle_release);

    SIZE fitted;
    if (!SameShape({heif_image_handle_get_width(primary), heif_image_handle_get_height(primary)},
                   {heif_image_handle_get_width(held), heif_image_handle_get_height(held)}, box, &fitted))
        return nullptr;

    CBitmap section;
    PictureHeader header;
    const PictureRequest request{{box, box}, ColourTarget::Srgb, stop};
    PixelRows rows;
    if (DecodeHeifImage(held, section, request, header) != Decoded::Complete || !GetPictureRows(section, rows))
        return nullptr;
    auto pixels = std::make_unique<CPixels>(fitted.cx, fitted.cy);
    ShrinkPixels(rows, pixels->Rows());
    return pixels;
}

// Cameras write the EXIF segment, thumbnail and all, at the very start.
constexpr size_t kHeaderBytes = 64 * 1024;

// What the start of a JPEG file says: its stored size and its first EXIF
// segment, both found among the bytes read.
struct JpegStart {
    SIZE stored{0, 0};
    const BYTE* exif = nullptr;
    size_t exifSize = 0;
};

JpegStart WalkMarkers(const std::vector<BYTE>& bytes)
{
    JpegStart start;
    const size_t size = bytes.size();
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return start;
    size_t at = 2;
    while (at + 4 <= size) {
        if (bytes[at] != 0xFF)
            break;
        const BYTE marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at;  // fill byte
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            break;
        const size_t length = (size_t)bytes[at + 2] << 8 | bytes[at + 3];
        if (length < 2 || at + 2 + length > size)
            break;
        const BYTE* data = bytes.data() + at + 4;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && length >= 7) {
            start.stored = SIZE{data[3] << 8 | data[4], data[1] << 8 | data[2]};
            break;
        }
        if (marker == 0xE1 && !start.exif && length - 2 >= 6 && std::memcmp(data, "Exif\0", 5) == 0) {
            start.exif = data;
            start.exifSize = length - 2;
        }
        at += 2 + length;
    }
    return start;
}

// Decodes thumbnail JPEG bytes into 24-bit rows; null for a picture in
// inks or when stopped.
std::unique_ptr<CPixels> DecodeSmallJpeg(const BYTE* data, size_t size, const StopRequest& stop)
{
    JpegDecompressor codec;
    jpeg_decompress_struct& info = codec.info;
    jpeg_mem_src(&info, data, (unsigned long)size);
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        return nullptr;
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    auto pixels = std::make_unique<CPixels>((int)info.output_width, (int)info.output_height);
    while (info.output_scanline < info.output_height) {
        if (stop && stop())
            return nullptr;
        JSAMPROW row = pixels->Row((int)info.output_scanline);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return pixels;
}

std::unique_ptr<CPixels> JpegThumbnail(FILE* file, int box, const StopRequest& stop)
{
    std::vector<BYTE> bytes(kHeaderBytes);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    const JpegStart start = WalkMarkers(bytes);
    size_t offset = 0, length = 0;
    if (start.stored.cx <= 0 || start.stored.cy <= 0 || !start.exif
        || !ExifThumbnail(start.exif, start.exifSize, &offset, &length))
        return nullptr;
    int orientation = ExifOrientation(start.exif, start.exifSize);
    if (orientation < OrientNormal || orientation > OrientTurned270)
        orientation = OrientNormal;

    // Cameras store their thumbnail as the picture is stored: it is turned
    // upright the same way.
    std::unique_ptr<CPixels> stored;
    try {
        stored = DecodeSmallJpeg(start.exif + offset, length, stop);
    } catch (int) {
        return nullptr;
    }
    if (!stored)
        return nullptr;
    const SIZE upright = OrientedSize(start.stored.cx, start.stored.cy, orientation);
    const SIZE shape = OrientedSize(stored->Width(), stored->Height(), orientation);
    SIZE fitted;
    if (!SameShape(upright, shape, box, &fitted))
        return nullptr;
    CPixels turned(shape.cx, shape.cy);
    OrientPixels(stored->Rows(), turned.Rows(), orientation);
    auto pixels = std::make_unique<CPixels>(fitted.cx, fitted.cy);
    ShrinkPixels(turned.Rows(), pixels->Rows());
    return pixels;
}

} // namespace

std::unique_ptr<CPixels> ReadEmbeddedThumbnail(const std::string& path, int box, const StopRequest& stop)
{
    try {
        // Only files named as a format that carries one are opened for it.
        const std::string extension = Extension(path);
        const bool heif = NamedAsHeif(extension);
        if (!heif && !NamedAsJpeg(extension))
            return nullptr;
        const FilePtr file = OpenSharedForReading(path);
        if (!file)
            return nullptr;
        const PictureDecoder decoder = DecoderFor(path, file.get());
        if (heif && decoder == PictureDecoder::Heif)
            return HeifThumbnail(file.get(), box, stop);
        if (!heif && decoder == PictureDecoder::Jpeg && std::fseek(file.get(), 0, SEEK_SET) == 0)
            return JpegThumbnail(file.get(), box, stop);
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
