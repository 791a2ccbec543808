// Background thumbnail production for a folder page, and the refresh cycle
// that keeps the page in step with its folder.
//
// The user-interface thread alone owns the catalog's list and what the
// listing sets in entries; the thumbnail makers get a copy of what they
// need (Jobs) and fill in the thumbnails they co-own, each under
// EntryLock(). So re-listing the folder never waits for a maker, and a
// picture being made when the folder changes next to it is finished.
// The needs-refresh flag is atomic: set by the watcher and by owners,
// cleared by the user-interface thread.
#include <algorithm>
#include <mutex>

#include "core/pagehost.h"
#include "folderpage/folderpage.h"

void CFolderPage::Start()
{
    m_scheduler.Schedule(m_catalog.m_folder.m_path, ThumbnailJobsOf(m_catalog.m_entries), ThumbnailBox(),
                         AwaitDates());
}

void CFolderPage::StopWorker()
{
    m_scheduler.Stop();
}

void CFolderPage::ScaleChanged()
{
    // The box's font is the old scale's, which goes.
    EndRename();
    RemovePeek();
    ClearHover();
    // Every thumbnail is made again for the new box: from the cache when it
    // holds that box, else from the pictures.
    {
        std::lock_guard guard(EntryLock());
        for (CFolderEntry& entry : m_catalog.m_entries) {
            if (entry.m_thumbnail)
                entry.m_thumbnail->DiscardBitmap();
        }
    }
    m_drawn.clear();
    if (IsActive())
        Start();
    else
        m_catalog.m_needsRefresh = true;
}

bool CFolderPage::GetProgress(int* done, int* total) const
{
    return m_scheduler.Progress(done, total);
}

bool CFolderPage::Refresh()
{
    // Cleared before re-listing, so that a change made meanwhile is seen
    // next time; kept while the page has let go of its drive.
    if (m_released || !m_catalog.m_needsRefresh.exchange(false))
        return false;
    ClearHover();
    RememberSelection();
    const bool changed = m_catalog.Refresh();
    EnsureThumbnails();
    if (changed)
        SyncFocus();
    Start();
    // Cells moved or went: the grid is painted anew once laid out.
    if (changed)
        InvalidatePageRect(m_bounds);
    return true;
}

void CFolderPage::MarkStale()
{
    m_catalog.m_needsRefresh = true;
}

void CFolderPage::RefreshStep()
{
    // A maker that ended on an error leaves its work to a new listing.
    if (m_scheduler.TakeInterrupted())
        m_catalog.m_needsRefresh = true;
    if (!m_catalog.m_needsRefresh)
        return;
    m_hover.Reset();
    const size_t cells = m_catalog.m_entries.size();
    if (!Refresh())
        return;
    Layout(&m_bounds);
    // New rows must be reachable at once, on this page or the Home page
    // it is a pane of, not only after the window is resized.
    if (m_catalog.m_entries.size() != cells) {
        if (CPageHost* host = GetPageHost())
            host->UpdatePageExtent();
    }
}

void CFolderPage::NoteVisibleCells()
{
    CPageHost* host = GetPageHost();
    if (!host)
        return;
    CRect shown = host->GetPageClientRect();
    const CPoint scroll = host->GetScrollPosition();
    shown.OffsetRect(scroll.x, scroll.y);
    size_t index = 0, first = SIZE_MAX, last = 0;
    for (const CFolderEntry& entry : m_catalog.m_entries) {
        if (entry.m_thumbnail) {
            RECT overlap;
            if (::IntersectRect(&overlap, &entry.m_thumbnail->m_cell, &shown)) {
                first = std::min(first, index);
                last = index;
            }
        }
        ++index;
    }
    m_visibleCells = first == SIZE_MAX ? 0 : last - first + 1;
    if (first != SIZE_MAX)
        m_scheduler.SetVisible(first, last);
}

void CFolderPage::ReleaseDrawnPixels(size_t keep)
{
    while (m_drawn.size() > keep) {
        if (const std::shared_ptr<CThumbnail> thumbnail = m_drawn.front().lock())
            thumbnail->ReleasePixels();
        m_drawn.pop_front();
    }
}
