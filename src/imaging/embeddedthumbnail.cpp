#include "imaging/embeddedthumbnail.h"

#include <cctype>
#include <cstdlib>
#include <new>

#include "imaging/heifcontext.h"
#include "imaging/jpegio.h"
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

bool NamedAsHeif(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = path.substr(dot);
    for (char& c : extension)
        c = (char)std::tolower((unsigned char)c);
    return extension == ".heic" || extension == ".heif" || extension == ".hif" || extension == ".avif";
}

} // namespace

std::unique_ptr<CPixels> ReadEmbeddedThumbnail(const std::string& path, int box, const StopRequest& stop)
{
    try {
        // Only files named as HEIF or AVIF are opened for it: a folder of
        // JPEG files is read as before.
        if (!NamedAsHeif(path))
            return nullptr;
        const FilePtr file = OpenSharedForReading(path);
        if (!file || DecoderFor(path, file.get()) != PictureDecoder::Heif)
            return nullptr;
        CHeifFile heif(file.get(), stop, 0);
        heif_image_handle* primary = heif.Primary();
        heif_item_id id = 0;
        if (!primary || heif_image_handle_get_list_of_thumbnail_IDs(primary, &id, 1) < 1)
            return nullptr;
        heif_image_handle* held = nullptr;
        if (heif_image_handle_get_thumbnail(primary, id, &held).code != heif_error_Ok || !held)
            return nullptr;
        const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> thumbnail(
            held, &heif_image_handle_release);

        const SIZE fitted = Fitted(heif_image_handle_get_width(primary), heif_image_handle_get_height(primary), box);
        const SIZE own = Fitted(heif_image_handle_get_width(held), heif_image_handle_get_height(held), box);
        if (fitted.cx <= 0 || std::abs(own.cx - fitted.cx) > 1 || std::abs(own.cy - fitted.cy) > 1)
            return nullptr;

        CBitmap section;
        PictureHeader header;
        const PictureRequest request{{box, box}, ColourTarget::Srgb, stop};
        PixelRows rows;
        if (DecodeHeifImage(held, section, request, header) != Decoded::Complete
            || !GetPictureRows(section, rows))
            return nullptr;
        auto pixels = std::make_unique<CPixels>(fitted.cx, fitted.cy);
        ShrinkPixels(rows, pixels->Rows());
        return pixels;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
