#include "imaging/nclxprofile.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "lcms2.h"

namespace {

struct Primaries {
    cmsCIExyY red, green, blue;
};

constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};

bool KnownPrimaries(int code, Primaries& primaries)
{
    switch (code) {
    case 1: primaries = {{0.640, 0.330, 1}, {0.300, 0.600, 1}, {0.150, 0.060, 1}}; return true;
    case 5: primaries = {{0.640, 0.330, 1}, {0.290, 0.600, 1}, {0.150, 0.060, 1}}; return true;
    case 6: primaries = {{0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}}; return true;
    case 9: primaries = {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}; return true;
    case 11:
    case 12: primaries = {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}; return true;
    default: return false;
    }
}

// Diffuse white, where both HDR curves put the display's white: brighter
// parts clip, which keeps the rest of the picture as bright as it was made.
constexpr double kReferenceWhiteNits = 203;

double PqToNits(double signal)
{
    const double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    const double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double p = std::pow(signal, 1 / m2);
    return 10000 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1);
}

// HLG on a display of 1000 nits: the inverse of the camera's curve, then the
// display's gamma of 1.2 (applied per channel, the plain way).
double HlgToNits(double signal)
{
    const double a = 0.17883277, b = 1 - 4 * a, c = 0.5 - a * std::log(4 * a);
    const double scene = signal <= 0.5 ? signal * signal / 3 : (std::exp((signal - c) / a) + b) / 12;
    return 1000 * std::pow(scene, 1.2);
}

cmsToneCurve* TabulatedCurve(double (*toNits)(double))
{
    constexpr int kEntries = 4096;
    std::vector<cmsFloat32Number> values(kEntries);
    for (int i = 0; i < kEntries; ++i)
        values[i] = (cmsFloat32Number)std::min(toNits((double)i / (kEntries - 1)) / kReferenceWhiteNits, 1.0);
    return cmsBuildTabulatedToneCurveFloat(nullptr, kEntries, values.data());
}

cmsToneCurve* SrgbCurve()
{
    const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

} // namespace

std::vector<BYTE> NclxProfile(int primaries, int transfer)
{
    Primaries chosen;
    const bool knownPrimaries = KnownPrimaries(primaries, chosen);
    const bool hdr = transfer == 16 || transfer == 18;
    if (!knownPrimaries) {
        if (!hdr)
            return {};
        KnownPrimaries(1, chosen);
    }
    if (primaries == 1 && !hdr)
        return {};

    cmsToneCurve* curve = transfer == 16 ? TabulatedCurve(PqToNits)
                        : transfer == 18 ? TabulatedCurve(HlgToNits)
                                         : SrgbCurve();
    if (!curve)
        return {};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const cmsCIExyYTRIPLE triple{chosen.red, chosen.green, chosen.blue};
    const std::unique_ptr<void, decltype(&cmsCloseProfile)> profile(cmsCreateRGBProfile(&kD65, &triple, curves),
                                                                     &cmsCloseProfile);
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0)
        return {};
    std::vector<BYTE> bytes(size);
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size))
        return {};
    return bytes;
}
