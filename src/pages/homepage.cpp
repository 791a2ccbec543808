#include "pages/homepage.h"

#include <algorithm>

#include "core/pagehost.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "shell/settings.h"
#include "shell/shortcutlink.h"

BEGIN_COMMAND_MAP(CHomePage, CPage)
    ON_UPDATE_COMMAND_UI(ID_PLAY, OnUpdateDisable)
    ON_UPDATE_COMMAND_UI(ID_ADD_FAVORITE, OnUpdateDisable)
    ON_UPDATE_COMMAND_UI(ID_EDIT_PASTE, OnUpdateDisable)
    ON_UPDATE_COMMAND_UI(ID_PASTE_INTO, OnUpdateDisable)
    ON_COMMAND(ID_VIEW_REFRESH, MarkStale)
END_COMMAND_MAP()

CHomePage::CHomePage(const CFolderEntry& history, const CFolderEntry& favorites)
    : m_history(history, CDrawingResources::HistoryIcon), m_favorites(favorites, CDrawingResources::FavoritesIcon)
{
    m_history.Catalog().m_sortOrder = SortNewestFirst;
    m_history.Catalog().m_maxCount = g_settings.HistoryCount;
    // The History's cells follow the Favorites' in the page's items.
    m_history.ShowFocus(false);
    m_history.AllowRename(false);
    m_history.SetFocusNotice([this](int index) { NotifyItemFocused(m_favorites.GetItemCount() + index); });
    m_history.SetSelectionNotice([this](int index, bool added) {
        NotifyItemsSelected(index < 0 ? -1 : m_favorites.GetItemCount() + index, added);
    });
}

void CHomePage::Load()
{
    m_history.Catalog().m_maxCount = g_settings.HistoryCount;
    m_history.Load();
    m_favorites.Load();
}

void CHomePage::Start()
{
    m_history.Catalog().m_maxCount = g_settings.HistoryCount;
    m_history.Start();
    m_favorites.Start();
}

bool CHomePage::Refresh()
{
    CWatchedCatalog& history = m_history.Catalog();
    if (history.m_maxCount != g_settings.HistoryCount) {
        history.m_needsRefresh = true;
        history.m_maxCount = g_settings.HistoryCount;
    }
    const bool historyChanged = m_history.Refresh();
    const bool favoritesChanged = m_favorites.Refresh();
    return historyChanged || favoritesChanged;
}

CSize CHomePage::Layout(const RECT* area)
{
    CPage::Layout(area);
    int split = (area->right - area->left) * 2 / 3;
    const int narrowest = g_resources.Scale(150);
    if (split <= narrowest)
        split = narrowest;
    m_historyArea = RECT{area->left + split, area->top, area->right, area->bottom};
    m_favoritesArea = RECT{area->left, area->top, area->left + split, area->bottom};
    const CSize history = m_history.Layout(&m_historyArea);
    const CSize favorites = m_favorites.Layout(&m_favoritesArea);
    const int height = std::max(history.cy, favorites.cy);
    // The columns reach as far down as the longer pane: a page scrolled
    // below the first screen still paints and answers the pointer there.
    m_historyArea.bottom = std::max((int)m_historyArea.bottom, (int)area->top + height);
    m_favoritesArea.bottom = m_historyArea.bottom;
    return CSize(area->right - area->left, height);
}

void CHomePage::Draw(CDC* dc, const RECT* clip)
{
    HGDIOBJ oldFont = dc->SelectObject(g_resources.GetTitleFont());
    dc->SetTextColor(TextColorFor(dc));
    dc->SetBkMode(TRANSPARENT);
    RECT part;
    if (::IntersectRect(&part, &m_historyArea, clip))
        m_history.Draw(dc, &part);
    if (::IntersectRect(&part, &m_favoritesArea, clip))
        m_favorites.Draw(dc, &part);
    dc->SelectObject(oldFont);
}

void CHomePage::OnClick(const POINT& point, bool buttonUp)
{
    // Wherever it lands, a click while Favorites renames only ends that.
    if (m_favorites.OwnsClick(buttonUp))
        return m_favorites.OnClick(point, buttonUp);
    CFolderPage* pane = ::PtInRect(&m_historyArea, point)     ? &m_history
                      : ::PtInRect(&m_favoritesArea, point) ? &m_favorites
                                                              : nullptr;
    if (buttonUp) {
        // One selection, in the pane the keys go to.
        const bool selecting = ::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_SHIFT) < 0;
        if (selecting && pane && pane != m_keyPane)
            Enter(*pane);
        else if (!selecting)
            m_keyPane->ClearSelection();
    }
    if (pane)
        pane->OnClick(point, buttonUp);
}

