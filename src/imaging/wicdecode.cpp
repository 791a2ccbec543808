#include "imaging/wicdecode.h"

#include <io.h>
#include <wincodecsdk.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "imaging/colour.h"
#include "imaging/decodedimage.h"
#include "imaging/filelook.h"
#include "imaging/metadata.h"
#include "imaging/resample.h"
#include "imaging/stoppablestream.h"
#include "imaging/wicdeep.h"

using Microsoft::WRL::ComPtr;

namespace {

// As CreatePictureDib: no photograph needs more than 2 GB of 24-bit rows.
constexpr int64_t kMostSectionBytes = 0x7FFFFFFF;
// Rows are copied out a band of about this many bytes at a time, so that the
// stop request is looked at every few milliseconds.
constexpr size_t kBandBytes = 1 << 20;
// A damaged file may claim any number of colour contexts or profile bytes.
constexpr UINT kMostColourContexts = 8;
constexpr UINT kMostProfileBytes = 16 << 20;

int64_t SectionBytes(SIZE size)
{
    return (((int64_t)size.cx * 3 + 3) & ~(int64_t)3) * size.cy;
}

unsigned NumberOf(const PROPVARIANT& value)
{
    switch (value.vt) {
    case VT_UI1: return value.bVal;
    case VT_UI2: return value.uiVal;
    case VT_UI4: return value.ulVal;
    case VT_BOOL: return value.boolVal ? 1 : 0;
    default: return 0;
    }
}

int OrientationValue(const PROPVARIANT& value)
{
    switch (value.vt) {
    case VT_UI2: return value.uiVal;
    case VT_UI4: return (int)std::min<ULONG>(value.ulVal, INT_MAX);
    case VT_UI1: return value.bVal;
    default: return 0;
    }
}

// Whether every metadata block of the frame opens. Wine's query reader
// reads through a block that did not (a damaged TIFF directory gives it
// none, and success), so such a frame's tags are not asked for.
bool BlocksOpen(IWICBitmapFrameDecode* frame)
{
    ComPtr<IWICMetadataBlockReader> blocks;
    if (FAILED(frame->QueryInterface(IID_PPV_ARGS(&blocks))))
        return true;  // nothing to go wrong in
    UINT count = 0;
    if (FAILED(blocks->GetCount(&count)))
        return false;
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IWICMetadataReader> reader;
        if (FAILED(blocks->GetReaderByIndex(i, &reader)) || !reader)
            return false;
    }
    return true;
}

// The orientation of a frame of any other container as the decoder gives
// its pixels; 1 when it says none or something out of range.
int ReadWicOrientation(IWICBitmapFrameDecode* frame)
{
    ComPtr<IWICMetadataQueryReader> reader;
    if (!BlocksOpen(frame) || FAILED(frame->GetMetadataQueryReader(&reader)) || !reader)
        return OrientNormal;
    // HEIF's own property comes first and alone: it describes the pixels as
    // the decoder gives them, which may be turned already (it then says 1),
    // and HEIF shows its pictures as irot and imir say, never by the EXIF tag
    // beside them. Containers built on TIFF (JPEG XR, camera raw) keep the
    // tag in their first IFD.
    for (const wchar_t* path : {L"/heifProps/Orientation", L"/ifd/{ushort=274}"}) {
        PROPVARIANT value;
        ::PropVariantInit(&value);
        const bool found = SUCCEEDED(reader->GetMetadataByName(path, &value));
        const int orientation = found ? OrientationValue(value) : 0;
        ::PropVariantClear(&value);
        if (found)
            return orientation >= OrientNormal && orientation <= OrientTurned270 ? orientation : OrientNormal;
    }
    return OrientNormal;
}

