// A folder shown as a page of thumbnails under a title line. The grid shows
// at once; a worker thread fills in the thumbnails, first from the folder's
// cache file, then by decoding the pictures.
#pragma once

#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/page.h"
#include "core/watchedcatalog.h"
#include "folderpage/thumbnailscheduler.h"
#include "res/drawing_resources.h"
#include "tooltip.h"

class CFolderPeek;
class CRenameBox;

// What a point hits in the grid.
enum HitPart { PartNone = 0, PartBadge = 1, PartCell = 2, PartCaption = 3 };

// Where the pointer rests, and for how long.
struct HoverState {
    int x = -1;
    int y = -1;
    int part = PartNone;
    DWORD tick = 0;
    bool fired = false;

    void Reset() { *this = HoverState(); }
    void Set(int px, int py, int newPart)
    {
        x = px;
        y = py;
        part = newPart;
        tick = ::GetTickCount();
        fired = false;
    }
    POINT Point() const { return POINT{x, y}; }
    // True once per hover, 250 ms after the pointer came to rest.
    bool DelayElapsed();
    // Whether the pointer has rested for ms.
    bool Elapsed(DWORD ms) const;
};

class CFolderPage : public CPage {
public:
    using EntryIt = std::list<CFolderEntry>::iterator;

    // The grid's lengths at 96 DPI; drawn at the window's scale.
    static constexpr int kCellWidth = 120;
    static constexpr int kCellHeight = 140;
    static constexpr int kGap = 10;
    static constexpr int kTitleHeight = 42;
    // The thumbnail's box, and the area it is centred in below the cell's top.
    static constexpr int kThumbnailBox = 90;
    static constexpr int kThumbnailTop = 12;
    static constexpr int kThumbnailArea = 108;

    // pageIcon: the title line's icon.
    explicit CFolderPage(const CFolderEntry& folder,
                         CDrawingResources::Icon pageIcon = CDrawingResources::FolderPageIcon);
    // Waits for the worker, then stops the watcher.
    ~CFolderPage() override;

    void Load() override;
    void Start() override;
    bool Refresh() override;
    CSize Layout(const RECT* area) override;
    void Draw(CDC* dc, const RECT* clip) override;
    void OnClick(const POINT& point, bool buttonUp) override;
    void OnHover(const POINT& point) override;
    void OnTick() override;
    CMenu* GetContextMenu(const POINT& point) override;
    void MarkStale() override;
    std::string GetTitle() override;
    void Activate(bool active) override;
    bool ReleaseVolumes(DWORD driveMask, ReleaseDeadline deadline) override;
    bool GetProgress(int* done, int* total) const override;
    void ScaleChanged() override;

    // The keyboard (keyboard.cpp): items are the cells in list order.
    int GetItemCount() const override;
    bool GetItem(int index, PageItem* item) const override;
    int GetFocusedItem() const override;
    int ItemAt(const POINT& point) const override;
    void FocusItem(int index) override;
    void OpenItem(int index) override;
    void FocusPath(const std::string& path) override;
    bool OnKey(UINT key, bool shift) override;
    bool OnCharacter(wchar_t character) override;
    // As a pane of a page: whether its focus is the page's (drawn), and
    // where its focus moves are told (by default NotifyItemFocused).
    void ShowFocus(bool shown) { m_focusShown = shown; }
    void SetFocusNotice(std::function<void(int)> notice) { m_focusNotice = std::move(notice); }
    // Where changes of the selection are told (by default NotifyItemsSelected).
    void SetSelectionNotice(std::function<void(int, bool)> notice) { m_selectionNotice = std::move(notice); }

    // The selection (selection.cpp): cells picked with Ctrl, Shift and the
    // keys, which commands act on rather than the focused cell.
    void SelectAll();
    void InvertSelection();
    void ClearSelection();
    bool HasSelection() const { return m_selectedCount > 0; }
    int SelectedCount() const { return m_selectedCount; }
    bool IsSelected(int index) const;
    int GetSelectedCount() const override { return m_selectedCount; }
    std::vector<int> GetSelectedItems() const override;
    std::string GetStatusText() const override;
    // The focused cell, never the one under the pointer.
    bool GetDetailsPath(std::string* path) const override;

