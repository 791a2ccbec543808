#include "imaging/colour.h"

#include <icm.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "thread.h"

// Figures under Wine 8, whose mscms runs Little CMS: making a transform
// takes 4 to 9 ms; converting 1500 x 1000 pixels 105 to 160 ms for a smooth
// picture, 230 to 280 ms for noise (a pixel equal to the one before is not
// computed again), 380 ms from CMYK. Wine makes every Little CMS transform
// without pixel formats, so that TranslateBitmapBits can name them later,
// and Little CMS then precomputes nothing: with the formats fixed up front
// the same library needs 20 to 35 ms for those pixels.

namespace {

constexpr DWORD kRgbSpace = 0x52474220;    // 'RGB '
constexpr DWORD kCmykSpace = 0x434D594B;   // 'CMYK'
constexpr DWORD kSrgbLogical = 0x73524742; // LCS_sRGB, spelt out: the header's 'sRGB' warns
constexpr size_t kHeaderSize = 128;
constexpr size_t kTagEntrySize = 12;
// Idle transforms kept; more than the profiles of one folder usually need.
constexpr size_t kIdleTransforms = 8;

DWORD Read32(const BYTE* p)
{
    return (DWORD)p[0] << 24 | (DWORD)p[1] << 16 | (DWORD)p[2] << 8 | p[3];
}

unsigned Read16(const BYTE* p)
{
    return (unsigned)p[0] << 8 | p[1];
}

double ReadFixed(const BYTE* p)  // s15Fixed16Number
{
    return (int32_t)Read32(p) / 65536.0;
}

// ---------------------------------------------------------------- profile bytes

// A profile whose header and tag table lie within its bytes, or !valid.
// mscms would open some damaged ones, and one of another colour space
// whatever pixels it is asked to convert, so the header is read here first.
struct ProfileLayout {
    bool valid = false;
    DWORD size = 0;  // as the header says; the bytes may run on past it
    DWORD space = 0;
    DWORD tags = 0;
};

ProfileLayout ReadLayout(const std::vector<BYTE>& bytes)
{
    ProfileLayout layout;
    if (bytes.size() < kHeaderSize + 4)
        return layout;
    const BYTE* p = bytes.data();
    layout.size = Read32(p);
    layout.space = Read32(p + 16);
    layout.tags = Read32(p + kHeaderSize);
    const DWORD deviceClass = Read32(p + 12);
    const DWORD connection = Read32(p + 20);
    if (layout.size < kHeaderSize + 4 || layout.size > bytes.size() || Read32(p + 36) != 0x61637370  // 'acsp'
        || (connection != 0x58595A20 && connection != 0x4C616220)                                    // 'XYZ ', 'Lab '
        || deviceClass == 0x6C696E6B || deviceClass == 0x61627374 || deviceClass == 0x6E6D636C      // link, abst, nmcl
        || layout.tags > (layout.size - kHeaderSize - 4) / kTagEntrySize)
        return layout;
    for (DWORD i = 0; i < layout.tags; ++i) {
        const BYTE* entry = p + kHeaderSize + 4 + kTagEntrySize * i;
        if ((uint64_t)Read32(entry + 4) + Read32(entry + 8) > layout.size)
            return layout;
    }
    layout.valid = true;
    return layout;
}

// The tag's data, or null; size gets its length.
const BYTE* FindTag(const std::vector<BYTE>& bytes, const ProfileLayout& layout, DWORD signature,
                    size_t& size)
{
    for (DWORD i = 0; i < layout.tags; ++i) {
        const BYTE* entry = bytes.data() + kHeaderSize + 4 + kTagEntrySize * i;
        if (Read32(entry) == signature) {
            size = Read32(entry + 8);
            return bytes.data() + Read32(entry + 4);
        }
    }
    return nullptr;
}

double LinearToSrgb(double v)
{
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// The tone curve of a 'curv' or 'para' tag at x in 0..1; false for other
// or damaged tags.
bool EvaluateCurve(const BYTE* tag, size_t size, double x, double& y)
{
    if (size < 12)
        return false;
    if (Read32(tag) == 0x63757276) {  // 'curv'
        const DWORD count = Read32(tag + 8);
        if (count > (size - 12) / 2)
            return false;
        if (count == 0) {
            y = x;
        } else if (count == 1) {
            y = std::pow(x, Read16(tag + 12) / 256.0);
        } else {
            const double at = x * (count - 1);
            const DWORD i = std::min((DWORD)at, count - 2);
            const double low = Read16(tag + 12 + 2 * i), high = Read16(tag + 14 + 2 * i);
            y = (low + (high - low) * (at - i)) / 65535;
        }
        return true;
    }
    if (Read32(tag) != 0x70617261)  // 'para'
        return false;
    static const unsigned kParameters[] = {1, 3, 4, 5, 7};
    const unsigned type = Read16(tag + 8);
    if (type > 4 || size < 12 + 4 * kParameters[type])
        return false;
    double g[7] = {0, 1, 0, 0, 0, 0, 0};  // gamma, a, b, c, d, e, f
    for (unsigned i = 0; i < kParameters[type]; ++i)
        g[i] = ReadFixed(tag + 12 + 4 * i);
    if (type == 1 || type == 2)
        g[4] = g[1] != 0 ? -g[2] / g[1] : 0;  // where the curve leaves c
    if (type == 3 || type == 4) {
        y = x >= g[4] ? std::pow(g[1] * x + g[2], g[0]) + g[5] : g[3] * x + g[6];
    } else {
        y = x >= g[4] ? std::pow(g[1] * x + g[2], g[0]) + g[3] : g[3];
    }
    return std::isfinite(y);
}

// ---------------------------------------------------------------- mscms objects

class CColourProfile {
public:
    CColourProfile() = default;
    ~CColourProfile() { AfxReleaseHandle(m_handle, ::CloseColorProfile); }
    CColourProfile(const CColourProfile&) = delete;
    CColourProfile& operator=(const CColourProfile&) = delete;

    // The system may read the bytes for as long as the profile is open.
    bool Open(const std::vector<BYTE>& bytes, DWORD size)
    {
        PROFILE profile{};
        profile.dwType = PROFILE_MEMBUFFER;
        profile.pProfileData = const_cast<BYTE*>(bytes.data());
        profile.cbDataSize = size;
        return AfxAttachHandle(m_handle, ::OpenColorProfileW(&profile, PROFILE_READ, FILE_SHARE_READ, OPEN_EXISTING),
                               ::CloseColorProfile);
    }
    HPROFILE Handle() const { return m_handle; }

private:
    HPROFILE m_handle = nullptr;  // owned
};

class CColourTransform {
public:
    CColourTransform() = default;
    ~CColourTransform() { AfxReleaseHandle(m_handle, ::DeleteColorTransform); }
    CColourTransform(const CColourTransform&) = delete;
    CColourTransform& operator=(const CColourTransform&) = delete;

    // A transform between the two profiles' bytes, which need not outlive it.
    bool Create(const std::vector<BYTE>& source, const std::vector<BYTE>& target)
    {
        const ProfileLayout sourceLayout = ReadLayout(source), targetLayout = ReadLayout(target);
        CColourProfile from, to;
        if (!sourceLayout.valid || !targetLayout.valid || !from.Open(source, sourceLayout.size)
            || !to.Open(target, targetLayout.size))
            return false;
        HPROFILE profiles[2] = {from.Handle(), to.Handle()};
        DWORD intents[2] = {INTENT_PERCEPTUAL, INTENT_PERCEPTUAL};
        return AfxAttachHandle(m_handle,
                               ::CreateMultiProfileTransform(profiles, 2, intents, 2, BEST_MODE, INDEX_DONT_CARE),
                               ::DeleteColorTransform);
    }
    // One row at a time: Wine's TranslateBitmapBits ignores the strides and
    // takes width x height pixels as one run.
    bool TranslateRow(const BYTE* source, BMFORMAT sourceFormat, int width, BYTE* target) const
    {
        return ::TranslateBitmapBits(m_handle, const_cast<BYTE*>(source), sourceFormat, (DWORD)width, 1, 0, target,
                                     BM_RGBTRIPLETS, 0, nullptr, 0)
            != FALSE;
    }

private:
    HTRANSFORM m_handle = nullptr;  // owned
};

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

// The profiles converted to, read once: a profile changed while Orlivane
// runs takes effect the next time it starts.
struct Targets {
    std::vector<BYTE> srgb;     // the system's sRGB profile
    std::vector<BYTE> display;  // empty when the display is sRGB or has no usable profile
};

Targets ReadTargets()
{
    Targets targets;
    WCHAR path[MAX_PATH] = L"";
    DWORD size = sizeof path;
    if (::GetStandardColorSpaceProfileW(nullptr, kSrgbLogical, path, &size))
        targets.srgb = ReadProfileFile(path);

    DWORD length = MAX_PATH;
    if (HDC screen = ::GetDC(nullptr)) {
        if (::GetICMProfileW(screen, &length, path))
            targets.display = ReadProfileFile(path);
        ::ReleaseDC(nullptr, screen);
    }
    CColourProfile display;
    const ProfileLayout layout = ReadLayout(targets.display);
    if (!layout.valid || layout.space != kRgbSpace || IsSrgbProfile(targets.display)
        || !display.Open(targets.display, layout.size))
        targets.display.clear();
    return targets;
}

const Targets& GetTargets()
{
    static const Targets targets = ReadTargets();
    return targets;
}

// ---------------------------------------------------------------- transform cache

// A transform from one source profile to one target.
struct CachedTransform {
    std::vector<BYTE> source;
    bool toDisplay = false;
    CColourTransform transform;
};

// Idle transforms, most recently used first. A conversion takes its
// transform out and puts it back when done, so no two threads ever use one
// transform at once and no thread waits for another's conversion; two
// threads that need the same one at once each make their own.
CCriticalSection g_cacheLock;
std::vector<std::unique_ptr<CachedTransform>> g_idle;

std::unique_ptr<CachedTransform> TakeTransform(const std::vector<BYTE>& source, bool toDisplay)
{
    {
        std::lock_guard<CCriticalSection> lock(g_cacheLock);
        for (auto it = g_idle.begin(); it != g_idle.end(); ++it) {
            if ((*it)->toDisplay == toDisplay && (*it)->source == source) {
                std::unique_ptr<CachedTransform> found = std::move(*it);
                g_idle.erase(it);
                return found;
            }
        }
    }
    const Targets& targets = GetTargets();
    auto made = std::make_unique<CachedTransform>();
    made->source = source;
    made->toDisplay = toDisplay;
    if (!made->transform.Create(source, toDisplay ? targets.display : targets.srgb))
        return nullptr;
    return made;
}

// Without memory for the list the transform is simply released.
void ReturnTransform(std::unique_ptr<CachedTransform> transform) noexcept
{
    std::unique_ptr<CachedTransform> evicted;  // released after the lock
    std::lock_guard<CCriticalSection> lock(g_cacheLock);
    try {
        g_idle.insert(g_idle.begin(), std::move(transform));
    } catch (...) {
        return;
    }
    if (g_idle.size() > kIdleTransforms) {
        evicted = std::move(g_idle.back());
        g_idle.pop_back();
    }
}

// A transform taken from the cache for one conversion and put back after.
class CTransformLease {
public:
    CTransformLease(const std::vector<BYTE>& source, ColourTarget target)
        : m_cached(TakeTransform(source, target == ColourTarget::Display && !GetTargets().display.empty()))
    {
    }
    ~CTransformLease()
    {
        if (m_cached)
            ReturnTransform(std::move(m_cached));
    }
    CTransformLease(const CTransformLease&) = delete;
    CTransformLease& operator=(const CTransformLease&) = delete;

    explicit operator bool() const { return m_cached != nullptr; }
    const CColourTransform& Transform() const { return m_cached->transform; }

private:
    std::unique_ptr<CachedTransform> m_cached;
};

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

bool ConvertCmykThroughProfile(const std::vector<BYTE>& profile, bool inverted, const BYTE* cmyk,
                               size_t cmykStride, BYTE* bgr, size_t stride, int width, int height,
                               ColourTarget target)
{
    const ProfileLayout layout = ReadLayout(profile);
    if (!layout.valid || layout.space != kCmykSpace)
        return false;
    CTransformLease lease(profile, target);
    if (!lease)
        return false;
    // Profiles count ink up from 0; Adobe's bytes count it down from 255.
    std::vector<BYTE> row(inverted ? (size_t)width * 4 : 0);
    for (int y = 0; y < height; ++y) {
        const BYTE* in = cmyk + cmykStride * y;
        if (inverted) {
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = (BYTE)~in[i];
            in = row.data();
        }
        // Wine takes BM_CMYKQUADS for RGB; BM_KYMCQUADS, K the highest
        // byte of a little-endian quad, is libjpeg's C, M, Y, K order.
        if (!lease.Transform().TranslateRow(in, BM_KYMCQUADS, width, bgr + stride * y))
            return false;
    }
    return true;
}

}  // namespace

bool ConvertRgbPixels(const std::vector<BYTE>& profile, BYTE* bits, size_t stride, int width, int height,
                      ColourTarget target)
{
    if (!bits || width <= 0 || height <= 0 || stride < (size_t)width * 3)
        return false;
    try {
        const ProfileLayout layout = ReadLayout(profile);
        if (!layout.valid || layout.space != kRgbSpace)
            return false;
        if ((target == ColourTarget::Srgb || GetTargets().display.empty()) && IsSrgbProfile(profile))
            return true;
        CTransformLease lease(profile, target);
        if (!lease)
            return false;
        // Converted in place. Only the first row can fail in practice: a
        // transform that converts one row converts them all.
        for (int y = 0; y < height; ++y) {
            BYTE* row = bits + stride * y;
            if (!lease.Transform().TranslateRow(row, BM_RGBTRIPLETS, width, row))
                return false;
        }
        return true;
    } catch (...) {
        return false;  // no memory for the cache: the pixels stay as they are
    }
}

void ConvertCmykPixels(const std::vector<BYTE>& profile, bool inverted, const BYTE* cmyk, size_t cmykStride,
                       BYTE* bgr, size_t stride, int width, int height, ColourTarget target)
{
    if (!cmyk || !bgr || width <= 0 || height <= 0 || cmykStride < (size_t)width * 4
        || stride < (size_t)width * 3)
        return;
    try {
        if (ConvertCmykThroughProfile(profile, inverted, cmyk, cmykStride, bgr, stride, width, height, target))
            return;
    } catch (...) {
    }
    ConvertCmykPlain(inverted, cmyk, cmykStride, bgr, stride, width, height);
}

bool IsSrgbProfile(const std::vector<BYTE>& profile)
{
    const ProfileLayout layout = ReadLayout(profile);
    if (!layout.valid || layout.space != kRgbSpace)
        return false;
    // Colour tables would take precedence over the primaries and curves.
    for (DWORD table : {0x41324230, 0x41324231, 0x41324232, 0x42324130, 0x42324131, 0x42324132}) {  // A2B0..B2A2
        size_t size;
        if (FindTag(profile, layout, table, size))
            return false;
    }
    // sRGB's primaries adapted to D50, as the ICC's sRGB profiles give them;
    // other sRGB profiles differ in the fourth decimal.
    static const double kPrimaries[3][3] = {
        {0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}};
    static const DWORD kColorants[3] = {0x7258595A, 0x6758595A, 0x6258595A};  // rXYZ, gXYZ, bXYZ
    static const DWORD kCurves[3] = {0x72545243, 0x67545243, 0x62545243};     // rTRC, gTRC, bTRC
    for (int c = 0; c < 3; ++c) {
        size_t size;
        const BYTE* xyz = FindTag(profile, layout, kColorants[c], size);
        if (!xyz || size < 20 || Read32(xyz) != 0x58595A20)  // 'XYZ '
            return false;
        for (int i = 0; i < 3; ++i) {
            if (std::fabs(ReadFixed(xyz + 8 + 4 * i) - kPrimaries[c][i]) > 0.003)
                return false;
        }
        const BYTE* curve = FindTag(profile, layout, kCurves[c], size);
        if (!curve)
            return false;
        // Within a third of a level of sRGB's curve at every 8-bit value.
        for (int v = 0; v < 256; ++v) {
            double linear;
            if (!EvaluateCurve(curve, size, v / 255.0, linear)
                || !(std::fabs(LinearToSrgb(std::clamp(linear, 0.0, 1.0)) * 255 - v) <= 0.34))
                return false;
        }
    }
    return true;
}
