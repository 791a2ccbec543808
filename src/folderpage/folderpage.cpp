#include "folderpage/folderpage.h"

#include <algorithm>
#include <mutex>

#include "afxdevice.h"
#include "afxpath.h"
#include "core/pagehost.h"
#include "folderpage/folderpeek.h"
#include "folderpage/rename.h"
#include "imaging/drawing.h"
#include "res/drawing_resources.h"

namespace {
constexpr UINT kCaptionFormat = DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_PATH_ELLIPSIS;  // 0x4029
// Thumbnails kept decoded at least, beyond those on screen.
constexpr size_t kDrawnPixelsKept = 256;
}

// A dotted frame, as Windows marks the focus, but drawn rather than
// inverted: a cell painted again in part keeps it whole.
static void DrawFocusFrame(CDC* dc, const RECT& rect)
{
    const LOGBRUSH colour{BS_SOLID, TextColorFor(dc), 0};
    CGdiObject pen;
    pen.Attach(::ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &colour, 0, nullptr));
    CSelectObject selectPen(dc, pen.GetSafeHandle());
    CSelectObject selectBrush(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc->m_hDC, rect.left, rect.top, rect.right, rect.bottom);
}

// The system's highlight round a selected thumbnail, outside it so that
// none of the picture is hidden.
static void DrawSelectionFrame(CDC* dc, const RECT& thumbnail)
{
    const int width = g_resources.Scale(3);
    const COLORREF colour = ::GetSysColor(COLOR_HIGHLIGHT);
    RECT frame = thumbnail;
    ::InflateRect(&frame, width, width);
    const RECT sides[] = {{frame.left, frame.top, frame.right, thumbnail.top},
                          {frame.left, thumbnail.bottom, frame.right, frame.bottom},
                          {frame.left, thumbnail.top, thumbnail.left, thumbnail.bottom},
                          {thumbnail.right, thumbnail.top, frame.right, thumbnail.bottom}};
    for (const RECT& side : sides)
        dc->FillSolidRect(&side, colour);
}

// A picture that could not be read: an exclamation mark on a square in the
// system's window colours, which stand apart in every theme, high contrast
// too. Centred on the thumbnail's place, which such a picture leaves empty.
static void DrawReadFailureMark(CDC* dc, const RECT& thumbnail)
{
    const auto px = [](int length) { return g_resources.Scale(length); };
    const int x = (thumbnail.left + thumbnail.right) / 2, y = (thumbnail.top + thumbnail.bottom) / 2;
    const RECT square{x - px(10), y - px(10), x + px(10), y + px(10)};
    const RECT bar{x - px(2), y - px(7), x + px(2), y + px(3)};
    const RECT dot{x - px(2), y + px(5), x + px(2), y + px(8)};
    dc->FillSolidRect(&square, ::GetSysColor(COLOR_WINDOWTEXT));
    dc->FillSolidRect(&bar, ::GetSysColor(COLOR_WINDOW));
    dc->FillSolidRect(&dot, ::GetSysColor(COLOR_WINDOW));
}

RECT CellPart(const RECT& cell, int part)
{
    const auto px = [](int length) { return g_resources.Scale(length); };
    switch (part) {
    case PartBadge:   return RECT{cell.right - px(24), cell.top + px(12), cell.right, cell.top + px(36)};
    case PartCell:    return cell;
    case PartCaption: return RECT{cell.left, cell.bottom - px(20), cell.right, cell.bottom};
    default:          return RECT{0, 0, 0, 0};
    }
}

int ThumbnailBox()
{
    return std::min(g_resources.Scale(CFolderPage::kThumbnailBox), kLargestThumbnailBox);
}

CFolderPage::CFolderPage(const CFolderEntry& folder, CDrawingResources::Icon pageIcon)
    : m_catalog(folder), m_pageIcon(pageIcon), m_followsSortChoice(pageIcon == CDrawingResources::FolderPageIcon)
{
    TakeSortChoice();
}

CFolderPage::~CFolderPage()
{
    m_peek.reset();
    // The scheduler's destructor stops the thumbnail makers, which finish
    // on their own; the catalog's stops and joins the watcher.
}

void CFolderPage::Load()
{
    m_hover.Reset();
    RememberSelection();
    m_catalog.Refresh();
    EnsureThumbnails();
    SyncFocus();
}

void CFolderPage::EnsureThumbnails()
{
    m_cells.clear();
    m_cells.reserve(m_catalog.m_entries.size());
    for (auto it = m_catalog.m_entries.begin(); it != m_catalog.m_entries.end(); ++it) {
        if (!it->m_thumbnail)
            it->m_thumbnail = RenamedThumbnail(*it);
        if (!it->m_thumbnail)
            it->m_thumbnail = std::make_unique<CThumbnail>();
        m_cells.push_back(it);
    }
    SyncSelection();
    m_renamedThumbnails.clear();
}