    // Cells dragged out as files, files dropped in (dragdrop.cpp).
    bool StartsDrag(const POINT& point) override;
    void OnDrag(int dx, int dy) override;
    DWORD DropEffect(const POINT& point, const std::vector<std::string>& files, DWORD keyState,
                     DWORD allowed) override;
    DWORD Drop(const POINT& point, const std::vector<std::string>& files, DWORD effect) override;
    void DragLeft() override;
    // Frames the cell whose listed path is cell (empty: the whole page) as
    // where a drop goes, or (shown false) nothing.
    void ShowDropTarget(bool shown, const std::string& cell = {});

    // Paints one cell: icon, thumbnail, overlays, badge and caption.
    void DrawCell(CDC* dc, CFolderEntry& entry, const CThumbnail& thumbnail, int part, bool selected = false);
    // Invalidates a part of a cell (-1: its badge and caption).
    static void InvalidateCellPart(const CThumbnail* thumbnail, int part);
    // Gives every entry without a thumbnail an empty one.
    void EnsureThumbnails();
    // The entry and part under point; the list's end and PartNone when none.
    EntryIt HitTest(const POINT& point, int* part);
    void ClearHover();
    void RemovePeek();
    // Explorer's info tip: a picture's name, date taken, dimensions and
    // size once the pointer has rested on its cell for the hover time
    // (infotip.cpp); hidden when the pointer moves on.
    void UpdateInfoTip(EntryIt hovered, int part);
    std::string InfoTipText(const CFolderEntry& entry) const;

    // The entries a command acts on. A key acts on the selection when there
    // is one, else on the focused cell, never on the one under a resting
    // pointer; a menu acts on the selection, else on Target's entry.
    std::vector<EntryIt> ActedOn(bool byKey);

    // Renaming in an edit box over a cell's caption (rename.cpp). A pane
    // that does not rename (the Home page's History) is told so.
    void BeginRename(EntryIt entry);
    void EndRename();
    bool IsRenaming() const { return m_renameBox != nullptr; }
    // Whether a click is the rename's: a press while it goes on, or the
    // release of the press that ended it.
    bool OwnsClick(bool buttonUp) const { return m_renameBox || (buttonUp && m_renameEndedByPress); }
    void AllowRename(bool allowed) { m_renames = allowed; }
    // The program renamed a file of the folder: its new name's entry takes
    // the old one's thumbnail at the next listing, without a decode.
    void NoteRenamed(const std::string& oldPath, const std::string& newPath);

    // The order chosen under View > Sort By changed (sortorder.cpp): the
    // page sorts again, the focus on the same entry at the same place. A
    // pane of the Home page keeps its own order.
    void SortChoiceChanged();
    // Copies of the entries (picturesOnly: of the pictures) in the page's
    // order, which the picture page walks and the slideshow plays.
    std::shared_ptr<const std::vector<CFolderEntry>> EntriesInOrder(bool picturesOnly) const;

