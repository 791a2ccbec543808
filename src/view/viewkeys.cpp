// The view and the keyboard: keys go to the current page, which moves its
// focus and opens what it points at; the view draws the focus only once the
// keyboard has been used (the system's UISF_HIDEFOCUS state), scrolls the
// focus into sight, and opens context menus at the focused item.
#include "core/navigator.h"
#include "core/page.h"
#include "res/resource.h"
#include "view/vemolyview.h"

#include <utility>

namespace {

bool ShiftHeld()
{
    return ::GetKeyState(VK_SHIFT) < 0;
}

// Space kept between a focused item scrolled into sight and the window's edge.
constexpr int kScrollMargin = 10;

} // namespace

void CVemolyView::UseKeyboard()
{
    m_keyboardInUse = true;
    // The focus rectangle shows from the first key on, as in Windows' own
    // lists, and the other controls' focus cues with it.
    if (!m_focusCues) {
        m_focusCues = true;
        Invalidate(TRUE);
        CWnd* top = AfxGetMainWnd();
        ::SendMessageW(top ? top->m_hWnd : m_hWnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    }
}

bool CVemolyView::ShowsFocus() const
{
    return m_focusCues && ::GetFocus() == m_hWnd;
}

void CVemolyView::ScrollIntoView(const RECT& pageRect)
{
    CRect client;
    GetClientRect(&client);
    const CPoint position = GetScrollPosition();
    int y = position.y;
    if (pageRect.top < position.y)
        y = pageRect.top - kScrollMargin;
    else if (pageRect.bottom > position.y + client.Height())
        y = pageRect.bottom - client.Height() + kScrollMargin;
    if (y < 0)
        y = 0;
    if (y != position.y)
        ScrollToPosition(CPoint(position.x, y));
}

bool CVemolyView::TabWithin(bool shift)
{
    CPage* page = g_navigator.GetCurrentPage();
    if (page && page->OnKey(VK_TAB, shift)) {
        UseKeyboard();
        return true;
    }
    return false;
}

void CVemolyView::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    CPage* page = g_navigator.GetCurrentPage();
    if (key == VK_APPS) {
        ContextMenuFromKeyboard();
        return;
    }
    if (page && key != VK_TAB && key != VK_F6 && page->OnKey(key, ShiftHeld())) {
        UseKeyboard();
        return;
    }
    CScrollView::OnKeyDown(key, repeat, flags);
}

void CVemolyView::OnChar(UINT character, UINT repeat, UINT flags)
{
    CPage* page = g_navigator.GetCurrentPage();
    // Tab, Enter and the other control characters came as keys already.
    if (page && character >= 0x20 && page->OnCharacter((wchar_t)character)) {
        UseKeyboard();
        return;
    }
    CScrollView::OnChar(character, repeat, flags);
}

void CVemolyView::OnSetFocus(HWND oldWnd)
{
    CScrollView::OnSetFocus(oldWnd);
    Invalidate(TRUE);  // the focus rectangle comes with the focus
}

void CVemolyView::OnKillFocus(HWND newWnd)
{
    CScrollView::OnKillFocus(newWnd);
    Invalidate(TRUE);
}

BOOL CVemolyView::PreTranslateMessage(MSG* msg)
{
    // F10 is a system key: Shift+F10 would open the menu bar.
    if (msg->message == WM_SYSKEYDOWN && msg->wParam == VK_F10 && ShiftHeld()) {
        ContextMenuFromKeyboard();
        return TRUE;
    }
    // Alt+Enter (Properties) is a system key too; the page reads Alt itself.
    if (msg->message == WM_SYSKEYDOWN && msg->wParam == VK_RETURN && msg->hwnd == m_hWnd) {
        if (CPage* page = g_navigator.GetCurrentPage(); page && page->OnKey(VK_RETURN, ShiftHeld()))
            return TRUE;
    }
    return CScrollView::PreTranslateMessage(msg);
}

void CVemolyView::OnContextMenu(HWND wnd, CPoint point)
{
    // (-1, -1): asked for by the keyboard, to be shown at the focus.
    if (point.x == -1 && point.y == -1)
        ContextMenuFromKeyboard();
    else
        CScrollView::OnContextMenu(wnd, point);
}

LRESULT CVemolyView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDBLCLK: {
        // The first click may have opened the page now shown.
        CPage* page = g_navigator.GetCurrentPage();
        if (page && page == m_pressedPage)
            page->OnDoubleClick(ClientToPage(POINT{(short)LOWORD(lParam), (short)HIWORD(lParam)}));
        return 0;
    }
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && (HWND)wParam == m_hWnd) {
            POINT point;
            ::GetCursorPos(&point);
            ScreenToClient(&point);
            CPage* page = g_navigator.GetCurrentPage();
            if (HCURSOR cursor = page ? page->GetCursor(ClientToPage(point)) : nullptr) {
                ::SetCursor(cursor);
                return TRUE;
            }
        }
        break;
    case WM_CAPTURECHANGED:
        // Taken during a press (a shell drag of cells): its release opens nothing.
        if (std::exchange(m_dragging, false))
            m_releaseGuard = 4;
        break;
    default:
        break;
    }
    if (message == WM_UPDATEUISTATE && (HIWORD(wParam) & UISF_HIDEFOCUS)) {
        const bool shown = LOWORD(wParam) == UIS_CLEAR;
        if (shown != m_focusCues && LOWORD(wParam) != UIS_INITIALIZE) {
            m_focusCues = shown;
            Invalidate(TRUE);
        }
    }
    return CScrollView::WindowProc(message, wParam, lParam);
}

void CVemolyView::ContextMenuFromKeyboard()
{
    CPage* page = g_navigator.GetCurrentPage();
    if (m_menuOpen || !page)
        return;
    UseKeyboard();
    PageItem item;
    const int focused = page->GetFocusedItem();
    POINT point;
    if (focused >= 0 && page->GetItem(focused, &item)) {
        ScrollIntoView(item.bounds);
        const RECT cell = PageToClient(item.bounds);
        point = POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    } else {
        CRect client;
        GetClientRect(&client);
        point = POINT{client.Width() / 2, client.Height() / 2};
    }
    TrackContextMenu(page, point);
}