std::string CFolderPage::GetTitle()
{
    return AfxFindFileName(m_catalog.m_folder.m_path.c_str());
}

void CFolderPage::Activate(bool active)
{
    // A page not shown holds nothing open in its folder, so that its disk
    // can be ejected; shown again, it lists what changed meanwhile and
    // makes what its makers left.
    if (active)
        m_released = false;
    if (!active) {
        EndRename();
        int done = 0, total = 0;
        if (m_scheduler.Progress(&done, &total))
            m_catalog.m_needsRefresh = true;
        StopWorker();
        m_catalog.StopWatching();
    } else {
        if (!m_catalog.IsWatching())
            m_catalog.m_needsRefresh = true;
        m_catalog.Watch();  // also registers one started before the window was there
    }
    m_scheduler.SetShown(active);
    CPage::Activate(active);
    ClearHover();
    RemovePeek();
}

bool CFolderPage::ReleaseVolumes(DWORD driveMask, ReleaseDeadline deadline)
{
    // The makers and the peek also read the targets of shortcuts.
    const bool folder = (AfxDriveMask(m_catalog.m_folder.m_path) & driveMask) != 0;
    const bool entries = std::any_of(m_catalog.m_entries.begin(), m_catalog.m_entries.end(),
                                     [driveMask](const CFolderEntry& entry) { return (AfxDriveMask(entry.m_path) & driveMask) != 0; });
    if (!folder && !entries)
        return false;
    m_released = true;
    // All are asked first, so that they close their handles together.
    StopWorker();
    if (m_peek)
        m_peek->Stop();
    if (folder)
        m_catalog.StopWatching(TimeLeft(deadline));
    if (m_peek) {
        m_peek->Release(TimeLeft(deadline));
        RemovePeek();
    }
    m_scheduler.Release(TimeLeft(deadline));
    return true;
}

CSize CFolderPage::Layout(const RECT* area)
{
    m_bounds = *area;
    const int width = area->right - area->left;
    const int cellWidth = g_resources.Scale(kCellWidth), cellHeight = g_resources.Scale(kCellHeight);
    const int gap = g_resources.Scale(kGap), titleHeight = g_resources.Scale(kTitleHeight);
    const int columns = std::max(1, (width - 2 * gap) / (cellWidth + gap));
    m_columns = columns;
    int index = 0;
    int lastTop = -1;
    std::lock_guard guard(EntryLock());  // a worker may be invalidating cells
    for (CFolderEntry& entry : m_catalog.m_entries) {
        if (!entry.m_thumbnail)
            continue;
        const int left = area->left + gap + (cellWidth + gap) * (index % columns);
        const int top = area->top + titleHeight + (cellHeight + gap) * (index / columns);
        entry.m_thumbnail->m_cell = RECT{left, top, left + cellWidth, top + cellHeight};
        lastTop = top;
        ++index;
    }
    if (index == 0)
        return CSize(width, area->bottom - area->top);
    return CSize(width, lastTop + cellHeight + gap - area->top);
}

void CFolderPage::Draw(CDC* dc, const RECT* clip)
{
    if (!dc->IsPrinting())
        PlaceRenameBox();
    HGDIOBJ oldFont = dc->SelectObject(g_resources.GetTitleFont());
    dc->SetTextColor(TextColorFor(dc));
    dc->SetBkMode(TRANSPARENT);

    const auto px = [](int length) { return g_resources.Scale(length); };
    CRect title(m_bounds.left + px(52), m_bounds.top + px(5), m_bounds.right - px(10), m_bounds.top + px(37));
    dc->DrawText(GetTitle(), &title, DT_SINGLELINE | DT_BOTTOM | DT_PATH_ELLIPSIS);

    dc->SelectObject(g_resources.GetCellFont());
    DrawIconOnOutput(dc, g_resources.GetIcon(m_pageIcon), m_bounds.left + px(10), m_bounds.top + px(8));

    // Scrolled or laid out anew, the cells on screen are made first.
    if (!dc->IsPrinting())
        NoteVisibleCells();
    int hoverPart = PartNone;
    const EntryIt hovered = HitTest(m_hover.Point(), &hoverPart);
    CPageHost* host = GetPageHost();
    const int focus = !dc->IsPrinting() && m_focusShown && host && host->ShowsFocus() ? GetFocusedItem() : -1;
    int index = -1;
    for (auto it = m_catalog.m_entries.begin(); it != m_catalog.m_entries.end(); ++it) {
        if (!it->m_thumbnail)
            continue;
        ++index;
        RECT overlap;
        if (!::IntersectRect(&overlap, &it->m_thumbnail->m_cell, clip))
            continue;
        const bool decoded = it->m_thumbnail->HasPixels();
        DrawCell(dc, *it, *it->m_thumbnail, it == hovered ? hoverPart : PartNone,
                 !dc->IsPrinting() && IsSelected(index));
        if (index == focus)
            DrawFocusFrame(dc, it->m_thumbnail->m_cell);
        if (!decoded && it->m_thumbnail->HasPixels())
            m_drawn.push_back(it->m_thumbnail);
    }
    DrawDropTarget(dc);
    // Only thumbnails on screen, and some around them, stay decoded.
    ReleaseDrawnPixels(std::max(kDrawnPixelsKept, 2 * m_visibleCells));
    dc->SelectObject(oldFont);
}