    CWatchedCatalog& Catalog() { return m_catalog; }
    const HoverState& Hover() const { return m_hover; }
    CFolderPeek* Peek() const { return m_peek.get(); }

protected:
    void OnOpen();
    void OnPlay();
    void OnPlaySlideshow();
    void OnExplore();
    void OnAddFavorite();
    void OnAddToFavorites();
    void OnRemove();
    void OnUpdateOnEntry(CCmdUI* ui);
    void OnUpdatePlay(CCmdUI* ui);
    void OnUpdateOnFolder(CCmdUI* ui);
    void OnUpdateRemove(CCmdUI* ui);
    void OnUpdateAlways(CCmdUI* ui);
    void OnSelectAll() { SelectAll(); }
    void OnInvertSelection() { InvertSelection(); }
    void OnUpdateOnCells(CCmdUI* ui) { ui->Enable(GetItemCount() > 0); }
    void OnRename();
    void OnUpdateRename(CCmdUI* ui);
    // On files (filecommands.cpp)
    void OnDelete();
    void OnDeletePermanently();
    void OnCut();
    void OnCopy();
    void OnPaste();
    void OnPasteInto();
    void OnCopyToFolder();
    void OnMoveToFolder();
    void OnOpenWith();
    void OnEditFile();
    void OnShowInExplorer();
    void OnProperties();
    void OnRefresh();
    void OnUpdateDelete(CCmdUI* ui);
    void OnUpdateOnTargets(CCmdUI* ui);
    void OnUpdateOnPicture(CCmdUI* ui);
    void OnUpdatePaste(CCmdUI* ui);
    void OnUpdatePasteInto(CCmdUI* ui);
    DECLARE_COMMAND_MAP()

    HoverState m_hover;
    CWatchedCatalog m_catalog;
    std::unique_ptr<CFolderPeek> m_peek;
    CToolTipCtrl m_infoTip;
    const CThumbnail* m_infoTipFor = nullptr;  // whose tip is shown; only compared
    CDrawingResources::Icon m_pageIcon;

private:
    // The entry under the pointer (the list's end when none) and its part.
    EntryIt Hovered(int* part);
    void CreatePeek(const CFolderEntry& folder);
    void AdvancePeek();
    // The refresh step of each tick: re-list the folder if it changed.
    void RefreshStep();

    // Takes the order chosen, by date taken the names' order until every
    // date is known (sortorder.cpp).
    void TakeSortChoice();
    // Whether the makers are to read the dates first: the page then waits
    // for them, to sort once they are all known.
    bool AwaitDates();
    // The tick's step: sorts by date taken once the dates are all known.
    void SortWhenDatesKnown();
    // Sorts the list again in order, keeping the focused entry where it
    // is on screen (or in the scroll position kept for the page's return).
    void Resort(int order, bool descending);

    // Asks the thumbnail makers to stop; they end within a batch of rows.
    void StopWorker();
    // Tells the makers which cells are on screen now.
    void NoteVisibleCells();
    // Lets go of the pixels of thumbnails drawn longest ago, keeping keep.
    void ReleaseDrawnPixels(size_t keep);

    // The entry commands act on: the focused one while the keyboard is in
    // use, else the one under the pointer (part: PartCell for the focus).
    EntryIt Target(int* part);
    // The index-th cell's entry, or the list's end.
    EntryIt EntryAt(int index);
    // The cell of the entry whose path has that NameKey, or -1.
    int IndexOf(const std::wstring& key) const;
    // Finds the focused entry again after the list changed.
    void SyncFocus();
    // Moves the focus to the index-th cell (clamped), scrolled into sight.
    void MoveFocus(int index);
    // Type-ahead: the focus to the next name starting with the typed text.
    bool TypeAhead(wchar_t character);
    // Opens the entry as a click on part of it does.
    void Open(EntryIt entry, int part);
    // F2 opens the rename box on the entry the keys act on.
    bool RenameKey(UINT key);
    // A press while the box is open ends the rename, and neither it nor its
    // release does anything else; true for those.
    bool ClickEndsRename(bool buttonUp);
    // Enter in the box: a refused name keeps the box open, else the shell renames.
    void CommitRename(const std::string& text);
    // Where the box goes: over the renamed cell's caption, in the view's coordinates.
    RECT RenameBoxRect() const;
    void PlaceRenameBox();
    // The thumbnail a new entry takes from the file it was before a rename; null when none.
    std::shared_ptr<CThumbnail> RenamedThumbnail(const CFolderEntry& entry);

