#include "dc.h"

#include "wnd.h"

CDC::~CDC()
{
    if (m_owned)
        DeleteDC();
}

void CDC::Attach(HDC hDC)
{
    m_hDC = m_hAttribDC = hDC;
    m_owned = false;
}

HDC CDC::Detach()
{
    HDC hDC = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_owned = false;
    return hDC;
}

void CDC::SetOwned(HDC hDC)
{
    m_hDC = m_hAttribDC = hDC;
    m_owned = false;  // the derived class releases it
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    HDC hDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    if (!hDC)
        return FALSE;
    m_hDC = m_hAttribDC = hDC;
    m_owned = true;
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    BOOL ok = ::DeleteDC(m_hDC);
    m_hDC = m_hAttribDC = nullptr;
    m_owned = false;
    return ok;
}

void CDC::FillSolidRect(const RECT* rect, COLORREF color)
{
    COLORREF old = ::SetBkColor(m_hDC, color);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

CSize CDC::SetWindowExt(int cx, int cy)
{
    SIZE old{};
    ::SetWindowExtEx(m_hDC, cx, cy, &old);
    return old;
}

CSize CDC::SetViewportExt(int cx, int cy)
{
    SIZE old{};
    ::SetViewportExtEx(m_hDC, cx, cy, &old);
    return old;
}

CPoint CDC::SetViewportOrg(int x, int y)
{
    POINT old{};
    ::SetViewportOrgEx(m_hDC, x, y, &old);
    return old;
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr)
{
    SetOwned(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    if (m_hDC)
        ::ReleaseDC(m_hWnd, Detach());
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd)
{
    SetOwned(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}
