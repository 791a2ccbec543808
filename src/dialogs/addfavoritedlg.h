// Adds the current page to a folder of Favorites: the user names the
// shortcut and picks the folder from a tree of the Favorites folder.
#pragma once

#include <list>
#include <string>

#include "catalog/folderentry.h"
#include "controls.h"
#include "dialogs/helpdialog.h"
#include "gdi.h"

// The folder chosen in the last Add Favorite dialog of this run that ended with OK.
extern std::string lastFavoriteFolder;

class CAddFavoriteDlg : public CHelpDialog {
public:
    CAddFavoriteDlg(const CFolderEntry& pageItem, CWnd* parent);

    CTreeCtrl m_folderTree;    // control 1013
    std::string m_name;        // edit 1012
    CFolderEntry m_pageItem;   // its path is the shortcut's target
    CImageList m_folderImages; // 0 closed folder, 1 open folder

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // Rebuilds the tree from the Favorites folder and selects select (else the root).
    void FillFolderTree(const std::string& select);
    void InsertFolder(const std::string& path, HTREEITEM parent, const std::string& select);
    void OnNewFolder();

    DECLARE_COMMAND_MAP()

private:
    // One per tree item ever inserted; the items' data point here, so a list.
    std::list<std::string> m_folderPaths;
};
