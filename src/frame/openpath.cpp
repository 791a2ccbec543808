#include "frame/openpath.h"

#include "afx.h"
#include "catalog/folderentry.h"
#include "catalog/picturekinds.h"
#include "core/navigator.h"
#include "folderpage/folderpage.h"
#include "pages/picturepage.h"
#include "shell/shortcutlink.h"

bool OpenPathInPage(const std::string& path)
{
    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.Classify();
    if (entry.IsFolder())
        g_navigator.Navigate(new CFolderPage(entry));
    else if (entry.IsFile() && IsPicture(entry.m_path))
        g_navigator.Navigate(new CPicturePage(entry));
    else
        return false;  // nothing there, or nothing this program shows
    try {
        CShortcutLink link;
        link.m_targetPath = path;
        AddToHistory(link);
    } catch (...) {
        // History is a convenience: the page is open either way.
    }
    return true;
}
