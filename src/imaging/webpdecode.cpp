#include "imaging/webpdecode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/decodedimage.h"
#include "imaging/decodelimits.h"
#include "webp/decode.h"
#include "webp/demux.h"

namespace {

constexpr size_t kRiffHeader = 12;
// Bytes fed to the decoder between looks at the stop request.
constexpr size_t kFeedBytes = 256 << 10;

uint32_t LittleEndian32(const uint8_t* bytes)
{
    return bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};
struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
struct IDecoderDeleter {
    void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};

// The decoder's output buffer, freed with it when libwebp allocated it.
class CDecoderOutput {
public:
    explicit CDecoderOutput(WebPDecBuffer& buffer) : m_buffer(buffer) {}
    ~CDecoderOutput() { WebPFreeDecBuffer(&m_buffer); }
    CDecoderOutput(const CDecoderOutput&) = delete;
    CDecoderOutput& operator=(const CDecoderOutput&) = delete;

private:
    WebPDecBuffer& m_buffer;
};

bool CanvasFits(int width, int height)
{
    return width > 0 && height > 0 && width <= kMostDecodedSide && height <= kMostDecodedSide
        && (int64_t)width * height <= kMostDecodedPixels && (int64_t)width * height * 8 <= kMostDecoderBytes;
}

// The facts of the EXIF chunk, which writers store with or without the
// APP1 segment's "Exif" prefix.
PhotoFacts ExifChunkFacts(const uint8_t* data, size_t size)
{
    if (size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0)
        return ExifPhotoFacts(data, size);
    return TiffPhotoFacts(data, size);
}

// The EXIF chunk's facts, found by walking the chunks of the file without
// reading their pixels.
PhotoFacts ReadExifFacts(FILE* file, uint64_t riffEnd, const StopRequest& stop)
{
    // Enough for the chunks of any animation the reader plays, and more.
    constexpr int kMostChunks = kMostAnimationFrames + 64;
    // More than any camera writes.
    constexpr uint32_t kMostExifBytes = 16 << 20;
    uint64_t offset = kRiffHeader;
    for (int chunk = 0; chunk < kMostChunks && offset + 8 <= riffEnd; ++chunk) {
        if (stop && stop())
            break;
        uint8_t head[8];
        if (_fseeki64(file, offset, SEEK_SET) != 0 || std::fread(head, 1, 8, file) != 8)
            break;
        const uint32_t size = LittleEndian32(head + 4);
        if (size > riffEnd - offset - 8)
            break;
        if (std::memcmp(head, "EXIF", 4) == 0) {
            if (size > kMostExifBytes)
                break;
            std::vector<uint8_t> exif(size);
            if (std::fread(exif.data(), 1, size, file) != size)
                break;
            return ExifChunkFacts(exif.data(), exif.size());
        }
        offset += 8 + size + (size & 1);
    }
    return {};
}

PhotoFacts DemuxedFacts(const WebPDemuxer* demuxer)
{
    WebPChunkIterator chunk{};
    if (!WebPDemuxGetChunk(demuxer, "EXIF", 1, &chunk))
        return {};
    PhotoFacts facts = ExifChunkFacts(chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return facts;
}

// The still's pixels as RGBA rows, every one of them: libwebp's own
// shrinking is 2.6 times as fast for a 12 MP thumbnail, but it averages the
// chroma planes before their upsampling, and lossy pictures came out up to
// 15 levels off the area average at coloured edges. Fed a slice at a time
// to look at stop.
Decoded DecodeStill(const WebPData& data, SIZE size, const PictureRequest& request, std::vector<BYTE> profile,
                    CBitmap& section, PictureHeader& header)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return Decoded::Failed;
    config.options.use_threads = 1;
    config.output.colorspace = MODE_RGBA;
    const CDecoderOutput output(config.output);
    std::unique_ptr<WebPIDecoder, IDecoderDeleter> decoder(WebPIDecode(nullptr, 0, &config));
    if (!decoder)
        return Decoded::Failed;
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    for (size_t fed = 0; status == VP8_STATUS_SUSPENDED && fed < data.size;) {
        if (request.stop && request.stop())
            return Decoded::Stopped;
        fed = std::min(data.size, fed + kFeedBytes);
        status = WebPIUpdate(decoder.get(), data.bytes, fed);
    }
    const WebPRGBABuffer& rgba = config.output.u.RGBA;
    if (status != VP8_STATUS_OK || config.output.width != size.cx || config.output.height != size.cy)
        return Decoded::Failed;
    DecodedImage image;
    image.bits = rgba.rgba;
    image.stride = rgba.stride;
    image.width = config.output.width;
    image.height = config.output.height;
    image.alpha = true;
    image.profile = std::move(profile);
    return DeliverImage(image, section, request, header);
}

// An animation's first frame, its canvas made whole as the file says.
Decoded DecodeFirstFrame(const WebPData& data, const PictureRequest& request, std::vector<BYTE> profile,
                         CBitmap& section, PictureHeader& header)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return Decoded::Failed;
    options.color_mode = MODE_RGBA;
    options.use_threads = 1;
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(WebPAnimDecoderNew(&data, &options));
    WebPAnimInfo info{};
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)
        || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
        return Decoded::Failed;
    DecodedImage image;
    image.bits = canvas;
    image.stride = (ptrdiff_t)info.canvas_width * 4;
    image.width = (int)info.canvas_width;
    image.height = (int)info.canvas_height;
    image.alpha = true;
    image.profile = std::move(profile);
    return DeliverImage(image, section, request, header);
}

