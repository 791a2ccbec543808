// Colour described by code points (ITU-T H.273: colour primaries and
// transfer characteristics), as HEIF and AVIF pictures carry it when they
// embed no ICC profile, turned into an ICC profile the colour conversion
// takes.
#pragma once

#include <windows.h>

#include <vector>

// The ICC profile of RGB in these primaries and transfer; empty for sRGB,
// and for code points that say nothing (unspecified) or that are not known,
// which are shown as sRGB. Known primaries: BT.709 and sRGB (1), BT.601
// (5, 6), BT.2020 (9) and Display P3 (11, 12, both with the D65 white).
// Known transfers: sRGB's, PQ (16) and HLG (18); the other display curves
// (BT.709, BT.601, BT.2020) are shown with sRGB's, as displays show them.
std::vector<BYTE> NclxProfile(int primaries, int transfer);
