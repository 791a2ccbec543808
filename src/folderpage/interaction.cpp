// How a folder page follows the pointer, what a click opens, its context
// menus and commands, and the folder peek. Every command acts on the entry
// under the pointer (the focused one while the keyboard is in use); a click
// opens it, like a link, and with Ctrl or Shift held selects instead.
#include <mutex>

#include "afxpath.h"
#include "core/navigator.h"
#include "core/pagehost.h"
#include "dialogs/addfavoritedlg.h"
#include "folderpage/folderpage.h"
#include "folderpage/folderpeek.h"
#include "pages/picturepage.h"
#include "pages/slideshowpage.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "shell/settings.h"
#include "shell/shortcutlink.h"

#include <shellapi.h>

BEGIN_COMMAND_MAP(CFolderPage, CPage)
    ON_COMMAND(ID_OPEN, OnOpen)
    ON_UPDATE_COMMAND_UI(ID_OPEN, OnUpdateOnEntry)
    ON_COMMAND(ID_PLAY, OnPlay)
    ON_UPDATE_COMMAND_UI(ID_PLAY, OnUpdatePlay)
    ON_COMMAND(ID_PLAY_SLIDESHOW, OnPlaySlideshow)
    ON_UPDATE_COMMAND_UI(ID_PLAY_SLIDESHOW, OnUpdateOnFolder)
    ON_COMMAND(ID_EXPLORE, OnExplore)
    ON_UPDATE_COMMAND_UI(ID_EXPLORE, OnUpdateOnFolder)
    ON_COMMAND(ID_ADD_FAVORITE, OnAddFavorite)
    ON_UPDATE_COMMAND_UI(ID_ADD_FAVORITE, OnUpdateAlways)
    ON_COMMAND(ID_ADD_TO_FAVORITES, OnAddToFavorites)
    ON_UPDATE_COMMAND_UI(ID_ADD_TO_FAVORITES, OnUpdateOnEntry)
    ON_COMMAND(ID_REMOVE, OnRemove)
    ON_UPDATE_COMMAND_UI(ID_REMOVE, OnUpdateRemove)
    ON_COMMAND(ID_EDIT_SELECT_ALL, OnSelectAll)
    ON_UPDATE_COMMAND_UI(ID_EDIT_SELECT_ALL, OnUpdateOnCells)
    ON_COMMAND(ID_INVERT_SELECTION, OnInvertSelection)
    ON_UPDATE_COMMAND_UI(ID_INVERT_SELECTION, OnUpdateOnCells)
    ON_COMMAND(ID_RENAME, OnRename)
    ON_UPDATE_COMMAND_UI(ID_RENAME, OnUpdateRename)
    ON_COMMAND(ID_EDIT_CLEAR, OnDelete)
    ON_UPDATE_COMMAND_UI(ID_EDIT_CLEAR, OnUpdateDelete)
    ON_COMMAND(ID_DELETE_PERMANENTLY, OnDeletePermanently)
    ON_UPDATE_COMMAND_UI(ID_DELETE_PERMANENTLY, OnUpdateDelete)
    ON_COMMAND(ID_EDIT_CUT, OnCut)
    ON_UPDATE_COMMAND_UI(ID_EDIT_CUT, OnUpdateOnTargets)
    ON_COMMAND(ID_EDIT_COPY, OnCopy)
    ON_UPDATE_COMMAND_UI(ID_EDIT_COPY, OnUpdateOnTargets)
    ON_COMMAND(ID_EDIT_PASTE, OnPaste)
    ON_UPDATE_COMMAND_UI(ID_EDIT_PASTE, OnUpdatePaste)
    ON_COMMAND(ID_PASTE_INTO, OnPasteInto)
    ON_UPDATE_COMMAND_UI(ID_PASTE_INTO, OnUpdatePasteInto)
    ON_COMMAND(ID_COPY_TO_FOLDER, OnCopyToFolder)
    ON_UPDATE_COMMAND_UI(ID_COPY_TO_FOLDER, OnUpdateOnTargets)
    ON_COMMAND(ID_MOVE_TO_FOLDER, OnMoveToFolder)
    ON_UPDATE_COMMAND_UI(ID_MOVE_TO_FOLDER, OnUpdateOnTargets)
    ON_COMMAND(ID_OPEN_WITH, OnOpenWith)
    ON_UPDATE_COMMAND_UI(ID_OPEN_WITH, OnUpdateOnPicture)
    ON_COMMAND(ID_EDIT_FILE, OnEditFile)
    ON_UPDATE_COMMAND_UI(ID_EDIT_FILE, OnUpdateOnPicture)
    ON_COMMAND(ID_SHOW_IN_EXPLORER, OnShowInExplorer)
    ON_UPDATE_COMMAND_UI(ID_SHOW_IN_EXPLORER, OnUpdateOnTargets)
    ON_COMMAND(ID_PROPERTIES, OnProperties)
    ON_UPDATE_COMMAND_UI(ID_PROPERTIES, OnUpdateOnTargets)
    ON_COMMAND(ID_VIEW_REFRESH, OnRefresh)
    ON_UPDATE_COMMAND_UI(ID_VIEW_REFRESH, OnUpdateAlways)
