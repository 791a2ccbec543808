// Full screen: the picture or slideshow page alone on the monitor the window
// is on, on black, without caption, menu or bars. Another page, F11 or Esc
// gives the window back with its style, menu, bars and placement as they were.
#include "frame/fullscreen.h"

#include <memory>
#include <utility>

#include "core/navigator.h"
#include "pages/picturepage.h"
#include "pages/slideshowpage.h"
#include "preview.h"
#include "view/vemolyview.h"

namespace {

bool TakesFullScreen(const CPage* page)
{
    return dynamic_cast<const CPicturePage*>(page) || dynamic_cast<const CSlideshowPage*>(page);
}

void SetExStyle(HWND window, LONG_PTR exStyle)
{
    ::SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle);
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

} // namespace

void CMainFrame::EnterFullScreen()
{
    if (m_fullScreen || !TakesFullScreen(g_navigator.GetCurrentPage()))
        return;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    auto saved = std::make_unique<FullScreen>();
    saved->placement.length = sizeof saved->placement;
    if (!::GetWindowPlacement(m_hWnd, &saved->placement) || !::GetWindowRect(m_hWnd, &saved->window))
        return;
    if (CPrintPreviewWnd* preview = CPrintPreviewWnd::FromFrame(this))
        preview->Close();
    CView* view = GetActiveView();
    if (!view)
        return;
    saved->style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    saved->viewExStyle = ::GetWindowLongPtrW(view->m_hWnd, GWL_EXSTYLE);
    saved->reBarShown = (m_wndReBar.GetStyle() & WS_VISIBLE) != 0;
    saved->statusBarShown = (m_wndStatusBar.GetStyle() & WS_VISIBLE) != 0;
    saved->menuBar.Attach(::GetMenu(m_hWnd));
    m_fullScreen = std::move(saved);

    ::SetMenu(m_hWnd, nullptr);
    m_wndReBar.ShowWindow(SW_HIDE);
    m_wndStatusBar.ShowWindow(SW_HIDE);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, m_fullScreen->style & ~WS_OVERLAPPEDWINDOW);
    SetExStyle(view->m_hWnd, m_fullScreen->viewExStyle & ~WS_EX_CLIENTEDGE);
    const RECT& area = monitor.rcMonitor;
    ::SetWindowPos(m_hWnd, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    RecalcLayout();
    // The keys belong to the page now; the slideshow bar that may have had them is hidden.
    ::SetFocus(view->m_hWnd);
    SetTimer(kPointerTimer, kPointerRest);
}

void CMainFrame::LeaveFullScreen()
{
    const std::unique_ptr<FullScreen> saved = std::move(m_fullScreen);
    if (!saved)
        return;
    KillTimer(kPointerTimer);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, saved->style);
    if (CView* view = GetActiveView())
        SetExStyle(view->m_hWnd, saved->viewExStyle);
    ::SetMenu(m_hWnd, saved->menuBar.Detach());
    if (saved->reBarShown)
        m_wndReBar.ShowWindow(SW_SHOWNA);
    if (saved->statusBarShown)
        m_wndStatusBar.ShowWindow(SW_SHOWNA);
    ::SetWindowPlacement(m_hWnd, &saved->placement);
    const RECT& window = saved->window;
    ::SetWindowPos(m_hWnd, nullptr, window.left, window.top, window.right - window.left,
                   window.bottom - window.top, SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    RecalcLayout();
}

void CMainFrame::OnViewFullScreen()
{
    if (m_fullScreen)
        LeaveFullScreen();
    else
        EnterFullScreen();
}

void CMainFrame::OnUpdateViewFullScreen(CCmdUI* ui)
{
    ui->Enable(TakesFullScreen(g_navigator.GetCurrentPage()));
}

void CMainFrame::PageChanging(CPage* next)
{
    // Left before the next page is laid out, so that it is laid out once.
    if (m_fullScreen && !TakesFullScreen(next))
        LeaveFullScreen();
    ShowDetailsPaneFor(next);
}

bool CMainFrame::FullScreenMessage(const MSG* msg)
{
    if (!m_fullScreen || (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)))
        return false;
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        LeaveFullScreen();
        return true;
    }
    if (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST) {
        // The system repeats a move when windows change under a still pointer.
        const POINT& last = m_fullScreen->pointer;
        if (msg->message == WM_MOUSEMOVE && msg->pt.x == last.x && msg->pt.y == last.y)
            return false;
        m_fullScreen->pointer = msg->pt;
        if (std::exchange(m_fullScreen->pointerHidden, false))
            ::ShowCursor(TRUE);
        SetTimer(kPointerTimer, kPointerRest);
    }
    return false;
}

void CMainFrame::PointerRested()
{
    KillTimer(kPointerTimer);
    if (!m_fullScreen || m_fullScreen->pointerHidden)
        return;
    // Not while a menu or another window is in use.
    const CVemolyView* view = CVemolyView::GetActive();
    if ((view && view->IsMenuOpen()) || ::GetForegroundWindow() != m_hWnd) {
        SetTimer(kPointerTimer, kPointerRest);
        return;
    }
    m_fullScreen->pointerHidden = true;
    ::ShowCursor(FALSE);
}
