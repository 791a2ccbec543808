#include "bars.h"

#include <algorithm>

#include "barsupport.h"
#include "dialog.h"

namespace {

// A status-bar pane as an update handler sees it.
class CStatusCmdUI : public CCmdUI {
public:
    void Enable(BOOL on) override
    {
        m_bEnableChanged = TRUE;
        static_cast<CStatusBar*>(m_pOther)->EnablePane((int)m_nIndex, on != FALSE);
    }
    void SetCheck(int) override {}
    void SetText(const char* text) override
    {
        static_cast<CStatusBar*>(m_pOther)->SetPaneText((int)m_nIndex, text);
    }
};

int KeyOfIndicator(UINT id)
{
    switch (id) {
    case ID_INDICATOR_CAPS: return VK_CAPITAL;
    case ID_INDICATOR_NUM:  return VK_NUMLOCK;
    case ID_INDICATOR_SCRL: return VK_SCROLL;
    default:                return 0;
    }
}

} // namespace

// ---------------------------------------------------------------- CReBar

BOOL CReBar::Create(CWnd* parent, DWORD ctrlStyle, DWORD style, UINT id)
{
    InitBarControls();
    m_dwStyle = style & CBRS_ALL;
    const DWORD windowStyle = WindowStyle(style) | ctrlStyle | CCS_NODIVIDER | CCS_NOPARENTALIGN
                            | CCS_TOP;
    if (!CWnd::CreateEx(0, REBARCLASSNAMEA, nullptr, windowStyle, 0, 0, 0, 0, parent, id))
        return FALSE;
    REBARINFO info{};
    info.cbSize = sizeof info;
    SendMessage(RB_SETBARINFO, 0, (LPARAM)&info);
    JoinFrameLayout(parent);
    return TRUE;
}

BOOL CReBar::AddBar(CWnd* bar, const char* text, DWORD style)
{
    auto* controlBar = dynamic_cast<CControlBar*>(bar);
    CSize size;
    if (controlBar) {
        size = controlBar->CalcFixedLayout(FALSE, TRUE);
    } else {
        CRect rect;
        bar->GetWindowRect(&rect);
        size = rect.Size();
    }
    std::wstring wideText = AfxWide(text ? text : "");
    REBARBANDINFOW band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE | RBBIM_ID;
    band.fStyle = style;
    band.hwndChild = bar->m_hWnd;
    band.wID = bar->GetDlgCtrlID();
    band.cxMinChild = (UINT)size.cx;
    band.cyMinChild = (UINT)size.cy;
    band.cx = band.cxIdeal = (UINT)size.cx;
    if (text) {
        band.fMask |= RBBIM_TEXT;
        band.lpText = wideText.data();
    }
    // The bar leaves the frame's layout before it becomes a band: inserting
    // it can change the rebar's height, which lays out the frame at once.
    CFrameWnd* site = controlBar ? controlBar->GetDockingFrame() : nullptr;
    if (controlBar)
        controlBar->LeaveFrameLayout();
    if (!SendMessage(RB_INSERTBANDW, (WPARAM)-1, (LPARAM)&band)) {
        if (site)
            controlBar->JoinFrameLayout(site);
        return FALSE;
    }
    return TRUE;
}

void CReBar::MaximizeBand(UINT band, BOOL ideal)
{
    SendMessage(RB_MAXIMIZEBAND, band, ideal);
}

CReBar::~CReBar()
{
    // The font goes before the window: the window must not keep showing it.
    if (m_font.GetSafeHandle() && m_hWnd && ::IsWindow(m_hWnd))
        SendMessage(WM_SETFONT, 0, FALSE);
}

void CReBar::SetDpi(int dpi)
{
    SetBarFont(this, m_font, dpi, TRUE);
}

void CReBar::UpdateBandSize(CWnd* bar)
{
    const int index = IdToIndex((UINT)bar->GetDlgCtrlID());
    auto* controlBar = dynamic_cast<CControlBar*>(bar);
    if (index < 0 || !controlBar)
        return;
    const CSize size = controlBar->CalcFixedLayout(FALSE, TRUE);
    REBARBANDINFOW band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE;
    band.cxMinChild = (UINT)size.cx;
    band.cyMinChild = (UINT)size.cy;
    band.cxIdeal = (UINT)size.cx;
    SendMessage(RB_SETBANDINFOW, (WPARAM)index, (LPARAM)&band);
}

BOOL CReBar::ShowBand(UINT band, BOOL show)
{
    return SendMessage(RB_SHOWBAND, band, show) != 0;
}

CSize CReBar::CalcFixedLayout(BOOL, BOOL)
{
    // The bands wrap by width: give the rebar the frame's width before asking its height.
    CRect parent;
    ::GetClientRect(::GetParent(m_hWnd), &parent);
    CRect rect;
    GetWindowRect(&rect);
    if (rect.Width() != parent.Width()) {
        m_inLayout = true;
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, parent.Width(), std::max(1, (int)rect.Height()),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        m_inLayout = false;
    }
    return CSize(parent.Width(), (int)SendMessage(RB_GETBARHEIGHT));
}

