// Animated AVIF (image sequences) over dav1d: the picture track's samples
// decoded one after another, their YUV turned into RGB as the colour box
// says, with the alpha track's samples beside them, then shown as the other
// readers show their frames.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "dav1d/dav1d.h"
#include "imaging/animation.h"
#include "imaging/avifboxes.h"
#include "imaging/canvasframe.h"
#include "imaging/decodelimits.h"
#include "imaging/nclxprofile.h"

namespace {

// The decoder's threads: frames play one after another, so more buy little.
constexpr int kDecoderThreads = 2;

struct ContextDeleter {
    void operator()(Dav1dContext* context) const { dav1d_close(&context); }
};

// A decoded picture, given back to the decoder when done with.
class CDecodedPicture {
public:
    Dav1dPicture picture{};

    CDecodedPicture() = default;
    ~CDecodedPicture() { dav1d_picture_unref(&picture); }
    CDecodedPicture(const CDecodedPicture&) = delete;
    CDecodedPicture& operator=(const CDecodedPicture&) = delete;
};

// The sample's bytes stay the reader's: the decoder only borrows them.
void KeepBytes(const uint8_t*, void*) {}

// How Y, Cb and Cr make R, G and B: the luma weights of red and blue.
struct YuvMatrix {
    bool identity = false;  // G, B and R stored as they are
    double kr = 0.299, kb = 0.114;
};

YuvMatrix MatrixFor(int coefficients)
{
    switch (coefficients) {
    case 0: return {true};
    case 1: return {false, 0.2126, 0.0722};
    case 9:
    case 10: return {false, 0.2627, 0.0593};
    default: return {};  // BT.601, which AVIF writers use unless told otherwise
    }
}

// A plane's sample as it is stored.
int Sample(const Dav1dPicture& picture, int plane, int x, int y)
{
    const BYTE* row = static_cast<const BYTE*>(picture.data[plane]) + picture.stride[plane > 0] * y;
    return picture.p.bpc > 8 ? reinterpret_cast<const uint16_t*>(row)[x] : row[x];
}

// The picture's YUV as RGB rows (RGBA with alpha's luma as alpha): bytes at
// 8 bits, else 16-bit words running to 2^depth - 1. Chroma planes of half
// width or height are taken at the nearest sample.
void ToRgb(const Dav1dPicture& picture, const Dav1dPicture* alpha, const YuvMatrix& matrix, bool fullRange,
           std::vector<BYTE>& rgb, ptrdiff_t& stride)
{
    const int width = picture.p.w, height = picture.p.h, depth = picture.p.bpc;
    const bool deep = depth > 8;
    const int most = (1 << depth) - 1;
    const int scale = 1 << (depth - 8);
    const int channels = alpha ? 4 : 3;
    stride = (ptrdiff_t)width * channels * (deep ? 2 : 1);
    rgb.resize((size_t)stride * height);
    const int shiftX = picture.p.layout == DAV1D_PIXEL_LAYOUT_I420 || picture.p.layout == DAV1D_PIXEL_LAYOUT_I422;
    const int shiftY = picture.p.layout == DAV1D_PIXEL_LAYOUT_I420;
    const bool grey = picture.p.layout == DAV1D_PIXEL_LAYOUT_I400;
    // Luma and chroma as fractions: luma 0 to 1, chroma -0.5 to 0.5.
    const double yOffset = fullRange ? 0 : 16.0 * scale, yRange = fullRange ? most : 219.0 * scale;
    const double cRange = fullRange ? most : 224.0 * scale, cMiddle = 128.0 * scale;
    const double kg = 1 - matrix.kr - matrix.kb;
    const auto sample = [&](int plane, int x, int y) -> double { return Sample(picture, plane, x, y); };
    // Alpha in its own depth and range.
    const int alphaScale = alpha ? 1 << (alpha->p.bpc - 8) : 1;
    const bool alphaFull = alpha && alpha->seq_hdr->color_range;
    const double alphaOffset = alphaFull ? 0 : 16.0 * alphaScale;
    const double alphaRange = alphaFull ? (1 << (alpha ? alpha->p.bpc : 8)) - 1 : 219.0 * alphaScale;
    for (int y = 0; y < height; ++y) {
        BYTE* out = rgb.data() + stride * y;
        for (int x = 0; x < width; ++x) {
            const double luma = (sample(0, x, y) - yOffset) / yRange;
            const double cb = grey ? 0 : (sample(1, x >> shiftX, y >> shiftY) - cMiddle) / cRange;
            const double cr = grey ? 0 : (sample(2, x >> shiftX, y >> shiftY) - cMiddle) / cRange;
            double r, g, b;
            if (matrix.identity) {
                g = luma;
                b = cb + 0.5;
                r = cr + 0.5;
            } else {
                r = luma + 2 * (1 - matrix.kr) * cr;
                b = luma + 2 * (1 - matrix.kb) * cb;
                g = (luma - matrix.kr * r - matrix.kb * b) / kg;
            }
            const double values[4] = {r, g, b, alpha ? (Sample(*alpha, 0, x, y) - alphaOffset) / alphaRange : 1};
            for (int c = 0; c < channels; ++c) {
                const int value = (int)std::lround(std::clamp(values[c], 0.0, 1.0) * most);
                if (deep)
                    reinterpret_cast<uint16_t*>(out)[x * channels + c] = (uint16_t)value;
                else
                    out[x * channels + c] = (BYTE)value;
            }
        }
    }
}

class CAvifSequence final : public CAnimationReader {
public:
    CAvifSequence(std::vector<uint8_t> bytes, ColourTarget target) : m_bytes(std::move(bytes)), m_target(target) {}