// The frame's ICC profile; empty when it has none.
std::vector<BYTE> ReadWicProfile(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame)
{
    UINT count = 0;
    if (FAILED(frame->GetColorContexts(0, nullptr, &count)) || count == 0)
        return {};
    count = std::min(count, kMostColourContexts);
    std::vector<ComPtr<IWICColorContext>> owned(count);
    std::vector<IWICColorContext*> contexts(count);
    for (UINT i = 0; i < count; ++i) {
        if (FAILED(factory->CreateColorContext(&owned[i])))
            return {};
        contexts[i] = owned[i].Get();
    }
    UINT given = 0;
    if (FAILED(frame->GetColorContexts(count, contexts.data(), &given)))
        return {};
    for (UINT i = 0; i < std::min(given, count); ++i) {
        WICColorContextType type{};
        UINT size = 0;
        if (FAILED(contexts[i]->GetType(&type)) || type != WICColorContextProfile
            || FAILED(contexts[i]->GetProfileBytes(0, nullptr, &size)) || size == 0 || size > kMostProfileBytes)
            continue;
        std::vector<BYTE> profile(size);
        if (SUCCEEDED(contexts[i]->GetProfileBytes(size, profile.data(), &size)) && size == profile.size())
            return profile;
    }
    return {};
}

// Whether the source's pixels are copied out with their alpha and laid over
// the background: those of formats that may be transparent, of unknown
// ones (opaque pixels come out as they are), and indexed ones, whose palette
// may hold transparent colours (Wine's format information says no whatever
// it holds) and which Wine converts only to 32 bits a pixel.
bool CopyWithAlpha(IWICImagingFactory* factory, IWICBitmapSource* source)
{
    WICPixelFormatGUID format{};
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo2> formatInfo;
    BOOL transparent = TRUE;
    if (FAILED(source->GetPixelFormat(&format)) || FAILED(factory->CreateComponentInfo(format, &info))
        || FAILED(info.As(&formatInfo)) || FAILED(formatInfo->SupportsTransparency(&transparent)) || transparent)
        return true;
    ComPtr<IWICPalette> palette;
    return SUCCEEDED(factory->CreatePalette(&palette)) && SUCCEEDED(source->CopyPalette(palette.Get()));
}

// The bits a pixel of the source takes; 0 when unknown.
UINT BitsPerPixel(IWICImagingFactory* factory, IWICBitmapSource* source)
{
    WICPixelFormatGUID format{};
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo> formatInfo;
    UINT bits = 0;
    if (FAILED(source->GetPixelFormat(&format)) || FAILED(factory->CreateComponentInfo(format, &info))
        || FAILED(info.As(&formatInfo)) || FAILED(formatInfo->GetBitsPerPixel(&bits)))
        return 0;
    return bits;
}

bool IsBgrFormat(const WICPixelFormatGUID& format)
{
    return format == GUID_WICPixelFormat24bppBGR || format == GUID_WICPixelFormat32bppBGR
        || format == GUID_WICPixelFormat32bppBGRA || format == GUID_WICPixelFormat32bppPBGRA;
}

// The smallest size the decoder scales to while decoding that still has
// needed pixels each way; false when it offers none smaller than stored.
bool ChooseScaledSize(IWICBitmapSourceTransform* transform, SIZE stored, SIZE needed, SIZE& scaled)
{
    UINT width = (UINT)needed.cx, height = (UINT)needed.cy;
    // The closest size it offers may be smaller than asked: then ask again
    // for twice as much, as far as the stored size.
    for (int tries = 0; tries < 4; ++tries) {
        UINT offeredWidth = width, offeredHeight = height;
        if (FAILED(transform->GetClosestSize(&offeredWidth, &offeredHeight)))
            return false;
        if ((LONG)offeredWidth >= needed.cx && (LONG)offeredHeight >= needed.cy) {
            if ((LONG)offeredWidth > stored.cx || (LONG)offeredHeight > stored.cy
                || ((LONG)offeredWidth == stored.cx && (LONG)offeredHeight == stored.cy))
                return false;
            scaled = SIZE{(LONG)offeredWidth, (LONG)offeredHeight};
            return true;
        }
        width = std::min<UINT>((UINT)stored.cx, width * 2);
        height = std::min<UINT>((UINT)stored.cy, height * 2);
    }
    return false;
}

