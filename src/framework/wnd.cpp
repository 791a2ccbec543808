#include "wnd.h"

#include "dc.h"
#include "frame.h"

namespace {

const wchar_t kObjectProp[] = L"Orlivane.CWnd";

// The object whose window is being created on this thread: it is attached at
// the first message the framework's window procedure sees for the new window.
thread_local CWnd* t_creating = nullptr;
// Whether the object of the last failed CreateEx on this thread was already
// deleted by its own PostNcDestroy (its window got as far as WM_NCCREATE).
thread_local bool t_creatingDestroyed = false;
thread_local bool t_lastCreateDestroyed = false;
thread_local MSG t_current{};

} // namespace

const MSG* AfxGetCurrentMessage()
{
    return &t_current;
}

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        // Still attached: the window must not outlive its object.
        HWND hWnd = m_hWnd;
        Detach();
        ::DestroyWindow(hWnd);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? static_cast<CWnd*>(::GetPropW(hWnd, kObjectProp)) : nullptr;
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetPropW(hWnd, kObjectProp, this);
}

void CWnd::Detach()
{
    if (!m_hWnd)
        return;
    ::RemovePropW(m_hWnd, kObjectProp);
    if (m_pfnSuper) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
        m_pfnSuper = nullptr;
    }
    m_hWnd = nullptr;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA&)
{
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT_PTR idOrMenu, void* param)
{
    return CreateEx(exStyle, className, windowName, style, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, parent, idOrMenu, param);
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int cx, int cy, CWnd* parent, UINT_PTR idOrMenu, void* param)
{
    CREATESTRUCTA cs{};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className;
    cs.lpszName = windowName;
    cs.style = style;
    cs.x = x;
    cs.y = y;
    cs.cx = cx;
    cs.cy = cy;
    cs.hwndParent = parent ? parent->m_hWnd : nullptr;
    cs.hMenu = (HMENU)idOrMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = param;
    if (!PreCreateWindow(cs))
        return FALSE;

    CWnd* outer = t_creating;
    const bool outerDestroyed = t_creatingDestroyed;
    t_creating = this;
    t_creatingDestroyed = false;
    // A class given as an atom stays one.
    const bool atom = IS_INTRESOURCE(cs.lpszClass);
    const std::wstring wideClass = atom ? std::wstring() : AfxWide(cs.lpszClass ? cs.lpszClass : "");
    const std::wstring wideName = AfxWide(cs.lpszName ? cs.lpszName : "");
    HWND hWnd = ::CreateWindowExW(cs.dwExStyle, atom ? (LPCWSTR)cs.lpszClass : wideClass.c_str(),
                                  cs.lpszName ? wideName.c_str() : nullptr, cs.style, cs.x, cs.y,
                                  cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance,
                                  cs.lpCreateParams);
    t_lastCreateDestroyed = !hWnd && t_creatingDestroyed;
    t_creating = outer;
    t_creatingDestroyed = outerDestroyed;
    if (!hWnd)
        return FALSE;  // 'this' may be gone: see LastCreateDestroyedObject
    if (!m_hWnd)
        SubclassWindow(hWnd);  // a system class: its procedure never saw t_creating
    return TRUE;
}

