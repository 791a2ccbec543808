// Device contexts. A CDC either owns its HDC (CreateCompatibleDC, the
// client and paint DCs) or only borrows one (Attach); it is never copied.
#pragma once

#include "afxbase.h"

class CWnd;

class CDC {
public:
    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;  // the DC that answers queries; the same as m_hDC here
    BOOL m_bPrinting = FALSE;   // a printer or print-preview context

    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL IsPrinting() const { return m_bPrinting; }

    // Borrows hDC: the destructor does not delete it.
    void Attach(HDC hDC);
    HDC Detach();
    BOOL CreateCompatibleDC(CDC* dc);  // dc null: compatible with the screen
    BOOL DeleteDC();

    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
    // text is UTF-8; GDI gets it as UTF-16, whatever the font's code page.
    int DrawText(const std::string& text, RECT* rect, UINT format)
    {
        const std::wstring wide = AfxWide(text);
        return ::DrawTextW(m_hDC, wide.c_str(), (int)wide.size(), rect, format);
    }
    BOOL BitBlt(int x, int y, int w, int h, CDC* src, int xSrc, int ySrc, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, w, h, src->m_hDC, xSrc, ySrc, rop);
    }
    BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int xSrc, int ySrc, int wSrc, int hSrc,
                    DWORD rop)
    {
        return ::StretchBlt(m_hDC, x, y, w, h, src->m_hDC, xSrc, ySrc, wSrc, hSrc, rop);
    }
    void FillSolidRect(const RECT* rect, COLORREF color);
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hAttribDC, index); }

    int SetMapMode(int mode) { return ::SetMapMode(m_hDC, mode); }
    int GetMapMode() const { return ::GetMapMode(m_hDC); }
    CSize SetWindowExt(int cx, int cy);
    CSize SetViewportExt(int cx, int cy);
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
    void DPtoLP(POINT* points, int count = 1) const { ::DPtoLP(m_hDC, points, count); }
    void DPtoLP(RECT* rect) const { ::DPtoLP(m_hDC, reinterpret_cast<POINT*>(rect), 2); }
    void LPtoDP(POINT* points, int count = 1) const { ::LPtoDP(m_hDC, points, count); }
    void LPtoDP(RECT* rect) const { ::LPtoDP(m_hDC, reinterpret_cast<POINT*>(rect), 2); }

protected:
    void SetOwned(HDC hDC);
    bool m_owned = false;
};

// The client area of a window (GetDC / ReleaseDC).
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* wnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

// The DC of one WM_PAINT (BeginPaint / EndPaint).
class CPaintDC : public CDC {
public:
    PAINTSTRUCT m_ps{};

    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;

private:
    HWND m_hWnd;
};

// Selects a GDI object into a DC for the lifetime of the guard.
class CSelectObject {
public:
    CSelectObject(CDC* dc, HGDIOBJ object) : m_dc(dc), m_old(dc->SelectObject(object)) {}
    ~CSelectObject() { m_dc->SelectObject(m_old); }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    CDC* m_dc;
    HGDIOBJ m_old;
};