// The frame decoded at size by the decoder itself, as stored (the turn is
// left to OrientPixels, the same for every decoder); null when it cannot.
ComPtr<IWICBitmapSource> ScaledSource(IWICImagingFactory* factory, IWICBitmapSourceTransform* transform, SIZE size)
{
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppPBGRA;
    // Indexed pixels would need their palette carried over: not worth it.
    if (FAILED(transform->GetClosestPixelFormat(&format)) || !IsBgrFormat(format))
        return nullptr;
    ComPtr<IWICBitmap> bitmap;
    if (FAILED(factory->CreateBitmap((UINT)size.cx, (UINT)size.cy, format, WICBitmapCacheOnLoad, &bitmap)))
        return nullptr;
    {
        const WICRect all{0, 0, size.cx, size.cy};
        ComPtr<IWICBitmapLock> lock;
        UINT stride = 0, bytes = 0;
        BYTE* bits = nullptr;
        if (FAILED(bitmap->Lock(&all, WICBitmapLockWrite, &lock)) || FAILED(lock->GetStride(&stride))
            || FAILED(lock->GetDataPointer(&bytes, &bits))
            || FAILED(transform->CopyPixels(nullptr, (UINT)size.cx, (UINT)size.cy, &format, WICBitmapTransformRotate0,
                                            stride, bytes, bits)))
            return nullptr;
    }
    return bitmap;
}

// Premultiplied blue, green, red and alpha laid over background into 24-bit
// rows: each channel gains what the background gives through the pixel.
class Compositor {
public:
    explicit Compositor(COLORREF background)
    {
        const BYTE channels[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
        for (int c = 0; c < 3; ++c)
            for (int alpha = 0; alpha < 256; ++alpha)
                m_under[c][alpha] = (BYTE)(((255 - alpha) * channels[c] + 127) / 255);
    }

    void Row(const BYTE* pbgra, BYTE* bgr, int width) const
    {
        for (int x = 0; x < width; ++x, pbgra += 4, bgr += 3) {
            const BYTE alpha = pbgra[3];
            for (int c = 0; c < 3; ++c)
                bgr[c] = (BYTE)std::min(255, pbgra[c] + m_under[c][alpha]);
        }
    }

private:
    std::array<std::array<BYTE, 256>, 3> m_under{};
};

// Copies the converted source into rows a band at a time: 24-bit pixels
// straight in, premultiplied ones through the compositor.
Decoded CopyRows(IWICBitmapSource* source, const Compositor* compositor, const PixelRows& rows, const StopRequest& stop)
{
    const size_t rowBytes = compositor ? (size_t)rows.width * 4 : (size_t)rows.stride;
    const int band = (int)std::clamp<size_t>(kBandBytes / rowBytes, 1, (size_t)rows.height);
    std::vector<BYTE> buffer(compositor ? rowBytes * (size_t)band : 0);
    for (int y = 0; y < rows.height; y += band) {
        if (stop && stop())
            return Decoded::Stopped;
        const int count = std::min(band, rows.height - y);
        const WICRect rect{0, y, rows.width, count};
        BYTE* target = compositor ? buffer.data() : rows.Row(y);
        if (FAILED(source->CopyPixels(&rect, (UINT)rowBytes, (UINT)(rowBytes * (size_t)count), target)))
            return Decoded::Failed;
        if (compositor) {
            for (int i = 0; i < count; ++i)
                compositor->Row(buffer.data() + rowBytes * (size_t)i, rows.Row(y + i), rows.width);
        }
    }
    return Decoded::Complete;
}

// ---------------------------------------------------------------- decoding

Decoded DecodeFrame(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, int orientation, CBitmap& section,
                    const PictureRequest& request, PictureHeader& header)
{
    UINT width = 0, height = 0;
    if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
        return Decoded::Failed;
    header.orientation = orientation;
    header.stored = SIZE{(LONG)width, (LONG)height};
    header.upright = OrientedSize((int)width, (int)height, header.orientation);
    // Deep pixels never meet the converter, which may not take them and would
    // cut them to 8 bits before their colours are converted.
    WICPixelFormatGUID format{};
    if (SUCCEEDED(frame->GetPixelFormat(&format)) && IsDeepPixelFormat(format))
        return DecodeDeepFrame(frame, format, orientation, ReadWicProfile(factory, frame), section, request, header);

    ComPtr<IWICBitmapSource> source = frame;
    SIZE size = header.stored;
    ComPtr<IWICBitmapSourceTransform> transform;
    if (request.box.cx > 0 && request.box.cy > 0 && SUCCEEDED(frame->QueryInterface(IID_PPV_ARGS(&transform)))) {
        const SIZE shown = FitSizeInBox(header.upright.cx, header.upright.cy, request.box.cx, request.box.cy);
        const SIZE needed = OrientedSize(shown.cx, shown.cy, header.orientation);  // back as stored
        SIZE scaled{};
        if (ChooseScaledSize(transform.Get(), size, needed, scaled)) {
            if (ComPtr<IWICBitmapSource> smaller = ScaledSource(factory, transform.Get(), scaled)) {
                source = smaller;
                size = scaled;
            }
        }
    }
    // Refused before the decoder is asked for a single pixel, also when its
    // own pixels would take more: Wine's decoders count them in 32 bits.
    if (SectionBytes(size) > kMostSectionBytes
        || (int64_t)size.cx * size.cy * std::max(32u, BitsPerPixel(factory, source.Get())) / 8 > kMostSectionBytes)
        return Decoded::Failed;

    const std::vector<BYTE> profile = ReadWicProfile(factory, frame);
    std::optional<Compositor> compositor;
    if (CopyWithAlpha(factory, source.Get()))
        compositor.emplace(request.background);
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter))
        || FAILED(converter->Initialize(source.Get(),
                                        compositor ? GUID_WICPixelFormat32bppPBGRA : GUID_WICPixelFormat24bppBGR,
                                        WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        return Decoded::Failed;

    PixelRows shown;
    if (!SectionOfSize(section, OrientedSize(size.cx, size.cy, header.orientation), shown))
        return Decoded::Failed;
    // Upright pixels go straight into the section; others first into memory
    // of their own.
    const bool upright = header.orientation == OrientNormal;
    std::optional<CPixels> stored;
    if (!upright)
        stored.emplace(size.cx, size.cy);
    const PixelRows rows = upright ? shown : stored->Rows();
    const Decoded result = CopyRows(converter.Get(), compositor ? &*compositor : nullptr, rows, request.stop);
    if (result == Decoded::Complete && !upright)
        OrientPixels(rows, shown, header.orientation);
    // The background goes through the profile too: black stays black.
    if (result == Decoded::Complete && !profile.empty())
        ConvertRgbPixels(profile, shown.bits, (size_t)shown.stride, shown.width, shown.height, request.target);
    return result;
}

}  // namespace