void CHomePage::OnHover(const POINT& point)
{
    m_menuPane = nullptr;
    m_history.OnHover(point);
    m_favorites.OnHover(point);
}

void CHomePage::OnTick()
{
    m_history.OnTick();
    m_favorites.OnTick();
}

void CHomePage::MarkStale()
{
    m_history.MarkStale();
    m_favorites.MarkStale();
}

bool CHomePage::GetProgress(int* done, int* total) const
{
    int paneDone[2] = {0, 0};
    int paneTotal[2] = {0, 0};
    const bool history = m_history.GetProgress(&paneDone[0], &paneTotal[0]);
    const bool favorites = m_favorites.GetProgress(&paneDone[1], &paneTotal[1]);
    if (!history && !favorites)
        return false;
    *done = paneDone[0] + paneDone[1];
    *total = paneTotal[0] + paneTotal[1];
    return true;
}

bool CHomePage::ReleaseVolumes(DWORD driveMask, ReleaseDeadline deadline)
{
    // Each pane's makers read the targets of its shortcuts, on any drive.
    const bool history = m_history.ReleaseVolumes(driveMask, deadline);
    const bool favorites = m_favorites.ReleaseVolumes(driveMask, deadline);
    return history || favorites;
}

CMenu* CHomePage::GetContextMenu(const POINT& point)
{
    m_menuPane = nullptr;
    CMenu* menu = nullptr;
    // A right click selects in its own pane, which the keys then go to.
    CPageHost* host = GetPageHost();
    if (!host || !host->KeyboardInUse()) {
        if (::PtInRect(&m_historyArea, point) && m_keyPane != &m_history && m_history.ItemAt(point) >= 0)
            Enter(m_history);
        else if (::PtInRect(&m_favoritesArea, point) && m_keyPane != &m_favorites && m_favorites.ItemAt(point) >= 0)
            Enter(m_favorites);
    }
    if (::PtInRect(&m_historyArea, point)) {
        menu = m_history.GetContextMenu(point);
        if (menu) {
            menu->LoadMenu(IDR_MENU_HISTORY);  // in place of the pane's own
            m_menuPane = &m_history;
        }
    } else if (::PtInRect(&m_favoritesArea, point)) {
        menu = m_favorites.GetContextMenu(point);
        if (menu)
            m_menuPane = &m_favorites;
    }
    return menu;
}

std::string CHomePage::GetTitle()
{
    return AfxLoadString(IDS_HOME_PAGE);
}

void CHomePage::Activate(bool active)
{
    m_menuPane = nullptr;
    // The panes set their own titles and layouts first; the Home page's win.
    m_history.Activate(active);
    m_favorites.Activate(active);
    CPage::Activate(active);
}

void CHomePage::ScaleChanged()
{
    m_menuPane = nullptr;
    m_history.ScaleChanged();
    m_favorites.ScaleChanged();
}

