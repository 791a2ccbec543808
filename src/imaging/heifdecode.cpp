#include "imaging/heifdecode.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "imaging/decodedimage.h"
#include "imaging/decodelimits.h"
#include "imaging/heifcontext.h"
#include "imaging/nclxprofile.h"

namespace {

// Boxes no larger than a thumbnail cell are the thumbnail makers' work,
// one maker a core: their tiles are decoded on the maker's own thread. A
// picture for the page gets every core.
constexpr int kLargestThumbnailSide = 512;

int TileThreads(SIZE box)
{
    if (box.cx > 0 && box.cy > 0 && std::max(box.cx, box.cy) <= kLargestThumbnailSide)
        return 0;
    return (int)std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

// The picture's colour: its ICC profile, else its code points, which the
// AV1 stream may carry rather than the file.
std::vector<BYTE> ProfileOf(heif_image_handle* handle, const heif_image* image)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        std::vector<BYTE> profile(size);
        if (size > 0 && heif_image_handle_get_raw_color_profile(handle, profile.data()).code == heif_error_Ok)
            return profile;
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
        heif_image_get_nclx_color_profile(image, &nclx);
    if (!nclx)
        return {};
    std::vector<BYTE> profile = NclxProfile(nclx->color_primaries, nclx->transfer_characteristics);
    heif_nclx_color_profile_free(nclx);
    return profile;
}

// The facts of the picture's Exif item: a four-byte offset to the TIFF
// structure, then the structure.
PhotoFacts ExifFacts(heif_image_handle* handle, const StopRequest& stop)
{
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1)
        return {};
    const size_t size = heif_image_handle_get_metadata_size(handle, id);
    // Facts sit in the first directories; a larger item is no photo's.
    constexpr size_t kMostExifBytes = 1 << 20;
    if (size < 4 || size > kMostExifBytes || (stop && stop()))
        return {};
    std::vector<BYTE> data(size);
    if (heif_image_handle_get_metadata(handle, id, data.data()).code != heif_error_Ok)
        return {};
    const uint32_t offset = (uint32_t)data[0] << 24 | (uint32_t)data[1] << 16 | (uint32_t)data[2] << 8 | data[3];
    if (offset > size - 4)
        return {};
    return TiffPhotoFacts(data.data() + 4 + offset, size - 4 - offset);
}

void FillHeader(heif_image_handle* handle, PictureHeader& header)
{
    header.upright = SIZE{heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)};
    header.stored = SIZE{heif_image_handle_get_ispe_width(handle), heif_image_handle_get_ispe_height(handle)};
    if (header.stored.cx <= 0 || header.stored.cy <= 0)
        header.stored = header.upright;
    // The library turns the picture as its transform properties say; an
    // EXIF orientation in a HEIF file is only what the camera saw.
    header.orientation = 1;
}

bool WithinLimits(SIZE size)
{
    return size.cx > 0 && size.cy > 0 && size.cx <= kMostDecodedSide && size.cy <= kMostDecodedSide
        && (int64_t)size.cx * size.cy <= kMostDecodedPixels;
}

} // namespace

Decoded DecodeHeifImage(heif_image_handle* handle, CBitmap& section, const PictureRequest& request,
                        PictureHeader& header)
{
    section.DeleteObject();
    FillHeader(handle, header);
    if (!WithinLimits(header.upright) || !WithinLimits(header.stored))
        return Decoded::Failed;
    if (request.stop && request.stop())
        return Decoded::Stopped;

    const int depth = heif_image_handle_get_luma_bits_per_pixel(handle);
    const bool deep = depth > 8;
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    // The library holds the planes it decodes and their interleaved copy at once.
    const int64_t held = (int64_t)header.stored.cx * header.stored.cy * (deep ? 2 : 1) * (alpha ? 4 : 3) * 2;
    if (held > kMostDecoderBytes)
        return Decoded::Failed;
    const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                    : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* decoded = nullptr;
    const heif_error error = heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, nullptr);
    const std::unique_ptr<heif_image, decltype(&heif_image_release)> image(decoded, &heif_image_release);
    if (error.code != heif_error_Ok || !image)
        return request.stop && request.stop() ? Decoded::Stopped : Decoded::Failed;

    DecodedImage pixels;
    int stride = 0;
    pixels.bits = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    pixels.stride = stride;
    pixels.width = heif_image_get_width(image.get(), heif_channel_interleaved);
    pixels.height = heif_image_get_height(image.get(), heif_channel_interleaved);
    pixels.depth = deep ? std::clamp(heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved), 9, 16) : 8;
    pixels.alpha = alpha;
    pixels.profile = ProfileOf(handle, image.get());
    if (!pixels.bits || pixels.width != header.upright.cx || pixels.height != header.upright.cy)
        return Decoded::Failed;
    return DeliverImage(pixels, section, request, header);
}

Decoded DecodeHeifPicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header)
{
    section.DeleteObject();
    try {
        CHeifFile heif(file, request.stop, TileThreads(request.box));
        heif_image_handle* handle = heif.Primary();
        if (!handle)
            return heif.Stopped() ? Decoded::Stopped : Decoded::Failed;
        header.facts = ExifFacts(handle, request.stop);
        return DecodeHeifImage(handle, section, request, header);
    } catch (const std::bad_alloc&) {
        section.DeleteObject();
        return Decoded::Failed;
    }
}

bool ReadHeifHeader(FILE* file, PictureHeader& header, const StopRequest& stop)
{
    try {
        CHeifFile heif(file, stop, 0);
        heif_image_handle* handle = heif.Primary();
        if (!handle)
            return false;
        FillHeader(handle, header);
        header.facts = ExifFacts(handle, stop);
        return WithinLimits(header.upright);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
