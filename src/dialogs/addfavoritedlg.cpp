#include "dialogs/addfavoritedlg.h"

#include "afxdpi.h"
#include "afxpath.h"
#include "dialogs/newfolderdlg.h"
#include "filefind.h"
#include "res/resource.h"
#include "shell/settings.h"
#include "shell/shortcutlink.h"

std::string lastFavoriteFolder;

BEGIN_COMMAND_MAP(CAddFavoriteDlg, CHelpDialog)
    ON_COMMAND(IDC_NEW_FOLDER, OnNewFolder)
END_COMMAND_MAP()

CAddFavoriteDlg::CAddFavoriteDlg(const CFolderEntry& pageItem, CWnd* parent)
    : CHelpDialog(IDD_ADD_FAVORITE, parent), m_pageItem(pageItem)
{
    m_name = AfxFindFileName(m_pageItem.m_path.c_str());
    if (!AfxIsDirectory(lastFavoriteFolder))
        lastFavoriteFolder = g_settings.FavoritesFolder;
}

void CAddFavoriteDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_FOLDER_TREE, m_folderTree);
    DDX_Text(pDX, IDC_NAME, m_name);
    if (!pDX->m_bSaveAndValidate) {
        // The folders at the tree's scale, drawn for the nearest one.
        CBitmap images;
        const int size = AfxScale(16, AfxGetDpiForWindow(m_hWnd));
        BITMAP info{};
        if (images.LoadNearestBitmap({IDB_FOLDER_IMAGES, IDB_FOLDER_IMAGES_24, IDB_FOLDER_IMAGES_32}, size)
            && images.GetBitmap(&info)
            && m_folderImages.Create(info.bmHeight, info.bmHeight, ILC_COLOR24 | ILC_MASK, 2, 0))
            m_folderImages.Add(images, RGB(255, 255, 255));
        m_folderTree.SetImageList(&m_folderImages, TVSIL_NORMAL);
        FillFolderTree(lastFavoriteFolder);
        return;
    }
    const auto* folder = reinterpret_cast<const std::string*>(
        m_folderTree.GetItemData(m_folderTree.GetSelectedItem()));
    if (!folder)
        return;
    lastFavoriteFolder = *folder;
    CShortcutLink link;
    link.m_targetPath = m_pageItem.m_path;
    AddShortcut(&m_name, link, *folder);
}

void CAddFavoriteDlg::FillFolderTree(const std::string& select)
{
    m_folderTree.DeleteAllItems();
    InsertFolder(g_settings.FavoritesFolder, TVI_ROOT, select);
    if (!m_folderTree.GetSelectedItem())
        m_folderTree.SelectItem(m_folderTree.GetRootItem());
}

void CAddFavoriteDlg::InsertFolder(const std::string& path, HTREEITEM parent, const std::string& select)
{
    HTREEITEM item = m_folderTree.InsertItem(AfxFindFileName(path.c_str()), 0, 1, parent, TVI_LAST);
    m_folderPaths.push_back(path);
    m_folderTree.SetItemData(item, (DWORD_PTR)&m_folderPaths.back());
    m_folderTree.SetItemState(item, TVIS_EXPANDED, TVIS_EXPANDED);
    if (AfxCompareNoCase(select, path) == 0)
        m_folderTree.SelectItem(item);

    CFileFind find;
    BOOL more = find.FindFile(JoinPattern(path, "*.*").c_str());
    while (more) {
        more = find.FindNextFile();
        if (find.IsDirectory() && !find.IsDots())
            InsertFolder(find.GetFilePath(), item, select);
    }
}

void CAddFavoriteDlg::OnNewFolder()
{
    const auto* selected = reinterpret_cast<const std::string*>(
        m_folderTree.GetItemData(m_folderTree.GetSelectedItem()));
    if (!selected)
        return;
    const std::string parent = *selected;
    CNewFolderDlg dialog;
    const size_t hidden = g_settings.AppDataFolder.size() + 1;
    dialog.m_location = hidden < parent.size() ? parent.substr(hidden) : std::string();
    if (dialog.DoModal() != IDOK)
        return;
    const std::string created = parent + "\\" + dialog.m_name;
    AfxCreateDirectory(created);
    FillFolderTree(created);
}
