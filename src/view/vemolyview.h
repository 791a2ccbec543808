// The one view of the main window. It shows the navigator's current page:
// painting, clicks, hover, context menus, the tick timer and commands all go
// to that page, in page coordinates (pixels of the content, scroll included).
#pragma once

#include <atomic>

#include "afx.h"

class CVemolyDoc;

class CVemolyView : public CScrollView {
public:
    static constexpr UINT_PTR kTickTimer = 667;

    CVemolyView() = default;

    // The active view of the main window, or null.
    static CVemolyView* GetActive();
    // Repaints pageRect (or everything) at once. From another thread (a
    // thumbnail worker) it only invalidates: the worker never waits for the
    // window, and never touches the view object, which may be going away.
    static void RedrawPage(const RECT* pageRect);
    // Invalidates pageRect, erasing it; safe from any thread.
    static void InvalidatePageRect(const RECT& pageRect);
    static bool GetViewClientRect(RECT* rect);

    POINT ClientToPage(POINT point);
    RECT PageToClient(RECT rect);
    // Lays the current page out again and lets the scroll bars follow its
    // extent at once, keeping the scroll position where the content allows.
    void UpdatePageExtent();
    // Restarts the tick timer when ms differs from its current interval.
    void SetTickInterval(int ms);
    int GetTickInterval() const { return m_tickInterval; }
    bool IsMenuOpen() const { return m_menuOpen; }

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
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnTimer(UINT_PTR id) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnScrollPositionChanged() override;

    void OnGoBack();
    void OnUpdateGoBack(CCmdUI* ui);
    void OnGoForward();
    void OnUpdateGoForward(CCmdUI* ui);
    void OnGoHome();
    void OnFavorite(UINT id);
    void OnPreferences();
    DECLARE_COMMAND_MAP()

private:
    bool MainFrameInFront() const;

    bool m_menuOpen = false;
    int m_tickInterval = 0;   // 0: the timer has not been started
    int m_releaseGuard = 4;   // 0 while a left-button press in the view awaits its release

    // What RedrawPage and InvalidatePageRect need from worker threads: the
    // view's window and its scroll position.
    static std::atomic<HWND> s_redrawTarget;
    static std::atomic<LONG> s_scrollX;
    static std::atomic<LONG> s_scrollY;
};
