// Which cells the commands act on.
#include "folderpage/folderpage.h"

std::vector<CFolderPage::EntryIt> CFolderPage::ActedOn(bool byKey)
{
    int part;
    const EntryIt entry = byKey ? EntryAt(GetFocusedItem()) : Target(&part);
    if (entry == m_catalog.m_entries.end())
        return {};
    return {entry};
}
