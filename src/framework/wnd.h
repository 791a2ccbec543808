// CWnd: one C++ object attached to one window. The framework's window
// procedure finds the object of a window and calls its virtual handlers;
// what a class does not handle goes to the window's original procedure.
#pragma once

#include "cmdtarget.h"

class CDC;
class CMenu;

class CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    // Destroys a window that is still attached.
    ~CWnd() override;

    // The object attached to hWnd, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // ---- creation and destruction (overridable); names are UTF-8
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                  const RECT& rect, CWnd* parent, UINT_PTR idOrMenu, void* param = nullptr);
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                  int x, int y, int cx, int cy, CWnd* parent, UINT_PTR idOrMenu,
                  void* param = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    // After a CreateEx that failed: whether its window existed long enough for
    // the object to delete itself in PostNcDestroy, so the caller must not.
    static bool LastCreateDestroyedObject();
    virtual BOOL DestroyWindow();
    // Called after the last message; owners that live on the heap delete themselves here.
    virtual void PostNcDestroy() {}

    // Attaches this object to an existing window and routes its messages here.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // ---- message processing (overridable)
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A notification this control sent to its parent; TRUE when handled here.
    virtual BOOL OnChildNotify(NMHDR* header, LRESULT* result);
    // The original processing of the message being handled.
    LRESULT Default();

    // ---- message handlers; each default is Default()
    virtual int OnCreate(LPCREATESTRUCTW cs);
    virtual void OnDestroy();
    virtual void OnClose();
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(CDC* dc);
    virtual void OnSetFocus(HWND oldWnd);
    virtual void OnKillFocus(HWND newWnd);
    virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
    virtual void OnChar(UINT character, UINT repeat, UINT flags);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    virtual void OnMouseMove(UINT flags, CPoint point);
    virtual void OnRButtonDown(UINT flags, CPoint point);
    virtual void OnRButtonUp(UINT flags, CPoint point);
    virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    virtual void OnHScroll(UINT code, UINT pos, HWND scrollBar);
    virtual void OnVScroll(UINT code, UINT pos, HWND scrollBar);
    virtual void OnInitMenuPopup(HMENU popup, UINT index, BOOL sysMenu);
    virtual BOOL OnDeviceChange(UINT event, DWORD_PTR data);
    virtual HBRUSH OnCtlColor(CDC* dc, HWND control, UINT ctlColor);
    virtual BOOL OnHelpInfo(HELPINFO* info);
    virtual void OnContextMenu(HWND wnd, CPoint point);
    virtual LRESULT OnSetMessageString(WPARAM wParam, LPARAM lParam);
    virtual void OnIdleUpdateCmdUI();
    // WM_GETOBJECT: an accessibility client asks for the window's objId object.
    virtual LRESULT OnGetObject(WPARAM flags, LPARAM objId);

    // A help request; by default the application's main window answers it.
    virtual void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT);

    // ---- thin wrappers
    CWnd* GetParent() const;
    CWnd* GetParentFrame() const;
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ClientToScreen(POINT* p) const { ::ClientToScreen(m_hWnd, p); }
    void ScreenToClient(POINT* p) const { ::ScreenToClient(m_hWnd, p); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    void MoveWindow(const RECT& r, BOOL repaint = TRUE)
    {
        ::MoveWindow(m_hWnd, r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
    }
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return ::SendMessageW(m_hWnd, msg, wp, lp); }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return ::PostMessageW(m_hWnd, msg, wp, lp); }
    DWORD GetStyle() const { return (DWORD)::GetWindowLongPtrW(m_hWnd, GWL_STYLE); }
    void SetWindowText(const std::string& text) { AfxSetWindowText(m_hWnd, text); }
    std::string GetWindowText() const { return AfxGetWindowText(m_hWnd); }
    UINT GetDlgCtrlID() const { return (UINT)::GetDlgCtrlID(m_hWnd); }
    CWnd* GetDlgItem(UINT id) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    virtual BOOL IsFrameWnd() const { return FALSE; }

    // Sends message to every descendant window (deep) that has an object.
    void SendMessageToDescendants(UINT msg, WPARAM wp = 0, LPARAM lp = 0, BOOL deep = TRUE);

    static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    WNDPROC m_pfnSuper = nullptr;  // the window's original procedure, when subclassed

private:
    void Attach(HWND hWnd);
    void Detach();
};

// The message the current thread is handling (for Default()).
const MSG* AfxGetCurrentMessage();
