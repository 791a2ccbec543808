#include "preview.h"

#include <algorithm>
#include <initializer_list>

#include "dc.h"
#include "frame.h"
#include "print.h"
#include "view.h"

namespace {

// Posted, so that the button that asked for it is not destroyed under its own click.
constexpr UINT kPrintMessage = WM_USER + 0x150;

constexpr int kBarMargin = 6;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kSheetMargin = 16;
constexpr int kShadow = 4;
constexpr COLORREF kBackground = RGB(128, 128, 128);
constexpr COLORREF kShadowColour = RGB(48, 48, 48);
constexpr COLORREF kPaper = RGB(255, 255, 255);

// Printer pixels averaged into each preview pixel at most, each way, and the
// samples played at once.
constexpr int kMostSamples = 12;
constexpr int kBandSamples = 4 << 20;

// A 32-bit top-down section of width by height; its bits in bits.
HBITMAP CreateSampleSection(int width, int height, DWORD** bits)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* memory = nullptr;
    HBITMAP section = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    *bits = static_cast<DWORD*>(memory);
    return section;
}

// A metafile DC being recorded; discarded unless Close takes the result.
class CMetaFileRecorder {
public:
    CMetaFileRecorder(HDC reference, const RECT& frame)
        : m_hDC(::CreateEnhMetaFileW(reference, nullptr, &frame, nullptr)) {}
    ~CMetaFileRecorder()
    {
        if (m_hDC)
            ::DeleteEnhMetaFile(::CloseEnhMetaFile(m_hDC));
    }
    CMetaFileRecorder(const CMetaFileRecorder&) = delete;
    CMetaFileRecorder& operator=(const CMetaFileRecorder&) = delete;

    HDC Get() const { return m_hDC; }
    HENHMETAFILE Close()
    {
        HENHMETAFILE file = ::CloseEnhMetaFile(m_hDC);
        m_hDC = nullptr;
        return file;
    }

private:
    HDC m_hDC;
};

std::string ButtonText(UINT id, const char* fallback)
{
    std::string text = AfxLoadString(id);
    return text.empty() ? fallback : text;
}

} // namespace

CPrintPreviewWnd* CPrintPreviewWnd::FromFrame(const CFrameWnd* frame)
{
    if (!frame || !frame->m_hWnd)
        return nullptr;
    for (HWND child = ::GetWindow(frame->m_hWnd, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (auto* preview = dynamic_cast<CPrintPreviewWnd*>(FromHandlePermanent(child)))
            return preview;
    }
    return nullptr;
}

CPrintPreviewWnd* CPrintPreviewWnd::Open(CView* view)
{
    CFrameWnd* frame = view ? view->GetParentFrameWnd() : nullptr;
    if (!frame)
        return nullptr;
    if (CPrintPreviewWnd* open = FromFrame(frame)) {
        ::SetFocus(open->m_hWnd);
        return open;
    }

    std::unique_ptr<CPrintPreviewWnd> preview(new CPrintPreviewWnd(frame));
    if (!preview->Record(view))
        return nullptr;
    const char* className = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW,
                                                ::LoadCursorA(nullptr, IDC_ARROW), nullptr);
    if (!preview->CreateEx(0, className, "", WS_CHILD | WS_CLIPCHILDREN, CRect(), frame, 0))
        return nullptr;
    CPrintPreviewWnd* shown = preview.release();
    shown->m_ownedByWindow = true;

    frame->SetClientOverride(shown);
    shown->ShowWindow(SW_SHOW);
    ::SetFocus(shown->m_hWnd);
    return shown;
}

