#include "frame/mainframe.h"

#include <dbt.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

#include "afxdevice.h"
#include "afxdpi.h"
#include "afxhtmlhelp.h"
#include "catalog/folderentry.h"
#include "core/navigator.h"
#include "core/page.h"
#include "frame/favoritesmenu.h"
#include "frame/fullscreen.h"
#include "frame/placement.h"
#include "preview.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "shell/settings.h"
#include "view/vemolyview.h"

namespace {

const UINT kIndicators[] = {ID_SEPARATOR, ID_INDICATOR_PROGRESS, ID_INDICATOR_ZOOM, ID_INDICATOR_CAPS,
                            ID_INDICATOR_NUM, ID_INDICATOR_SCRL};

constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressInterval = 250;

// The toolbar captions are set by the first frame of the process only.
bool g_toolBarCaptionsSet = false;

// The wait cursor for the lifetime of the object.
class WaitCursor {
public:
    WaitCursor() : m_old(::SetCursor(::LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { ::SetCursor(m_old); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_old;
};

BOOL CALLBACK CancelModeOf(HWND wnd, LPARAM)
{
    ::SendMessageA(wnd, WM_CANCELMODE, 0, 0);
    return TRUE;
}

// WM_CANCELMODE to wnd and every window below it.
void CancelModes(HWND wnd)
{
    ::SendMessageA(wnd, WM_CANCELMODE, 0, 0);
    ::EnumChildWindows(wnd, &CancelModeOf, 0);
}

// The menu-bar popup holding command id, found by its contents: menus
// come and go before it.
HMENU PopupHolding(HMENU bar, UINT id)
{
    for (int i = 0, count = ::GetMenuItemCount(bar); i < count; ++i) {
        HMENU popup = ::GetSubMenu(bar, i);
        if (popup && ::GetMenuState(popup, id, MF_BYCOMMAND) != (UINT)-1)
            return popup;
    }
    return nullptr;
}

// The show command of the first showing: those that would start the
// program hidden, minimised or in the background start it normally.
int FirstShowCommand(int stored)
{
    switch (stored) {
    case SW_HIDE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWNOACTIVATE:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_SHOWNA:
        return SW_SHOWDEFAULT;
    default:
        return stored;
    }
}

} // namespace

BEGIN_COMMAND_MAP(CMainFrame, CFrameWnd)
    ON_COMMAND(ID_FILE_OPEN, OnFileOpen)
    ON_COMMAND(ID_MANAGE_FAVORITES, OnManageFavorites)
    ON_COMMAND_RANGE(ID_FAVORITE_FIRST, ID_FAVORITE_LAST, OnFavorite)
    ON_COMMAND(ID_HELP_FINDER, OnHelpFinder)
    ON_COMMAND(ID_DEFAULT_HELP, OnHelpFinder)
    ON_COMMAND(ID_HELP, OnHelp)
    ON_COMMAND(ID_CONTEXT_HELP, OnContextHelp)
    ON_COMMAND(ID_EMAIL_SUPPORT, OnEmailSupport)
    ON_COMMAND(ID_VIEW_TOOLBAR, OnViewToolBar)
    ON_UPDATE_COMMAND_UI(ID_VIEW_TOOLBAR, OnUpdateViewToolBar)
    ON_COMMAND(ID_VIEW_STATUS_BAR, OnViewStatusBar)
    ON_UPDATE_COMMAND_UI(ID_VIEW_STATUS_BAR, OnUpdateViewStatusBar)
    ON_UPDATE_COMMAND_UI(ID_INDICATOR_PROGRESS, OnUpdateProgress)
    ON_COMMAND(ID_VIEW_FULL_SCREEN, OnViewFullScreen)
    ON_UPDATE_COMMAND_UI(ID_VIEW_FULL_SCREEN, OnUpdateViewFullScreen)
    ON_COMMAND(ID_VIEW_DETAILS_PANE, OnViewDetailsPane)
    ON_UPDATE_COMMAND_UI(ID_VIEW_DETAILS_PANE, OnUpdateViewDetailsPane)
    ON_COMMAND_RANGE(ID_SORT_BY_NAME, ID_SORT_DESCENDING, OnSortBy)
    ON_UPDATE_COMMAND_UI_RANGE(ID_SORT_BY_NAME, ID_SORT_DESCENDING, OnUpdateSortBy)
END_COMMAND_MAP()

CMainFrame::CMainFrame() = default;

namespace {

// Commands after which the current page, or what it shows, is another.
bool ChangesThePage(UINT id)
{
    switch (id) {
    case ID_GO_BACK:
    case ID_GO_FORWARD:
    case ID_GO_HOME:
    case ID_FILE_OPEN:
    case ID_OPEN:
    case ID_PLAY:
    case ID_PLAY_SLIDESHOW:
    case ID_ROTATE_90:
    case ID_ROTATE_180:
    case ID_ROTATE_270:
        return true;
    default:
        return id >= ID_FAVORITE_FIRST && id <= ID_FAVORITE_LAST;
    }
}

}  // namespace

BOOL CMainFrame::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (nCode == CN_COMMAND && !pHandlerInfo && ChangesThePage(nID)) {
        if (CPrintPreviewWnd* preview = CPrintPreviewWnd::FromFrame(this))
            preview->Close();
    }
    // The file described may change under the pane.
    if (nCode == CN_COMMAND && !pHandlerInfo
        && (nID == ID_ROTATE_90 || nID == ID_ROTATE_180 || nID == ID_ROTATE_270 || nID == ID_VIEW_REFRESH))
        m_detailsPane.MarkStale();
    return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

std::string CMainFrame::GetMessageString(UINT id) const
{
    if (id == ID_ROTATE_90 || id == ID_ROTATE_180 || id == ID_ROTATE_270) {
        // Asked as the toolbar asks, without running the command.
        struct Probe : CCmdUI {
            BOOL enabled = TRUE;
            void Enable(BOOL on) override
            {
                enabled = on;
                m_bEnableChanged = TRUE;
            }
        };
        // A page without the command (a folder, Home) keeps the usual prompt;
        // a picture page that has it but refuses it shows a picture of
        // another format.
        CMainFrame* self = const_cast<CMainFrame*>(this);
        AFX_CMDHANDLERINFO handler;
        Probe ui;
        ui.m_nID = id;
        ui.DoUpdate(self, TRUE);
        if (!ui.enabled && self->OnCmdMsg(id, CN_COMMAND, nullptr, &handler))
            return CFrameWnd::GetMessageString(IDS_ROTATE_JPEG_ONLY);
    }
    if (id == AFX_IDS_IDLEMESSAGE) {
        CPage* page = g_navigator.GetCurrentPage();
        if (std::string text = page ? page->GetStatusText() : std::string(); !text.empty())
            return text;
    }
    return CFrameWnd::GetMessageString(id);
}

// The members go in reverse order: the Favorites menu (and its watcher)
// first, then the slideshow bar, the rebar, the toolbar and the status bar.
CMainFrame::~CMainFrame() = default;

CMainFrame* CMainFrame::Get()
{
    return dynamic_cast<CMainFrame*>(AfxGetMainWnd());
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (CWinApp* app = AfxGetApp())
        app->m_nCmdShow = FirstShowCommand(g_settings.CmdShow);

    const RECT stored{g_settings.MainWndLeft, g_settings.MainWndTop, g_settings.MainWndRight,
                      g_settings.MainWndBottom};
    m_placement = PlaceMainWindow(stored, CScreenLayout());
    if (m_placement.useStored) {
        cs.x = stored.left;
        cs.y = stored.top;
        cs.cx = stored.right - stored.left;
        cs.cy = stored.bottom - stored.top;
    }
    return CFrameWnd::PreCreateWindow(cs);
}

int CMainFrame::OnCreate(LPCREATESTRUCTW cs)
{
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;
    // Folders watched from now on are registered for removal queries to this window.
    AfxSetDeviceWindow(m_hWnd);
    if (m_placement.moved) {
        RECT window{};
        ::GetWindowRect(m_hWnd, &window);
        const RECT moved = MoveDefaultPlacement(window, m_placement);
        ::SetWindowPos(m_hWnd, nullptr, moved.left, moved.top, moved.right - moved.left,
                       moved.bottom - moved.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP,
                               CRect(0, 0, 0, 0), AFX_IDW_TOOLBAR)
        || !m_wndToolBar.LoadToolBar(IDR_MAINFRAME))
        return -1;
    m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() & ~CBRS_HIDE_INPLACE);

    if (!m_wndSlideshowBar.Create(this, IDD_SLIDESHOW_BAR, CBRS_ALIGN_TOP, AFX_IDW_DIALOGBAR))
        return -1;

    m_wndToolBar.SetScaledBitmaps({IDB_TOOLBAR_20, IDB_TOOLBAR_24, IDB_TOOLBAR_32});
    SetToolBarCaptions();
    const int dpi = AfxGetDpiForWindow(m_hWnd);
    ScaleToolBar(dpi);

    CFolderEntry favorites = MakeEntry(g_settings.FavoritesFolder, nullptr, nullptr);
    favorites.Classify();
    auto menu = std::make_unique<CFavoritesMenu>(favorites, ID_FAVORITE_FIRST, ID_FAVORITE_LAST);
    if (HMENU bar = ::GetMenu(m_hWnd); bar && menu->Attach(PopupHolding(bar, ID_ADD_FAVORITE)))
        menu->BuildMenu();
    m_favoritesMenu = std::move(menu);

    if (!m_wndReBar.Create(this, RBS_BANDBORDERS,
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | CBRS_TOP,
                           AFX_IDW_REBAR)
        || !m_wndReBar.AddBar(&m_wndToolBar, nullptr, RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP)
        || !m_wndReBar.AddBar(&m_wndSlideshowBar, "Slideshow", RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP))
        return -1;
    m_wndReBar.SetBarStyle(m_wndReBar.GetBarStyle() & ~CBRS_HIDE_INPLACE);
    m_wndReBar.MaximizeBand(0);

    if (!m_wndStatusBar.Create(this))
        return -1;
    m_wndStatusBar.SetDpi(dpi);
    if (!m_wndStatusBar.SetIndicators(kIndicators, (int)(sizeof kIndicators / sizeof kIndicators[0])))
        return -1;

    m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY);
    if (!m_detailsPane.Create(this, IDC_DETAILS_PANE, dpi))
        return -1;
    SetTimer(kProgressTimer, kProgressInterval);
    g_navigator.SetPageChangeHook([this](CPage* next) { PageChanging(next); });
    return 0;
}

void CMainFrame::SetToolBarCaptions()
{
    m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() & ~CBRS_TOOLTIPS);
    if (!g_toolBarCaptionsSet) {
        for (int i = 0; i < m_wndToolBar.GetCount(); ++i) {
            const UINT id = m_wndToolBar.GetItemID(i);
            if (id == ID_SEPARATOR)
                continue;
            // The caption is the second line of the command's string.
            const std::string text = AfxLoadString(id);
            const size_t start = text.find('\n');
            const std::string caption =
                start == std::string::npos ? std::string()
                                           : text.substr(start + 1, text.find('\n', start + 1) - start - 1);
            m_wndToolBar.SetButtonText(i, caption.c_str());
        }
        g_toolBarCaptionsSet = true;
    }
}

