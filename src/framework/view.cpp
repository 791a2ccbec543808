#include "view.h"

#include <algorithm>

#include "dc.h"
#include "doc.h"
#include "frame.h"
#include "print.h"

// ---------------------------------------------------------------- CView

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

BOOL CView::Create(CFrameWnd* frame, UINT id)
{
    const char* className = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(nullptr, IDC_ARROW),
                                                (HBRUSH)(COLOR_WINDOW + 1));
    return CreateEx(WS_EX_CLIENTEDGE, className, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0),
                    frame, id);
}

CFrameWnd* CView::GetParentFrameWnd() const
{
    return static_cast<CFrameWnd*>(GetParentFrame());
}

void CView::OnInitialUpdate()
{
}

void CView::OnPrepareDC(CDC* dc, CPrintInfo* info)
{
    // Without a page count, printing stops after the first sheet.
    if (info)
        info->m_bContinuePrinting = info->GetMaxPage() != 0xFFFF || info->m_nCurPage == 1;
    (void)dc;
}

BOOL CView::OnPreparePrinting(CPrintInfo* info)
{
    return DoPreparePrinting(info);
}

void CView::OnBeginPrinting(CDC*, CPrintInfo*)
{
}

void CView::OnPrint(CDC* dc, CPrintInfo*)
{
    OnDraw(dc);
}

void CView::OnEndPrinting(CDC*, CPrintInfo*)
{
}

BOOL CView::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return m_pDocument && m_pDocument->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CView::OnPaint()
{
    CPaintDC dc(this);
    OnPrepareDC(&dc);
    OnDraw(&dc);
}

void CView::OnDestroy()
{
    if (CFrameWnd* frame = GetParentFrameWnd(); frame && frame->GetActiveView() == this)
        frame->SetActiveView(nullptr);
    CWnd::OnDestroy();
}

void CView::PostNcDestroy()
{
    delete this;
}

// ---------------------------------------------------------------- CScrollView

void CScrollView::SetScrollSizes(int mapMode, SIZE total, SIZE page, SIZE line)
{
    m_mapMode = mapMode;
    m_total = total;
    m_page = page;
    m_line = line;
    // The usual defaults: a tenth of the total per page, a tenth of a page per line.
    if (m_page.cx == 0)
        m_page.cx = m_total.cx / 10;
    if (m_page.cy == 0)
        m_page.cy = m_total.cy / 10;
    if (m_line.cx == 0)
        m_line.cx = m_page.cx / 10;
    if (m_line.cy == 0)
        m_line.cy = m_page.cy / 10;
    if (m_hWnd)
        UpdateBars();
}

void CScrollView::GetDeviceScrollSizes(int& mapMode, SIZE& total, SIZE& page, SIZE& line) const
{
    mapMode = m_mapMode;
    total = m_total;
    page = m_page;
    line = m_line;
}

CPoint CScrollView::MaxScroll() const
{
    CRect client;
    GetClientRect(&client);
    return CPoint(std::max(0, (int)m_total.cx - client.Width()),
                  std::max(0, (int)m_total.cy - client.Height()));
}

void CScrollView::ScrollToPosition(POINT position)
{
    const CPoint limit = MaxScroll();
    const CPoint target(std::clamp((int)position.x, 0, (int)limit.x),
                        std::clamp((int)position.y, 0, (int)limit.y));
    const int dx = m_scroll.x - target.x;
    const int dy = m_scroll.y - target.y;
    m_scroll = target;
    OnScrollPositionChanged();
    if (!m_hWnd)
        return;
    // A bar is drawn again only when its thumb moves: drawing one is slow.
    if (::GetScrollPos(m_hWnd, SB_HORZ) != m_scroll.x)
        ::SetScrollPos(m_hWnd, SB_HORZ, m_scroll.x, TRUE);
    if (::GetScrollPos(m_hWnd, SB_VERT) != m_scroll.y)
        ::SetScrollPos(m_hWnd, SB_VERT, m_scroll.y, TRUE);
    if (dx || dy)
        ::ScrollWindowEx(m_hWnd, dx, dy, nullptr, nullptr, nullptr, nullptr,
                         SW_INVALIDATE | SW_ERASE);
}

void CScrollView::UpdateBars()
{
    // Showing or hiding a bar resizes the client area, and the resize may
    // change the sizes (a page lays itself out again): apply until stable.
    if (m_inUpdateBars) {
        m_barsStale = true;
        return;
    }
    m_inUpdateBars = true;
    for (int pass = 0; pass < 4; ++pass) {
        m_barsStale = false;
        ApplyBars();
        if (!m_barsStale)
            break;
    }
    m_inUpdateBars = false;
}

