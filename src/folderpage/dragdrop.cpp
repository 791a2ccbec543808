// Cells dragged out of a folder page as files, and files dropped on it: into
// its folder, or into the folder cell they are dropped on.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "afxdpi.h"
#include "afxpath.h"
#include "catalog/foldercatalog.h"
#include "core/pagehost.h"
#include "folderpage/folderpage.h"
#include "res/drawing_resources.h"
#include "shell/filedata.h"
#include "shell/fileoperation.h"

namespace {

constexpr int kDropFrame = 3;  // the drop target's frame, at 96 DPI

// A folder path as the file system compares it, without a closing backslash.
std::wstring FolderKey(std::string folder)
{
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return NameKey(folder);
}

std::string ParentOf(const std::string& path)
{
    const char* name = AfxFindFileName(path.c_str());
    std::string parent(path.c_str(), name);
    return parent;
}

// Whether path is folder or lies within it.
bool IsWithin(const std::wstring& path, const std::wstring& folder)
{
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0
        && (path.size() == folder.size() || path[folder.size()] == L'\\');
}

std::wstring VolumeOf(const std::string& path)
{
    wchar_t volume[MAX_PATH + 1] = L"";
    if (!::GetVolumePathNameW(AfxPathW(path).c_str(), volume, MAX_PATH))
        return {};
    return NameKey(AfxUtf8(volume));
}

// Whether files can go into folder: not back into the folder they came
// from, nor a folder into itself.
bool CanGoInto(const std::vector<std::string>& files, const std::string& folder)
{
    if (files.empty() || folder.empty())
        return false;
    const std::wstring target = FolderKey(folder);
    return std::none_of(files.begin(), files.end(), [&](const std::string& file) {
        return FolderKey(ParentOf(file)) == target || IsWithin(target, FolderKey(file));
    });
}

// What dropping files into folder does, as Explorer decides it: Ctrl copies,
// Shift moves, else a move within a volume and a copy across volumes.
DWORD ChooseEffect(const std::vector<std::string>& files, const std::string& folder, DWORD keyState, DWORD allowed)
{
    if (!CanGoInto(files, folder))
        return DROPEFFECT_NONE;
    const bool forced = (keyState & (MK_CONTROL | MK_SHIFT)) != 0;
    DWORD wanted;
    if (keyState & MK_CONTROL)
        wanted = DROPEFFECT_COPY;
    else if (keyState & MK_SHIFT)
        wanted = DROPEFFECT_MOVE;
    else
        wanted = VolumeOf(files.front()) == VolumeOf(folder) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    if (allowed & wanted)
        return wanted;
    const DWORD other = wanted == DROPEFFECT_COPY ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    return !forced && (allowed & other) ? other : DROPEFFECT_NONE;
}

} // namespace

// ---------------------------------------------------------------- dragging out

bool CFolderPage::StartsDrag(const POINT& point)
{
    int part;
    const EntryIt pressed = HitTest(point, &part);
    m_pressedPath.clear();
    m_dragMoved = SIZE{0, 0};
    if (pressed == m_catalog.m_entries.end() || (pressed->m_kind & EntryOffline))
        return false;
    m_pressedPath = pressed->ListedPath();
    return true;
}

void CFolderPage::OnDrag(int dx, int dy)
{
    if (m_pressedPath.empty())
        return;
    m_dragMoved.cx += dx;
    m_dragMoved.cy += dy;
    // Within the system's drag distance the press is still a click.
    const int dpi = g_resources.Dpi();
    if (std::abs(m_dragMoved.cx) <= AfxGetSystemMetrics(SM_CXDRAG, dpi)
        && std::abs(m_dragMoved.cy) <= AfxGetSystemMetrics(SM_CYDRAG, dpi))
        return;
    const std::wstring pressedKey = NameKey(std::exchange(m_pressedPath, {}));
    // The selection when the pressed cell is in it, else the pressed cell.
    std::vector<EntryIt> dragged = ActedOn(false);
    const auto isPressed = [&](EntryIt entry) { return NameKey(entry->ListedPath()) == pressedKey; };
    if (std::none_of(dragged.begin(), dragged.end(), isPressed)) {
        dragged.clear();
        for (auto it = m_catalog.m_entries.begin(); it != m_catalog.m_entries.end(); ++it)
            if (isPressed(it))
                dragged.push_back(it);
    }
    // Shortcuts give their targets; the paths are taken now, as the list
    // may change while the drag runs.
    std::vector<std::string> paths;
    for (EntryIt entry : dragged)
        if (!(entry->m_kind & EntryOffline))
            paths.push_back(entry->m_path);
    if (!paths.empty())
        DragFiles(paths, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);
}

