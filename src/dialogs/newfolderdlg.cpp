#include "dialogs/newfolderdlg.h"

#include "res/resource.h"

CNewFolderDlg::CNewFolderDlg() : CHelpDialog(IDD_NEW_FOLDER, nullptr)
{
}

void CNewFolderDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_NAME, m_name);
    DDV_MaxChars(pDX, m_name, 100);
    DDX_Control(pDX, IDC_NEW_FOLDER_CAPTION, m_captionText);
    if (!pDX->m_bSaveAndValidate)
        m_captionText.SetWindowText(AfxFormatOneString(m_captionText.GetWindowText(), m_location));
}