bool CWnd::LastCreateDestroyedObject()
{
    return t_lastCreateDestroyed;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    Attach(hWnd);
    m_pfnSuper = (WNDPROC)::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, (LONG_PTR)&CWnd::AfxWndProc);
    if (m_pfnSuper == &CWnd::AfxWndProc)
        m_pfnSuper = nullptr;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND item = ::GetDlgItem(parent->m_hWnd, (int)id);
    return item ? SubclassWindow(item) : FALSE;
}

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandlePermanent(hWnd);
    if (!wnd && t_creating && !t_creating->m_hWnd) {
        wnd = t_creating;
        wnd->Attach(hWnd);
    }
    if (!wnd)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);

    MSG outer = t_current;
    t_current = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing thrown may pass the system's frames back to the message
        // loop: the message counts as handled, a creation as failed.
        result = message == WM_CREATE ? -1 : 0;
    }
    t_current = outer;

    if (message == WM_NCDESTROY) {
        if (wnd == t_creating)
            t_creatingDestroyed = true;
        wnd->Detach();
        wnd->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::Default()
{
    const MSG& m = t_current;
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m.hwnd, m.message, m.wParam, m.lParam);
    return ::DefWindowProcW(m.hwnd, m.message, m.wParam, m.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lParam));
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_SIZE:
        OnSize((UINT)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND: {
        CDC dc;
        dc.Attach((HDC)wParam);
        BOOL erased = OnEraseBkgnd(&dc);
        dc.Detach();
        return erased;
    }
    case WM_SETFOCUS:
        OnSetFocus((HWND)wParam);
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus((HWND)wParam);
        return 0;
    case WM_KEYDOWN:
        OnKeyDown((UINT)wParam, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_CHAR:
        OnChar((UINT)wParam, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown((UINT)wParam, CPoint(lParam));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp((UINT)wParam, CPoint(lParam));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove((UINT)wParam, CPoint(lParam));
        return 0;
    case WM_RBUTTONDOWN:
        OnRButtonDown((UINT)wParam, CPoint(lParam));
        return 0;
    case WM_RBUTTONUP:
        OnRButtonUp((UINT)wParam, CPoint(lParam));
        return 0;
    case WM_MOUSEWHEEL:
        return OnMouseWheel(GET_KEYSTATE_WPARAM(wParam), GET_WHEEL_DELTA_WPARAM(wParam), CPoint(lParam));
    case WM_HSCROLL:
        OnHScroll(LOWORD(wParam), HIWORD(wParam), (HWND)lParam);
        return 0;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam), HIWORD(wParam), (HWND)lParam);
        return 0;
    case WM_INITMENUPOPUP:
        OnInitMenuPopup((HMENU)wParam, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_DEVICECHANGE:
        return OnDeviceChange((UINT)wParam, (DWORD_PTR)lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: {
        CDC dc;
        dc.Attach((HDC)wParam);
        HBRUSH brush = OnCtlColor(&dc, (HWND)lParam, message - WM_CTLCOLORMSGBOX);
        dc.Detach();
        return (LRESULT)brush;
    }
    case WM_HELP:
        return OnHelpInfo(reinterpret_cast<HELPINFO*>(lParam));
    case WM_CONTEXTMENU:
        OnContextMenu((HWND)wParam, CPoint(lParam));
        return 0;
    case WM_SETMESSAGESTRING:
        return OnSetMessageString(wParam, lParam);
    case WM_IDLEUPDATECMDUI:
        OnIdleUpdateCmdUI();
        return 0;
    case WM_GETOBJECT:
        return OnGetObject(wParam, lParam);
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        return Default();
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(wParam, lParam, &result))
            return result;
        return Default();
    }
    default:
        return Default();
    }
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    HWND control = (HWND)lParam;

    if (control) {
        // A control notification: only button clicks are commands.
        if (code != BN_CLICKED)
            return FALSE;
    } else if (id != 0) {
        // Menus and accelerators: a command whose item is disabled is not run.
        struct TestCmdUI : CCmdUI {
            BOOL enabled = TRUE;
            void Enable(BOOL on) override { enabled = on; m_bEnableChanged = TRUE; }
            void SetCheck(int) override {}
            void SetText(const char*) override {}
        } test;
        test.m_nID = id;
        OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &test, nullptr);
        if (!test.enabled)
            return TRUE;
    }
    return OnCmdMsg(id, CN_COMMAND, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    // The control's own object sees its notification first.
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    CWnd* child = FromHandlePermanent(header->hwndFrom);
    return child && child != this && child->OnChildNotify(header, result);
}

BOOL CWnd::OnChildNotify(NMHDR*, LRESULT*)
{
    return FALSE;
}

int CWnd::OnCreate(LPCREATESTRUCTW) { return (int)Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return (BOOL)Default(); }
void CWnd::OnSetFocus(HWND) { Default(); }
void CWnd::OnKillFocus(HWND) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return (BOOL)Default(); }
void CWnd::OnHScroll(UINT, UINT, HWND) { Default(); }
void CWnd::OnVScroll(UINT, UINT, HWND) { Default(); }
void CWnd::OnInitMenuPopup(HMENU, UINT, BOOL) { Default(); }
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) { return (BOOL)Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, HWND, UINT) { return (HBRUSH)Default(); }
BOOL CWnd::OnHelpInfo(HELPINFO*) { return (BOOL)Default(); }
void CWnd::OnContextMenu(HWND, CPoint) { Default(); }
LRESULT CWnd::OnSetMessageString(WPARAM, LPARAM) { return Default(); }
void CWnd::OnIdleUpdateCmdUI() {}
LRESULT CWnd::OnGetObject(WPARAM, LPARAM) { return Default(); }

void CWnd::WinHelp(DWORD_PTR data, UINT command)
{
    CWnd* main = AfxGetMainWnd();
    if (main && main != this)
        main->WinHelp(data, command);
}

CWnd* CWnd::GetParent() const
{
    return FromHandlePermanent(::GetParent(m_hWnd));
}

CWnd* CWnd::GetParentFrame() const
{
    for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h)) {
        CWnd* wnd = FromHandlePermanent(h);
        if (wnd && wnd->IsFrameWnd())
            return wnd;
    }
    return nullptr;
}

CWnd* CWnd::GetDlgItem(UINT id) const
{
    return FromHandlePermanent(::GetDlgItem(m_hWnd, (int)id));
}

static void SendToDescendants(HWND parent, UINT msg, WPARAM wp, LPARAM lp, BOOL deep)
{
    for (HWND child = ::GetTopWindow(parent); child; child = ::GetNextWindow(child, GW_HWNDNEXT)) {
        if (CWnd::FromHandlePermanent(child))
            ::SendMessageW(child, msg, wp, lp);
        if (deep)
            SendToDescendants(child, msg, wp, lp, deep);
    }
}

void CWnd::SendMessageToDescendants(UINT msg, WPARAM wp, LPARAM lp, BOOL deep)
{
    SendToDescendants(m_hWnd, msg, wp, lp, deep);
}
