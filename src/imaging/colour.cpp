#include "imaging/colour.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "thread.h"

// Figures under Wine 8 on two shared cores: making a transform from Adobe
// RGB takes 16 to 19 ms (most of it Wine's pow, evaluating the built-in
// sRGB's curves), from CMYK 40 to 85 ms; converting 1500 x 1000 pixels 17 to
// 26 ms from Adobe RGB, smooth or noisy alike, 45 to 65 ms from smooth CMYK
// and 100 to 170 ms from noisy CMYK; a 160 x 120 thumbnail 0.25 ms. (mscms
// under Wine needed 115 to 280 ms, 0.8 ms and 350 to 440 ms.) Little CMS
// precalculates what 8-bit pixels need: for RGB profiles of curves and
// matrices tables within a level of exact; for CMYK a grid of 17 points a
// channel, within a level or two of exact for most colours but further off
// beside colours that sRGB clips.

namespace {

constexpr DWORD kRgbSpace = 0x52474220;   // 'RGB '
constexpr DWORD kCmykSpace = 0x434D594B;  // 'CMYK'
constexpr size_t kHeaderSize = 128;
constexpr size_t kTagEntrySize = 12;
// Transforms kept; more than the profiles of one folder usually need.
constexpr size_t kCachedTransforms = 8;

DWORD Read32(const BYTE* p)
{
    return (DWORD)p[0] << 24 | (DWORD)p[1] << 16 | (DWORD)p[2] << 8 | p[3];
}

// ---------------------------------------------------------------- profile bytes

// A profile whose header and tag table lie within its bytes, or !valid (and
// of no colour space). Little CMS opens a profile cut short, skipping the
// tags past its end, and takes a link or abstract profile first in a chain
// as the whole conversion; such bytes are refused here first.
struct ProfileLayout {
    bool valid = false;
    DWORD size = 0;  // as the header says; the bytes may run on past it
    DWORD space = 0;
};

ProfileLayout ReadLayout(const std::vector<BYTE>& bytes)
{
    if (bytes.size() < kHeaderSize + 4)
        return {};
    const BYTE* p = bytes.data();
    const DWORD size = Read32(p), deviceClass = Read32(p + 12), connection = Read32(p + 20);
    const DWORD tags = Read32(p + kHeaderSize);
    if (size < kHeaderSize + 4 || size > bytes.size() || Read32(p + 36) != 0x61637370  // 'acsp'
        || (connection != 0x58595A20 && connection != 0x4C616220)                       // 'XYZ ', 'Lab '
        || deviceClass == 0x6C696E6B || deviceClass == 0x61627374 || deviceClass == 0x6E6D636C  // link, abst, nmcl
        || tags > (size - kHeaderSize - 4) / kTagEntrySize)
        return {};
    for (DWORD i = 0; i < tags; ++i) {
        const BYTE* entry = p + kHeaderSize + 4 + kTagEntrySize * i;
        if ((uint64_t)Read32(entry + 4) + Read32(entry + 8) > size)
            return {};
    }
    return {true, size, Read32(p + 16)};
}

double LinearToSrgb(double v)
{
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// ---------------------------------------------------------------- Little CMS objects

struct ProfileCloser {
    void operator()(void* profile) const { ::cmsCloseProfile(profile); }
};
struct TransformDeleter {
    void operator()(void* transform) const { ::cmsDeleteTransform(transform); }
};
// Owners of a cmsHPROFILE and a cmsHTRANSFORM.
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;
using TransformHandle = std::unique_ptr<void, TransformDeleter>;

// Failures are told by the results; their messages are for debugging only.
void IgnoreLittleCmsError(cmsContext, cmsUInt32Number, const char*) {}

// Before any profile is opened.
void SetUpLittleCms()
{
    static const bool done = (::cmsSetLogErrorHandler(IgnoreLittleCmsError), true);
    (void)done;
}

// Little CMS reads the bytes while the profile is open.
ProfileHandle OpenProfile(const std::vector<BYTE>& bytes)
{
    SetUpLittleCms();
    const ProfileLayout layout = ReadLayout(bytes);
    return ProfileHandle(layout.valid ? ::cmsOpenProfileFromMem(bytes.data(), layout.size) : nullptr);
}

// ---------------------------------------------------------------- targets

std::vector<BYTE> ReadProfileFile(const WCHAR* path)
{
    std::vector<BYTE> bytes;
    HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size{};
    // Profiles run to some hundred kilobytes; a larger file is no profile.
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (16 << 20)) {
        bytes.resize((size_t)size.QuadPart);
        DWORD read = 0;
        if (!::ReadFile(file, bytes.data(), (DWORD)bytes.size(), &read, nullptr) || read != bytes.size())
            bytes.clear();
    }
    ::CloseHandle(file);
    return bytes;
}

ProfileHandle CreateSrgbProfile()
{
    SetUpLittleCms();
    return ProfileHandle(::cmsCreate_sRGBProfile());
}

// The display's profile, read once: a profile changed while Orlivane runs
// takes effect the next time it starts. Empty when the display is sRGB or
// has no usable RGB profile.
std::vector<BYTE> ReadDisplayProfile()
{
    std::vector<BYTE> bytes;
    if (HDC screen = ::GetDC(nullptr)) {
        // Asked for its length first: a profile's path has no limit.
        DWORD length = 0;
        ::GetICMProfileW(screen, &length, nullptr);
        std::wstring path(length + 1, L'\0');
        length = (DWORD)path.size();
        if (::GetICMProfileW(screen, &length, path.data()))
            bytes = ReadProfileFile(path.c_str());
        ::ReleaseDC(nullptr, screen);
    }
    if (ReadLayout(bytes).space != kRgbSpace || IsSrgbProfile(bytes))
        return {};
    // Usable when sRGB's colours convert into it.
    ProfileHandle display = OpenProfile(bytes), srgb = CreateSrgbProfile();
    if (!display || !srgb
        || !TransformHandle(::cmsCreateTransform(srgb.get(), TYPE_BGR_8, display.get(), TYPE_BGR_8,
                                                 INTENT_PERCEPTUAL, 0)))
        return {};
    return bytes;
}

const std::vector<BYTE>& DisplayProfile()
{
    static const std::vector<BYTE> display = ReadDisplayProfile();
    return display;
}

// ---------------------------------------------------------------- transform cache

// A transform from one source profile and pixel format to one target, 24-bit
// blue-green-red pixels.
struct CachedTransform {
    std::vector<BYTE> source;
    cmsUInt32Number format = 0;
    bool toDisplay = false;
    TransformHandle transform;
};

// Recently used transforms, most recent first. Threads share them, and no
// conversion waits for another: cmsDoTransform only reads a transform, as
// it copies the transform's one-pixel cache (made unless cmsFLAGS_NOCACHE)
// to its own stack at each call. Two threads that need a new transform at
// once may both make it; one is kept.
CCriticalSection g_cacheLock;
std::vector<std::shared_ptr<const CachedTransform>> g_cache;

std::shared_ptr<const CachedTransform> FindTransform(const std::vector<BYTE>& source, cmsUInt32Number format,
                                                     bool toDisplay)
{
    for (auto it = g_cache.begin(); it != g_cache.end(); ++it) {
        if ((*it)->format == format && (*it)->toDisplay == toDisplay && (*it)->source == source) {
            std::rotate(g_cache.begin(), it, it + 1);
            return g_cache.front();
        }
    }
    return nullptr;
}

// Null when the profile cannot convert pixels of that format.
std::shared_ptr<const CachedTransform> GetTransform(const std::vector<BYTE>& source, cmsUInt32Number format,
                                                    ColourTarget target)
{
    const std::vector<BYTE>& display = DisplayProfile();
    const bool toDisplay = target == ColourTarget::Display && !display.empty();
    {
        std::lock_guard<CCriticalSection> lock(g_cacheLock);
        if (auto found = FindTransform(source, format, toDisplay))
            return found;
    }
    ProfileHandle from = OpenProfile(source), to = toDisplay ? OpenProfile(display) : CreateSrgbProfile();
    if (!from || !to)
        return nullptr;
    auto made = std::make_shared<CachedTransform>();
    made->transform.reset(
        ::cmsCreateTransform(from.get(), format, to.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, 0));
    if (!made->transform)
        return nullptr;
    made->source = source;
    made->format = format;
    made->toDisplay = toDisplay;

    std::shared_ptr<const CachedTransform> evicted;  // released after the lock
    std::lock_guard<CCriticalSection> lock(g_cacheLock);
    if (auto found = FindTransform(source, format, toDisplay))
        return found;
    g_cache.insert(g_cache.begin(), made);
    if (g_cache.size() > kCachedTransforms) {
        evicted = std::move(g_cache.back());
        g_cache.pop_back();
    }
    return made;
}

// ---------------------------------------------------------------- CMYK

BYTE Scale(unsigned a, unsigned b)  // a * b / 255, rounded
{
    return (BYTE)((a * b + 127) / 255);
}

void ConvertCmykPlain(bool inverted, const BYTE* cmyk, size_t cmykStride, BYTE* bgr, size_t stride, int width,
                      int height)
{
    // What is left of white under each ink: the inverted byte itself.
    const unsigned flip = inverted ? 0 : 255;
    for (int y = 0; y < height; ++y) {
        const BYTE* in = cmyk + cmykStride * y;
        BYTE* out = bgr + stride * y;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            const unsigned white = flip ^ in[3];
            out[0] = Scale(flip ^ in[2], white);
            out[1] = Scale(flip ^ in[1], white);
            out[2] = Scale(flip ^ in[0], white);
        }
    }
}

}  // namespace

