// Renaming on a folder page, as in Explorer: F2 or Rename opens an edit box
// over the cell's caption with the name selected up to its extension; Enter
// renames through the shell, Esc, a click elsewhere or leaving the page
// cancels. A shortcut cell renames the shortcut file itself, shown without
// its ".lnk". The renamed cell keeps its thumbnail: nothing is decoded again.
#include "folderpage/rename.h"

#include <commctrl.h>

#include <utility>

#include "afxpath.h"
#include "core/pagehost.h"
#include "dialogs/renamedlg.h"
#include "folderpage/folderpage.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "shell/fileoperation.h"

namespace {

const char kShortcutExtension[] = ".lnk";

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

// ---------------------------------------------------------------- the box

CRenameBox::CRenameBox(std::function<void(const std::string&)> enter, std::function<void()> cancel)
    : m_enter(std::move(enter)), m_cancel(std::move(cancel))
{
}

bool CRenameBox::Create(CWnd* parent, const RECT& rect, const std::string& text, int selected, HFONT font)
{
    if (!CreateEx(0, "Edit", text.c_str(), WS_CHILD | WS_BORDER | WS_VISIBLE | ES_AUTOHSCROLL, rect, parent, 0))
        return false;
    SendMessage(WM_SETFONT, (WPARAM)font, FALSE);
    ::SetFocus(m_hWnd);
    SendMessage(EM_SETSEL, 0, selected);
    return true;
}

void CRenameBox::Refuse(const std::string& why)
{
    const std::wstring title = AfxWide(AfxLoadString(IDS_RENAME_TITLE));
    const std::wstring text = AfxWide(why);
    EDITBALLOONTIP tip{sizeof tip, title.c_str(), text.c_str(), TTI_ERROR};
    if (SendMessage(EM_SHOWBALLOONTIP, 0, (LPARAM)&tip))
        return;
    // No balloon (some systems' edit boxes have none): a message box, which
    // takes the focus for a while without ending the rename.
    m_refusing = true;
    AfxMessageBox(why.c_str(), MB_OK | MB_ICONEXCLAMATION);
    m_refusing = false;
    ::SetFocus(m_hWnd);
}

LRESULT CRenameBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        // Either may delete the box: nothing of it is touched afterwards.
        if (wParam == VK_RETURN) {
            const auto enter = m_enter;
            enter(GetWindowText());
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            const auto cancel = m_cancel;
            cancel();
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r' || wParam == 0x1B)
            return 0;  // handled as keys; the box would beep
        break;
    case WM_KILLFOCUS:
        // Ended once the focus has moved, not inside the move.
        if (!m_refusing)
            PostMessage(WM_CLOSE);
        break;
    case WM_CLOSE: {
        const auto cancel = m_cancel;
        cancel();
        return 0;
    }
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------- the page

void CFolderPage::BeginRename(EntryIt entry)
{
    EndRename();
    CPageHost* host = GetPageHost();
    if (!m_renames || !host || !IsActive() || entry == m_catalog.m_entries.end() || !entry->m_thumbnail
        || (entry->m_kind & EntryOffline))
        return;
    const std::string& path = entry->ListedPath();
    std::string name = AfxFindFileName(path.c_str());
    const bool shortcut = !entry->m_linkPath.empty() && HasExtension(name, kShortcutExtension);
    if (shortcut)
        name.resize(name.size() - (sizeof kShortcutExtension - 1));

    host->ScrollIntoView(entry->m_thumbnail->m_cell);
    m_renamedPath = path;
    m_renamedShortcut = shortcut;
    m_renamedCell = entry->m_thumbnail;
    m_renameBox = std::make_unique<CRenameBox>([this](const std::string& text) { CommitRename(text); },
                                               [this] { EndRename(); });
    if (!m_renameBox->Create(host->GetPageWnd(), RenameBoxRect(), name, NameStemLength(name, entry->IsFolder()),
                             g_resources.GetCellFont()))
        m_renameBox.reset();
}

RECT CFolderPage::RenameBoxRect() const
{
    // The caption's line in the view, a little taller for the box's border.
    RECT box = CellPart(m_renamedCell->m_cell, PartCaption);
    if (CPageHost* host = GetPageHost()) {
        const POINT origin = host->ClientToPage(POINT{0, 0});
        ::OffsetRect(&box, -origin.x, -origin.y);
    }
    ::InflateRect(&box, 0, g_resources.Scale(2));
    return box;
}

void CFolderPage::PlaceRenameBox()
{
    // The view scrolled or the grid was laid out anew: the box goes with its cell.
    CPageHost* host = GetPageHost();
    if (!m_renameBox || !host)
        return;
    const RECT box = RenameBoxRect();
    RECT now;
    ::GetWindowRect(m_renameBox->m_hWnd, &now);
    ::MapWindowPoints(nullptr, host->GetPageWnd()->m_hWnd, reinterpret_cast<POINT*>(&now), 2);
    if (!::EqualRect(&box, &now))
        m_renameBox->MoveWindow(box);
}

void CFolderPage::EndRename()
{
    if (!m_renameBox)
        return;
    // The view, not nothing, has the focus once the box is gone.
    if (::GetFocus() == m_renameBox->m_hWnd) {
        if (CPageHost* host = GetPageHost())
            ::SetFocus(host->GetPageWnd()->m_hWnd);
    }
    m_renameBox.reset();
    m_renamedCell.reset();
}

void CFolderPage::CommitRename(const std::string& text)
{
    const std::string oldPath = m_renamedPath;
    const std::string name = m_renamedShortcut ? text + kShortcutExtension : text;
    if (name == AfxFindFileName(oldPath.c_str())) {
        EndRename();
        return;
    }
    if (const std::string why = RefusedName(oldPath, name); !why.empty()) {
        m_renameBox->Refuse(why);
        return;
    }
    EndRename();
    CWnd* main = AfxGetMainWnd();
    if (ShellRename(main ? main->m_hWnd : nullptr, oldPath, name) != FileOperationResult::Done)
        return;  // the system has said why, or the user cancelled
    const std::string newPath = FolderOf(oldPath) + name;
    // A shortcut's thumbnail is its target's, which kept its name.
    const bool shortcut = m_renamedShortcut;
    if (!shortcut)
        RenameThumbnailRecord(m_catalog.m_folder.m_path, oldPath, newPath);
    // Listed now rather than at the watcher's word, the new name's cell
    // shows at once, with the old one's thumbnail.
    NoteRenamed(oldPath, newPath);
    RefreshStep();
    // The focus stays on the renamed cell, wherever its new name sorts (a
    // shortcut's cell is found by its target, which kept its name).
    if (!shortcut)
        FocusPath(newPath);
    InvalidatePageRect(m_bounds);
}

void CFolderPage::NoteRenamed(const std::string& oldPath, const std::string& newPath)
{
    const std::wstring oldKey = NameKey(oldPath);
    for (const CFolderEntry& entry : m_catalog.m_entries) {
        if (entry.m_thumbnail && NameKey(entry.ListedPath()) == oldKey)
            m_renamedThumbnails[NameKey(newPath)] = entry.m_thumbnail;
    }
    m_catalog.m_needsRefresh = true;
}

std::shared_ptr<CThumbnail> CFolderPage::RenamedThumbnail(const CFolderEntry& entry)
{
    if (m_renamedThumbnails.empty())
        return nullptr;
    const auto found = m_renamedThumbnails.find(NameKey(entry.ListedPath()));
    return found == m_renamedThumbnails.end() ? nullptr : found->second;
}

bool CFolderPage::RenameKey(UINT key)
{
    if (key != VK_F2)
        return false;
    const std::vector<EntryIt> entries = ActedOn(true);
    if (!entries.empty())
        BeginRename(entries.front());
    return true;
}

bool CFolderPage::ClickEndsRename(bool buttonUp)
{
    // The press that ended the rename does nothing else, nor its release.
    if (m_renameBox && !buttonUp) {
        EndRename();
        m_renameEndedByPress = true;
        return true;
    }
    return buttonUp && std::exchange(m_renameEndedByPress, false);
}

void CFolderPage::OnRename()
{
    const std::vector<EntryIt> entries = ActedOn(false);
    if (!entries.empty())
        BeginRename(entries.front());
}

void CFolderPage::OnUpdateRename(CCmdUI* ui)
{
    const std::vector<EntryIt> entries = ActedOn(false);
    ui->Enable(m_renames && !entries.empty() && !(entries.front()->m_kind & EntryOffline));
}