    bool Open()
    {
        if (!ReadSequenceTrack(m_bytes, m_track) || m_track.samples.size() < 2 || m_track.width <= 0
            || m_track.height <= 0 || m_track.width > kMostDecodedSide || m_track.height > kMostDecodedSide
            || (int64_t)m_track.width * m_track.height > kMostDecodedPixels)
            return false;
        Dav1dSettings settings;
        dav1d_default_settings(&settings);
        settings.n_threads = kDecoderThreads;
        settings.max_frame_delay = 1;
        settings.frame_size_limit = (unsigned)kMostDecodedPixels;
        Dav1dContext* context = nullptr;
        if (dav1d_open(&context, &settings) < 0)
            return false;
        m_context.reset(context);
        if (!m_track.alpha.empty()) {
            if (dav1d_open(&context, &settings) < 0)
                return false;
            m_alphaContext.reset(context);
        }
        return true;
    }

    SIZE Size() const override { return SIZE{m_track.width, m_track.height}; }
    int FrameCount() const override { return (int)m_track.samples.size(); }
    int LoopCount() const override { return m_track.loops; }

    bool Next(AnimationFrame& frame, const StopRequest& stop) override
    {
        if (stop && stop())
            return false;
        if (m_next >= m_track.samples.size()) {
            dav1d_flush(m_context.get());
            if (m_alphaContext)
                dav1d_flush(m_alphaContext.get());
            m_next = 0;
            m_elapsed = 0;
        }
        const SequenceSample& sample = m_track.samples[m_next];
        CDecodedPicture decoded, decodedAlpha;
        if (!Decode(m_context.get(), sample, decoded.picture))
            return false;
        const Dav1dPicture& picture = decoded.picture;
        const Dav1dPicture* alpha = nullptr;
        if (m_alphaContext) {
            if (!Decode(m_alphaContext.get(), m_track.alpha[m_next], decodedAlpha.picture))
                return false;
            alpha = &decodedAlpha.picture;
        }
        const auto fits = [&](const Dav1dPicture& p) {
            return p.p.w == m_track.width && p.p.h == m_track.height && p.p.bpc >= 8 && p.p.bpc <= 12;
        };
        if (!fits(picture) || (alpha && !fits(*alpha)))
            return false;
        ++m_next;
        // Delays from the running time, so that rounding never adds up.
        const uint64_t start = m_elapsed;
        m_elapsed += sample.duration;
        const auto milliseconds = [&](uint64_t units) { return (int64_t)(units * 1000 / m_track.timescale); };
        const int delay = (int)std::min<int64_t>(milliseconds(m_elapsed) - milliseconds(start), INT_MAX);

        const SequenceColour& colour = m_track.colour;
        const bool coded = colour.coded;
        const int matrix = coded ? colour.matrix : picture.seq_hdr->mtrx;
        const bool fullRange = coded ? colour.fullRange : picture.seq_hdr->color_range;
        std::vector<BYTE> rgb;
        DecodedImage image;
        ToRgb(picture, alpha, MatrixFor(matrix), fullRange, rgb, image.stride);
        image.bits = rgb.data();
        image.width = picture.p.w;
        image.height = picture.p.h;
        image.depth = picture.p.bpc;
        image.alpha = alpha != nullptr;
        // The profile of the colour box, else of its code points, else of the
        // bitstream's own.
        if (!m_profileMade) {
            m_profile = !colour.profile.empty() ? colour.profile
                : coded ? NclxProfile(colour.primaries, colour.transfer)
                        : NclxProfile(picture.seq_hdr->pri, picture.seq_hdr->trc);
            m_profileMade = true;
        }
        image.profile = m_profile;
        if (!CanvasFrame(image, m_target, stop, m_section, frame))
            return false;
        frame.delay = delay;
        return true;
    }

private:
    // The sample through the decoder into picture; false when it gives none.
    bool Decode(Dav1dContext* context, const SequenceSample& sample, Dav1dPicture& picture)
    {
        Dav1dData data{};
        if (dav1d_data_wrap(&data, m_bytes.data() + sample.offset, sample.size, KeepBytes, nullptr) < 0)
            return false;
        int result = DAV1D_ERR(EAGAIN);
        // Each round the decoder takes data or gives a picture; a sample
        // that does neither is damaged.
        for (int round = 0; round < 8; ++round) {
            if (data.sz) {
                const int sent = dav1d_send_data(context, &data);
                if (sent < 0 && sent != DAV1D_ERR(EAGAIN))
                    break;
            }
            result = dav1d_get_picture(context, &picture);
            if (result != DAV1D_ERR(EAGAIN) || !data.sz)
                break;
        }
        dav1d_data_unref(&data);
        return result == 0;
    }

