// A folder page and the keyboard: one cell has the focus; the arrow keys,
// Home, End and the page keys move it through the grid (with Shift they
// select up to it), Enter opens it, and typing the start of a name finds it,
// as in Explorer. While the keyboard is in use the commands act on the
// focused entry, not the one under the pointer.
#include <algorithm>

#include "afxpath.h"
#include "core/navigator.h"
#include "core/pagehost.h"
#include "folderpage/folderpage.h"
#include "res/drawing_resources.h"
#include "res/resource.h"

namespace {

// Typing more than this long after the last character starts a new search.
constexpr DWORD kTypeAheadPause = 1000;

std::wstring Lowered(std::wstring text)
{
    if (!text.empty())
        ::CharLowerBuffW(text.data(), (DWORD)text.size());
    return text;
}

bool ControlHeld()
{
    return ::GetKeyState(VK_CONTROL) < 0;
}

bool KeyboardInUse()
{
    CPageHost* host = GetPageHost();
    return host && host->KeyboardInUse();
}

} // namespace

int CFolderPage::GetItemCount() const
{
    return (int)m_cells.size();
}

CFolderPage::EntryIt CFolderPage::EntryAt(int index)
{
    if (index < 0 || index >= (int)m_cells.size())
        return m_catalog.m_entries.end();
    return m_cells[(size_t)index];
}

bool CFolderPage::GetItem(int index, PageItem* item) const
{
    const EntryIt entry = const_cast<CFolderPage*>(this)->EntryAt(index);
    if (entry == m_catalog.m_entries.end())
        return false;
    item->name = entry->m_displayName;
    const UINT kind = (entry->m_kind & EntryOffline)    ? IDS_ITEM_OFFLINE
                    : (entry->m_kind & EntryShortcut)   ? IDS_ITEM_SHORTCUT
                    : entry->IsFolder()                 ? IDS_ITEM_FOLDER
                                                        : IDS_ITEM_PICTURE;
    item->kind = AfxLoadString(kind);
    item->bounds = entry->m_thumbnail->m_cell;
    item->focused = index == GetFocusedItem();
    item->selected = IsSelected(index);
    return true;
}

int CFolderPage::GetFocusedItem() const
{
    const int count = GetItemCount();
    return count == 0 ? -1 : std::min(m_focus, count - 1);
}

bool CFolderPage::GetDetailsPath(std::string* path) const
{
    const EntryIt entry = const_cast<CFolderPage*>(this)->EntryAt(GetFocusedItem());
    *path = entry == m_catalog.m_entries.end() ? std::string() : entry->m_path;
    return true;
}

int CFolderPage::ItemAt(const POINT& point) const
{
    // The grid as Layout made it: a screen reader probes this with every
    // move of the pointer, in folders of tens of thousands.
    const int cellWidth = g_resources.Scale(kCellWidth), cellHeight = g_resources.Scale(kCellHeight);
    const int gap = g_resources.Scale(kGap), titleHeight = g_resources.Scale(kTitleHeight);
    const int x = point.x - m_bounds.left - gap, y = point.y - m_bounds.top - titleHeight;
    if (x < 0 || y < 0 || x / (cellWidth + gap) >= m_columns)
        return -1;
    const long long index = (long long)(y / (cellHeight + gap)) * m_columns + x / (cellWidth + gap);
    if (index >= (long long)m_cells.size())
        return -1;
    // Between cells, or laid out at another scale.
    const RECT& cell = m_cells[(size_t)index]->m_thumbnail->m_cell;
    return ::PtInRect(&cell, point) ? (int)index : -1;
}

int CFolderPage::IndexOf(const std::wstring& key) const
{
    for (size_t i = 0; i < m_cells.size(); ++i) {
        if (NameKey(m_cells[i]->m_path) == key)
            return (int)i;
    }
    return -1;
}

void CFolderPage::SyncFocus()
{
    // Gone, the entry leaves the focus at its place in the grid.
    if (const int index = m_focusKey.empty() ? -1 : IndexOf(m_focusKey); index >= 0)
        m_focus = index;
}

void CFolderPage::MoveFocus(int index)
{
    const int count = GetItemCount();
    if (count == 0)
        return;
    index = std::clamp(index, 0, count - 1);
    const EntryIt old = EntryAt(GetFocusedItem());
    const EntryIt entry = EntryAt(index);
    m_focus = index;
    m_focusKey = NameKey(entry->m_path);
    m_anchorKey.clear();
    if (old != m_catalog.m_entries.end())
        InvalidateCellPart(old->m_thumbnail.get(), PartCell);
    InvalidateCellPart(entry->m_thumbnail.get(), PartCell);
    if (CPageHost* host = GetPageHost(); host && IsActive())
        host->ScrollIntoView(entry->m_thumbnail->m_cell);
    if (m_focusNotice)
        m_focusNotice(index);
    else
        NotifyItemFocused(index);
}