// ---------------------------------------------------------------- dropping in

std::string CFolderPage::DropFolder(const POINT& point, std::string* cell)
{
    int part;
    const EntryIt entry = HitTest(point, &part);
    cell->clear();
    if (entry != m_catalog.m_entries.end() && entry->IsFolder() && !(entry->m_kind & EntryOffline)) {
        *cell = entry->ListedPath();
        return entry->m_path;
    }
    return m_catalog.m_folder.m_path;
}

DWORD CFolderPage::DropEffect(const POINT& point, const std::vector<std::string>& files, DWORD keyState,
                              DWORD allowed)
{
    std::string cell;
    const std::string folder = DropFolder(point, &cell);
    const DWORD effect = ChooseEffect(files, folder, keyState, allowed);
    if (effect == DROPEFFECT_NONE)
        ShowDropTarget(false);
    else
        ShowDropTarget(true, cell);
    return effect;
}

DWORD CFolderPage::Drop(const POINT& point, const std::vector<std::string>& files, DWORD effect)
{
    ShowDropTarget(false);
    std::string cell;
    const std::string folder = DropFolder(point, &cell);
    if ((effect != DROPEFFECT_COPY && effect != DROPEFFECT_MOVE) || !CanGoInto(files, folder))
        return DROPEFFECT_NONE;
    CWnd* main = AfxGetMainWnd();
    HWND owner = main ? main->m_hWnd : nullptr;
    // The page follows through its watcher.
    const FileOperationResult result =
        effect == DROPEFFECT_MOVE ? ShellMove(owner, files, folder) : ShellCopy(owner, files, folder);
    return result == FileOperationResult::Done ? effect : DROPEFFECT_NONE;
}

void CFolderPage::DragLeft()
{
    ShowDropTarget(false);
}

// ---------------------------------------------------------------- the drop target shown

RECT CFolderPage::DropTargetRect() const
{
    if (!m_dropCell.empty()) {
        const std::wstring key = NameKey(m_dropCell);
        // Round the cell, in the gap, clear of its caption.
        const int frame = g_resources.Scale(kDropFrame);
        for (const CFolderEntry& entry : m_catalog.m_entries)
            if (entry.m_thumbnail && NameKey(entry.ListedPath()) == key) {
                RECT cell = entry.m_thumbnail->m_cell;
                ::InflateRect(&cell, frame, frame);
                return cell;
            }
        return RECT{0, 0, 0, 0};
    }
    // The page's edge all round its content, however far it scrolls.
    RECT page = m_bounds;
    if (!m_cells.empty())
        page.bottom = std::max(page.bottom, m_cells.back()->m_thumbnail->m_cell.bottom + g_resources.Scale(kGap));
    return page;
}

void CFolderPage::ShowDropTarget(bool shown, const std::string& cell)
{
    if (shown == m_dropShown && cell == m_dropCell)
        return;
    if (m_dropShown)
        InvalidatePageRect(DropTargetRect());
    m_dropShown = shown;
    m_dropCell = shown ? cell : std::string();
    if (m_dropShown)
        InvalidatePageRect(DropTargetRect());
}

void CFolderPage::DrawDropTarget(CDC* dc)
{
    if (!m_dropShown || dc->IsPrinting())
        return;
    const RECT frame = DropTargetRect();
    const int width = g_resources.Scale(kDropFrame);
    HBRUSH brush = ::GetSysColorBrush(COLOR_HIGHLIGHT);
    const RECT sides[] = {
        {frame.left, frame.top, frame.right, frame.top + width},
        {frame.left, frame.bottom - width, frame.right, frame.bottom},
        {frame.left, frame.top, frame.left + width, frame.bottom},
        {frame.right - width, frame.top, frame.right, frame.bottom},
    };
    for (const RECT& side : sides)
        ::FillRect(dc->m_hDC, &side, brush);
}