bool ConvertRgbPixels(const std::vector<BYTE>& profile, BYTE* bits, size_t stride, int width, int height,
                      ColourTarget target)
{
    if (!bits || width <= 0 || height <= 0 || stride < (size_t)width * 3)
        return false;
    try {
        if (ReadLayout(profile).space != kRgbSpace)
            return false;
        if ((target == ColourTarget::Srgb || DisplayProfile().empty()) && IsSrgbProfile(profile))
            return true;
        const auto cached = GetTransform(profile, TYPE_BGR_8, target);
        if (!cached)
            return false;
        // In place: Little CMS allows it when both sides have one format.
        ::cmsDoTransformLineStride(cached->transform.get(), bits, bits, (cmsUInt32Number)width,
                                   (cmsUInt32Number)height, (cmsUInt32Number)stride, (cmsUInt32Number)stride, 0, 0);
        return true;
    } catch (...) {
        return false;  // no memory for the transform: the pixels stay as they are
    }
}

bool ConvertRgbRows(const std::vector<BYTE>& profile, bool sixteen, const void* rgb, size_t rgbStride, BYTE* bgr,
                    size_t stride, int width, int height, ColourTarget target)
{
    if (!rgb || !bgr || width <= 0 || height <= 0 || rgbStride < (size_t)width * (sixteen ? 6 : 3)
        || stride < (size_t)width * 3)
        return false;
    try {
        if (ReadLayout(profile).space != kRgbSpace)
            return false;
        const auto cached = GetTransform(profile, sixteen ? TYPE_RGB_16 : TYPE_RGB_8, target);
        if (!cached)
            return false;
        ::cmsDoTransformLineStride(cached->transform.get(), rgb, bgr, (cmsUInt32Number)width,
                                   (cmsUInt32Number)height, (cmsUInt32Number)rgbStride, (cmsUInt32Number)stride, 0,
                                   0);
        return true;
    } catch (...) {
        return false;
    }
}

