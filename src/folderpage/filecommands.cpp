// A folder page's commands on the files of its cells: Delete, the
// clipboard, Copy and Move To Folder, and the shell's verbs. Keys act on
// the focused cells (ActedOn(true)), menus on ActedOn(false). A shortcut's
// own file is deleted; its target is copied, cut and shown. The operations
// run as file jobs, so the window keeps answering meanwhile.
#include <algorithm>

#include "afxpath.h"
#include "catalog/foldercatalog.h"
#include "folderpage/folderpage.h"
#include "res/resource.h"
#include "shell/filedata.h"
#include "shell/filejobs.h"
#include "shell/fileverbs.h"
#include "shell/folderpicker.h"
#include "shell/settings.h"

namespace {

bool Held(int key)
{
    return ::GetKeyState(key) < 0;
}

// Nothing acts on what is not there: an offline entry, a missing target.
bool Reachable(const CFolderEntry& entry)
{
    return !(entry.m_kind & EntryOffline) && (entry.IsFile() || entry.IsFolder());
}

// The targets of the reachable entries (a shortcut's target, not its file).
std::vector<std::string> Targets(const std::vector<CFolderPage::EntryIt>& entries)
{
    std::vector<std::string> paths;
    for (const auto& entry : entries) {
        if (Reachable(*entry))
            paths.push_back(entry->m_path);
    }
    return paths;
}

// The first reachable picture file among entries, or empty.
std::string FirstPicture(const std::vector<CFolderPage::EntryIt>& entries)
{
    for (const auto& entry : entries) {
        if (Reachable(*entry) && entry->IsFile())
            return entry->m_path;
    }
    return {};
}

bool IsWithin(const std::string& path, const std::string& folder)
{
    if (folder.empty())
        return false;
    const std::wstring key = NameKey(path), folderKey = NameKey(folder);
    return key == folderKey
        || (key.size() > folderKey.size() && key.compare(0, folderKey.size(), folderKey) == 0
            && (key[folderKey.size()] == L'\\' || key[folderKey.size()] == L'/'));
}

HWND MainWindow()
{
    CWnd* main = AfxGetMainWnd();
    return main ? main->m_hWnd : nullptr;
}

void CopyOrMove(std::vector<std::string> paths, std::string folder, bool move)
{
    if (paths.empty() || folder.empty())
        return;
    RunFileJob(
        [paths = std::move(paths), folder = std::move(folder), move](HWND owner) {
            return move ? ShellMove(owner, paths, folder) : ShellCopy(owner, paths, folder);
        },
        move ? IDS_MOVE_FAILED : IDS_COPY_FAILED);
}

} // namespace

bool CFolderPage::ListsShortcuts() const
{
    // History and Favorites hold the program's shortcuts: deleting one is Remove.
    const std::string& folder = m_catalog.m_folder.m_path;
    return IsWithin(folder, g_settings.HistoryFolder) || IsWithin(folder, g_settings.FavoritesFolder);
}

bool CFolderPage::CanPaste() const
{
    const CFolderEntry& folder = m_catalog.m_folder;
    return Reachable(folder) && folder.IsFolder() && !ListsShortcuts() && ClipboardHasFiles();
}

bool CFolderPage::OnFileKey(UINT key, bool shift)
{
    const bool ctrl = Held(VK_CONTROL), alt = Held(VK_MENU);
    if (key == VK_DELETE && !ctrl && !alt)
        Delete(ActedOn(true), !shift);
    else if ((key == 'C' || key == 'X') && ctrl && !alt && !shift)
        PutOnClipboard(ActedOn(true), key == 'X');
    else if (key == 'V' && ctrl && !alt && !shift)
        OnPaste();
    else if (key == VK_RETURN && alt)
        ShowProperties(MainWindow(), Targets(ActedOn(true)));
    else
        return false;
    return true;
}

void CFolderPage::Delete(const std::vector<EntryIt>& entries, bool recycle)
{
    std::vector<std::string> paths;
    bool removed = false;
    for (const EntryIt& entry : entries) {
        if ((entry->m_kind & EntryShortcut) && ListsShortcuts())
            removed |= AfxDeleteFile(entry->m_linkPath) != FALSE;
        else if (Reachable(*entry) || !entry->m_linkPath.empty())
            paths.push_back(entry->ListedPath());  // a shortcut's own file, even to an absent disk
    }
    if (!paths.empty()) {
        RunFileJob([paths, recycle](HWND owner) { return ShellDelete(owner, paths, recycle); },
                   IDS_DELETE_FAILED);
    }
    if (removed)
        OnRefresh();
}