void CScrollView::ApplyBars()
{
    // The client size the view would have without any scroll bar.
    CRect client;
    GetClientRect(&client);
    const DWORD style = GetStyle();
    const int barWidth = ::GetSystemMetrics(SM_CXVSCROLL);
    const int barHeight = ::GetSystemMetrics(SM_CYHSCROLL);
    CSize bare = client.Size();
    if (style & WS_VSCROLL)
        bare.cx += barWidth;
    if (style & WS_HSCROLL)
        bare.cy += barHeight;

    bool needH = m_total.cx > bare.cx;
    bool needV = m_total.cy > bare.cy;
    if (needV && !needH)
        needH = m_total.cx > bare.cx - barWidth;
    if (needH && !needV)
        needV = m_total.cy > bare.cy - barHeight;

    const CSize visible(bare.cx - (needV ? barWidth : 0), bare.cy - (needH ? barHeight : 0));
    const CPoint limit(std::max(0, (int)m_total.cx - (int)visible.cx),
                       std::max(0, (int)m_total.cy - (int)visible.cy));
    const CPoint target(std::min((int)m_scroll.x, (int)limit.x), std::min((int)m_scroll.y, (int)limit.y));
    if (!(target == m_scroll)) {
        ::ScrollWindowEx(m_hWnd, m_scroll.x - target.x, m_scroll.y - target.y, nullptr, nullptr,
                         nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
        m_scroll = target;
        OnScrollPositionChanged();
    }

    SetBar(SB_HORZ, needH ? m_total.cx - 1 : 0, needH ? (UINT)visible.cx : 0, m_scroll.x);
    SetBar(SB_VERT, needV ? m_total.cy - 1 : 0, needV ? (UINT)visible.cy : 0, m_scroll.y);
    ::ShowScrollBar(m_hWnd, SB_HORZ, needH);
    ::ShowScrollBar(m_hWnd, SB_VERT, needV);
}

void CScrollView::SetBar(int bar, int maximum, UINT page, int position)
{
    // Set (and drawn again) only when it changes: drawing a bar is slow.
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_PAGE | SIF_POS | SIF_RANGE;
    if (::GetScrollInfo(m_hWnd, bar, &info) && info.nMin == 0 && info.nMax == maximum && info.nPage == page
        && info.nPos == position)
        return;
    info.nMin = 0;
    info.nMax = maximum;
    info.nPage = page;
    info.nPos = position;
    ::SetScrollInfo(m_hWnd, bar, &info, TRUE);
}

void CScrollView::OnPrepareDC(CDC* dc, CPrintInfo* info)
{
    dc->SetMapMode(m_mapMode);
    if (dc->IsPrinting())
        dc->SetViewportOrg(0, 0);
    else
        dc->SetViewportOrg(-m_scroll);
    CView::OnPrepareDC(dc, info);
}

void CScrollView::OnSize(UINT type, int cx, int cy)
{
    CView::OnSize(type, cx, cy);
    UpdateBars();
}

void CScrollView::ScrollBy(int bar, UINT code)
{
    const bool horizontal = bar == SB_HORZ;
    const int line = horizontal ? m_line.cx : m_line.cy;
    const int page = horizontal ? m_page.cx : m_page.cy;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(m_hWnd, bar, &info);

    CPoint target = m_scroll;
    LONG& value = horizontal ? target.x : target.y;
    switch (code) {
    case SB_LINEUP:        value -= line; break;
    case SB_LINEDOWN:      value += line; break;
    case SB_PAGEUP:        value -= page; break;
    case SB_PAGEDOWN:      value += page; break;
    case SB_TOP:           value = 0; break;
    case SB_BOTTOM:        value = horizontal ? m_total.cx : m_total.cy; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: value = info.nTrackPos; break;
    default:               return;
    }
    ScrollToPosition(target);
}

void CScrollView::OnHScroll(UINT code, UINT, HWND scrollBar)
{
    if (scrollBar)
        CView::OnHScroll(code, 0, scrollBar);
    else
        ScrollBy(SB_HORZ, code);
}

void CScrollView::OnVScroll(UINT code, UINT, HWND scrollBar)
{
    if (scrollBar)
        CView::OnVScroll(code, 0, scrollBar);
    else
        ScrollBy(SB_VERT, code);
}

BOOL CScrollView::OnMouseWheel(UINT flags, short delta, CPoint)
{
    if (flags & (MK_SHIFT | MK_CONTROL))
        return FALSE;
    UINT lines = 3;
    ::SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    int step;
    if (lines == WHEEL_PAGESCROLL)
        step = (delta > 0 ? -1 : 1) * m_page.cy;
    else
        step = std::clamp(::MulDiv(-delta, (int)lines, WHEEL_DELTA) * (int)m_line.cy,
                          -(int)m_page.cy, (int)m_page.cy);
    if (step == 0)
        return FALSE;
    ScrollToPosition(CPoint(m_scroll.x, m_scroll.y + step));
    return TRUE;
}
