// Animated WebP through libwebp's animation decoder, which lays each frame
// over what the last one left as the file says (disposal and blending).
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/animation.h"
#include "imaging/canvasframe.h"
#include "imaging/decodelimits.h"
#include "imaging/webpdecode.h"
#include "webp/demux.h"

namespace {

struct DemuxDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};
struct AnimDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

class CWebpAnimation final : public CAnimationReader {
public:
    CWebpAnimation(std::vector<uint8_t> bytes, ColourTarget target) : m_bytes(std::move(bytes)), m_target(target) {}

    // False when the file is no animation that plays.
    bool Open()
    {
        const WebPData data{m_bytes.data(), m_bytes.size()};
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options))
            return false;
        options.color_mode = MODE_RGBA;
        options.use_threads = 1;
        // The canvas size is checked before the decoder allocates two of them.
        uint32_t width = 0, height = 0, frames = 0;
        bool animated = false;
        {
            const std::unique_ptr<WebPDemuxer, DemuxDeleter> demuxer(WebPDemux(&data));
            if (!demuxer)
                return false;
            width = WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH);
            height = WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT);
            frames = WebPDemuxGetI(demuxer.get(), WEBP_FF_FRAME_COUNT);
            animated = WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG;
            m_profile = WebpProfile(demuxer.get());
        }
        if (!animated || frames < 2 || width == 0 || height == 0 || width > (uint32_t)kMostDecodedSide
            || height > (uint32_t)kMostDecodedSide || (int64_t)width * height > kMostDecodedPixels
            || (int64_t)width * height * 8 > kMostDecoderBytes)
            return false;
        m_decoder.reset(WebPAnimDecoderNew(&data, &options));
        WebPAnimInfo info{};
        if (!m_decoder || !WebPAnimDecoderGetInfo(m_decoder.get(), &info))
            return false;
        m_size = SIZE{(int)info.canvas_width, (int)info.canvas_height};
        m_frames = (int)std::min<uint32_t>(info.frame_count, kMostAnimationFrames);
        m_loops = (int)std::min<uint32_t>(info.loop_count, INT_MAX);
        return true;
    }

    SIZE Size() const override { return m_size; }
    int FrameCount() const override { return m_frames; }
    int LoopCount() const override { return m_loops; }

    bool Next(AnimationFrame& frame, const StopRequest& stop) override
    {
        if (stop && stop())
            return false;
        if (m_next >= m_frames || !WebPAnimDecoderHasMoreFrames(m_decoder.get())) {
            WebPAnimDecoderReset(m_decoder.get());
            m_next = 0;
            m_ended = 0;
        }
        uint8_t* canvas = nullptr;
        int ended = 0;
        if (!WebPAnimDecoderGetNext(m_decoder.get(), &canvas, &ended))
            return false;
        ++m_next;
        // The decoder gives when each frame ends; a frame stands from the
        // end of the one before.
        const int delay = std::max(0, ended - m_ended);
        m_ended = ended;
        DecodedImage image;
        image.bits = canvas;
        image.stride = (ptrdiff_t)m_size.cx * 4;
        image.width = m_size.cx;
        image.height = m_size.cy;
        image.alpha = true;
        image.profile = m_profile;
        if (!CanvasFrame(image, m_target, stop, m_section, frame))
            return false;
        frame.delay = delay;
        return true;
    }

private:
    // The decoder reads the file's bytes for as long as it lives.
    std::vector<uint8_t> m_bytes;
    ColourTarget m_target;
    std::vector<BYTE> m_profile;
    std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> m_decoder;
    CBitmap m_section;
    SIZE m_size{0, 0};
    int m_frames = 0;
    int m_loops = 0;
    int m_next = 0;
    int m_ended = 0;
};

}  // namespace

std::unique_ptr<CAnimationReader> OpenWebpAnimation(FILE* file, ColourTarget target)
{
    // Only a file whose first chunk, VP8X, says it moves is read whole.
    uint8_t head[21];
    const bool moves = std::fread(head, 1, sizeof head, file) == sizeof head
        && std::memcmp(head + 12, "VP8X", 4) == 0 && (head[20] & ANIMATION_FLAG);
    if (!moves || std::fseek(file, 0, SEEK_SET) != 0)
        return nullptr;
    try {
        std::vector<uint8_t> bytes;
        if (!ReadWebpFile(file, bytes))
            return nullptr;
        auto reader = std::make_unique<CWebpAnimation>(std::move(bytes), target);
        if (reader->Open())
            return reader;
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}