void CFolderPage::FocusItem(int index)
{
    MoveFocus(index);
}

void CFolderPage::FocusPath(const std::string& path)
{
    std::wstring key = NameKey(path);
    if (const int index = IndexOf(key); index >= 0) {
        m_focus = index;
        m_focusKey = std::move(key);
        m_anchorKey.clear();
    }
}

void CFolderPage::OpenItem(int index)
{
    const EntryIt entry = EntryAt(index);
    if (entry != m_catalog.m_entries.end())
        Open(entry, PartCell);
}

CFolderPage::EntryIt CFolderPage::Target(int* part)
{
    if (KeyboardInUse()) {
        *part = PartCell;
        return EntryAt(GetFocusedItem());
    }
    return Hovered(part);
}

bool CFolderPage::OnKey(UINT key, bool shift)
{
    if (RenameKey(key) || OnFileKey(key, shift))
        return true;
    const int focus = GetFocusedItem();
    if (focus < 0)
        return false;
    // Rows of cells a screen holds, for the page keys.
    CPageHost* host = GetPageHost();
    const int rowHeight = g_resources.Scale(kCellHeight + kGap);
    const int rows = host ? std::max(1, (int)host->GetPageClientRect().Height() / rowHeight) : 1;
    const int count = GetItemCount();
    int target = -1;
    switch (key) {
    case VK_LEFT:  target = std::max(0, focus - 1); break;
    case VK_RIGHT: target = std::min(count - 1, focus + 1); break;
    case VK_UP:    target = focus >= m_columns ? focus - m_columns : focus; break;
    case VK_DOWN:  target = focus + m_columns < count ? focus + m_columns : count - 1; break;
    case VK_HOME:  target = 0; break;
    case VK_END:   target = count - 1; break;
    case VK_PRIOR: target = std::max(focus % m_columns, focus - rows * m_columns); break;
    case VK_NEXT:  target = std::min(count - 1, focus + rows * m_columns); break;
    case VK_RETURN:
        // Shown again by Back, the focus is where it was.
        MoveFocus(focus);
        OpenItem(focus);
        return true;
    case VK_SPACE:
        if (!ControlHeld())
            return false;
        ToggleSelected(focus);
        return true;
    case 'A':
        if (!ControlHeld())
            return false;
        SelectAll();
        return true;
    case VK_ESCAPE:
        if (!HasSelection())
            return false;
        ClearSelection();
        return true;
    default:
        return false;
    }
    if (shift)
        ExtendSelection(target);
    else
        MoveFocus(target);
    return true;
}

bool CFolderPage::OnCharacter(wchar_t character)
{
    // Ctrl+Space selected; its space is no name to look for.
    if (character == L' ' && ControlHeld())
        return true;
    return TypeAhead(character);
}

bool CFolderPage::TypeAhead(wchar_t character)
{
    const int count = GetItemCount();
    if (count == 0)
        return false;
    const DWORD now = ::GetTickCount();
    if (now - m_typedTick > kTypeAheadPause)
        m_typed.clear();
    m_typedTick = now;
    m_typed += Lowered(std::wstring(1, character));
    // One letter pressed again and again steps through the names starting
    // with it; a longer text first tries the focused name itself.
    const bool sameLetter = std::all_of(m_typed.begin(), m_typed.end(), [&](wchar_t c) { return c == m_typed[0]; });
    const std::wstring wanted = sameLetter ? m_typed.substr(0, 1) : m_typed;
    const int focus = GetFocusedItem();
    const int first = sameLetter ? focus + 1 : focus;
    std::vector<std::wstring> names;
    names.reserve((size_t)count);
    for (const CFolderEntry& entry : m_catalog.m_entries) {
        if (entry.m_thumbnail)
            names.push_back(AfxWide(entry.m_displayName));
    }
    for (int step = 0; step < count; ++step) {
        const int index = (first + step) % count;
        if (Lowered(names[(size_t)index].substr(0, wanted.size())) == wanted) {
            MoveFocus(index);
            return true;
        }
    }
    return true;  // typed, found nothing: the focus stays
}
