#include "frame/detailspane.h"

#include <commctrl.h>

#include <algorithm>

#include "afxdpi.h"
#include "dc.h"
#include "frame/detailrows.h"
#include "frame/detailsreader.h"
#include "res/resource.h"
#include "shell/fileverbs.h"

namespace {

// The reader's news that the details asked for last are in.
constexpr UINT kDetailsRead = WM_APP + 1;

// Design pixels at 96 DPI.
constexpr int kMargin = 8;
constexpr int kColumnGap = 6;
constexpr int kRowGap = 4;

// The kinds of fact in the order the pane lists them.
constexpr UINT kLabels[] = {IDS_DETAILS_NAME,     IDS_DETAILS_FOLDER,       IDS_DETAILS_SIZE,
                            IDS_DETAILS_KIND,     IDS_DETAILS_DIMENSIONS,   IDS_DETAILS_TAKEN,
                            IDS_DETAILS_CAMERA,   IDS_DETAILS_LENS,         IDS_DETAILS_EXPOSURE,
                            IDS_DETAILS_FNUMBER,  IDS_DETAILS_ISO,          IDS_DETAILS_FOCAL_LENGTH,
                            IDS_DETAILS_FLASH,    IDS_DETAILS_LATITUDE,     IDS_DETAILS_LONGITUDE,
                            IDS_DETAILS_ALTITUDE};
constexpr size_t kLabelCount = sizeof kLabels / sizeof kLabels[0];
static_assert(IDC_DETAILS_VALUE + kLabelCount <= IDC_DETAILS_MAP);

HWND MakeChild(HWND parent, const wchar_t* className, const std::string& text, DWORD style, UINT id)
{
    return ::CreateWindowExW(0, className, AfxWide(text).c_str(), WS_CHILD | style, 0, 0, 0, 0, parent,
                             (HMENU)(UINT_PTR)id, ::GetModuleHandleW(nullptr), nullptr);
}

// The size of text in font, wrapped to width (0: one line).
SIZE TextExtent(HWND window, HFONT font, const std::string& text, int width)
{
    HDC dc = ::GetDC(window);
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT rect{0, 0, width > 0 ? width : 0x7FFF, 0};
    const std::wstring wide = AfxWide(text.empty() ? std::string(" ") : text);
    ::DrawTextW(dc, wide.c_str(), (int)wide.size(), &rect,
                DT_CALCRECT | DT_NOPREFIX | (width > 0 ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE));
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace

CDetailsPane::CDetailsPane() = default;

// The reader goes with the window (OnDestroy); a pane never created has none.
CDetailsPane::~CDetailsPane() = default;

BOOL CDetailsPane::Create(CWnd* parent, UINT id, int dpi)
{
    m_dpi = dpi;
    const char* className =
        AfxRegisterWndClass(0, ::LoadCursorA(nullptr, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
    // Its text is its name for screen readers.
    return CreateEx(WS_EX_CLIENTEDGE, className, AfxLoadString(IDS_DETAILS_PANE).c_str(),
                    WS_CHILD | WS_CLIPCHILDREN, CRect(), parent, id);
}

int CDetailsPane::OnCreate(LPCREATESTRUCTW cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    static const bool linkClass = [] {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_LINK_CLASS};
        return ::InitCommonControlsEx(&init) != FALSE;
    }();
    // Each label comes just before its value, so that screen readers read
    // them in turn and name the value by its label.
    for (size_t i = 0; i < kLabelCount; ++i) {
        Row row;
        row.label = MakeChild(m_hWnd, L"Static", AfxLoadString(kLabels[i]), SS_LEFT | SS_NOPREFIX, 0xFFFF);
        row.value = MakeChild(m_hWnd, L"Static", "", SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL,
                              IDC_DETAILS_VALUE + (UINT)i);
        m_rows.push_back(row);
    }
    if (linkClass)
        m_mapLink = MakeChild(m_hWnd, WC_LINK, "<a>" + AfxLoadString(IDS_DETAILS_SHOW_ON_MAP) + "</a>", WS_TABSTOP,
                              IDC_DETAILS_MAP);
    SetDpi(m_dpi);
    return 0;
}

void CDetailsPane::OnDestroy()
{
    Stop();
    CWnd::OnDestroy();
}

int CDetailsPane::Width() const
{
    return AfxScale(kWidth, m_dpi);
}

void CDetailsPane::SetDpi(int dpi)
{
    m_dpi = dpi;
    const LOGFONTW logFont = AfxGetMessageFont(dpi);
    // The old font goes only once no control shows it.
    CFont old;
    old.Attach(m_font.Detach());
    if (!m_font.CreateFontIndirect(&logFont))
        return;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageW(child, WM_SETFONT, (WPARAM)(HFONT)m_font, FALSE);
    Arrange();
}

void CDetailsPane::Describe(const std::string& path)
{
    if (path == m_path && !m_stale && m_reader)
        return;
    m_path = path;
    m_stale = false;
    if (!m_reader)
        m_reader = std::make_unique<CDetailsReader>(m_hWnd, kDetailsRead);
    m_reader->Request(path);
}

void CDetailsPane::Stop()
{
    m_reader.reset();
    m_path.clear();
}

LRESULT CDetailsPane::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kDetailsRead) {
        if (m_reader) {
            if (std::optional<FileDetails> details = m_reader->Take())
                Show(*details);
        }
        return 0;
    }
    if (message == WM_SYSCOLORCHANGE) {
        // The colours are the system's; the link takes its own anew.
        if (m_mapLink)
            ::SendMessageW(m_mapLink, WM_SYSCOLORCHANGE, wParam, lParam);
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CDetailsPane::Show(const FileDetails& details)
{
    const std::vector<DetailRow> rows = DetailRows(details);
    for (size_t i = 0; i < kLabelCount; ++i) {
        const auto found = std::find_if(rows.begin(), rows.end(),
                                        [&](const DetailRow& row) { return row.label == kLabels[i]; });
        const bool shown = found != rows.end();
        AfxSetWindowText(m_rows[i].value, shown ? found->value : std::string());
        ::ShowWindow(m_rows[i].label, shown ? SW_SHOWNA : SW_HIDE);
        ::ShowWindow(m_rows[i].value, shown ? SW_SHOWNA : SW_HIDE);
    }
    const PhotoFacts& photo = details.facts.photo;
    m_place.reset();
    if (details.exists && !details.folder && photo.latitude && photo.longitude)
        m_place.emplace(*photo.latitude, *photo.longitude);
    if (m_mapLink) {
        if (!m_place && ::GetFocus() == m_mapLink)
            ::SetFocus(m_hWnd);
        ::ShowWindow(m_mapLink, m_place ? SW_SHOWNA : SW_HIDE);
    }
    Arrange();
    Invalidate();
}

void CDetailsPane::Arrange()
{
    if (!m_hWnd || m_rows.empty())
        return;
    CRect client;
    GetClientRect(&client);
    const int margin = AfxScale(kMargin, m_dpi), gap = AfxScale(kColumnGap, m_dpi);
    const HFONT font = m_font;
    // The labels' column is as wide as the widest, but leaves the values half.
    int labelWidth = 0;
    for (UINT label : kLabels)
        labelWidth = std::max(labelWidth, (int)TextExtent(m_hWnd, font, AfxLoadString(label), 0).cx);
    const int inner = std::max(0, client.Width() - 2 * margin);
    labelWidth = std::min(labelWidth, inner / 2);
    const int valueLeft = margin + labelWidth + gap;
    const int valueWidth = std::max(1, client.Width() - margin - valueLeft);
    const int lineHeight = TextExtent(m_hWnd, font, "Ag", 0).cy;
    int y = margin;
    for (const Row& row : m_rows) {
        if (!(::GetWindowLongPtrW(row.value, GWL_STYLE) & WS_VISIBLE))
            continue;
        const SIZE value = TextExtent(m_hWnd, font, AfxGetWindowText(row.value), valueWidth);
        ::MoveWindow(row.label, margin, y, labelWidth, lineHeight, FALSE);
        ::MoveWindow(row.value, valueLeft, y, valueWidth, value.cy, FALSE);
        y += std::max(lineHeight, (int)value.cy) + AfxScale(kRowGap, m_dpi);
    }
    if (m_mapLink) {
        const SIZE link = TextExtent(m_hWnd, font, AfxLoadString(IDS_DETAILS_SHOW_ON_MAP), 0);
        ::MoveWindow(m_mapLink, valueLeft, y, link.cx + AfxScale(4, m_dpi), link.cy + AfxScale(2, m_dpi), FALSE);
    }
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CDetailsPane::OnSize(UINT, int, int)
{
    Arrange();
}

void CDetailsPane::OnPaint()
{
    CPaintDC dc(this);
    // The pane itself has the focus when it has no link to give it to.
    if (::GetFocus() == m_hWnd) {
        CRect client;
        GetClientRect(&client);
        const int inset = AfxScale(2, m_dpi);
        ::InflateRect(&client, -inset, -inset);
        ::DrawFocusRect(dc.m_hDC, &client);
    }
}

void CDetailsPane::OnSetFocus(HWND)
{
    if (m_mapLink && ::IsWindowVisible(m_mapLink))
        ::SetFocus(m_mapLink);
    else
        Invalidate();
}

void CDetailsPane::OnKillFocus(HWND)
{
    Invalidate();
}

void CDetailsPane::OnLButtonDown(UINT, CPoint)
{
    ::SetFocus(m_hWnd);
}

HBRUSH CDetailsPane::OnCtlColor(CDC* dc, HWND control, UINT)
{
    // System colours only, so that a high-contrast theme has its way.
    const bool label = ::GetDlgCtrlID(control) == 0xFFFF;
    dc->SetTextColor(::GetSysColor(label ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    dc->SetBkColor(::GetSysColor(COLOR_WINDOW));
    return ::GetSysColorBrush(COLOR_WINDOW);
}

BOOL CDetailsPane::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->hwndFrom == m_mapLink && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        OpenMap();
        *result = 0;
        return TRUE;
    }
    return CWnd::OnNotify(wParam, lParam, result);
}

void CDetailsPane::OpenMap()
{
    if (!m_place)
        return;
    CWnd* top = AfxGetMainWnd();
    if (!ShowOnMap(top ? top->m_hWnd : m_hWnd, m_place->first, m_place->second))
        AfxMessageBox(IDS_MAP_FAILED, MB_OK | MB_ICONEXCLAMATION);
}
