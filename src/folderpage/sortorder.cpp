// A folder page in the order chosen under View > Sort By. By date taken it
// opens in the names' order, as listed, while the makers read every
// picture's date ahead of the thumbnails, and sorts once when they know
// them all; the focused entry stays where it is on screen.
#include <algorithm>
#include <mutex>

#include "core/pagehost.h"
#include "folderpage/folderpage.h"
#include "shell/settings.h"

void CFolderPage::TakeSortChoice()
{
    if (!m_followsSortChoice)
        return;
    m_byDateTaken = g_settings.SortOrder == SortByDateTaken;
    m_catalog.m_sortOrder = m_byDateTaken ? SortByName : g_settings.SortOrder;
    m_catalog.m_descending = g_settings.SortDescending;
}

bool CFolderPage::AwaitDates()
{
    m_datesAwaited = m_byDateTaken;
    return m_datesAwaited;
}

void CFolderPage::SortChoiceChanged()
{
    if (!m_followsSortChoice)
        return;
    m_byDateTaken = g_settings.SortOrder == SortByDateTaken;
    m_datesAwaited = false;
    if (!m_byDateTaken) {
        Resort(g_settings.SortOrder, g_settings.SortDescending);
        return;
    }
    if (m_scheduler.FactsKnown()) {
        Resort(SortByDateTaken, g_settings.SortDescending);
        return;
    }
    // The order stays until the makers, asked again, know every date; a
    // page not shown asks them when it is shown again.
    if (IsActive() && !m_released)
        Start();
    else
        m_datesAwaited = true;
}

void CFolderPage::SortWhenDatesKnown()
{
    if (!m_datesAwaited || !m_scheduler.FactsKnown())
        return;
    m_datesAwaited = false;
    Resort(SortByDateTaken, g_settings.SortDescending);
}

void CFolderPage::Resort(int order, bool descending)
{
    m_catalog.m_sortOrder = order;
    m_catalog.m_descending = descending;
    const EntryIt focused = EntryAt(GetFocusedItem());
    const bool hasFocus = focused != m_catalog.m_entries.end();
    const LONG focusTop = hasFocus ? focused->m_thumbnail->m_cell.top : 0;
    // A focus never moved is on the first cell; it stays with its entry.
    if (hasFocus && m_focusKey.empty())
        m_focusKey = NameKey(focused->m_path);
    const std::vector<EntryIt> before = m_cells;
    RememberSelection();
    m_catalog.Sort();
    EnsureThumbnails();
    if (m_cells == before)
        return;
    EndRename();
    RemovePeek();
    ClearHover();
    SyncFocus();
    const CSize extent = Layout(&m_bounds);
    const LONG moved = hasFocus ? focused->m_thumbnail->m_cell.top - focusTop : 0;
    CPageHost* host = GetPageHost();
    const LONG shown = host ? host->GetPageClientRect().Height() : 0;
    const auto scrolled = [&](POINT scroll) {
        scroll.y = std::clamp(scroll.y + moved, 0L, std::max(0L, extent.cy - shown));
        return scroll;
    };
    if (host && IsActive())
        host->SetPageExtent(extent, scrolled(host->GetScrollPosition()));
    else
        m_scroll = scrolled(m_scroll);
}

std::shared_ptr<const std::vector<CFolderEntry>> CFolderPage::EntriesInOrder(bool picturesOnly) const
{
    auto entries = std::make_shared<std::vector<CFolderEntry>>();
    entries->reserve(m_cells.size());
    // A maker may be writing a folder's picture and time meanwhile.
    std::lock_guard guard(EntryLock());
    for (const CFolderEntry& entry : m_catalog.m_entries) {
        if (!picturesOnly || entry.IsFile())
            entries->push_back(entry);
    }
    return entries;
}