BOOL CReBar::OnChildNotify(NMHDR* header, LRESULT* result)
{
    if (header->code == RBN_HEIGHTCHANGE && !m_inLayout) {
        if (CFrameWnd* frame = m_pDockSite) {
            m_inLayout = true;
            frame->RecalcLayout();
            m_inLayout = false;
        }
        *result = 0;
        return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------- CStatusBar

BOOL CStatusBar::Create(CWnd* parent, DWORD style, UINT id)
{
    InitBarControls();
    m_dwStyle = style & CBRS_ALL;
    DWORD windowStyle = WindowStyle(style) | CCS_NOPARENTALIGN | CCS_NOMOVEY | CCS_NODIVIDER
                      | CCS_NORESIZE;
    if (parent && (parent->GetStyle() & WS_THICKFRAME))
        windowStyle |= SBARS_SIZEGRIP;
    if (!CWnd::CreateEx(0, STATUSCLASSNAMEA, nullptr, windowStyle, 0, 0, 0, 0, parent, id))
        return FALSE;
    JoinFrameLayout(parent);
    return TRUE;
}

CStatusBar::~CStatusBar()
{
    // The font goes before the window: the window must not keep showing it.
    if (m_hWnd && ::IsWindow(m_hWnd))
        SendMessage(WM_SETFONT, 0, FALSE);
}

void CStatusBar::SetDpi(int dpi)
{
    m_dpi = dpi;
    SetBarFont(this, m_font, dpi, FALSE);
    for (Pane& pane : m_panes) {
        if (pane.id != ID_SEPARATOR)
            pane.width = PaneWidth(AfxLoadString(pane.id));
    }
    UpdateParts();
}

int CStatusBar::PaneWidth(const std::string& text) const
{
    return TextWidth(m_hWnd, Font(), text) + AfxScale(12, m_dpi);
}

HFONT CStatusBar::Font() const
{
    HFONT font = (HFONT)::SendMessageW(m_hWnd, WM_GETFONT, 0, 0);
    return font ? font : (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count)
{
    m_panes.clear();
    for (int i = 0; i < count; ++i) {
        Pane pane{ids[i], 0, {}, true};
        if (ids[i] != ID_SEPARATOR) {
            pane.text = AfxLoadString(ids[i]);
            if (pane.text.empty())
                return FALSE;
            pane.width = PaneWidth(pane.text);
            pane.enabled = false;  // until the first idle update says otherwise
        } else if (i == 0) {
            pane.text = AfxLoadString(AFX_IDS_IDLEMESSAGE);
        }
        m_panes.push_back(pane);
    }
    UpdateParts();
    for (int i = 0; i < count; ++i)
        ShowPane(i);
    return TRUE;
}

void CStatusBar::UpdateParts()
{
    if (m_panes.empty())
        return;
    CRect client;
    GetClientRect(&client);
    // Indicators keep their width at the right; the first pane takes the rest.
    std::vector<int> edges(m_panes.size());
    int right = client.right;
    if (GetStyle() & SBARS_SIZEGRIP)
        right -= AfxGetSystemMetrics(SM_CXVSCROLL, m_dpi);
    for (size_t i = m_panes.size() - 1; i > 0; --i) {
        right -= m_panes[i].width;
        edges[i - 1] = right;
    }
    edges.back() = -1;
    SendMessage(SB_SETPARTS, (WPARAM)edges.size(), (LPARAM)edges.data());
}

void CStatusBar::ShowPane(int index)
{
    const Pane& pane = m_panes[(size_t)index];
    const WPARAM style = index == 0 && pane.id == ID_SEPARATOR ? SBT_NOBORDERS : 0;
    SendMessage(SB_SETTEXTW, (WPARAM)index | style, (LPARAM)(pane.enabled ? AfxWide(pane.text).c_str() : L""));
}

BOOL CStatusBar::SetPaneText(int index, const char* text)
{
    if (index < 0 || index >= (int)m_panes.size())
        return FALSE;
    Pane& pane = m_panes[(size_t)index];
    const std::string newText = text ? text : "";
    if (pane.text != newText) {
        pane.text = newText;
        ShowPane(index);
    }
    return TRUE;
}

void CStatusBar::EnablePane(int index, bool enable)
{
    if (index < 0 || index >= (int)m_panes.size())
        return;
    Pane& pane = m_panes[(size_t)index];
    if (pane.enabled != enable) {
        pane.enabled = enable;
        ShowPane(index);
    }
}

CSize CStatusBar::CalcFixedLayout(BOOL, BOOL)
{
    int borders[3] = {0, 0, 0};
    SendMessage(SB_GETBORDERS, 0, (LPARAM)borders);
    CRect parent;
    ::GetClientRect(::GetParent(m_hWnd), &parent);
    // The text, the panes' sunken edges and the bar's own border.
    return CSize(parent.Width(), TextHeight(m_hWnd, Font()) + 2 * borders[1] + AfxScale(4, m_dpi));
}

void CStatusBar::OnUpdateCmdUI(CWnd* target, BOOL)
{
    CStatusCmdUI state;
    state.m_pOther = this;
    for (size_t i = 0; i < m_panes.size(); ++i) {
        const UINT id = m_panes[i].id;
        if (id == ID_SEPARATOR)
            continue;
        state.m_nID = id;
        state.m_nIndex = (UINT)i;
        state.DoUpdate(target, FALSE);
        // Without a handler of its own, a key indicator shows whether its key is toggled on.
        if (!state.m_bEnableChanged && KeyOfIndicator(id))
            state.Enable((::GetKeyState(KeyOfIndicator(id)) & 1) != 0);
    }
}

void CStatusBar::OnSize(UINT type, int cx, int cy)
{
    CControlBar::OnSize(type, cx, cy);
    UpdateParts();
}

LRESULT CStatusBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The window text is the message pane, as the frame's prompts expect.
    if (message == WM_SETTEXT && !m_panes.empty()) {
        SetPaneText(0, AfxUtf8(lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"").c_str());
        return TRUE;
    }
    return CControlBar::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------- CDialogBar

INT_PTR CALLBACK CDialogBar::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    // From here on the bar object sees the messages; Default() reaches the
    // dialog class, which calls back here for what nobody handled.
    if (message == WM_INITDIALOG)
        reinterpret_cast<CDialogBar*>(lParam)->SubclassWindow(hWnd);
    return FALSE;
}

BOOL CDialogBar::Create(CWnd* parent, UINT templateId, UINT style, UINT id)
{
    InitBarControls();
    m_dwStyle = style & CBRS_ALL;
    HWND hWnd = ::CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(templateId),
                                     parent ? parent->m_hWnd : nullptr, &DialogProc, (LPARAM)this);
    if (!hWnd || m_hWnd != hWnd) {
        if (hWnd)
            ::DestroyWindow(hWnd);
        return FALSE;
    }
    ::SetWindowLongPtrW(m_hWnd, GWLP_ID, (LONG_PTR)id);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (LONG_PTR)(GetStyle() | WS_CLIPSIBLINGS));
    CRect rect;
    GetWindowRect(&rect);
    m_sizeDefault = m_createdSize = rect.Size();
    m_createdDpi = AfxGetDpiForWindow(m_hWnd);
    ::GetObjectW((HFONT)SendMessage(WM_GETFONT), sizeof m_createdFont, &m_createdFont);
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        CRect place;
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
        m_createdPlaces.emplace_back(child, place);
    }
    ::ShowWindow(m_hWnd, SW_SHOWNA);
    JoinFrameLayout(parent);
    return TRUE;
}

