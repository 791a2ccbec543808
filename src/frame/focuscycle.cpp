// Tab and F6 take the keyboard focus round the main window's parts: the
// page (through its own parts first, such as the Home page's two panes),
// the details pane, the toolbar and the slideshow bar, as far as they are
// shown. On the picture page, I shows or hides the details pane.
#include <vector>

#include "core/navigator.h"
#include "frame/mainframe.h"
#include "pages/picturepage.h"
#include "view/vemolyview.h"

namespace {

// I alone, typed in the picture page's view: folder pages keep letters for
// finding items by their names.
bool IsDetailsKey(const MSG* msg)
{
    const CVemolyView* view = CVemolyView::GetActive();
    return msg->message == WM_KEYDOWN && msg->wParam == 'I' && view && msg->hwnd == view->m_hWnd
        && ::GetKeyState(VK_CONTROL) >= 0 && ::GetKeyState(VK_SHIFT) >= 0 && ::GetKeyState(VK_MENU) >= 0
        && dynamic_cast<const CPicturePage*>(g_navigator.GetCurrentPage());
}

} // namespace

BOOL CMainFrame::PreTranslateMessage(MSG* msg)
{
    if (FullScreenMessage(msg))
        return TRUE;
    if (!m_fullScreen && IsDetailsKey(msg)) {
        OnViewDetailsPane();
        return TRUE;
    }
    // A click on the page takes the keyboard back from the details pane.
    if (msg->message == WM_LBUTTONDOWN || msg->message == WM_RBUTTONDOWN) {
        const CVemolyView* view = CVemolyView::GetActive();
        const HWND focus = ::GetFocus();
        if (view && msg->hwnd == view->m_hWnd && m_detailsPane.m_hWnd
            && (focus == m_detailsPane.m_hWnd || ::IsChild(m_detailsPane.m_hWnd, focus)))
            ::SetFocus(view->m_hWnd);
    }
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_TAB || msg->wParam == VK_F6)
        && MoveKeyboardFocus(::GetKeyState(VK_SHIFT) < 0))
        return TRUE;
    return CFrameWnd::PreTranslateMessage(msg);
}

bool CMainFrame::MoveKeyboardFocus(bool backwards)
{
    CVemolyView* view = CVemolyView::GetActive();
    if (!view)
        return false;
    std::vector<HWND> parts{view->m_hWnd};
    for (HWND window : {m_detailsPane.m_hWnd, m_wndToolBar.m_hWnd, m_wndSlideshowBar.m_hWnd}) {
        if (window && ::IsWindowVisible(window))
            parts.push_back(window);
    }
    const HWND focus = ::GetFocus();
    size_t at = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (focus == parts[i] || ::IsChild(parts[i], focus))
            at = i;
    }
    if (parts[at] == view->m_hWnd && view->TabWithin(backwards))
        return true;
    const size_t next = (at + (backwards ? parts.size() - 1 : 1)) % parts.size();
    const HWND part = parts[next];
    // The focus is shown from now on, wherever it goes.
    SendMessage(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
    if (part == m_wndToolBar.m_hWnd) {
        ::SetFocus(part);
        // The toolbar's keys work on its hot button: the first that is enabled.
        const int count = (int)::SendMessageW(part, TB_BUTTONCOUNT, 0, 0);
        for (int i = 0; i < count; ++i) {
            TBBUTTON button{};
            if (::SendMessageW(part, TB_GETBUTTON, i, (LPARAM)&button) && !(button.fsStyle & BTNS_SEP)
                && (button.fsState & TBSTATE_ENABLED)) {
                ::SendMessageW(part, TB_SETHOTITEM, i, 0);
                break;
            }
        }
    } else if (part == m_wndSlideshowBar.m_hWnd) {
        const HWND control = ::GetNextDlgTabItem(part, nullptr, FALSE);
        ::SetFocus(control ? control : part);
    } else {
        ::SetFocus(part);
    }
    return true;
}
