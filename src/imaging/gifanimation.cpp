// Animated GIF through the system's imaging component: it decodes each
// frame's indices, and the canvas is made whole here, as browsers make it.
#include "imaging/animation.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/decodelimits.h"
#include "imaging/wicdecode.h"

using Microsoft::WRL::ComPtr;

namespace {

// Far more than any GIF a browser plays; the system's decoder holds every
// frame's indices at once.
constexpr size_t kMostGifBytes = 256 << 20;
// Browsers show delays below 20 ms as 100 ms: many files say 0 and mean
// "as fast as the viewer goes", which browsers never honoured.
constexpr int kShortestDelay = 20;
constexpr int kDelayOfTooShort = 100;

enum Disposal { kLeave = 1, kRestoreBackground = 2, kRestorePrevious = 3 };

std::vector<BYTE> QueryBytes(IWICMetadataQueryReader* reader, const wchar_t* query)
{
    PROPVARIANT value;
    ::PropVariantInit(&value);
    std::vector<BYTE> bytes;
    if (reader && SUCCEEDED(reader->GetMetadataByName(query, &value)) && value.vt == (VT_VECTOR | VT_UI1))
        bytes.assign(value.caub.pElems, value.caub.pElems + value.caub.cElems);
    ::PropVariantClear(&value);
    return bytes;
}

// The system's decoder over the file's bytes. COM must be on the calling
// thread for as long as the decoder lives.
struct GifDecoder {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;

    bool Open(std::vector<BYTE>& bytes)
    {
        return SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_PPV_ARGS(&factory)))
            && SUCCEEDED(factory->CreateStream(&stream))
            && SUCCEEDED(stream->InitializeFromMemory(bytes.data(), (DWORD)bytes.size()))
            && SUCCEEDED(factory->CreateDecoderFromStream(stream.Get(), &GUID_ContainerFormatGif,
                                                          WICDecodeMetadataCacheOnDemand, &decoder));
    }
};

class CGifAnimation final : public CAnimationReader {
public:
    CGifAnimation(std::vector<BYTE> bytes, SIZE size, int frames, int loops)
        : m_bytes(std::move(bytes)), m_size(size), m_frames(frames), m_loops(loops),
          m_canvas(size.cx, size.cy)
    {
    }

    SIZE Size() const override { return m_size; }
    int FrameCount() const override { return m_frames; }
    int LoopCount() const override { return m_loops; }

