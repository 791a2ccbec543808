// The main window: the frame of the single-document template, hosting the
// view, with the toolbar and the slideshow bar as rebar bands, the status
// bar and the Favorites menu. It keeps its placement in the settings.
#pragma once

#include <memory>

#include "afx.h"
#include "bars.h"
#include "frame/detailspane.h"
#include "frame/placement.h"
#include "frame/slideshowbar.h"

class CFavoritesMenu;
class CPage;

class CMainFrame : public CFrameWnd {
public:
    CMainFrame();
    // The Favorites menu goes first, then the bars.
    ~CMainFrame() override;

    // The application's main window, when it is this kind of frame.
    static CMainFrame* Get();

    CSlideshowBar& GetSlideshowBar() { return m_wndSlideshowBar; }
    CFavoritesMenu* GetFavoritesMenu() const { return m_favoritesMenu.get(); }

    // F11: the picture or slideshow page alone on its monitor, until F11,
    // Esc or another page gives the window back as it was (fullscreen.cpp).
    bool IsFullScreen() const override { return m_fullScreen != nullptr; }
    void EnterFullScreen();
    void LeaveFullScreen();

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    void WinHelp(DWORD_PTR data, UINT command = HELP_CONTEXT) override;
    // A command that changes the page or the picture closes print preview
    // first, so that the sheet shown always belongs to the current page.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    // A Rotate command the current picture cannot take says why.
    std::string GetMessageString(UINT id) const override;

protected:
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnInitMenuPopup(HMENU popup, UINT index, BOOL sysMenu) override;
    void OnClose() override;
    BOOL OnDeviceChange(UINT event, DWORD_PTR data) override;
    // Idle updates follow input; the thumbnails' progress moves without it.
    void OnTimer(UINT_PTR id) override;

    void OnFileOpen();
    void OnManageFavorites();
    // A Favorites menu entry: its picture or folder becomes the current page.
    void OnFavorite(UINT id);
    void OnEmailSupport();
    void OnViewToolBar();
    void OnUpdateViewToolBar(CCmdUI* ui);
    void OnViewStatusBar();
    void OnUpdateViewStatusBar(CCmdUI* ui);
    void OnUpdateProgress(CCmdUI* ui);
    // View > Sort By (sortcommands.cpp): the order of every folder page.
    void OnSortBy(UINT id);
    void OnUpdateSortBy(CCmdUI* ui);
    void OnViewFullScreen();
    void OnUpdateViewFullScreen(CCmdUI* ui);
    // The details pane beside the pages that have it (detailslayout.cpp).
    void OnViewDetailsPane();
    void OnUpdateViewDetailsPane(CCmdUI* ui);
    void LayoutBesideView(RECT& client) override;
    void OnIdleUpdateCmdUI() override;
    DECLARE_COMMAND_MAP()

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Tab and F6 (focuscycle.cpp).
    BOOL PreTranslateMessage(MSG* msg) override;
    // Moves the keyboard focus to the next part of the window (backwards:
    // the one before): the page's parts, the toolbar, the slideshow bar.
    bool MoveKeyboardFocus(bool backwards);
    // The window moved to a display of another scale: the bars, then the view.
    void OnDpiChanged(int dpi, const RECT* suggested);

private:
    struct FullScreen;

    // The navigator is about to show next: full screen ends unless next takes it.
    void PageChanging(CPage* next);
    // Full screen's keys and pointer; true when msg was used up.
    bool FullScreenMessage(const MSG* msg);
    // The pointer hides once it has rested a while, and shows again when it moves.
    void PointerRested();
    void SetToolBarCaptions();
    // The toolbar's font, button and image sizes at dpi.
    void ScaleToolBar(int dpi);
    // Whether page has the details pane beside it; the layout follows.
    void ShowDetailsPaneFor(CPage* page);
    // The pane, when shown, describes what the current page points at.
    void UpdateDetailsPane();

    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
    CReBar m_wndReBar;
    CSlideshowBar m_wndSlideshowBar;
    CDetailsPane m_detailsPane;
    bool m_detailsWanted = false;  // chosen, and the current page has the pane
    std::unique_ptr<CFavoritesMenu> m_favoritesMenu;
    CStartPlacement m_placement;  // decided before the window exists, finished once it does
    std::unique_ptr<FullScreen> m_fullScreen;  // while in full screen: what it took from the window
};
