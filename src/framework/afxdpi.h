// Display scale and contrast: the lengths of the program are designed for
// 96 DPI and scaled to the DPI of the window they are drawn in; and the
// system's high-contrast setting, which replaces the program's own colours
// with the system's.
#pragma once

#include "afxbase.h"

constexpr int kDesignDpi = 96;

// px design pixels at dpi, rounded (96 DPI: px itself).
inline int AfxScale(int px, int dpi) { return ::MulDiv(px, dpi, kDesignDpi); }

// The DPI of the window's monitor as the window sees it; the screen's for a
// null window or a system without per-window DPI.
int AfxGetDpiForWindow(HWND window);
// The system metric (SM_CXVSCROLL, ...) at dpi.
int AfxGetSystemMetrics(int index, int dpi);
// The system's message font at dpi, its height that of the stock GUI font
// scaled from 96 DPI, so that text keeps its size at 96 DPI.
LOGFONTW AfxGetMessageFont(int dpi);
// Whether the user chose a high-contrast theme.
bool AfxIsHighContrast();
