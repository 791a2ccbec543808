// What the control bars share: the common controls' bar classes, the
// window style of a bar, and text measured in a bar's own font.
#pragma once

#include <string>

#include "afxbase.h"

class CFont;
class CWnd;

// Registers the toolbar, rebar, status bar and trackbar classes (once).
void InitBarControls();
// The window styles of a bar: its CBRS_ bits share the control-specific
// low word and must not reach the window.
DWORD WindowStyle(DWORD style);
// The height of a line of text in font.
int TextHeight(HWND wnd, HFONT font);
// The width of text in font.
int TextWidth(HWND wnd, HFONT font, const std::string& text);
// Makes font the system's message font at dpi and has bar show it; the font
// it replaces is released only once the bar no longer shows it.
void SetBarFont(CWnd* bar, CFont& font, int dpi, BOOL redraw);
