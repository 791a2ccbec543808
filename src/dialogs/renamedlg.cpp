#include "dialogs/renamedlg.h"

#include "afxpath.h"
#include "catalog/foldercatalog.h"
#include "res/resource.h"
#include "shell/fileoperation.h"

std::string RefusedName(const std::string& path, const std::string& newName)
{
    if (std::string why = CheckFileName(newName); !why.empty())
        return why;
    const size_t slash = path.find_last_of("\\/");
    const std::string newPath = path.substr(0, slash == std::string::npos ? 0 : slash + 1) + newName;
    if (NameKey(newPath) != NameKey(path) && AfxGetFileAttributes(newPath) != INVALID_FILE_ATTRIBUTES)
        return AfxFormatOneString(AfxLoadString(IDS_RENAME_EXISTS), newName);
    return {};
}

int NameStemLength(const std::string& name, bool folder)
{
    const std::wstring wide = AfxWide(name);
    const size_t dot = wide.find_last_of(L'.');
    // ".hidden" has no stem to keep apart.
    return folder || dot == std::wstring::npos || dot == 0 ? (int)wide.size() : (int)dot;
}

CRenameDlg::CRenameDlg(const std::string& path, CWnd* parent)
    : CDialog(IDD_RENAME, parent), m_name(AfxFindFileName(path.c_str())), m_path(path)
{
}

BOOL CRenameDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const HWND edit = ::GetDlgItem(m_hWnd, IDC_RENAME_NAME);
    ::SetFocus(edit);
    ::SendMessageW(edit, EM_SETSEL, 0, NameStemLength(m_name, false));
    return FALSE;  // the focus is set
}

void CRenameDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_RENAME_NAME, m_name);
    if (!pDX->m_bSaveAndValidate)
        return;
    if (const std::string why = RefusedName(m_path, m_name); !why.empty()) {
        AfxMessageBox(why.c_str(), MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}
