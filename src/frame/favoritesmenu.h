// The Favorites popup of the menu bar: below its fixed entries, the contents
// of the Favorites folder, subfolders as submenus. It is rebuilt lazily, when
// the popup opens after the folder changed.
#pragma once

#include <memory>
#include <unordered_map>

#include "afx.h"
#include "core/watchedcatalog.h"

class CFavoritesMenu : public CMenu {
public:
    // first..last is the command range of the generated entries.
    CFavoritesMenu(const CFolderEntry& favorites, UINT first, UINT last);
    // Removes the generated entries, stops the watcher, destroys the popup.
    ~CFavoritesMenu() override;

    // The first filling, once the popup is attached.
    void BuildMenu();
    // Rebuilds the entries when the folder changed since the last building.
    void RefreshIfChanged();
    // The entry of a generated command anywhere in the popup, or null.
    const CFolderEntry* LookupItem(UINT command) const;

    CWatchedCatalog& Catalog() { return m_catalog; }

private:
    void ClearItems(HMENU menu);
    void AppendItems();
    // Appends the items of catalog to menu, numbering from next; returns the next number.
    UINT AppendCatalog(HMENU menu, const CFolderCatalog& catalog, UINT next);
    UINT AppendSubmenu(HMENU parent, UINT next, const CFolderEntry& folder);
    void AppendCommand(HMENU menu, UINT id, const CFolderEntry& item);

    CWatchedCatalog m_catalog;
    UINT m_first;
    UINT m_last;
    CBitmap m_folderGlyph;
    CBitmap m_pictureGlyph;
    // The item data of the generated entries: copies owned here, keyed by
    // the pointer each entry carries, so none is lost with a menu handle.
    std::unordered_map<const CFolderEntry*, std::unique_ptr<CFolderEntry>> m_copies;
};