void CFolderPage::DrawCell(CDC* dc, CFolderEntry& entry, const CThumbnail& thumbnail, int part, bool selected)
{
    const RECT& cell = thumbnail.m_cell;
    const bool printing = dc->IsPrinting();
    const bool folder = entry.IsFolder();
    HICON background = printing ? (folder ? g_resources.GetPrintFolderIcon() : g_resources.GetPrintPictureIcon())
                                : (folder ? g_resources.GetFolderIcon() : g_resources.GetPictureIcon());
    DrawIconOnOutput(dc, background, cell.left, cell.top);

    RECT place{0, 0, 0, 0};
    {
        // The worker may be replacing bitmaps meanwhile.
        std::lock_guard guard(EntryLock());
        const CPixels* bitmap = thumbnail.Bitmap();
        const int width = bitmap ? thumbnail.m_width : ThumbnailBox();
        const int height = bitmap ? thumbnail.m_height : ThumbnailBox();
        const int x = cell.left + (cell.right - cell.left - width) / 2;
        const int y = cell.top + g_resources.Scale(kThumbnailTop) + (g_resources.Scale(kThumbnailArea) - height) / 2;
        place = RECT{x, y, x + width, y + height};
        if (bitmap)
            DrawPixels(dc, x, y, *bitmap);
        if (selected)
            DrawSelectionFrame(dc, RECT{x, y, x + width, y + height});
    }

    if (!printing) {
        if (!folder && thumbnail.ReadFailure() && !thumbnail.HasPicture())
            DrawReadFailureMark(dc, place);
        if (entry.m_kind & EntryOffline)
            DrawIconOnOutput(dc, g_resources.GetOfflineIcon(), cell.left, cell.top);
        if (entry.m_kind & EntryShortcut)
            DrawIconOnOutput(dc, g_resources.GetShortcutIcon(), cell.left, cell.top);
    }

    if (part != PartNone && folder) {
        const int image = !entry.HasPictures() ? CDrawingResources::BadgeNoPictures
                        : part == PartBadge    ? CDrawingResources::BadgePlayHot
                                               : CDrawingResources::BadgePlay;
        const RECT badge = CellPart(cell, PartBadge);
        g_resources.GetBadges().Draw(dc, image, POINT{badge.left, badge.top}, ILD_NORMAL);
    }

    const COLORREF color = dc->GetTextColor();
    RECT caption = CellPart(cell, PartCaption);
    if (selected) {
        dc->FillSolidRect(&caption, ::GetSysColor(COLOR_HIGHLIGHT));
        dc->SetTextColor(::GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    const std::string text = FitBothEnds(dc, entry.m_displayName, caption.right - caption.left);
    dc->DrawText(text, &caption, kCaptionFormat);
    dc->SetTextColor(color);
}

void CFolderPage::InvalidateCellPart(const CThumbnail* thumbnail, int part)
{
    if (!thumbnail)
        return;
    if (part == -1) {
        InvalidatePageRect(CellPart(thumbnail->m_cell, PartBadge));
        InvalidatePageRect(CellPart(thumbnail->m_cell, PartCaption));
    } else {
        InvalidatePageRect(CellPart(thumbnail->m_cell, part));
    }
}

CFolderPage::EntryIt CFolderPage::HitTest(const POINT& point, int* part)
{
    for (auto it = m_catalog.m_entries.begin(); it != m_catalog.m_entries.end(); ++it) {
        if (!it->m_thumbnail)
            continue;
        const RECT& cell = it->m_thumbnail->m_cell;
        if (!::PtInRect(&cell, point))
            continue;
        const RECT badge = CellPart(cell, PartBadge);
        *part = ::PtInRect(&badge, point) ? PartBadge : PartCell;
        return it;
    }
    *part = PartNone;
    return m_catalog.m_entries.end();
}

void CFolderPage::ClearHover()
{
    m_infoTip.Hide();
    m_infoTipFor = nullptr;
    int part;
    const EntryIt hovered = HitTest(m_hover.Point(), &part);
    if (hovered != m_catalog.m_entries.end())
        InvalidateCellPart(hovered->m_thumbnail.get(), PartCell);
    m_hover.Reset();
}

void CFolderPage::RemovePeek()
{
    if (!m_peek)
        return;
    // Repainting at once restores the folder's own cell.
    RedrawPage(&m_peek->Cell());
    m_peek.reset();
}
