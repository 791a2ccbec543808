#include "bars.h"

#include <algorithm>

#include "dialog.h"

namespace {

void InitBarControls()
{
    static const bool done = [] {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        return ::InitCommonControlsEx(&init) != FALSE;
    }();
    (void)done;
}

// The window styles of a bar: its CBRS_ bits share the control-specific
// low word and must not reach the window.
DWORD WindowStyle(DWORD style)
{
    return style & ~(DWORD)CBRS_ALL;
}

// The bar's text height with its own font.
int TextHeight(HWND wnd, HFONT font)
{
    HDC dc = ::GetDC(wnd);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(wnd, dc);
    return metrics.tmHeight;
}

int TextWidth(HWND wnd, HFONT font, const std::string& text)
{
    HDC dc = ::GetDC(wnd);
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{0, 0};
    const std::wstring wide = AfxWide(text);
    ::GetTextExtentPoint32W(dc, wide.c_str(), (int)wide.size(), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(wnd, dc);
    return size.cx;
}

// A toolbar button as an update handler sees it.
class CToolCmdUI : public CCmdUI {
public:
    void Enable(BOOL on) override
    {
        m_bEnableChanged = TRUE;
        HWND bar = m_pOther->m_hWnd;
        const bool enabled = ::SendMessageW(bar, TB_ISBUTTONENABLED, m_nID, 0) != 0;
        if (enabled != (on != FALSE))
            ::SendMessageW(bar, TB_ENABLEBUTTON, m_nID, MAKELPARAM(on ? TRUE : FALSE, 0));
    }
    void SetCheck(int check) override
    {
        HWND bar = m_pOther->m_hWnd;
        const bool checked = ::SendMessageW(bar, TB_ISBUTTONCHECKED, m_nID, 0) != 0;
        if (checked != (check != 0))
            ::SendMessageW(bar, TB_CHECKBUTTON, m_nID, MAKELPARAM(check ? TRUE : FALSE, 0));
    }
    void SetText(const char*) override {}
};

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

// ---------------------------------------------------------------- CToolBar

CToolBar::~CToolBar()
{
    // The image list goes before the window: the window must not keep showing it.
    if (m_hWnd && ::IsWindow(m_hWnd))
        SendMessage(TB_SETIMAGELIST, 0, 0);
}

BOOL CToolBar::CreateEx(CWnd* parent, DWORD ctrlStyle, DWORD style, const RECT& borders, UINT id)
{
    (void)borders;  // the rebar gives its bands their borders
    InitBarControls();
    m_dwStyle = style & CBRS_ALL;
    const DWORD windowStyle = WindowStyle(style) | ctrlStyle | TBSTYLE_TOOLTIPS | CCS_NOPARENTALIGN
                            | CCS_NOMOVEY | CCS_NODIVIDER | CCS_NORESIZE;
    if (!CWnd::CreateEx(0, TOOLBARCLASSNAMEA, nullptr, windowStyle, 0, 0, 0, 0, parent, id))
        return FALSE;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    JoinFrameLayout(parent);
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT id)
{
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(id), RT_TOOLBAR);
    if (!found)
        return FALSE;
    const DWORD size = ::SizeofResource(instance, found);
    const WORD* data = static_cast<const WORD*>(::LockResource(::LoadResource(instance, found)));
    if (!data || size < 4 * sizeof(WORD) || data[0] != 1)
        return FALSE;
    const int count = data[3];
    if (size < (DWORD)(4 + count) * sizeof(WORD))
        return FALSE;
    const std::vector<UINT> ids(data + 4, data + 4 + count);

    m_bitmapId = id;
    SetSizes(CSize(data[1] + 7, data[2] + 7), CSize(data[1], data[2]));
    if (m_images.GetImageCount() == 0)
        return FALSE;
    return SetButtons(ids.data(), count);
}

bool CToolBar::LoadImages()
{
    CBitmap bitmap;
    if (!m_bitmapId || !bitmap.LoadBitmap(m_bitmapId))
        return false;
    if (!m_images.Create(m_sizeImage.cx, m_sizeImage.cy, ILC_COLOR24 | ILC_MASK, 8, 4))
        return false;
    // The artwork's silver background is the transparent colour.
    if (m_images.Add(bitmap, RGB(192, 192, 192)) < 0) {
        m_images.DeleteImageList();
        return false;
    }
    SendMessage(TB_SETIMAGELIST, 0, (LPARAM)m_images.GetSafeHandle());
    return true;
}

BOOL CToolBar::SetButtons(const UINT* ids, int count)
{
    while (GetCount() > 0)
        SendMessage(TB_DELETEBUTTON, 0, 0);
    std::vector<TBBUTTON> buttons((size_t)count);
    int image = 0;
    for (int i = 0; i < count; ++i) {
        TBBUTTON& b = buttons[(size_t)i];
        b.idCommand = (int)ids[i];
        b.iString = -1;
        if (ids[i] == ID_SEPARATOR) {
            b.fsStyle = TBSTYLE_SEP;
        } else {
            b.fsStyle = TBSTYLE_BUTTON;
            b.fsState = TBSTATE_ENABLED;
            b.iBitmap = image++;
        }
    }
    return count == 0 || SendMessage(TB_ADDBUTTONSW, (WPARAM)count, (LPARAM)buttons.data()) != 0;
}

BOOL CToolBar::SetButtonText(int index, const char* text)
{
    std::wstring wide = AfxWide(text ? text : "");
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT | TBIF_BYINDEX;
    info.pszText = wide.data();
    return SendMessage(TB_SETBUTTONINFOW, (WPARAM)index, (LPARAM)&info) != 0;
}

void CToolBar::SetSizes(SIZE button, SIZE image)
{
    const bool newImages = !(m_sizeImage == image) || m_images.GetImageCount() == 0;
    m_sizeImage = image;
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(image.cx, image.cy));
    // An image list has one size: a new size needs a new list.
    if (newImages && m_bitmapId)
        LoadImages();
    SendMessage(TB_SETBUTTONSIZE, 0, MAKELPARAM(button.cx, button.cy));
}

