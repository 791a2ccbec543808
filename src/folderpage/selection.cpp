// The selection of a folder page and which cells the commands act on. The
// selection is a flag per cell, so that selecting all of a folder of tens
// of thousands and reading it back cost a pass over a vector; across a new
// listing of the folder it is kept by name, as the focus is.
#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "afxpath.h"
#include "core/pagehost.h"
#include "folderpage/folderpage.h"
#include "res/resource.h"

namespace {

// More changed cells than this are repainted and told as one change, as a
// list tells a screen reader "select all".
constexpr size_t kFewCells = 16;

} // namespace

bool CFolderPage::IsSelected(int index) const
{
    return index >= 0 && index < (int)m_selected.size() && m_selected[(size_t)index];
}

std::vector<int> CFolderPage::GetSelectedItems() const
{
    std::vector<int> items;
    items.reserve((size_t)m_selectedCount);
    for (size_t i = 0; i < m_selected.size(); ++i) {
        if (m_selected[i])
            items.push_back((int)i);
    }
    return items;
}

std::string CFolderPage::GetStatusText() const
{
    if (m_selectedCount == 0)
        return {};
    if (m_selectedCount == 1)
        return AfxLoadString(IDS_ONE_ITEM_SELECTED);
    const std::string format = AfxLoadString(IDS_ITEMS_SELECTED);
    char text[128];
    std::snprintf(text, sizeof text, format.c_str(), m_selectedCount);
    return text;
}

void CFolderPage::ApplySelection(std::vector<char> next)
{
    next.resize(m_cells.size());
    std::vector<int> changed;
    int count = 0;
    for (size_t i = 0; i < next.size(); ++i) {
        count += next[i] ? 1 : 0;
        if (next[i] != m_selected[i] && changed.size() <= kFewCells)
            changed.push_back((int)i);
    }
    m_selected.swap(next);
    m_selectedCount = count;
    const auto notify = [this](int index, bool added) {
        if (m_selectionNotice)
            m_selectionNotice(index, added);
        else
            NotifyItemsSelected(index, added);
    };
    if (changed.size() > kFewCells) {
        InvalidatePageRect(m_bounds);
        notify(-1, true);
        return;
    }
    for (int index : changed) {
        InvalidateCellPart(m_cells[(size_t)index]->m_thumbnail.get(), PartCell);
        notify(index, m_selected[(size_t)index] != 0);
    }
}

void CFolderPage::SelectAll()
{
    ApplySelection(std::vector<char>(m_cells.size(), 1));
}

void CFolderPage::InvertSelection()
{
    std::vector<char> next(m_selected);
    for (char& selected : next)
        selected = !selected;
    ApplySelection(std::move(next));
}

void CFolderPage::ClearSelection()
{
    if (m_selectedCount > 0)
        ApplySelection(std::vector<char>(m_cells.size(), 0));
    m_anchorKey.clear();
}

void CFolderPage::ToggleSelected(int index)
{
    if (index < 0 || index >= GetItemCount())
        return;
    std::vector<char> next(m_selected);
    next[(size_t)index] = !next[(size_t)index];
    ApplySelection(std::move(next));
    MoveFocus(index);
}

void CFolderPage::ExtendSelection(int index)
{
    const int count = GetItemCount();
    if (count == 0)
        return;
    index = std::clamp(index, 0, count - 1);
    if (m_anchorKey.empty()) {
        m_anchor = GetFocusedItem();
        m_anchorKey = NameKey(m_cells[(size_t)m_anchor]->m_path);
    }
    std::vector<char> next(m_cells.size(), 0);
    std::fill(next.begin() + std::min(m_anchor, index), next.begin() + std::max(m_anchor, index) + 1, 1);
    ApplySelection(std::move(next));
    // Moving the focus starts a new anchor; extending keeps the old one.
    const int anchor = m_anchor;
    std::wstring anchorKey = m_anchorKey;
    MoveFocus(index);
    m_anchor = anchor;
    m_anchorKey = std::move(anchorKey);
}

void CFolderPage::SelectAt(const POINT& point, bool toggle)
{
    const int index = ItemAt(point);
    if (index < 0)
        return;
    if (toggle)
        ToggleSelected(index);
    else
        ExtendSelection(index);
}

void CFolderPage::SelectForMenu(const POINT& point)
{
    const int index = ItemAt(point);
    if (index < 0 || IsSelected(index))
        return;
    std::vector<char> next(m_cells.size(), 0);
    next[(size_t)index] = 1;
    ApplySelection(std::move(next));
    MoveFocus(index);
}

void CFolderPage::RememberSelection()
{
    m_selectedKeys.clear();
    for (size_t i = 0; i < m_selected.size() && i < m_cells.size(); ++i) {
        if (m_selected[i])
            m_selectedKeys.push_back(NameKey(m_cells[i]->m_path));
    }
}

void CFolderPage::SyncSelection()
{
    // Entries that left the folder leave the selection; screen readers
    // read it anew with the reordered list.
    m_selected.assign(m_cells.size(), 0);
    m_selectedCount = 0;
    if (!m_selectedKeys.empty()) {
        const std::unordered_set<std::wstring> keys(m_selectedKeys.begin(), m_selectedKeys.end());
        for (size_t i = 0; i < m_cells.size(); ++i) {
            if (keys.count(NameKey(m_cells[i]->m_path))) {
                m_selected[i] = 1;
                ++m_selectedCount;
            }
        }
        m_selectedKeys.clear();
    }
    const int anchor = m_anchorKey.empty() ? -1 : IndexOf(m_anchorKey);
    if (anchor < 0)
        m_anchorKey.clear();
    else
        m_anchor = anchor;
}

std::vector<CFolderPage::EntryIt> CFolderPage::ActedOn(bool byKey)
{
    if (m_selectedCount > 0) {
        std::vector<EntryIt> entries;
        entries.reserve((size_t)m_selectedCount);
        for (size_t i = 0; i < m_selected.size(); ++i) {
            if (m_selected[i])
                entries.push_back(m_cells[i]);
        }
        return entries;
    }
    // A key never acts on what the pointer happens to rest on.
    int part;
    const EntryIt entry = byKey ? EntryAt(GetFocusedItem()) : Target(&part);
    if (entry == m_catalog.m_entries.end())
        return {};
    return {entry};
}
