#include "tooltip.h"

#include <commctrl.h>

#include "afxbase.h"

namespace {

TTTOOLINFOW ToolOf(HWND owner, std::wstring& text)
{
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = owner;
    tool.uId = 1;
    tool.lpszText = text.data();
    return tool;
}

}  // namespace

CToolTipCtrl::~CToolTipCtrl()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

void CToolTipCtrl::TrackAt(HWND owner, const std::string& text, POINT point)
{
    if (m_hWnd && owner != m_owner) {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
    if (!m_hWnd) {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&init);
        m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                   0, 0, 0, 0, owner, nullptr, nullptr, nullptr);
        if (!m_hWnd)
            return;
        m_owner = owner;
        m_text.clear();
        TTTOOLINFOW tool = ToolOf(owner, m_text);
        ::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, (LPARAM)&tool);
        // Lines break where the text says, not where the control would.
        ::SendMessageW(m_hWnd, TTM_SETMAXTIPWIDTH, 0, ::GetSystemMetrics(SM_CXSCREEN));
    }
    m_text = AfxWide(text);
    TTTOOLINFOW tool = ToolOf(owner, m_text);
    ::SendMessageW(m_hWnd, TTM_UPDATETIPTEXTW, 0, (LPARAM)&tool);
    ::SendMessageW(m_hWnd, TTM_TRACKPOSITION, 0, MAKELPARAM(point.x, point.y));
    ::SendMessageW(m_hWnd, TTM_TRACKACTIVATE, TRUE, (LPARAM)&tool);
    m_shown = true;
}

void CToolTipCtrl::Hide()
{
    if (!m_hWnd || !m_shown)
        return;
    TTTOOLINFOW tool = ToolOf(m_owner, m_text);
    ::SendMessageW(m_hWnd, TTM_TRACKACTIVATE, FALSE, (LPARAM)&tool);
    m_shown = false;
}
