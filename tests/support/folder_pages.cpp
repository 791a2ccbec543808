#include "folder_pages.h"

#include "core/navigator.h"
#include "folder_entries.h"
#include "folderpage/folderpage.h"

CFolderPage* OpenFolderPage(const std::string& folder)
{
    auto* page = new CFolderPage(EntryOf(folder));
    g_navigator.Navigate(page);
    return page;
}

void BackToHome()
{
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
}