END_COMMAND_MAP()

namespace {

// Whether needle occurs in text. In UTF-8 no character starts inside
// another, so a match of whole characters begins at a character's start.
bool ContainsText(const std::string& text, const std::string& needle)
{
    return text.find(needle) != std::string::npos;
}

// Entries leave the page as copies taken under the entry lock: the worker
// may be writing a folder's picture path and time meanwhile.
CFolderEntry Snapshot(const CFolderEntry& entry)
{
    std::lock_guard guard(EntryLock());
    return entry;
}

} // namespace

// ---------------------------------------------------------------- pointer

bool HoverState::DelayElapsed()
{
    if (::GetTickCount() - tick < 250 || fired)
        return false;
    fired = true;
    return true;
}

bool HoverState::Elapsed(DWORD ms) const
{
    return ::GetTickCount() - tick >= ms;
}

CFolderPage::EntryIt CFolderPage::Hovered(int* part)
{
    return HitTest(m_hover.Point(), part);
}

void CFolderPage::OnHover(const POINT& point)
{
    const int oldPart = m_hover.part;
    int ignored;
    const EntryIt oldEntry = Hovered(&ignored);
    int newPart;
    const EntryIt newEntry = HitTest(point, &newPart);
    const EntryIt end = m_catalog.m_entries.end();

    if (newEntry != oldEntry) {
        m_hover.Set(point.x, point.y, newPart);
        RemovePeek();
        if (oldEntry != end)
            InvalidateCellPart(oldEntry->m_thumbnail.get(), -1);
    } else if (newPart != oldPart) {
        m_hover.Set(point.x, point.y, newPart);
        RemovePeek();
    } else {
        if (m_hover.DelayElapsed() && newEntry != end)
            InvalidateCellPart(newEntry->m_thumbnail.get(), -1);
        if (newPart == PartBadge && newEntry != end && newEntry->IsFolder() && m_hover.Elapsed(500) && !m_peek
            && !m_released)
            CreatePeek(*newEntry);
    }
    UpdateInfoTip(newEntry, newPart);
}

void CFolderPage::OnClick(const POINT& point, bool buttonUp)
{
    if (ClickEndsRename(buttonUp))
        return;
    OnHover(point);
    if (!buttonUp)
        return;
    const bool control = ::GetKeyState(VK_CONTROL) < 0;
    if (control || ::GetKeyState(VK_SHIFT) < 0) {
        SelectAt(point, control);
        return;
    }
    // A plain click picks what it opens, as Explorer's single click does.
    ClearSelection();
    OnOpen();
}

void CFolderPage::OnTick()
{
    RefreshStep();
    SortWhenDatesKnown();
    if (m_peek)
        AdvancePeek();
}

CMenu* CFolderPage::GetContextMenu(const POINT& point)
{
    // Asked for by the keyboard, the menu is for the selection as it is.
    CPageHost* host = GetPageHost();
    if (!host || !host->KeyboardInUse())
        SelectForMenu(point);
    int part;
    const EntryIt entry = Target(&part);
    if (entry == m_catalog.m_entries.end())
        return nullptr;
    UINT id;
    if (entry->IsFile()) {
        id = IDR_MENU_PICTURE;
    } else if (entry->IsFolder()) {
        const std::string& favorites = g_settings.FavoritesFolder;
        const bool inFavorites = ContainsText(entry->m_path, favorites) || ContainsText(entry->m_linkPath, favorites);
        id = inFavorites ? IDR_MENU_FAVORITE_FOLDER : IDR_MENU_FOLDER;
    } else {
        return nullptr;
    }
    auto* menu = new CMenu;
    menu->LoadMenu(id);
    return menu;
}

// ---------------------------------------------------------------- commands

void CFolderPage::OnOpen()
{
    int part;
    const EntryIt entry = Target(&part);
    Open(entry, part);
}