bool CPrintPreviewWnd::Record(CView* view)
{
    // Recorded exactly as OnFilePrint prints the first sheet, on a metafile
    // whose reference device is the printer.
    CPrintInfo info;
    info.m_bPreview = TRUE;
    if (!view->OnPreparePrinting(&info) || !info.m_pd.hDC)
        return false;
    HDC printer = info.m_pd.hDC;

    const CSize printable(::GetDeviceCaps(printer, HORZRES), ::GetDeviceCaps(printer, VERTRES));
    if (printable.cx <= 0 || printable.cy <= 0)
        return false;
    m_paper = CSize(::GetDeviceCaps(printer, PHYSICALWIDTH), ::GetDeviceCaps(printer, PHYSICALHEIGHT));
    CPoint offset(::GetDeviceCaps(printer, PHYSICALOFFSETX), ::GetDeviceCaps(printer, PHYSICALOFFSETY));
    if (m_paper.cx < printable.cx || m_paper.cy < printable.cy) {
        m_paper = printable;  // a device that does not know its paper
        offset = CPoint();
    }
    m_printable = CRect(offset, printable);

    // The frame in 0.01 mm as GDI converts it back with the same device
    // sizes, so that it covers the printable area exactly.
    CSize frameSize(::GetDeviceCaps(printer, HORZSIZE) * 100, ::GetDeviceCaps(printer, VERTSIZE) * 100);
    if (frameSize.cx <= 0 || frameSize.cy <= 0) {
        frameSize = CSize(::MulDiv(printable.cx, 2540, std::max(1, ::GetDeviceCaps(printer, LOGPIXELSX))),
                          ::MulDiv(printable.cy, 2540, std::max(1, ::GetDeviceCaps(printer, LOGPIXELSY))));
    }
    CMetaFileRecorder recorder(printer, CRect(CPoint(), frameSize));
    if (!recorder.Get())
        return false;

    CDC dc;
    dc.Attach(recorder.Get());  // answers GetDeviceCaps with the printer's values
    dc.m_bPrinting = TRUE;
    view->OnBeginPrinting(&dc, &info);
    info.m_nCurPage = info.GetMinPage();
    view->OnPrepareDC(&dc, &info);
    info.m_rectDraw.SetRect(0, 0, printable.cx, printable.cy);
    dc.DPtoLP(&info.m_rectDraw);
    view->OnPrint(&dc, &info);
    view->OnEndPrinting(&dc, &info);
    dc.Detach();

    m_sheet.reset(recorder.Close());
    return m_sheet != nullptr;
}

