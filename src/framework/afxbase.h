// Common ground of the application framework: Windows headers, the small
// geometry types, the framework's standard ids and the process-wide helpers.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <string_view>

// ---------------------------------------------------------------- geometry

struct CPoint : POINT {
    CPoint() : POINT{0, 0} {}
    CPoint(int px, int py) : POINT{px, py} {}
    CPoint(POINT p) : POINT(p) {}
    explicit CPoint(LPARAM lParam)
        : POINT{(short)LOWORD(lParam), (short)HIWORD(lParam)} {}
    bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
    CPoint operator-() const { return CPoint(-x, -y); }
};

struct CSize : SIZE {
    CSize() : SIZE{0, 0} {}
    CSize(int w, int h) : SIZE{w, h} {}
    CSize(SIZE s) : SIZE(s) {}
    bool operator==(const SIZE& o) const { return cx == o.cx && cy == o.cy; }
};

struct CRect : RECT {
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    CRect(POINT topLeft, SIZE size)
        : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    bool IsRectEmpty() const { return ::IsRectEmpty(this) != FALSE; }
    bool PtInRect(POINT p) const { return ::PtInRect(this, p) != FALSE; }
    void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
    bool operator==(const RECT& o) const { return ::EqualRect(this, &o) != FALSE; }
};

// ---------------------------------------------------------------- standard ids

#include "afxres.h"

#define WM_SETMESSAGESTRING   0x0362
#define WM_IDLEUPDATECMDUI    0x0363

#define FWS_ADDTOTITLE  0x00008000L

// ---------------------------------------------------------------- owned handles

// The life of a handle owned by one object: taken over (the one held before
// released first), given away, or released.
template <class Handle>
Handle AfxDetachHandle(Handle& held)
{
    Handle handle = held;
    held = nullptr;
    return handle;
}

template <class Handle, class Release>
BOOL AfxReleaseHandle(Handle& held, Release release)
{
    return held ? (BOOL)release(AfxDetachHandle(held)) : FALSE;
}

template <class Handle, class Release>
BOOL AfxAttachHandle(Handle& held, Handle handle, Release release)
{
    AfxReleaseHandle(held, release);
    held = handle;
    return handle != nullptr;
}

// ---------------------------------------------------------------- helpers

class CWinApp;
class CWnd;

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// Text crosses into Windows here: the program keeps UTF-8, every window is a
// Unicode window and GDI draws UTF-16, so no code page ever re-encodes a name.
std::wstring AfxWide(std::string_view utf8);
std::string AfxUtf8(std::wstring_view wide);
// lstrcmpi of two UTF-8 texts: negative, zero or positive, as the user's
// language orders them ignoring case.
int AfxCompareNoCase(std::string_view a, std::string_view b);
std::string AfxGetWindowText(HWND hWnd);
BOOL AfxSetWindowText(HWND hWnd, const std::string& text);

// A registry value of text (REG_SZ or REG_EXPAND_SZ, unexpanded) of any
// length; anything else leaves value alone and reports ERROR_INVALID_DATA.
LONG AfxRegQueryString(HKEY key, const std::string& name, std::string& value);
LONG AfxRegSetString(HKEY key, const std::string& name, const std::string& value);

// The text of a string resource, empty when there is none.
std::string AfxLoadString(UINT id);

int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = (UINT)-1);

// Registers (once per distinct set of arguments) a window class with the
// framework's window procedure and returns its name.
const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr,
                                HBRUSH background = nullptr, HICON icon = nullptr);

BOOL AfxOleInit();
// Balances a successful AfxOleInit; the framework calls it after the message loop.
void AfxOleTerm();
void AfxOleLockApp();
void AfxOleUnlockApp();