UINT CToolBar::GetItemID(int index) const
{
    TBBUTTON button{};
    if (!::SendMessageW(m_hWnd, TB_GETBUTTON, (WPARAM)index, (LPARAM)&button))
        return ID_SEPARATOR;
    return (button.fsStyle & TBSTYLE_SEP) ? ID_SEPARATOR : (UINT)button.idCommand;
}

CSize CToolBar::CalcFixedLayout(BOOL, BOOL)
{
    CSize size;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        CRect item;
        if (SendMessage(TB_GETITEMRECT, (WPARAM)i, (LPARAM)&item)) {
            size.cx = std::max(size.cx, (LONG)item.right);
            size.cy = std::max(size.cy, (LONG)item.bottom);
        }
    }
    size.cy = std::max(size.cy, (LONG)m_cyHeight);
    return size;
}

void CToolBar::OnUpdateCmdUI(CWnd* target, BOOL disableIfNoHandler)
{
    CToolCmdUI state;
    state.m_pOther = this;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        const UINT id = GetItemID(i);
        if (id == ID_SEPARATOR)
            continue;
        state.m_nID = id;
        state.m_nIndex = (UINT)i;
        state.DoUpdate(target, disableIfNoHandler);
    }
}

bool CToolBar::FillToolTip(NMHDR* header)
{
    if (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW)
        return false;
    if (header->hwndFrom != (HWND)::SendMessageW(m_hWnd, TB_GETTOOLTIPS, 0, 0))
        return false;
    // The tip is the text after the first "\n" of the command's string.
    std::string tip;
    if (m_dwStyle & CBRS_TOOLTIPS) {
        const std::string text = AfxLoadString((UINT)header->idFrom);
        const size_t newline = text.find('\n');
        if (newline != std::string::npos)
            tip = text.substr(newline + 1, text.find('\n', newline + 1) - newline - 1);
    }
    if (header->code == TTN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        ::lstrcpynA(info->szText, tip.c_str(), (int)sizeof info->szText);
        info->lpszText = info->szText;
        info->hinst = nullptr;
    } else {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        const int capacity = (int)(sizeof info->szText / sizeof info->szText[0]);
        ::lstrcpynW(info->szText, AfxWide(tip).c_str(), capacity);
        info->lpszText = info->szText;
        info->hinst = nullptr;
    }
    return true;
}

void CToolBar::ShowFlyBy(UINT id)
{
    if (id == m_flyById)
        return;
    m_flyById = id;
    if (CWnd* frame = GetParentFrame())
        frame->SendMessage(WM_SETMESSAGESTRING, id ? id : AFX_IDS_IDLEMESSAGE, 0);
    if (id) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
    }
}

LRESULT CToolBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY:
        // The tooltip asks the toolbar itself for its text.
        if (FillToolTip(reinterpret_cast<NMHDR*>(lParam)))
            return 0;
        break;
    case WM_MOUSEMOVE:
        if (m_dwStyle & CBRS_FLYBY) {
            POINT point{(short)LOWORD(lParam), (short)HIWORD(lParam)};
            const int index = (int)SendMessage(TB_HITTEST, 0, (LPARAM)&point);
            ShowFlyBy(index >= 0 ? GetItemID(index) : 0);
        }
        break;
    case WM_MOUSELEAVE:
        ShowFlyBy(0);
        break;
    default:
        break;
    }
    return CControlBar::WindowProc(message, wParam, lParam);
}

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

HFONT CStatusBar::Font() const
{
    HFONT font = (HFONT)::SendMessageW(m_hWnd, WM_GETFONT, 0, 0);
    return font ? font : (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count)
{
    m_panes.clear();
    const HFONT font = Font();
    for (int i = 0; i < count; ++i) {
        Pane pane{ids[i], 0, {}, true};
        if (ids[i] != ID_SEPARATOR) {
            pane.text = AfxLoadString(ids[i]);
            if (pane.text.empty())
                return FALSE;
            pane.width = TextWidth(m_hWnd, font, pane.text) + 12;
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
        right -= ::GetSystemMetrics(SM_CXVSCROLL);
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
    return CSize(parent.Width(), TextHeight(m_hWnd, Font()) + 2 * borders[1] + 4);
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
    m_sizeDefault = rect.Size();
    ::ShowWindow(m_hWnd, SW_SHOWNA);
    JoinFrameLayout(parent);
    return TRUE;
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