int CPrintPreviewWnd::OnCreate(LPCREATESTRUCTW cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    struct {
        CWnd& button;
        UINT id;
        const char* fallback;
    } buttons[] = {{m_printButton, AFX_ID_PREVIEW_PRINT, "&Print..."},
                   {m_closeButton, AFX_ID_PREVIEW_CLOSE, "&Close"}};
    for (auto& b : buttons) {
        const std::string text = ButtonText(b.id, b.fallback);
        b.button.CreateEx(0, "BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                          0, 0, kButtonWidth, kButtonHeight, this, b.id);
    }
    SetDpi(AfxGetDpiForWindow(m_hWnd));
    return 0;
}

void CPrintPreviewWnd::SetDpi(int dpi)
{
    m_dpi = dpi;
    const LOGFONTW logFont = AfxGetMessageFont(dpi);
    CFont old;
    old.Attach(m_buttonFont.Detach());  // released once the buttons show the new one
    m_buttonFont.CreateFontIndirect(&logFont);
    const int margin = AfxScale(kBarMargin, dpi);
    int x = margin;
    for (CWnd* button : {&m_printButton, &m_closeButton}) {
        if (!button->m_hWnd)
            continue;
        button->SendMessage(WM_SETFONT, (WPARAM)(HFONT)m_buttonFont, FALSE);
        ::SetWindowPos(button->m_hWnd, nullptr, x, margin, AfxScale(kButtonWidth, dpi),
                       AfxScale(kButtonHeight, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        x += AfxScale(kButtonWidth, dpi) + margin;
    }
    Invalidate();
}

int CPrintPreviewWnd::BarHeight() const
{
    return AfxScale(kButtonHeight + 2 * kBarMargin, m_dpi);
}

CRect CPrintPreviewWnd::SheetRect() const
{
    CRect client;
    GetClientRect(&client);
    const int margin = AfxScale(kSheetMargin, m_dpi);
    const int shadow = AfxScale(kShadow, m_dpi);
    const CRect area(client.left + margin, client.top + BarHeight() + margin, client.right - margin - shadow,
                     client.bottom - margin - shadow);
    if (area.Width() <= 0 || area.Height() <= 0 || m_paper.cx <= 0 || m_paper.cy <= 0)
        return CRect();
    int width = area.Width();
    int height = ::MulDiv(width, m_paper.cy, m_paper.cx);
    if (height > area.Height()) {
        height = area.Height();
        width = ::MulDiv(height, m_paper.cx, m_paper.cy);
    }
    const CPoint topLeft(area.left + (area.Width() - width) / 2,
                         area.top + (area.Height() - height) / 2);
    return CRect(topLeft, CSize(width, height));
}

BOOL CPrintPreviewWnd::OnEraseBkgnd(CDC*)
{
    return TRUE;  // OnPaint covers everything
}

void CPrintPreviewWnd::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    const CRect bar(client.left, client.top, client.right, std::min<int>(client.bottom, BarHeight()));
    dc.FillSolidRect(&bar, ::GetSysColor(COLOR_BTNFACE));

    const CRect sheet = SheetRect();
    CRect shadow = sheet;
    shadow.OffsetRect(AfxScale(kShadow, m_dpi), AfxScale(kShadow, m_dpi));
    const CRect background(client.left, bar.bottom, client.right, client.bottom);
    {
        // The paper and its shadow are painted after, without flicker.
        const int saved = ::SaveDC(dc.m_hDC);
        ::ExcludeClipRect(dc.m_hDC, sheet.left, sheet.top, sheet.right, sheet.bottom);
        ::ExcludeClipRect(dc.m_hDC, shadow.left, shadow.top, shadow.right, shadow.bottom);
        dc.FillSolidRect(&background, kBackground);
        ::RestoreDC(dc.m_hDC, saved);
    }
    if (sheet.IsRectEmpty())
        return;
    {
        const int saved = ::SaveDC(dc.m_hDC);
        ::ExcludeClipRect(dc.m_hDC, sheet.left, sheet.top, sheet.right, sheet.bottom);
        dc.FillSolidRect(&shadow, kShadowColour);
        ::RestoreDC(dc.m_hDC, saved);
    }
    dc.FillSolidRect(&sheet, kPaper);

    const CRect target(sheet.left + ::MulDiv(m_printable.left, sheet.Width(), m_paper.cx),
                       sheet.top + ::MulDiv(m_printable.top, sheet.Height(), m_paper.cy),
                       sheet.left + ::MulDiv(m_printable.right, sheet.Width(), m_paper.cx),
                       sheet.top + ::MulDiv(m_printable.bottom, sheet.Height(), m_paper.cy));
    const int saved = ::SaveDC(dc.m_hDC);
    ::IntersectClipRect(dc.m_hDC, sheet.left, sheet.top, sheet.right, sheet.bottom);
    if (RenderSheet(target.Size())) {
        CDC memory;
        memory.CreateCompatibleDC(&dc);
        const HGDIOBJ old = ::SelectObject(memory.m_hDC, m_rendered.get());
        dc.BitBlt(target.left, target.top, target.Width(), target.Height(), &memory, 0, 0, SRCCOPY);
        ::SelectObject(memory.m_hDC, old);
    } else {
        dc.SetStretchBltMode(HALFTONE);
        ::SetBrushOrgEx(dc.m_hDC, 0, 0, nullptr);
        ::PlayEnhMetaFile(dc.m_hDC, m_sheet.get(), &target);
    }
    ::RestoreDC(dc.m_hDC, saved);
}

bool CPrintPreviewWnd::RenderSheet(CSize size)
{
    if (m_rendered && m_renderedSize == size)
        return true;
    m_rendered.reset();
    if (size.cx <= 0 || size.cy <= 0)
        return false;
    // The sheet is played at about the printer's own resolution and each
    // preview pixel is the average of the printer pixels it stands for:
    // pictures and text shrink smoothly, which a picked pixel in every few
    // (all some systems' HALFTONE does) would not. A band of rows at a time
    // keeps the memory small.
    const int factor = std::clamp((int)((m_printable.Width() + size.cx - 1) / size.cx), 1, kMostSamples);
    const int bandRows = std::max(1, (int)(kBandSamples / (size.cx * factor * factor)));
    DWORD* samples = nullptr;
    Bitmap played(CreateSampleSection(size.cx * factor, bandRows * factor, &samples));
    DWORD* pixels = nullptr;
    Bitmap shown(CreateSampleSection(size.cx, size.cy, &pixels));
    CDC memory;
    if (!played || !shown || !memory.CreateCompatibleDC(nullptr))
        return false;
    const HGDIOBJ old = ::SelectObject(memory.m_hDC, played.get());
    memory.SetStretchBltMode(HALFTONE);
    const size_t stride = (size_t)size.cx * factor;
    const unsigned count = (unsigned)(factor * factor);
    const CRect band(0, 0, size.cx * factor, bandRows * factor);
    const CRect all(0, 0, size.cx * factor, size.cy * factor);
    for (int top = 0; top < size.cy; top += bandRows) {
        ::SetViewportOrgEx(memory.m_hDC, 0, 0, nullptr);
        memory.FillSolidRect(&band, kPaper);
        ::SetViewportOrgEx(memory.m_hDC, 0, -top * factor, nullptr);
        ::PlayEnhMetaFile(memory.m_hDC, m_sheet.get(), &all);
        ::GdiFlush();
        for (int y = top; y < std::min<int>(top + bandRows, size.cy); ++y) {
            for (int x = 0; x < size.cx; ++x) {
                unsigned sum[3] = {0, 0, 0};
                const DWORD* block = samples + stride * (size_t)((y - top) * factor) + (size_t)x * factor;
                for (int j = 0; j < factor; ++j, block += stride)
                    for (int i = 0; i < factor; ++i)
                        for (int c = 0; c < 3; ++c)
                            sum[c] += (block[i] >> (8 * c)) & 0xFF;
                pixels[(size_t)y * size.cx + x] = (sum[0] + count / 2) / count
                    | ((sum[1] + count / 2) / count) << 8 | ((sum[2] + count / 2) / count) << 16;
            }
        }
    }
    ::SelectObject(memory.m_hDC, old);
    m_rendered = std::move(shown);
    m_renderedSize = size;
    return true;
}

BOOL CPrintPreviewWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case AFX_ID_PREVIEW_CLOSE:
        PostMessage(WM_CLOSE);
        return TRUE;
    case AFX_ID_PREVIEW_PRINT:
        PostMessage(kPrintMessage);
        return TRUE;
    default:
        return CWnd::OnCommand(wParam, lParam);
    }
}

BOOL CPrintPreviewWnd::PreTranslateMessage(MSG* msg)
{
    // The buttons take the keyboard focus; Escape closes from either of them too.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        Close();
        return TRUE;
    }
    return FALSE;
}

LRESULT CPrintPreviewWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kPrintMessage) {
        PrintAndClose();
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        Close();
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CPrintPreviewWnd::PrintAndClose()
{
    CFrameWnd* frame = m_frame;
    Close();  // deletes this
    if (CView* view = frame->GetActiveView())
        view->OnFilePrint();
}

void CPrintPreviewWnd::OnClose()
{
    Close();
}

void CPrintPreviewWnd::Close()
{
    DestroyWindow();
}

void CPrintPreviewWnd::OnDestroy()
{
    m_frame->SetClientOverride(nullptr);
    // The frame may be going away itself; then its view needs no focus.
    CView* view = m_frame->GetActiveView();
    if (view && view->m_hWnd && ::IsWindowVisible(m_frame->m_hWnd))
        ::SetFocus(view->m_hWnd);
    CWnd::OnDestroy();
}

void CPrintPreviewWnd::PostNcDestroy()
{
    if (m_ownedByWindow)
        delete this;
}
