#include "dialogs/aboutdlg.h"

#include "afxdpi.h"
#include "res/resource.h"
#include "shell/version.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX, nullptr)
{
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    // The template's text is the format; once filled in it has no %s left.
    HWND version = pDX->PrepareCtrl(IDC_VERSION);
    AfxSetWindowText(version, AfxFormatOneString(AfxGetWindowText(version), GetVersionString()));
    AfxSetWindowText(pDX->PrepareCtrl(IDC_COPYRIGHT), GetLegalCopyright());
    AfxSetWindowText(pDX->PrepareCtrl(IDC_ABOUT_LIBRARIES), AfxLoadString(IDS_ABOUT_LIBRARIES));
    ScaleBanner();
}

void CAboutDlg::ScaleBanner()
{
    // The dialog grows with the display's scale; the banner is drawn for it.
    const int height = AfxScale(128, AfxGetDpiForWindow(m_hWnd));
    HWND banner = ::GetDlgItem(m_hWnd, IDC_BANNER);
    if (!banner || height == 128 || !m_banner.LoadNearestBitmap({IDB_ABOUT_BANNER, IDB_ABOUT_BANNER_150,
                                                                 IDB_ABOUT_BANNER_200}, height))
        return;
    // The static loaded the template's bitmap itself and leaves it to whoever replaces it.
    CBitmap designed;
    designed.Attach((HBITMAP)::SendMessageW(banner, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)(HBITMAP)m_banner));
}

CAboutDlg::~CAboutDlg()
{
    // The banner goes after the window, whose static shows it until then.
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
}

HBRUSH CAboutDlg::OnCtlColor(CDC* dc, HWND control, UINT ctlColor)
{
    if (ctlColor == CTLCOLOR_STATIC)
        return (HBRUSH)::GetStockObject(WHITE_BRUSH);
    return CDialog::OnCtlColor(dc, control, ctlColor);
}