void ConvertCmykPixels(const std::vector<BYTE>& profile, bool inverted, const BYTE* cmyk, size_t cmykStride,
                       BYTE* bgr, size_t stride, int width, int height, ColourTarget target)
{
    if (!cmyk || !bgr || width <= 0 || height <= 0 || cmykStride < (size_t)width * 4
        || stride < (size_t)width * 3)
        return;
    try {
        // Profiles count ink up from 0; Adobe's bytes count it down from 255.
        const auto cached = ReadLayout(profile).space == kCmykSpace
            ? GetTransform(profile, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, target)
            : nullptr;
        if (cached) {
            ::cmsDoTransformLineStride(cached->transform.get(), cmyk, bgr, (cmsUInt32Number)width,
                                       (cmsUInt32Number)height, (cmsUInt32Number)cmykStride,
                                       (cmsUInt32Number)stride, 0, 0);
            return;
        }
    } catch (...) {
    }
    ConvertCmykPlain(inverted, cmyk, cmykStride, bgr, stride, width, height);
}

bool IsSrgbProfile(const std::vector<BYTE>& profile)
{
    if (ReadLayout(profile).space != kRgbSpace)
        return false;
    const ProfileHandle opened = OpenProfile(profile);
    cmsHPROFILE h = opened.get();
    if (!h)
        return false;
    // Colour tables would take precedence over the primaries and curves.
    for (cmsTagSignature table : {cmsSigAToB0Tag, cmsSigAToB1Tag, cmsSigAToB2Tag, cmsSigBToA0Tag,
                                  cmsSigBToA1Tag, cmsSigBToA2Tag}) {
        if (::cmsIsTag(h, table))
            return false;
    }
    // sRGB's primaries adapted to D50, as the ICC's sRGB profiles give them;
    // other sRGB profiles differ in the fourth decimal.
    static const double kPrimaries[3][3] = {
        {0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}};
    static const cmsTagSignature kColorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                                  cmsSigBlueColorantTag};
    static const cmsTagSignature kCurves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(::cmsReadTag(h, kColorants[c]));
        if (!xyz || std::fabs(xyz->X - kPrimaries[c][0]) > 0.003 || std::fabs(xyz->Y - kPrimaries[c][1]) > 0.003
            || std::fabs(xyz->Z - kPrimaries[c][2]) > 0.003)
            return false;
        const auto* curve = static_cast<const cmsToneCurve*>(::cmsReadTag(h, kCurves[c]));
        if (!curve)
            return false;
        // Within a third of a level of sRGB's curve at every 8-bit value.
        for (int v = 0; v < 256; ++v) {
            const double linear = ::cmsEvalToneCurveFloat(curve, (cmsFloat32Number)(v / 255.0));
            if (!(std::fabs(LinearToSrgb(std::clamp(linear, 0.0, 1.0)) * 255 - v) <= 0.34))
                return false;
        }
    }
    return true;
}
