#include "frame.h"

#include <algorithm>

#include "doc.h"
#include "view.h"
#include "winapp.h"

namespace {

// A page's passing message (a text, not a prompt) stands this long before
// the page's own status line comes back; the timer's id is the framework's,
// apart from the frames' own small ones.
constexpr UINT_PTR kPassingMessageTimer = 0xE001;
constexpr UINT kPassingMessageTime = 5000;

}  // namespace

// ---------------------------------------------------------------- CControlBar

CSize CControlBar::CalcFixedLayout(BOOL, BOOL)
{
    CRect rect;
    GetWindowRect(&rect);
    return rect.Size();
}

void CControlBar::OnUpdateCmdUI(CWnd*, BOOL)
{
}

void CControlBar::OnIdleUpdateCmdUI()
{
    if (!IsWindowVisible())
        return;
    if (CWnd* frame = GetParentFrame())
        OnUpdateCmdUI(frame, TRUE);
}

void CControlBar::JoinFrameLayout(CWnd* parent)
{
    if (parent && parent->IsFrameWnd()) {
        m_pDockSite = static_cast<CFrameWnd*>(parent);
        m_pDockSite->AddControlBar(this);
    }
}

void CControlBar::LeaveFrameLayout()
{
    if (m_pDockSite) {
        m_pDockSite->RemoveControlBar(this);
        m_pDockSite = nullptr;
    }
}

void CControlBar::OnDestroy()
{
    // The frame outlives its bars' windows, so it can still forget this one.
    LeaveFrameLayout();
    CWnd::OnDestroy();
}

// ---------------------------------------------------------------- CFrameWnd

CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context)
{
    const std::string strings = AfxLoadString(resourceId);
    m_strTitle = strings.substr(0, strings.find('\n'));
    m_frameStyle = style & FWS_ADDTOTITLE;

    HINSTANCE instance = AfxGetResourceHandle();
    HICON icon = ::LoadIconA(instance, MAKEINTRESOURCEA(resourceId));
    const char* className = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(nullptr, IDC_ARROW),
                                                (HBRUSH)(COLOR_WINDOW + 1), icon);
    HMENU menu = ::LoadMenuW(instance, MAKEINTRESOURCEW(resourceId));
    m_hAccelTable = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(resourceId));

    m_pCreateContext = context;
    if (!CreateEx(0, className, m_strTitle.c_str(), style & ~FWS_ADDTOTITLE, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, (UINT_PTR)menu, nullptr)) {
        // A window that existed took its menu along, and maybe this object.
        if (!LastCreateDestroyedObject()) {
            m_pCreateContext = nullptr;
            if (menu)
                ::DestroyMenu(menu);
        }
        return FALSE;
    }
    m_pCreateContext = nullptr;
    return TRUE;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    cs.style |= WS_CLIPCHILDREN;
    return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCTW cs)
{
    if (Default() == -1)
        return -1;
    if (!OnCreateClient(cs, m_pCreateContext))
        return -1;
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCTW, CCreateContext* context)
{
    if (context && context->m_newView)
        return CreateView(context) != nullptr;
    return TRUE;
}

CView* CFrameWnd::CreateView(CCreateContext* context, UINT id)
{
    CView* view = context->m_newView();
    if (context->m_pCurrentDoc)
        context->m_pCurrentDoc->AddView(view);
    // The view deletes itself when its window goes, also when creating it
    // failed after the window existed.
    if (!view->Create(this, id)) {
        if (!LastCreateDestroyedObject())
            delete view;  // its destructor leaves the document
        return nullptr;
    }
    return view;
}

void CFrameWnd::SetActiveView(CView* view)
{
    m_pViewActive = view;
}

CDocument* CFrameWnd::GetActiveDocument() const
{
    return m_pViewActive ? m_pViewActive->GetDocument() : nullptr;
}

void CFrameWnd::InitialUpdateFrame(CDocument* doc, BOOL makeVisible)
{
    CView* view = m_pViewActive;
    if (!view) {
        HWND pane = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
        view = dynamic_cast<CView*>(FromHandlePermanent(pane));
        SetActiveView(view);
    }
    if (doc)
        doc->SendInitialUpdate();
    else if (view)
        view->OnInitialUpdate();
    OnUpdateFrameTitle(TRUE);
    RecalcLayout();

    if (makeVisible) {
        int cmdShow = -1;
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd == this) {
            cmdShow = app->m_nCmdShow;
            app->m_nCmdShow = -1;  // only the first showing uses it
        }
        ActivateFrame(cmdShow);
        if (view)
            ::SetFocus(view->m_hWnd);
    }
}

void CFrameWnd::ActivateFrame(int cmdShow)
{
    if (cmdShow == -1)
        cmdShow = IsWindowVisible() ? SW_SHOW : SW_SHOWNORMAL;
    ShowWindow(cmdShow);
    ::BringWindowToTop(m_hWnd);
}

void CFrameWnd::OnUpdateFrameTitle(BOOL addToTitle)
{
    std::string title = m_strTitle;
    if (addToTitle && (m_frameStyle & FWS_ADDTOTITLE)) {
        if (CDocument* doc = GetActiveDocument(); doc && !doc->GetTitle().empty())
            title = doc->GetTitle() + " - " + m_strTitle;
    }
    if (GetWindowText() != title)
        SetWindowText(title);
}

void CFrameWnd::RemoveControlBar(CControlBar* bar)
{
    m_bars.erase(std::remove(m_bars.begin(), m_bars.end(), bar), m_bars.end());
}

