#include "view/vemolyview.h"

#include <utility>

#include "core/navigator.h"
#include "core/page.h"
#include "dialogs/preferencesdlg.h"
#include "folderpage/folderpage.h"
#include "pages/picturepage.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "shell/settings.h"

BEGIN_COMMAND_MAP(CVemolyView, CScrollView)
    ON_COMMAND(ID_GO_BACK, OnGoBack)
    ON_UPDATE_COMMAND_UI(ID_GO_BACK, OnUpdateGoBack)
    ON_COMMAND(ID_GO_FORWARD, OnGoForward)
    ON_UPDATE_COMMAND_UI(ID_GO_FORWARD, OnUpdateGoForward)
    ON_COMMAND(ID_GO_HOME, OnGoHome)
    ON_COMMAND(ID_PREFERENCES, OnPreferences)
    ON_COMMAND(ID_FILE_PRINT, OnFilePrint)
    ON_COMMAND(ID_FILE_PRINT_DIRECT, OnFilePrint)
    ON_COMMAND(ID_FILE_PRINT_PREVIEW, OnFilePrintPreview)
    ON_UPDATE_COMMAND_UI(ID_INDICATOR_ZOOM, OnUpdateZoomPane)
END_COMMAND_MAP()

// ---------------------------------------------------------------- services for pages

CVemolyView* CVemolyView::GetActive()
{
    CWnd* main = AfxGetMainWnd();
    if (!main || !main->IsFrameWnd())
        return nullptr;
    return dynamic_cast<CVemolyView*>(static_cast<CFrameWnd*>(main)->GetActiveView());
}

void CVemolyView::OnScrollPositionChanged()
{
    SetPageScrollPosition(GetScrollPosition());
}

void CVemolyView::SetPageTitle(const std::string& title)
{
    if (CDocument* document = GetDocument())
        document->SetTitle(title);
}

CRect CVemolyView::GetPageClientRect()
{
    CRect client;
    GetClientRect(&client);
    return client;
}

void CVemolyView::SetPageExtent(SIZE extent, POINT position)
{
    int mapMode;
    SIZE total, pageStep, line;
    GetDeviceScrollSizes(mapMode, total, pageStep, line);
    SetScrollSizes(MM_TEXT, extent, pageStep, line);
    ScrollToPosition(position);
    Invalidate(TRUE);
}

POINT CVemolyView::ClientToPage(POINT point)
{
    CClientDC dc(this);
    OnPrepareDC(&dc, nullptr);
    dc.DPtoLP(&point);
    return point;
}

RECT CVemolyView::PageToClient(RECT rect)
{
    CClientDC dc(this);
    OnPrepareDC(&dc, nullptr);
    dc.LPtoDP(&rect);
    return rect;
}

void CVemolyView::ScaleChanged(int dpi)
{
    if (dpi == g_resources.Dpi())
        return;
    g_resources.Create(dpi);
    g_navigator.ScaleChanged();
    UpdatePageExtent();
    Invalidate(TRUE);
}

void CVemolyView::ColoursChanged(bool coloursChanged)
{
    const bool was = g_resources.HighContrast();
    g_resources.UpdateColours();
    // In high contrast the pages are drawn in the system's colours.
    if (was != g_resources.HighContrast() || (coloursChanged && was))
        Invalidate(TRUE);
}

void CVemolyView::UpdatePageExtent()
{
    CPage* page = g_navigator.GetCurrentPage();
    if (!page)
        return;
    CRect client;
    GetClientRect(&client);
    const CSize extent = page->Layout(&client);
    int mapMode;
    SIZE total, pageStep, line;
    GetDeviceScrollSizes(mapMode, total, pageStep, line);
    SetScrollSizes(MM_TEXT, extent, pageStep, line);
}

void CVemolyView::SetTickInterval(int ms)
{
    if (ms == m_tickInterval)
        return;
    KillTimer(kTickTimer);
    m_tickInterval = ms;
    SetTimer(kTickTimer, (UINT)ms);
}

void CVemolyView::RestartTick()
{
    if (m_tickInterval > 0)
        SetTimer(kTickTimer, (UINT)m_tickInterval);  // replaces the running one
}

// ---------------------------------------------------------------- overrides

BOOL CVemolyView::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CPage* page = g_navigator.GetCurrentPage();
        page && page->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return CScrollView::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CVemolyView::DestroyWindow()
{
    KillTimer(kTickTimer);
    return CScrollView::DestroyWindow();
}

