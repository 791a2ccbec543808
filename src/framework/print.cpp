#include "print.h"

#include <cstring>

#include "dc.h"
#include "doc.h"
#include "frame.h"
#include "preview.h"
#include "view.h"
#include "winapp.h"

// ---------------------------------------------------------------- CPrintInfo

CPrintInfo::CPrintInfo()
{
    m_pd.lStructSize = sizeof m_pd;
    m_pd.nFromPage = 1;
    m_pd.nToPage = 0xFFFF;
    m_pd.nMinPage = 1;
    m_pd.nMaxPage = 0xFFFF;
    m_pd.nCopies = 1;
}

CPrintInfo::~CPrintInfo()
{
    // hDevMode and hDevNames belong to the application object.
    if (m_pd.hDC)
        ::DeleteDC(m_pd.hDC);
}

// ---------------------------------------------------------------- CView printing

namespace {

// PrintDlg may reallocate the handles it is given, so it gets copies and the
// application keeps its own until the user confirms a choice.
HGLOBAL CopyGlobal(HGLOBAL source)
{
    if (!source)
        return nullptr;
    const SIZE_T size = ::GlobalSize(source);
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    const void* from = ::GlobalLock(source);
    void* to = ::GlobalLock(copy);
    if (from && to)
        std::memcpy(to, from, size);
    if (to)
        ::GlobalUnlock(copy);
    if (from)
        ::GlobalUnlock(source);
    return copy;
}

void FreeGlobal(HGLOBAL& handle)
{
    if (handle)
        ::GlobalFree(handle);
    handle = nullptr;
}

// The document's title, or the frame's caption when the document has none.
std::string JobName(const CView& view)
{
    if (const CDocument* doc = view.GetDocument(); doc && !doc->GetTitle().empty())
        return doc->GetTitle();
    if (const CWnd* frame = view.GetParentFrame())
        return frame->GetWindowText();
    return {};
}

} // namespace

BOOL CView::DoPreparePrinting(CPrintInfo* info)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return FALSE;

    if (info->m_bDirect || info->m_bPreview) {
        // No dialog: the printer chosen before, else the default one. Without
        // any printer this fails quietly.
        info->m_pd.hDC = app->CreatePrinterDC();
        return info->m_pd.hDC != nullptr;
    }

    HGLOBAL devMode = nullptr;
    HGLOBAL devNames = nullptr;
    app->GetPrinterSettings(devMode, devNames);

    PRINTDLGA& pd = info->m_pd;
    pd.lStructSize = sizeof pd;
    const CWnd* frame = GetParentFrame();
    pd.hwndOwner = frame ? frame->m_hWnd : m_hWnd;
    // Printing to a file would need a file name the job never asks for.
    pd.Flags |= PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE
              | PD_HIDEPRINTTOFILE;
    pd.hDevMode = CopyGlobal(devMode);
    pd.hDevNames = CopyGlobal(devNames);
    if (!::PrintDlgA(&pd)) {
        FreeGlobal(pd.hDevMode);
        FreeGlobal(pd.hDevNames);
        if (pd.hDC) {
            ::DeleteDC(pd.hDC);
            pd.hDC = nullptr;
        }
        return FALSE;
    }
    // From here on the chosen printer's handles belong to the application.
    app->SetPrinterSettings(pd.hDevMode, pd.hDevNames);
    return pd.hDC != nullptr;
}

void CView::OnFilePrint()
{
    CPrintInfo info;
    const MSG* msg = AfxGetCurrentMessage();
    if (msg && msg->message == WM_COMMAND && LOWORD(msg->wParam) == ID_FILE_PRINT_DIRECT)
        info.m_bDirect = TRUE;

    if (!OnPreparePrinting(&info) || !info.m_pd.hDC)
        return;

    CDC dc;
    dc.Attach(info.m_pd.hDC);
    dc.m_bPrinting = TRUE;
    OnBeginPrinting(&dc, &info);

    const std::string name = JobName(*this);
    const std::wstring wideName = AfxWide(name);
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = wideName.c_str();
    bool ok = ::StartDocW(dc.m_hDC, &doc) > 0;
    if (ok) {
        for (info.m_nCurPage = info.GetMinPage(); info.m_nCurPage <= info.GetMaxPage();
             ++info.m_nCurPage) {
            OnPrepareDC(&dc, &info);
            if (!info.m_bContinuePrinting)
                break;
            if (::StartPage(dc.m_hDC) <= 0) {
                ok = false;
                break;
            }
            info.m_rectDraw.SetRect(0, 0, dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES));
            dc.DPtoLP(&info.m_rectDraw);
            OnPrint(&dc, &info);
            if (::EndPage(dc.m_hDC) <= 0) {
                ok = false;
                break;
            }
        }
        if (ok)
            ::EndDoc(dc.m_hDC);
        else
            ::AbortDoc(dc.m_hDC);
    }
    OnEndPrinting(&dc, &info);
    dc.Detach();  // info deletes the printer DC
}

void CView::OnFilePrintPreview()
{
    CPrintPreviewWnd::Open(this);
}