void CMainFrame::ScaleToolBar(int dpi)
{
    m_wndToolBar.SetDpi(dpi);
    // Designed as 55 by 36 with 16-pixel images, where "Add Favorite" is
    // shortened; scaled up, the buttons are wide enough for every label.
    const int height = AfxScale(36, dpi);
    int width = AfxScale(55, dpi);
    if (dpi > kDesignDpi)
        width = std::max(width, m_wndToolBar.GetMaxTextWidth() + AfxScale(8, dpi));
    m_wndToolBar.SetHeight(height);
    m_wndToolBar.SetSizes(CSize(width, height), CSize(AfxScale(16, dpi), AfxScale(16, dpi)));
    m_wndToolBar.SendMessage(TB_AUTOSIZE);
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DPICHANGED) {
        OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    if (message == WM_DESTROY) {
        AfxSetDeviceWindow(nullptr);
        g_navigator.SetPageChangeHook(nullptr);
    }
    // The system's colours and contrast setting reach the pages at once.
    if (message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE) {
        if (CVemolyView* view = CVemolyView::GetActive())
            view->ColoursChanged(message == WM_SYSCOLORCHANGE);
        if (message == WM_SYSCOLORCHANGE && m_detailsPane.m_hWnd)
            m_detailsPane.SendMessage(message, wParam, lParam);
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

void CMainFrame::OnDpiChanged(int dpi, const RECT* suggested)
{
    ScaleToolBar(dpi);
    m_wndStatusBar.SetDpi(dpi);
    m_wndSlideshowBar.SetDpi(dpi);
    // Until now the rebar had the system's font, made at the window's first scale.
    m_wndReBar.SetDpi(dpi);
    m_wndReBar.UpdateBandSize(&m_wndToolBar);
    m_wndReBar.UpdateBandSize(&m_wndSlideshowBar);
    m_detailsPane.SetDpi(dpi);
    if (suggested)
        ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    RecalcLayout();
    if (CPrintPreviewWnd* preview = CPrintPreviewWnd::FromFrame(this))
        preview->SetDpi(dpi);
    if (auto* view = dynamic_cast<CVemolyView*>(GetActiveView()))
        view->ScaleChanged(dpi);
}

void CMainFrame::OnClose()
{
    // The placement kept is the window's own, not the monitor's.
    LeaveFullScreen();
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (::GetWindowPlacement(m_hWnd, &placement)) {
        g_settings.CmdShow = (int)placement.showCmd;
        g_settings.MainWndLeft = placement.rcNormalPosition.left;
        g_settings.MainWndTop = placement.rcNormalPosition.top;
        g_settings.MainWndRight = placement.rcNormalPosition.right;
        g_settings.MainWndBottom = placement.rcNormalPosition.bottom;
    }
    CFrameWnd::OnClose();
}

void CMainFrame::OnInitMenuPopup(HMENU popup, UINT index, BOOL sysMenu)
{
    CFrameWnd::OnInitMenuPopup(popup, index, sysMenu);
    if (!sysMenu && m_favoritesMenu && popup == m_favoritesMenu->GetSafeHmenu())
        m_favoritesMenu->RefreshIfChanged();
}

BOOL CMainFrame::OnDeviceChange(UINT event, DWORD_PTR data)
{
    // A volume's broadcast, or a query for one of the watched folders'
    // registered directories: both name the drive.
    const DWORD drives = AfxDeviceDrives(reinterpret_cast<const DEV_BROADCAST_HDR*>(data));
    switch (event) {
    case DBT_DEVICEQUERYREMOVE:
    case DBT_DEVICEREMOVEPENDING:
        // Nothing of ours may keep the drive: the removal goes ahead. The
        // pending removal is one nobody was asked about.
        if (drives)
            g_navigator.ReleaseVolumes(drives);
        return TRUE;
    case DBT_DEVICEQUERYREMOVEFAILED:
    case DBT_DEVICEREMOVECOMPLETE:
    case DBT_DEVICEARRIVAL:
        g_navigator.VolumesChanged();
        return TRUE;
    default:
        // Drives and media that came or went show correctly at the pages' next refresh.
        g_navigator.MarkAllStale();
        return TRUE;
    }
}

void CMainFrame::OnTimer(UINT_PTR id)
{
    if (id == kPointerTimer) {
        PointerRested();
        return;
    }
    if (id != kProgressTimer) {
        CFrameWnd::OnTimer(id);
        return;
    }
    if (m_wndStatusBar.m_hWnd)
        m_wndStatusBar.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    // A folder's listing fills in its focus without input.
    UpdateDetailsPane();
}

void CMainFrame::OnUpdateProgress(CCmdUI* ui)
{
    int done = 0;
    int total = 0;
    const CPage* page = g_navigator.GetCurrentPage();
    if (!page || !page->GetProgress(&done, &total)) {
        ui->Enable(FALSE);  // the pane is empty
        return;
    }
    const std::string format = AfxLoadString(IDS_THUMBNAIL_PROGRESS);
    char text[128];
    std::snprintf(text, sizeof text, format.c_str(), done, total);
    ui->SetText(text);
    ui->Enable(TRUE);
}

void CMainFrame::WinHelp(DWORD_PTR, UINT)
{
    WaitCursor wait;
    // This framework has no context-help mode, so there is none to leave.
    HWND top = ::GetAncestor(m_hWnd, GA_ROOT);
    CancelModes(m_hWnd);
    if (top && top != m_hWnd)
        CancelModes(top);
    if (HWND capture = ::GetCapture())
        ::SendMessageA(capture, WM_CANCELMODE, 0, 0);

    CWinApp* app = AfxGetApp();
    const std::string file = app ? app->m_pszHelpFilePath : std::string();
    if (!AfxHtmlHelp(top ? top : m_hWnd, file.c_str(), HH_DISPLAY_TOC, 0))
        AfxMessageBox(AFX_IDP_FAILED_TO_LAUNCH_HELP);
}

void CMainFrame::OnViewToolBar()
{
    const int band = m_wndReBar.IdToIndex(AFX_IDW_TOOLBAR);
    if (band < 0)
        return;
    m_wndReBar.ShowBand((UINT)band, !(m_wndToolBar.GetStyle() & WS_VISIBLE));
    RecalcLayout();
}

void CMainFrame::OnUpdateViewToolBar(CCmdUI* ui)
{
    ui->SetCheck((m_wndToolBar.GetStyle() & WS_VISIBLE) != 0);
}

void CMainFrame::OnViewStatusBar()
{
    m_wndStatusBar.ShowWindow((m_wndStatusBar.GetStyle() & WS_VISIBLE) ? SW_HIDE : SW_SHOWNA);
    RecalcLayout();
}

void CMainFrame::OnUpdateViewStatusBar(CCmdUI* ui)
{
    ui->SetCheck((m_wndStatusBar.GetStyle() & WS_VISIBLE) != 0);
}
