#include "dialogs/aboutdlg.h"

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
}

HBRUSH CAboutDlg::OnCtlColor(CDC* dc, HWND control, UINT ctlColor)
{
    if (ctlColor == CTLCOLOR_STATIC)
        return (HBRUSH)::GetStockObject(WHITE_BRUSH);
    return CDialog::OnCtlColor(dc, control, ctlColor);
}
