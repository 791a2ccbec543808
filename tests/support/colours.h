// Colours compared within a tolerance: decoders, scalers and JPEG's own
// loss move a channel by a few levels.
#pragma once

#include <windows.h>

#include <functional>

#include <gtest/gtest.h>

// Whether each of the three colour bytes of a and b lies within tolerance
// of the other's: for two COLORREFs, or for two captured 0x00RRGGBB pixels.
bool Near(DWORD a, DWORD b, int tolerance);
// A colour as a screen capture holds it, 0x00RRGGBB.
constexpr DWORD CapturedRgb(BYTE red, BYTE green, BYTE blue) { return (DWORD)red << 16 | (DWORD)green << 8 | blue; }
// A captured pixel as a COLORREF.
constexpr COLORREF ColourOf(DWORD captured) { return RGB(captured >> 16 & 0xFF, captured >> 8 & 0xFF, captured & 0xFF); }

// Whether the pixel in the middle of each quarter of a width by height
// picture, read through at(x, y), lies within tolerance of its quadrant's
// colour in expected (top left, top right, bottom left, bottom right); a
// failure names every quadrant that does not.
testing::AssertionResult ShowsQuadrants(const std::function<COLORREF(int x, int y)>& at, int width, int height,
                                        const COLORREF expected[4], int tolerance);