Decoded DecodeWicFrame(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, int orientation, CBitmap& section,
                       const PictureRequest& request, PictureHeader& header)
{
    Decoded result = Decoded::Failed;
    try {
        result = DecodeFrame(factory, frame, orientation, section, request, header);
    } catch (const std::bad_alloc&) {
        result = Decoded::Failed;  // the pixels to be turned did not fit into memory
    }
    if (result != Decoded::Complete)
        section.DeleteObject();
    return result;
}

namespace {

// The first frame of a file through the system's decoders, read through a
// stream that gives up at a stop request: some decoders read the whole
// picture before the first row is asked for (Wine's PNG and GIF ones even
// to tell the size).
struct WicFrame {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    GUID container{};
    int orientation = OrientNormal;
    std::shared_ptr<std::atomic<bool>> stopped = std::make_shared<std::atomic<bool>>(false);

    // COM must be on the calling thread. False when no decoder takes the
    // file, or stopped says it was given up.
    bool Open(FILE* file, const FileLook& look, const StopRequest& stop)
    {
        if (look.refused)
            return false;
        // Through the handle the file is open as, shared as the caller opened it.
        const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
        const ComPtr<IStream> stream =
            handle != INVALID_HANDLE_VALUE ? MakeStoppableStream(handle, stop, stopped) : nullptr;
        if (!stream
            || FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))
            || FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder))
            || FAILED(decoder->GetContainerFormat(&container)) || FAILED(decoder->GetFrame(0, &frame)))
            return false;
        // PNG, GIF, BMP and ICO files carry no orientation.
        const bool flat = container == GUID_ContainerFormatPng || container == GUID_ContainerFormatGif
            || container == GUID_ContainerFormatBmp || container == GUID_ContainerFormatIco;
        orientation = container == GUID_ContainerFormatTiff ? look.tiffOrientation
                      : flat                                ? (int)OrientNormal
                                                            : ReadWicOrientation(frame.Get());
        return true;
    }

    // A GIF's canvas, where it is larger than its first frame, which may
    // cover only a part of it; false for every other picture.
    bool GifCanvas(SIZE& canvas, POINT& at) const
    {
        ComPtr<IWICMetadataQueryReader> screen, image;
        UINT width = 0, height = 0;
        if (container != GUID_ContainerFormatGif || FAILED(decoder->GetMetadataQueryReader(&screen))
            || FAILED(frame->GetMetadataQueryReader(&image)) || FAILED(frame->GetSize(&width, &height)))
            return false;
        canvas = SIZE{(LONG)QueryNumber(screen.Get(), L"/logscrdesc/Width", 0),
                      (LONG)QueryNumber(screen.Get(), L"/logscrdesc/Height", 0)};
        at = POINT{(LONG)QueryNumber(image.Get(), L"/imgdesc/Left", 0),
                   (LONG)QueryNumber(image.Get(), L"/imgdesc/Top", 0)};
        // A frame that runs past the canvas keeps its own size, as before.
        return at.x + (LONG)width <= canvas.cx && at.y + (LONG)height <= canvas.cy
            && ((LONG)width != canvas.cx || (LONG)height != canvas.cy);
    }
};

}  // namespace