void CFrameWnd::SetClientOverride(CWnd* wnd)
{
    m_pClientOverride = wnd;
    if (m_pViewActive)
        m_pViewActive->ShowWindow(wnd ? SW_HIDE : SW_SHOW);
    RecalcLayout();
}

void CFrameWnd::RecalcLayout()
{
    if (!m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    for (CControlBar* bar : m_bars) {
        // The style, not IsWindowVisible: the frame itself may still be hidden.
        if (!bar->m_hWnd || !(bar->GetStyle() & WS_VISIBLE))
            continue;
        const CSize size = bar->CalcFixedLayout(TRUE, TRUE);
        if (bar->GetBarStyle() & CBRS_ALIGN_BOTTOM) {
            bar->MoveWindow(CRect(client.left, client.bottom - size.cy, client.right, client.bottom));
            client.bottom -= size.cy;
        } else {
            bar->MoveWindow(CRect(client.left, client.top, client.right, client.top + size.cy));
            client.top += size.cy;
        }
    }
    if (client.bottom < client.top)
        client.bottom = client.top;
    LayoutBesideView(client);
    CWnd* pane = m_pClientOverride ? m_pClientOverride : m_pViewActive;
    if (pane && pane->m_hWnd)
        pane->MoveWindow(client);
}

void CFrameWnd::OnSize(UINT type, int, int)
{
    if (type != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::OnSetFocus(HWND oldWnd)
{
    CWnd* pane = m_pClientOverride ? m_pClientOverride : m_pViewActive;
    if (pane && pane->m_hWnd)
        ::SetFocus(pane->m_hWnd);
    else
        CWnd::OnSetFocus(oldWnd);
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), (HMENU)lParam);
        return 0;
    case WM_EXITMENULOOP:
        SendMessage(WM_SETMESSAGESTRING, AFX_IDS_IDLEMESSAGE);
        return Default();
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CFrameWnd::OnMenuSelect(UINT itemId, UINT flags, HMENU menu)
{
    if (flags == 0xFFFF && !menu) {
        SendMessage(WM_SETMESSAGESTRING, AFX_IDS_IDLEMESSAGE);  // the menu closed
    } else if (flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU)) {
        m_messageShown = Shown::Prompt;
        if (CWnd* bar = GetMessageBar())
            bar->SetWindowText("");
    } else {
        // A command without a prompt (a Favorites entry) shows nothing.
        m_messageShown = Shown::Prompt;
        if (CWnd* bar = GetMessageBar())
            bar->SetWindowText(GetMessageString(itemId));
    }
}

void CFrameWnd::OnClose()
{
    DestroyWindow();
}

void CFrameWnd::PostNcDestroy()
{
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    delete this;
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    // The view (and through it the document) first, then the frame, then the application.
    if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg)
{
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_hAccelTable)
        return ::TranslateAcceleratorW(m_hWnd, m_hAccelTable, msg);
    return FALSE;
}

void CFrameWnd::OnInitMenuPopup(HMENU popup, UINT, BOOL sysMenu)
{
    if (sysMenu)
        return;
    const int count = ::GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = ::GetMenuItemID(popup, i);
        if (id == 0 || id == (UINT)-1)
            continue;  // separators and popups
        CCmdUI state;
        state.m_nID = id;
        state.m_nIndex = (UINT)i;
        state.m_hMenu = popup;
        state.DoUpdate(this, m_bAutoMenuEnable && id < 0xF000);
    }
}

void CFrameWnd::OnIdleUpdateCmdUI()
{
    CWnd* bar = GetMessageBar();
    if (!bar || m_messageShown == Shown::Prompt)
        return;
    const std::string text = GetMessageString(AFX_IDS_IDLEMESSAGE);
    if (m_messageShown == Shown::Text
        && (text == CFrameWnd::GetMessageString(AFX_IDS_IDLEMESSAGE)
            || ::GetTickCount64() - m_textShownAt < kPassingMessageTime))
        return;
    m_messageShown = Shown::Idle;
    if (bar->GetWindowText() != text)
        bar->SetWindowText(text);
}

std::string CFrameWnd::GetMessageString(UINT id) const
{
    const std::string text = AfxLoadString(id);
    return text.substr(0, text.find('\n'));
}

CWnd* CFrameWnd::GetMessageBar() const
{
    return FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_STATUS_BAR));
}

void CFrameWnd::OnTimer(UINT_PTR id)
{
    if (id != kPassingMessageTimer) {
        CWnd::OnTimer(id);
        return;
    }
    KillTimer(id);
    OnIdleUpdateCmdUI();
}

LRESULT CFrameWnd::OnSetMessageString(WPARAM wParam, LPARAM lParam)
{
    m_messageShown = lParam ? Shown::Text : wParam == 0 || wParam == AFX_IDS_IDLEMESSAGE ? Shown::Idle : Shown::Prompt;
    if (lParam) {
        m_textShownAt = ::GetTickCount64();
        SetTimer(kPassingMessageTimer, kPassingMessageTime);
    }
    if (CWnd* bar = GetMessageBar()) {
        if (lParam)
            bar->SetWindowText(reinterpret_cast<const char*>(lParam));
        else
            bar->SetWindowText(GetMessageString(wParam ? (UINT)wParam : AFX_IDS_IDLEMESSAGE));
    }
    return 0;
}

void CFrameWnd::OnHelpFinder()
{
    WinHelp(0, HELP_FINDER);
}

void CFrameWnd::OnHelp()
{
    WinHelp(0, HELP_CONTENTS);
}

void CFrameWnd::OnContextHelp()
{
    // No pick-a-window help mode here: the request goes straight to WinHelp.
    WinHelp(0, HELP_CONTEXTPOPUP);
}