    // The decoder borrows the samples' bytes for as long as it lives.
    std::vector<uint8_t> m_bytes;
    ColourTarget m_target;
    SequenceTrack m_track;
    std::unique_ptr<Dav1dContext, ContextDeleter> m_context;
    std::unique_ptr<Dav1dContext, ContextDeleter> m_alphaContext;
    std::vector<BYTE> m_profile;
    bool m_profileMade = false;
    CBitmap m_section;
    size_t m_next = 0;
    uint64_t m_elapsed = 0;
};

// The whole file, when it starts as a sequence and a decoder may hold it.
bool ReadSequenceFile(FILE* file, std::vector<uint8_t>& bytes)
{
    // More than the brands of any ftyp box.
    uint8_t head[1024];
    const size_t read = std::fread(head, 1, sizeof head, file);
    if (!IsSequenceStart(head, read) || _fseeki64(file, 0, SEEK_END) != 0)
        return false;
    const int64_t size = _ftelli64(file);
    if (size <= 0 || size > kMostDecoderBytes || _fseeki64(file, 0, SEEK_SET) != 0)
        return false;
    bytes.resize((size_t)size);
    return std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

std::unique_ptr<CAnimationReader> OpenAvifAnimation(FILE* file, ColourTarget target)
{
    try {
        std::vector<uint8_t> bytes;
        if (!ReadSequenceFile(file, bytes))
            return nullptr;
        auto reader = std::make_unique<CAvifSequence>(std::move(bytes), target);
        if (reader->Open())
            return reader;
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}
