#include "bars.h"

#include <algorithm>

#include "barsupport.h"

namespace {

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

} // namespace

// ---------------------------------------------------------------- CToolBar

CToolBar::~CToolBar()
{
    // The image list and the font go before the window: it must not keep showing them.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        SendMessage(TB_SETIMAGELIST, 0, 0);
        SendMessage(WM_SETFONT, 0, FALSE);
    }
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

void CToolBar::SetDpi(int dpi)
{
    m_dpi = dpi;
    SetBarFont(this, m_font, dpi, FALSE);
}

int CToolBar::GetMaxTextWidth() const
{
    HFONT font = (HFONT)::SendMessageW(m_hWnd, WM_GETFONT, 0, 0);
    if (!font)
        font = (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
    int widest = 0;
    wchar_t text[128];
    for (int i = 0; i < GetCount(); ++i) {
        const UINT id = GetItemID(i);
        if (id == ID_SEPARATOR)
            continue;
        text[0] = 0;
        if (::SendMessageW(m_hWnd, TB_GETBUTTONTEXTW, id, 0) < (LRESULT)(sizeof text / sizeof text[0]))
            ::SendMessageW(m_hWnd, TB_GETBUTTONTEXTW, id, (LPARAM)text);
        widest = std::max(widest, TextWidth(m_hWnd, font, AfxUtf8(text)));
    }
    return widest;
}

bool CToolBar::LoadImages()
{
    // The drawing nearest the size asked for; its own size is the images'.
    std::vector<UINT> ids{m_bitmapId};
    ids.insert(ids.end(), m_scaledBitmapIds.begin(), m_scaledBitmapIds.end());
    CBitmap bitmap;
    BITMAP info{};
    const UINT chosen = m_bitmapId ? bitmap.LoadNearestBitmap(ids, m_sizeImage.cy) : 0;
    if (!chosen)
        return false;
    if (chosen != m_bitmapId && bitmap.GetBitmap(&info)) {
        // The scaled drawings are square.
        m_sizeImage = CSize(info.bmHeight, info.bmHeight);
        SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(m_sizeImage.cx, m_sizeImage.cy));
    }
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

