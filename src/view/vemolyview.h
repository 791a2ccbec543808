// The one view of the main window. It shows the navigator's current page:
// painting, clicks, hover, context menus, the tick timer and commands all go
// to that page, in page coordinates (pixels of the content, scroll included).
#pragma once

#include "afx.h"
#include "afxaccessible.h"
#include "comptr.h"
#include "core/pagehost.h"
#include "view/viewdrop.h"

class CPage;
class CVemolyDoc;

class CVemolyView : public CScrollView, public CPageHost {
public:
    static constexpr UINT_PTR kTickTimer = 667;

    CVemolyView() = default;

    // The active view of the main window, or null.
    static CVemolyView* GetActive();

    // The page host.
    void SetTickInterval(int ms) override;
    void RestartTick() override;
    void SetPageTitle(const std::string& title) override;
    CRect GetPageClientRect() override;
    POINT ClientToPage(POINT point) override;
    CPoint GetScrollPosition() const override { return CScrollView::GetScrollPosition(); }
    void SetPageExtent(SIZE extent, POINT position) override;
    // Keeps the scroll position where the content allows.
    void UpdatePageExtent() override;
    CWnd* GetPageWnd() override { return this; }
    void PreparePageDC(CDC* dc) override { OnPrepareDC(dc); }
    void ItemFocused(int index) override;
    void ItemsSelected(int index, bool added) override;
    // Another page is shown: screen readers read the list of its items anew.
    void PageChanged();

    // The window moved to a monitor of another scale: the pages' fonts,
    // icons and thumbnails are made again at dpi and the page laid out anew.
    void ScaleChanged(int dpi);
    // The contrast setting may have changed, or (coloursChanged) the
    // system's colours did.
    void ColoursChanged(bool coloursChanged);

    RECT PageToClient(RECT rect);
    int GetTickInterval() const { return m_tickInterval; }
    bool IsMenuOpen() const { return m_menuOpen; }

    // The keyboard: see viewkeys.cpp.
    bool KeyboardInUse() const override { return m_keyboardInUse; }
    bool ShowsFocus() const override;
    void ScrollIntoView(const RECT& pageRect) override;
    // Tab or F6 (shift: backwards) while the view has the focus: true when
    // the page moved the focus within itself, false when it is to leave.
    bool TabWithin(bool shift);

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    BOOL DestroyWindow() override;
    void OnPrepareDC(CDC* dc, CPrintInfo* info = nullptr) override;
    void OnInitialUpdate() override;
    void OnDraw(CDC* dc) override;

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    BOOL OnPreparePrinting(CPrintInfo* info) override;
    void OnPrint(CDC* dc, CPrintInfo* info) override;

    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnDestroy() override;
    void OnSize(UINT type, int cx, int cy) override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
    void OnTimer(UINT_PTR id) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnScrollPositionChanged() override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    void OnChar(UINT character, UINT repeat, UINT flags) override;
    void OnSetFocus(HWND oldWnd) override;
    void OnKillFocus(HWND newWnd) override;
    void OnContextMenu(HWND wnd, CPoint point) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnGetObject(WPARAM flags, LPARAM objId) override;
    // The window goes: screen readers holding its object get errors from now on.
    void DisconnectAccessible();

    void OnGoBack();
    void OnUpdateGoBack(CCmdUI* ui);
    void OnGoForward();
    void OnUpdateGoForward(CCmdUI* ui);
    void OnGoHome();
    void OnPreferences();
    // The page's zoom, empty where it has none; screen readers hear it
    // with the page's name.
    void OnUpdateZoomPane(CCmdUI* ui);
    DECLARE_COMMAND_MAP()

private:
    bool MainFrameInFront() const;
    // The keyboard was used: commands follow the focus, which is drawn.
    void UseKeyboard();
    // The page's menu at client point (screen coordinates from it), its
    // command sent as the menu's would be.
    void TrackContextMenu(CPage* page, POINT point);
    // Shift+F10 or the menu key: the focused item's menu, at that item.
    void ContextMenuFromKeyboard();

    CComPtr<CAccessibleList> m_accessible;  // made at the first request
    CComPtr<CViewDropTarget> m_dropTarget;  // registered while the window exists
    bool m_menuOpen = false;
    int m_tickInterval = 0;   // 0: the timer has not been started
    int m_releaseGuard = 4;   // 0 while a left-button press in the view awaits its release
    bool m_keyboardInUse = false;
    // The focus drawn: kept here from WM_UPDATEUISTATE and the keys, as
    // not every system keeps the window's state (UISF_HIDEFOCUS) itself.
    bool m_focusCues = false;
    POINT m_lastPointer{-1, -1};  // client coordinates, to tell a move from a tick's hover
    // The page the last left press went to: a double click counts only on
    // the page its first click was on, not on the page that click opened.
    CPage* m_pressedPage = nullptr;
    bool m_dragging = false;
    POINT m_dragFrom{0, 0};  // client coordinates
    std::string m_zoomText;  // as screen readers last heard it
};