CDialogBar::~CDialogBar()
{
    // The font goes before the window: the controls must not keep showing it.
    if (m_font.GetSafeHandle() && m_hWnd && ::IsWindow(m_hWnd)) {
        for (const auto& [control, place] : m_createdPlaces)
            ::SendMessageW(control, WM_SETFONT, 0, FALSE);
        SendMessage(WM_SETFONT, 0, FALSE);
    }
}

void CDialogBar::SetDpi(int dpi)
{
    const auto scaled = [&](LONG v) { return ::MulDiv(v, dpi, m_createdDpi); };
    LOGFONTW logFont = m_createdFont;
    logFont.lfHeight = scaled(logFont.lfHeight);
    logFont.lfWidth = scaled(logFont.lfWidth);
    CFont old;
    old.Attach(m_font.Detach());  // released once the controls show the new one
    m_font.CreateFontIndirect(&logFont);
    SendMessage(WM_SETFONT, (WPARAM)(HFONT)m_font, FALSE);
    for (const auto& [control, place] : m_createdPlaces) {
        ::SendMessageW(control, WM_SETFONT, (WPARAM)(HFONT)m_font, FALSE);
        ::SetWindowPos(control, nullptr, scaled(place.left), scaled(place.top), scaled(place.Width()),
                       scaled(place.Height()), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_sizeDefault = CSize(scaled(m_createdSize.cx), scaled(m_createdSize.cy));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_sizeDefault.cx, m_sizeDefault.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
}

BOOL CDialogBar::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    try {
        DoDataExchange(&exchange);
    } catch (...) {
        return FALSE;  // a refused value: the exchange has shown why
    }
    return TRUE;
}

CSize CDialogBar::CalcFixedLayout(BOOL stretch, BOOL)
{
    if (!stretch)
        return m_sizeDefault;
    CRect parent;
    ::GetClientRect(::GetParent(m_hWnd), &parent);
    return CSize(parent.Width(), m_sizeDefault.cy);
}
