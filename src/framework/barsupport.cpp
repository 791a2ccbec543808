#include "barsupport.h"

#include "afxdpi.h"
#include "bars.h"

void InitBarControls()
{
    static const bool done = [] {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        return ::InitCommonControlsEx(&init) != FALSE;
    }();
    (void)done;
}

DWORD WindowStyle(DWORD style)
{
    return style & ~(DWORD)CBRS_ALL;
}

int TextHeight(HWND wnd, HFONT font)
{
    HDC dc = ::GetDC(wnd);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(wnd, dc);
    return metrics.tmHeight;
}

int TextWidth(HWND wnd, HFONT font, const std::string& text)
{
    HDC dc = ::GetDC(wnd);
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{0, 0};
    const std::wstring wide = AfxWide(text);
    ::GetTextExtentPoint32W(dc, wide.c_str(), (int)wide.size(), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(wnd, dc);
    return size.cx;
}

void SetBarFont(CWnd* bar, CFont& font, int dpi, BOOL redraw)
{
    const LOGFONTW logFont = AfxGetMessageFont(dpi);
    CFont old;
    old.Attach(font.Detach());
    if (font.CreateFontIndirect(&logFont))
        bar->SendMessage(WM_SETFONT, (WPARAM)(HFONT)font, redraw);
}