BOOL CVemolyView::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!CScrollView::PreCreateWindow(cs))
        return FALSE;
    cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                                       ::LoadCursorA(nullptr, IDC_ARROW),
                                       (HBRUSH)::GetStockObject(BLACK_BRUSH));
    return TRUE;
}

void CVemolyView::OnPrepareDC(CDC* dc, CPrintInfo* info)
{
    CScrollView::OnPrepareDC(dc, info);
    if (dc->IsPrinting()) {
        // The on-screen width fills the printable width, aspect kept.
        CRect client;
        GetClientRect(&client);
        const int width = client.Width() > 0 ? client.Width() : 1;
        const int printable = dc->GetDeviceCaps(HORZRES);
        dc->SetMapMode(MM_ISOTROPIC);
        dc->SetWindowExt(width, width);
        dc->SetViewportExt(printable, printable);
    }
}

void CVemolyView::OnInitialUpdate()
{
    CScrollView::OnInitialUpdate();
    // The resources were made before there was a window; it may have opened
    // on a monitor of another scale.
    ScaleChanged(AfxGetDpiForWindow(m_hWnd));
    // The focus is drawn once the keyboard is used, as in the system's own windows.
    if (CWnd* top = AfxGetMainWnd())
        ::SendMessageW(top->m_hWnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    if (CPage* page = g_navigator.GetCurrentPage())
        page->Activate(true);
    SetTickInterval(g_settings.Delay);
}

void CVemolyView::OnDraw(CDC* dc)
{
    CPage* page = g_navigator.GetCurrentPage();
    if (!page)
        return;
    CRect area;
    if (auto* paint = dynamic_cast<CPaintDC*>(dc))
        area = paint->m_ps.rcPaint;
    else if (dc->IsPrinting())
        area.SetRect(0, 0, dc->GetDeviceCaps(HORZRES), dc->GetDeviceCaps(VERTRES));
    else
        GetClientRect(&area);
    dc->DPtoLP(&area);
    page->Draw(dc, &area);
}

BOOL CVemolyView::OnPreparePrinting(CPrintInfo* info)
{
    return DoPreparePrinting(info);
}

void CVemolyView::OnPrint(CDC* dc, CPrintInfo*)
{
    OnDraw(dc);
}

// ---------------------------------------------------------------- messages

int CVemolyView::OnCreate(LPCREATESTRUCTW cs)
{
    if (CScrollView::OnCreate(cs) == -1)
        return -1;
    RegisterPageHost(this, m_hWnd);
    *&m_dropTarget = CViewDropTarget::Create(this);
    ::RegisterDragDrop(m_hWnd, m_dropTarget.Get());
    return 0;
}

void CVemolyView::OnDestroy()
{
    UnregisterPageHost(this);
    DisconnectAccessible();
    if (m_dropTarget) {
        ::RevokeDragDrop(m_hWnd);
        m_dropTarget->Disconnect();
        m_dropTarget.Release();
    }
    CScrollView::OnDestroy();
}

void CVemolyView::OnSize(UINT type, int cx, int cy)
{
    CScrollView::OnSize(type, cx, cy);
    CPage* page = g_navigator.GetCurrentPage();
    // Not while the frame is still being made: the page is laid out once the view is its own.
    if (page && GetActive() == this) {
        CRect client = GetPageClientRect();
        const CSize extent = page->Layout(&client);
        SetScrollSizes(MM_TEXT, extent, CSize(cx, cy), CSize(5, 5));
    }
}

BOOL CVemolyView::OnEraseBkgnd(CDC* dc)
{
    // The pages draw on the window's own colour: black, or the system's in high contrast.
    CRect client;
    GetClientRect(&client);
    dc->FillSolidRect(&client, BackColorFor(nullptr));
    return TRUE;
}

void CVemolyView::OnLButtonDown(UINT flags, CPoint point)
{
    m_releaseGuard = 0;
    m_keyboardInUse = false;
    CPage* page = g_navigator.GetCurrentPage();
    m_pressedPage = page;
    if (page) {
        const POINT at = ClientToPage(point);
        page->OnClick(at, false);
        if (page->StartsDrag(at)) {
            m_dragging = true;
            m_dragFrom = point;
            ::SetCapture(m_hWnd);
        }
    }
    CScrollView::OnLButtonDown(flags, point);
}

void CVemolyView::OnLButtonUp(UINT flags, CPoint point)
{
    // Only a release whose press happened in the view (not, say, the end of
    // a double-click that closed a dialog over it) reaches the page.
    if (m_releaseGuard == 0) {
        if (CPage* page = g_navigator.GetCurrentPage())
            page->OnClick(ClientToPage(point), true);
    }
    if (m_dragging) {
        m_dragging = false;
        ::ReleaseCapture();
    }
    CScrollView::OnLButtonUp(flags, point);
    m_releaseGuard = 4;
}

bool CVemolyView::MainFrameInFront() const
{
    CWnd* main = AfxGetMainWnd();
    return main && ::GetForegroundWindow() == main->m_hWnd;
}

void CVemolyView::OnMouseMove(UINT flags, CPoint point)
{
    // Windows repeats a move when windows change under a still pointer.
    if (point.x != m_lastPointer.x || point.y != m_lastPointer.y) {
        m_lastPointer = point;
        m_keyboardInUse = false;
    }
    if (m_dragging && (flags & MK_LBUTTON)) {
        const POINT from = std::exchange(m_dragFrom, point);
        if (CPage* page = g_navigator.GetCurrentPage())
            page->OnDrag(point.x - from.x, point.y - from.y);
    } else if (!m_menuOpen && MainFrameInFront()) {
        if (CPage* page = g_navigator.GetCurrentPage())
            page->OnHover(ClientToPage(point));
    }
    CScrollView::OnMouseMove(flags, point);
}

BOOL CVemolyView::OnMouseWheel(UINT flags, short delta, CPoint point)
{
    // The point comes in screen coordinates.
    ScreenToClient(&point);
    if (CPage* page = g_navigator.GetCurrentPage(); page && page->OnWheel(delta, ClientToPage(point)))
        return TRUE;
    return CScrollView::OnMouseWheel(flags, delta, point);
}

void CVemolyView::OnTimer(UINT_PTR id)
{
    CPage* page = g_navigator.GetCurrentPage();
    if (id == kTickTimer && !m_menuOpen && page && page->IsTicking() && MainFrameInFront()
        && (GetStyle() & WS_VISIBLE)) {
        const DWORD pos = ::GetMessagePos();
        POINT point{(short)LOWORD(pos), (short)HIWORD(pos)};
        ScreenToClient(&point);
        point = ClientToPage(point);
        page->OnHover(point);
        page->OnTick();
    }
    CScrollView::OnTimer(id);
}

void CVemolyView::OnRButtonDown(UINT, CPoint)
{
    // Deliberately nothing: the menu comes with the release.
}

void CVemolyView::OnRButtonUp(UINT flags, CPoint point)
{
    CPage* page = g_navigator.GetCurrentPage();
    m_keyboardInUse = false;
    if (!m_menuOpen && page)
        TrackContextMenu(page, point);
    CScrollView::OnRButtonUp(flags, point);
}

void CVemolyView::TrackContextMenu(CPage* page, POINT point)
{
    CMenu* menu = page->GetContextMenu(ClientToPage(point));
    if (!menu)
        return;
    HMENU popup = menu->GetSubMenu(0);
    ::SetMenuDefaultItem(popup, ID_OPEN, FALSE);
    POINT screen = point;
    ClientToScreen(&screen);
    CWnd* main = AfxGetMainWnd();
    m_menuOpen = true;
    const UINT command = (UINT)::TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                                screen.y, 0, main ? main->m_hWnd : m_hWnd, nullptr);
    m_menuOpen = false;
    // Also 0 when dismissed: it goes the usual way and nothing handles it.
    SendMessage(WM_COMMAND, command, 0);
    delete menu;
}

// ---------------------------------------------------------------- commands

void CVemolyView::OnGoBack()
{
    g_navigator.Back();
}

void CVemolyView::OnUpdateGoBack(CCmdUI* ui)
{
    ui->Enable(g_navigator.CanGoBack());
}

void CVemolyView::OnGoForward()
{
    g_navigator.Forward();
}

void CVemolyView::OnUpdateGoForward(CCmdUI* ui)
{
    ui->Enable(g_navigator.CanGoForward());
}

void CVemolyView::OnGoHome()
{
    g_navigator.Home();
}

void CVemolyView::OnUpdateZoomPane(CCmdUI* ui)
{
    CPage* page = g_navigator.GetCurrentPage();
    const std::string text = page ? page->GetZoomText() : std::string();
    ui->SetText(text.c_str());
    ui->Enable(!text.empty());
    if (text != m_zoomText) {
        m_zoomText = text;
        if (m_hWnd)
            ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    }
}

void CVemolyView::OnPreferences()
{
    CPreferencesDlg dialog;
    dialog.DoModal();
}