Decoded Decode(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header)
{
    std::vector<uint8_t> bytes;
    if (!ReadWebpFile(file, bytes))
        return Decoded::Failed;
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demuxer(WebPDemux(&data));
    if (!demuxer)
        return Decoded::Failed;
    const int width = (int)WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH);
    const int height = (int)WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT);
    if (!CanvasFits(width, height))
        return Decoded::Failed;
    header.stored = header.upright = SIZE{width, height};
    header.facts = DemuxedFacts(demuxer.get());
    std::vector<BYTE> profile = WebpProfile(demuxer.get());
    if (WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG)
        return DecodeFirstFrame(data, request, std::move(profile), section, header);
    return DecodeStill(data, SIZE{width, height}, request, std::move(profile), section, header);
}

}  // namespace

bool ReadWebpFile(FILE* file, std::vector<uint8_t>& data)
{
    uint8_t head[kRiffHeader];
    if (std::fread(head, 1, sizeof head, file) != sizeof head || std::memcmp(head, "RIFF", 4) != 0
        || std::memcmp(head + 8, "WEBP", 4) != 0)
        return false;
    const uint64_t size = (uint64_t)LittleEndian32(head + 4) + 8;
    if (size < kRiffHeader + 8 || size > (uint64_t)kMostDecoderBytes)
        return false;
    // A file cut short reads as what it has; the decoder then fails on it.
    data.resize((size_t)size);
    std::memcpy(data.data(), head, sizeof head);
    data.resize(sizeof head + std::fread(data.data() + sizeof head, 1, data.size() - sizeof head, file));
    return true;
}

std::vector<BYTE> WebpProfile(const WebPDemuxer* demuxer)
{
    std::vector<BYTE> profile;
    WebPChunkIterator chunk{};
    if (!(WebPDemuxGetI(demuxer, WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG) || !WebPDemuxGetChunk(demuxer, "ICCP", 1, &chunk))
        return profile;
    profile.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return profile;
}

Decoded DecodeWebpPicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header)
{
    Decoded result = Decoded::Failed;
    try {
        result = Decode(file, section, request, header);
    } catch (const std::bad_alloc&) {
        result = Decoded::Failed;
    }
    if (result != Decoded::Complete)
        section.DeleteObject();
    return result;
}

bool ReadWebpHeader(FILE* file, PictureHeader& header, const StopRequest& stop)
{
    // The first chunk names the size: VP8X its canvas, VP8 and VP8L their
    // frame, in their first bytes.
    uint8_t head[64];
    const size_t read = std::fread(head, 1, sizeof head, file);
    WebPBitstreamFeatures features;
    if (read < kRiffHeader + 8 || WebPGetFeatures(head, read, &features) != VP8_STATUS_OK
        || !CanvasFits(features.width, features.height))
        return false;
    header.stored = header.upright = SIZE{features.width, features.height};
    header.orientation = 1;
    try {
        header.facts = ReadExifFacts(file, (uint64_t)LittleEndian32(head + 4) + 8, stop);
    } catch (const std::bad_alloc&) {
        header.facts = {};
    }
    return true;
}