unsigned QueryNumber(IWICMetadataQueryReader* reader, const wchar_t* query, unsigned fallback)
{
    PROPVARIANT value;
    ::PropVariantInit(&value);
    unsigned number = fallback;
    if (reader && SUCCEEDED(reader->GetMetadataByName(query, &value)) && value.vt != VT_EMPTY)
        number = NumberOf(value);
    ::PropVariantClear(&value);
    return number;
}

Decoded DecodeWicPicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header)
{
    const FileLook look = LookAtFile(file);
    header.facts = look.facts;
    CComOnThread com;
    WicFrame opened;
    if (com.Ready() && opened.Open(file, look, request.stop)) {
        Decoded result = DecodeWicFrame(opened.factory.Get(), opened.frame.Get(), opened.orientation, section,
                                        request, header);
        SIZE canvas{};
        POINT at{};
        // The system's GIF decoders do not scale: the frame is whole.
        if (result == Decoded::Complete && opened.GifCanvas(canvas, at)) {
            result = PlaceOnCanvas(section, canvas, at, request.background) ? Decoded::Complete : Decoded::Failed;
            header.stored = header.upright = canvas;
        }
        return *opened.stopped ? Decoded::Stopped : result;
    }
    section.DeleteObject();
    return *opened.stopped ? Decoded::Stopped : Decoded::Failed;
}

bool ReadWicHeader(FILE* file, PictureHeader& header, const StopRequest& stop)
{
    const FileLook look = LookAtFile(file);
    header.facts = look.facts;
    UINT width = 0, height = 0;
    if (look.png) {
        width = (UINT)look.pngSize.cx;
        height = (UINT)look.pngSize.cy;
        header.orientation = OrientNormal;
    } else {
        CComOnThread com;
        WicFrame opened;
        if (!com.Ready() || !opened.Open(file, look, stop) || FAILED(opened.frame->GetSize(&width, &height)))
            return false;
        header.orientation = opened.orientation;
        SIZE canvas{};
        POINT at{};
        if (opened.GifCanvas(canvas, at)) {
            width = (UINT)canvas.cx;
            height = (UINT)canvas.cy;
        }
    }
    if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
        return false;
    header.stored = SIZE{(LONG)width, (LONG)height};
    header.upright = OrientedSize((int)width, (int)height, header.orientation);
    return true;
}
