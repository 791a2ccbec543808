#include "frame/favoritesmenu.h"

#include "res/resource.h"

namespace {

bool IsPlainFolder(const CFolderEntry& entry)
{
    return entry.IsFolder() && !(entry.m_kind & EntryShortcut);
}

} // namespace

CFavoritesMenu::CFavoritesMenu(const CFolderEntry& favorites, UINT first, UINT last)
    : m_catalog(favorites), m_first(first), m_last(last)
{
}

CFavoritesMenu::~CFavoritesMenu()
{
    if (m_hMenu && ::IsMenu(m_hMenu))
        ClearItems(m_hMenu);
    else
        Detach();  // gone with its window already
    m_copies.clear();
}

void CFavoritesMenu::BuildMenu()
{
    m_folderGlyph.LoadBitmap(IDB_FAVORITE_FOLDER);
    m_pictureGlyph.LoadBitmap(IDB_FAVORITE_PICTURE);
    m_catalog.Refresh();
    ClearItems(m_hMenu);
    AppendItems();
}

void CFavoritesMenu::RefreshIfChanged()
{
    // Cleared before re-listing, so that a change made meanwhile is seen next time.
    if (!m_catalog.m_needsRefresh.exchange(false))
        return;
    m_catalog.Refresh();
    ClearItems(m_hMenu);
    AppendItems();
}

const CFolderEntry* CFavoritesMenu::LookupItem(UINT command) const
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA;
    if (!::GetMenuItemInfoW(m_hMenu, command, FALSE, &info) || !info.dwItemData)
        return nullptr;
    const auto* entry = reinterpret_cast<const CFolderEntry*>(info.dwItemData);
    return m_copies.count(entry) ? entry : nullptr;
}

void CFavoritesMenu::ClearItems(HMENU menu)
{
    for (int position = ::GetMenuItemCount(menu) - 1; position >= 0; --position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_DATA;
        if (!::GetMenuItemInfoW(menu, (UINT)position, TRUE, &info))
            continue;
        if (info.hSubMenu) {
            ClearItems(info.hSubMenu);
            if (!::DeleteMenu(menu, (UINT)position, MF_BYPOSITION))
                return;
        } else if (info.wID >= m_first && info.wID <= m_last) {
            m_copies.erase(reinterpret_cast<const CFolderEntry*>(info.dwItemData));
            if (!::DeleteMenu(menu, (UINT)position, MF_BYPOSITION))
                return;
        }
    }
}

void CFavoritesMenu::AppendItems()
{
    AppendCatalog(m_hMenu, m_catalog, m_first);
}

UINT CFavoritesMenu::AppendCatalog(HMENU menu, const CFolderCatalog& catalog, UINT next)
{
    // Numbers past the range would be neither cleared nor handled: the
    // rest of a very large tree is left out.
    for (const CFolderEntry& item : catalog.m_entries) {
        if (next > m_last)
            break;
        if (IsPlainFolder(item))
            next = AppendSubmenu(menu, next, item);
        else
            AppendCommand(menu, next, item);
        ++next;
    }
    return next;
}

void CFavoritesMenu::AppendCommand(HMENU menu, UINT id, const CFolderEntry& item)
{
    auto copy = std::make_unique<CFolderEntry>(item);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS | MIIM_DATA;
    info.fType = MFT_STRING;
    info.fState = copy->IsFolder() ? MFS_CHECKED : MFS_UNCHECKED;
    info.wID = id;
    info.hbmpChecked = m_folderGlyph;
    info.hbmpUnchecked = m_pictureGlyph;
    info.dwItemData = reinterpret_cast<ULONG_PTR>(copy.get());
    if (AfxAppendMenuItem(menu, info, copy->m_displayName)) {
        const CFolderEntry* key = copy.get();
        m_copies.emplace(key, std::move(copy));
    }
}

UINT CFavoritesMenu::AppendSubmenu(HMENU parent, UINT next, const CFolderEntry& folder)
{
    CFolderCatalog catalog(folder);
    catalog.Refresh();
    HMENU popup = ::CreatePopupMenu();
    if (!popup)
        return next;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS | MIIM_SUBMENU | MIIM_STATE;
    info.fState = MFS_CHECKED;
    info.hSubMenu = popup;
    info.hbmpChecked = m_folderGlyph;
    info.hbmpUnchecked = m_pictureGlyph;
    if (!AfxAppendMenuItem(parent, info, folder.m_displayName)) {
        ::DestroyMenu(popup);  // never owned by a parent
        return next;
    }
    return AppendCatalog(popup, catalog, next);
}