    // Delete, the clipboard's keys and Alt+Enter; false for other keys.
    bool OnFileKey(UINT key, bool shift);
    // Whether the page lists History's or Favorites' shortcuts.
    bool ListsShortcuts() const;
    // Whether files on the clipboard can be pasted into the shown folder.
    bool CanPaste() const;
    // Recycles (or deletes for good) the entries' files; removes History's
    // and Favorites' shortcuts as Remove does.
    void Delete(const std::vector<EntryIt>& entries, bool recycle);
    void PutOnClipboard(const std::vector<EntryIt>& entries, bool cut);
    void PasteInto(const std::string& folder);
    // The folder files dropped at point go into, and the folder cell there
    // (its listed path; empty for the page's own folder).
    std::string DropFolder(const POINT& point, std::string* cell);
    RECT DropTargetRect() const;
    void DrawDropTarget(CDC* dc);

    // The selection becomes next (a flag per cell); the cells that changed
    // are repainted and told, many of them as one change.
    void ApplySelection(std::vector<char> next);
    // Selects from the anchor (the focus, when none) to index, and focuses it.
    void ExtendSelection(int index);
    void ToggleSelected(int index);
    // A click with Ctrl or Shift held selects rather than opens.
    void SelectAt(const POINT& point, bool toggle);
    // A right click selects the cell alone unless it is selected already.
    void SelectForMenu(const POINT& point);
    // Before the list is made again: the selection by name, found again
    // by SyncSelection once the cells are there.
    void RememberSelection();
    void SyncSelection();

    CThumbnailScheduler m_scheduler;
    // Whether the page takes the order chosen under View > Sort By; the
    // Home page's panes keep their own.
    bool m_followsSortChoice = false;
    bool m_byDateTaken = false;   // the order chosen is by date taken
    bool m_datesAwaited = false;  // sorted once the makers know every date
    // Let go of a drive: nothing is listed, made or peeked into until the
    // page is activated again.
    bool m_released = false;
    // Thumbnails whose pixels a paint decoded, oldest first.
    std::deque<std::weak_ptr<CThumbnail>> m_drawn;
    size_t m_visibleCells = 0;

    // The entries with a cell, in list order: items by index at once, for
    // screen readers that read a folder of thousands item by item.
    std::vector<EntryIt> m_cells;
    int m_focus = 0;            // the focused cell's index
    std::wstring m_focusKey;    // its path's NameKey, to find it again; empty: not moved yet
    int m_columns = 1;          // as laid out
    bool m_focusShown = true;
    std::function<void(int)> m_focusNotice;
    std::function<void(int, bool)> m_selectionNotice;
    std::vector<char> m_selected;  // per cell; kept as long as m_cells
    int m_selectedCount = 0;
    std::vector<std::wstring> m_selectedKeys;  // across a new listing
    int m_anchor = 0;           // where Shift extends from
    std::wstring m_anchorKey;   // its NameKey; empty: the focus is the anchor
    std::string m_pressedPath;  // the listed path of the cell a press may drag; empty: none
    SIZE m_dragMoved{0, 0};     // how far the pointer moved since that press
    bool m_dropShown = false;   // a drop target is framed:
    std::string m_dropCell;     // that cell's listed path, or the page when empty
    std::wstring m_typed;       // type-ahead so far
    DWORD m_typedTick = 0;

    std::unique_ptr<CRenameBox> m_renameBox;
    std::string m_renamedPath;       // the listed file the box renames
    std::shared_ptr<const CThumbnail> m_renamedCell;  // where its cell is laid out
    bool m_renamedShortcut = false;  // shown without its ".lnk"
    bool m_renames = true;
    bool m_renameEndedByPress = false;
    // Thumbnails of renamed files, by their new paths' NameKey, until listed.
    std::unordered_map<std::wstring, std::shared_ptr<CThumbnail>> m_renamedThumbnails;
};

// The rectangle of part within cell (empty for an unknown part), at the
// current scale.
RECT CellPart(const RECT& cell, int part);
// The thumbnails' box at the current scale.
int ThumbnailBox();