void CFolderPage::PutOnClipboard(const std::vector<EntryIt>& entries, bool cut)
{
    const std::vector<std::string> paths = Targets(entries);
    if (!paths.empty())
        PutFilesOnClipboard(paths, cut);
}

void CFolderPage::PasteInto(const std::string& folder)
{
    DWORD effect = DROPEFFECT_COPY;
    std::vector<std::string> paths = FilesOnClipboard(&effect);
    CopyOrMove(std::move(paths), folder, (effect & DROPEFFECT_MOVE) != 0);
}

// ---------------------------------------------------------------- commands

void CFolderPage::OnDelete()
{
    Delete(ActedOn(false), true);
}

void CFolderPage::OnDeletePermanently()
{
    Delete(ActedOn(false), false);
}

void CFolderPage::OnCut()
{
    PutOnClipboard(ActedOn(false), true);
}

void CFolderPage::OnCopy()
{
    PutOnClipboard(ActedOn(false), false);
}

void CFolderPage::OnPaste()
{
    if (CanPaste())
        PasteInto(m_catalog.m_folder.m_path);
}

void CFolderPage::OnPasteInto()
{
    const std::vector<EntryIt> entries = ActedOn(false);
    if (entries.size() == 1 && Reachable(*entries.front()) && entries.front()->IsFolder())
        PasteInto(entries.front()->m_path);
}

void CFolderPage::OnCopyToFolder()
{
    std::vector<std::string> paths = Targets(ActedOn(false));
    if (!paths.empty())
        CopyOrMove(paths, PickFolder(MainWindow(), m_catalog.m_folder.m_path, AfxLoadString(IDS_COPY_TO_TITLE)), false);
}

void CFolderPage::OnMoveToFolder()
{
    std::vector<std::string> paths = Targets(ActedOn(false));
    if (!paths.empty())
        CopyOrMove(paths, PickFolder(MainWindow(), m_catalog.m_folder.m_path, AfxLoadString(IDS_MOVE_TO_TITLE)), true);
}

void CFolderPage::OnOpenWith()
{
    const std::string picture = FirstPicture(ActedOn(false));
    if (!picture.empty() && !ShowOpenWith(MainWindow(), picture))
        AfxMessageBox(IDS_OPEN_WITH_FAILED, MB_OK | MB_ICONEXCLAMATION);
}

void CFolderPage::OnEditFile()
{
    const std::string picture = FirstPicture(ActedOn(false));
    if (!picture.empty() && !EditFile(MainWindow(), picture))
        AfxMessageBox(IDS_EDIT_FAILED, MB_OK | MB_ICONEXCLAMATION);
}

void CFolderPage::OnShowInExplorer()
{
    // Explorer selects within one folder: the first item's.
    std::vector<std::string> paths = Targets(ActedOn(false));
    if (paths.empty())
        return;
    const std::string folder(paths.front().c_str(), AfxFindFileName(paths.front().c_str()));
    paths.erase(std::remove_if(paths.begin(), paths.end(),
                               [&](const std::string& path) {
                                   return NameKey(std::string(path.c_str(), AfxFindFileName(path.c_str()))) != NameKey(folder);
                               }),
                paths.end());
    ShowInExplorer(paths);
}

void CFolderPage::OnProperties()
{
    const std::vector<std::string> paths = Targets(ActedOn(false));
    if (!paths.empty())
        ShowProperties(MainWindow(), paths);
}

void CFolderPage::OnRefresh()
{
    MarkStale();
    RefreshStep();
}

void CFolderPage::OnUpdateDelete(CCmdUI* ui)
{
    const std::vector<EntryIt> entries = ActedOn(false);
    ui->Enable(std::any_of(entries.begin(), entries.end(), [](const EntryIt& entry) {
        return Reachable(*entry) || !entry->m_linkPath.empty();
    }));
}

void CFolderPage::OnUpdateOnTargets(CCmdUI* ui)
{
    const std::vector<EntryIt> entries = ActedOn(false);
    ui->Enable(std::any_of(entries.begin(), entries.end(), [](const EntryIt& entry) { return Reachable(*entry); }));
}

void CFolderPage::OnUpdateOnPicture(CCmdUI* ui)
{
    ui->Enable(!FirstPicture(ActedOn(false)).empty());
}

void CFolderPage::OnUpdatePaste(CCmdUI* ui)
{
    ui->Enable(CanPaste());
}

void CFolderPage::OnUpdatePasteInto(CCmdUI* ui)
{
    const std::vector<EntryIt> entries = ActedOn(false);
    ui->Enable(entries.size() == 1 && Reachable(*entries.front()) && entries.front()->IsFolder()
               && ClipboardHasFiles());
}