BOOL CHomePage::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CPage::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    // A context menu's command acts on the entry that was right-clicked,
    // which its pane still holds under the pointer; the pointer itself is
    // now on the menu item, possibly over the other pane.
    if (m_menuPane)
        return m_menuPane->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    // The selection is the keys' pane's, wherever the pointer is.
    if (nID == ID_EDIT_SELECT_ALL || nID == ID_INVERT_SELECTION)
        return m_keyPane->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    // Other commands go to the pane under the pointer, or with the keyboard
    // in use or a selection made to the pane with the focus.
    CPageHost* host = GetPageHost();
    if (!host)
        return FALSE;
    if (host->KeyboardInUse() || m_keyPane->HasSelection())
        return m_keyPane->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    POINT cursor;
    ::GetCursorPos(&cursor);
    host->GetPageWnd()->ScreenToClient(&cursor);
    const POINT point = host->ClientToPage(cursor);
    if (::PtInRect(&m_historyArea, point) && m_history.OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return ::PtInRect(&m_favoritesArea, point) && m_favorites.OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CHomePage::OnUpdateDisable(CCmdUI* ui)
{
    ui->Enable(FALSE);
}

// ---------------------------------------------------------------- the keyboard

int CHomePage::GetItemCount() const
{
    return m_favorites.GetItemCount() + m_history.GetItemCount();
}

bool CHomePage::GetItem(int index, PageItem* item) const
{
    const int favorites = m_favorites.GetItemCount();
    const bool found = index < favorites ? m_favorites.GetItem(index, item) : m_history.GetItem(index - favorites, item);
    if (found)
        item->focused = index == GetFocusedItem();
    return found;
}

int CHomePage::GetFocusedItem() const
{
    const int focus = m_keyPane->GetFocusedItem();
    if (focus < 0)
        return -1;
    return m_keyPane == &m_history ? m_favorites.GetItemCount() + focus : focus;
}

int CHomePage::ItemAt(const POINT& point) const
{
    if (::PtInRect(&m_favoritesArea, point))
        return m_favorites.ItemAt(point);
    const int index = ::PtInRect(&m_historyArea, point) ? m_history.ItemAt(point) : -1;
    return index < 0 ? -1 : m_favorites.GetItemCount() + index;
}

int CHomePage::GetSelectedCount() const
{
    return m_keyPane->GetSelectedCount();
}

std::vector<int> CHomePage::GetSelectedItems() const
{
    std::vector<int> items = m_keyPane->GetSelectedItems();
    if (m_keyPane == &m_history) {
        for (int& index : items)
            index += m_favorites.GetItemCount();
    }
    return items;
}

std::string CHomePage::GetStatusText() const
{
    return m_keyPane->GetStatusText();
}

void CHomePage::Enter(CFolderPage& pane)
{
    // The selection stays behind in no pane.
    (&pane == &m_favorites ? m_history : m_favorites).ClearSelection();
    m_keyPane = &pane;
    m_favorites.ShowFocus(&pane == &m_favorites);
    m_history.ShowFocus(&pane == &m_history);
    InvalidatePageRect(m_favoritesArea);
    InvalidatePageRect(m_historyArea);
}

void CHomePage::FocusItem(int index)
{
    const int favorites = m_favorites.GetItemCount();
    CFolderPage& pane = index < favorites ? m_favorites : m_history;
    if (&pane != m_keyPane)
        Enter(pane);
    pane.FocusItem(index < favorites ? index : index - favorites);
}

void CHomePage::OpenItem(int index)
{
    const int favorites = m_favorites.GetItemCount();
    if (index < favorites)
        m_favorites.OpenItem(index);
    else
        m_history.OpenItem(index - favorites);
}

bool CHomePage::OnKey(UINT key, bool shift)
{
    CFolderPage& other = OtherPane();
    if (key == VK_TAB || key == VK_F6) {
        // Left to right, Favorites then History; out of the page beyond them.
        const bool towardsOther = shift ? m_keyPane == &m_history : m_keyPane == &m_favorites;
        if (!towardsOther || other.GetItemCount() == 0)
            return false;
        Enter(other);
        other.FocusItem(other.GetFocusedItem());
        return true;
    }
    if (m_keyPane->GetItemCount() == 0 && other.GetItemCount() > 0)
        Enter(other);
    return m_keyPane->OnKey(key, shift);
}

bool CHomePage::OnCharacter(wchar_t character)
{
    return m_keyPane->OnCharacter(character);
}

// ---------------------------------------------------------------- drag and drop

bool CHomePage::StartsDrag(const POINT& point)
{
    m_dragPane = ::PtInRect(&m_favoritesArea, point) ? &m_favorites
               : ::PtInRect(&m_historyArea, point)   ? &m_history
                                                     : nullptr;
    return m_dragPane && m_dragPane->StartsDrag(point);
}

void CHomePage::OnDrag(int dx, int dy)
{
    if (m_dragPane)
        m_dragPane->OnDrag(dx, dy);
}

DWORD CHomePage::DropEffect(const POINT& point, const std::vector<std::string>& files, DWORD, DWORD allowed)
{
    const bool folders = !files.empty() && std::all_of(files.begin(), files.end(), [](const std::string& file) {
        return AfxIsDirectory(file) != FALSE;
    });
    // A favorite is a shortcut: the folders themselves stay as they are,
    // so the source must not be told they moved.
    const DWORD effect = !folders || !::PtInRect(&m_favoritesArea, point) ? DROPEFFECT_NONE
                       : (allowed & DROPEFFECT_LINK)                      ? DROPEFFECT_LINK
                       : (allowed & DROPEFFECT_COPY)                      ? DROPEFFECT_COPY
                                                                          : DROPEFFECT_NONE;
    m_favorites.ShowDropTarget(effect != DROPEFFECT_NONE);
    return effect;
}

DWORD CHomePage::Drop(const POINT& point, const std::vector<std::string>& files, DWORD effect)
{
    const DWORD accepted = effect == DROPEFFECT_NONE ? DROPEFFECT_NONE : DropEffect(point, files, 0, effect);
    DragLeft();
    if (accepted == DROPEFFECT_NONE)
        return DROPEFFECT_NONE;
    for (const std::string& folder : files) {
        CShortcutLink link;
        link.m_targetPath = folder;
        AddToFavorites(link);  // the pane follows through its watcher
    }
    return accepted;
}

void CHomePage::DragLeft()
{
    m_favorites.ShowDropTarget(false);
}