    bool Next(AnimationFrame& frame, const StopRequest& stop) override
    {
        try {
            if (stop && stop())
                return false;
            // Objects made on another thread stay with that thread's COM.
            if (!m_decoder || m_thread != ::GetCurrentThreadId()) {
                m_decoder.reset();
                auto decoder = std::make_unique<GifDecoder>();
                if (!decoder->Open(m_bytes))
                    return false;
                m_decoder = std::move(decoder);
                m_thread = ::GetCurrentThreadId();
            }
            if (m_next == m_frames)
                m_next = 0;
            if (m_next == 0)
                Clear(RECT{0, 0, m_size.cx, m_size.cy});
            else
                Dispose();
            if (!Draw(m_next, frame.delay))
                return false;
            ++m_next;
            auto shown = std::make_unique<CPixels>(m_size.cx, m_size.cy);
            std::memcpy(shown->Row(0), m_canvas.Bits(), m_canvas.Stride() * (size_t)m_size.cy);
            frame.pixels = std::move(shown);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

private:
    void Clear(const RECT& rect)
    {
        for (int y = rect.top; y < rect.bottom; ++y)
            std::memset(m_canvas.Row(y) + rect.left * 3, 0, (size_t)(rect.right - rect.left) * 3);
    }

    // What the frame before leaves for this one.
    void Dispose()
    {
        const RECT& r = m_lastRect;
        if (m_lastDisposal == kRestoreBackground) {
            Clear(r);  // the background is transparent, and so black here
        } else if (m_lastDisposal == kRestorePrevious) {
            const size_t rowBytes = (size_t)(r.right - r.left) * 3;
            for (int y = r.top; y < r.bottom; ++y)
                std::memcpy(m_canvas.Row(y) + r.left * 3, m_saved.data() + rowBytes * (size_t)(y - r.top), rowBytes);
        }
    }

    // Lays frame index over the canvas; false when it does not decode.
    bool Draw(int index, int& delay)
    {
        ComPtr<IWICBitmapFrameDecode> source;
        ComPtr<IWICMetadataQueryReader> reader;
        UINT width = 0, height = 0;
        WICPixelFormatGUID format{};
        if (FAILED(m_decoder->decoder->GetFrame((UINT)index, &source)) || FAILED(source->GetSize(&width, &height))
            || FAILED(source->GetPixelFormat(&format)) || format != GUID_WICPixelFormat8bppIndexed
            || width > (UINT)kMostDecodedSide || height > (UINT)kMostDecodedSide
            || (int64_t)width * height > kMostDecodedPixels)
            return false;
        source->GetMetadataQueryReader(&reader);
        const int left = (int)QueryNumber(reader.Get(), L"/imgdesc/Left", 0);
        const int top = (int)QueryNumber(reader.Get(), L"/imgdesc/Top", 0);
        const int centiseconds = (int)QueryNumber(reader.Get(), L"/grctlext/Delay", 0);
        delay = centiseconds * 10 < kShortestDelay ? kDelayOfTooShort : centiseconds * 10;
        const unsigned disposal = QueryNumber(reader.Get(), L"/grctlext/Disposal", 0);
        const int transparent = QueryNumber(reader.Get(), L"/grctlext/TransparencyFlag", 0)
                                    ? (int)QueryNumber(reader.Get(), L"/grctlext/TransparentColorIndex", 0)
                                    : -1;

        std::vector<BYTE> indices((size_t)width * height);
        ComPtr<IWICPalette> palette;
        WICColor colours[256] = {};
        UINT colourCount = 0;
        if (FAILED(source->CopyPixels(nullptr, width, (UINT)indices.size(), indices.data()))
            || FAILED(m_decoder->factory->CreatePalette(&palette)) || FAILED(source->CopyPalette(palette.Get()))
            || FAILED(palette->GetColors(256, colours, &colourCount)))
            return false;

        // Parts outside the canvas are not shown.
        const RECT rect{std::clamp(left, 0, (int)m_size.cx), std::clamp(top, 0, (int)m_size.cy),
                        (LONG)std::clamp<int64_t>((int64_t)left + width, 0, m_size.cx),
                        (LONG)std::clamp<int64_t>((int64_t)top + height, 0, m_size.cy)};
        if (disposal == kRestorePrevious) {
            const size_t rowBytes = (size_t)(rect.right - rect.left) * 3;
            m_saved.resize(rowBytes * (size_t)(rect.bottom - rect.top));
            for (int y = rect.top; y < rect.bottom; ++y)
                std::memcpy(m_saved.data() + rowBytes * (size_t)(y - rect.top), m_canvas.Row(y) + rect.left * 3,
                            rowBytes);
        }
        for (int y = rect.top; y < rect.bottom; ++y) {
            const BYTE* from = indices.data() + (size_t)(y - top) * width + (rect.left - left);
            BYTE* to = m_canvas.Row(y) + rect.left * 3;
            for (int x = rect.left; x < rect.right; ++x, ++from, to += 3) {
                if (*from == transparent || *from >= colourCount)
                    continue;
                const WICColor c = colours[*from];
                to[0] = (BYTE)c;
                to[1] = (BYTE)(c >> 8);
                to[2] = (BYTE)(c >> 16);
            }
        }
        m_lastRect = rect;
        m_lastDisposal = disposal;
        return true;
    }

    std::vector<BYTE> m_bytes;  // the stream reads them in place
    SIZE m_size;
    int m_frames;
    int m_loops;
    std::unique_ptr<GifDecoder> m_decoder;
    DWORD m_thread = 0;  // where m_decoder was made
    int m_next = 0;
    CPixels m_canvas;
    RECT m_lastRect{0, 0, 0, 0};
    unsigned m_lastDisposal = 0;
    std::vector<BYTE> m_saved;  // under the last frame, when it restores the previous canvas
};

// The file's bytes, within the limit.
bool ReadWhole(FILE* file, std::vector<BYTE>& bytes)
{
    if (std::fseek(file, 0, SEEK_END) != 0)
        return false;
    const long long length = ::_ftelli64(file);
    std::rewind(file);
    if (length <= 0 || (unsigned long long)length > kMostGifBytes)
        return false;
    bytes.resize((size_t)length);
    return std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

std::unique_ptr<CAnimationReader> OpenGifAnimation(FILE* file, ColourTarget)
{
    // GIF has no colour profiles: its colours are shown as they are, as
    // its still pictures are.
    std::vector<BYTE> bytes;
    if (!ReadWhole(file, bytes))
        return nullptr;
    SIZE size{0, 0};
    UINT frames = 0;
    int loops = 1;
    {
        CComOnThread com;
        GifDecoder opened;
        ComPtr<IWICMetadataQueryReader> reader;
        if (!com.Ready() || !opened.Open(bytes) || FAILED(opened.decoder->GetFrameCount(&frames)) || frames < 2
            || FAILED(opened.decoder->GetMetadataQueryReader(&reader)))
            return nullptr;
        size.cx = (LONG)QueryNumber(reader.Get(), L"/logscrdesc/Width", 0);
        size.cy = (LONG)QueryNumber(reader.Get(), L"/logscrdesc/Height", 0);
        // NETSCAPE2.0's sub-block: 1, then how often to repeat (0: for
        // ever). Browsers play it once more than that; none plays once.
        const std::vector<BYTE> application = QueryBytes(reader.Get(), L"/appext/Application");
        const std::vector<BYTE> data = QueryBytes(reader.Get(), L"/appext/Data");
        if (application.size() == 11
            && (std::memcmp(application.data(), "NETSCAPE2.0", 11) == 0
                || std::memcmp(application.data(), "ANIMEXTS1.0", 11) == 0)
            && data.size() >= 4 && data[0] >= 3 && data[1] == 1) {
            const int repeats = data[2] | data[3] << 8;
            loops = repeats == 0 ? 0 : repeats + 1;
        }
    }
    if (size.cx <= 0 || size.cy <= 0 || size.cx > kMostDecodedSide || size.cy > kMostDecodedSide
        || (int64_t)size.cx * size.cy > kMostDecodedPixels)
        return nullptr;
    return std::make_unique<CGifAnimation>(std::move(bytes), size, (int)std::min<UINT>(frames, kMostAnimationFrames),
                                           loops);
}