void CFolderPage::Open(EntryIt entry, int part)
{
    if (entry == m_catalog.m_entries.end() || !entry->m_thumbnail || (entry->m_kind & EntryOffline))
        return;
    // Back on this page, the focus is on what was opened.
    FocusPath(entry->m_path);
    const CFolderEntry chosen = Snapshot(*entry);
    CPage* page = nullptr;
    // The walk follows this page's order; the Home page's panes are no
    // folder, and the picture there lists its own.
    if (chosen.IsFile())
        page = new CPicturePage(chosen, m_followsSortChoice ? EntriesInOrder(true) : nullptr);
    else if (chosen.IsFolder() && part == PartBadge)
        page = new CSlideshowPage(chosen);
    else if (chosen.IsFolder())
        page = new CFolderPage(chosen);
    if (page)
        g_navigator.Navigate(page);
}

void CFolderPage::OnPlay()
{
    // The show goes in the page's order.
    g_navigator.Navigate(new CSlideshowPage(m_catalog.m_folder, EntriesInOrder(false)));
}

void CFolderPage::OnPlaySlideshow()
{
    int part;
    const EntryIt entry = Target(&part);
    if (entry != m_catalog.m_entries.end())
        g_navigator.Navigate(new CSlideshowPage(Snapshot(*entry)));
}

void CFolderPage::OnExplore()
{
    int part;
    const EntryIt entry = Target(&part);
    if (entry == m_catalog.m_entries.end())
        return;
    // The folder as one item, not a command line Explorer would split at its commas.
    const std::wstring folder = AfxWide(entry->m_path);
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.hwnd = AfxGetMainWnd() ? AfxGetMainWnd()->m_hWnd : nullptr;
    execute.lpVerb = L"explore";
    execute.lpFile = folder.c_str();
    execute.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExW(&execute);
}

void CFolderPage::OnAddFavorite()
{
    CAddFavoriteDlg dialog(m_catalog.m_folder, AfxGetMainWnd());
    dialog.DoModal();
}

void CFolderPage::OnAddToFavorites()
{
    int part;
    const EntryIt entry = Target(&part);
    if (entry == m_catalog.m_entries.end())
        return;
    CShortcutLink link;
    link.m_targetPath = entry->m_path;
    AddToFavorites(link);
}

void CFolderPage::OnRemove()
{
    int part;
    const EntryIt entry = Target(&part);
    if (entry != m_catalog.m_entries.end())
        AfxDeleteFile(entry->m_linkPath);  // the watcher brings the change
}

void CFolderPage::OnUpdateOnEntry(CCmdUI* ui)
{
    int part;
    ui->Enable(Target(&part) != m_catalog.m_entries.end());
}

void CFolderPage::OnUpdatePlay(CCmdUI* ui)
{
    bool pictures = false;
    for (const CFolderEntry& entry : m_catalog.m_entries)
        pictures |= entry.IsFile() && entry.m_listed;
    ui->Enable(pictures);
}

void CFolderPage::OnUpdateOnFolder(CCmdUI* ui)
{
    int part;
    const EntryIt entry = Target(&part);
    ui->Enable(entry != m_catalog.m_entries.end() && entry->IsFolder());
}

void CFolderPage::OnUpdateRemove(CCmdUI* ui)
{
    int part;
    const EntryIt entry = Target(&part);
    ui->Enable(entry != m_catalog.m_entries.end() && (entry->m_kind & EntryShortcut));
}

void CFolderPage::OnUpdateAlways(CCmdUI* ui)
{
    ui->Enable(TRUE);
}

// ---------------------------------------------------------------- the peek

void CFolderPage::CreatePeek(const CFolderEntry& folder)
{
    RemovePeek();
    CFolderEntry peeked = Snapshot(folder);
    // Known from drawing the badge; a copy would look into the folder again here.
    peeked.m_picturePresence = folder.m_picturePresence;
    m_peek = std::make_unique<CFolderPeek>(peeked, folder.m_thumbnail->m_cell);
    m_peek->Load();
}

void CFolderPage::AdvancePeek()
{
    CThumbnail* thumbnail = m_peek->Advance();
    if (!thumbnail || !thumbnail->Bitmap())
        return;
    CPageHost* host = GetPageHost();
    if (!host)
        return;
    // Drawn straight into the view, between repaints.
    CClientDC dc(host->GetPageWnd());
    host->PreparePageDC(&dc);
    CSelectObject font(&dc, g_resources.GetCellFont());
    dc.SetTextColor(TextColorFor(&dc));
    dc.SetBkMode(TRANSPARENT);
    const RECT& cell = m_peek->Cell();
    const bool selected = IsSelected(ItemAt(POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2}));
    DrawCell(&dc, m_peek->Folder(), *thumbnail, PartBadge, selected);
}
