// Background thumbnail production for a folder page, and the refresh cycle
// that keeps the page in step with its folder.
//
// Who writes what, while a worker runs:
// - The user-interface thread owns the catalog's list (entries added,
//   removed, reordered) and what the listing sets in entries (kind, paths,
//   link path, display name, times). It changes them only while no worker
//   runs: Refresh stops and joins the worker before it re-lists the folder,
//   and Start joins any previous worker before making a new one, so the
//   worker reads them without a lock. The user-interface thread also writes
//   the thumbnails' cells (Layout) under EntryLock(), which the worker reads
//   under it to invalidate them, and alone uses the hover, the peek, the
//   bounds and the entries' picture presence.
// - The worker writes folder entries' picture paths and times
//   (FindFolderPicture) and thumbnail bitmaps and sizes, each under
//   EntryLock(); the user-interface thread paints bitmaps and copies
//   entries (to open one, play it, peek into it) under that lock. The
//   cache-dirty flag is the worker's alone.
// - The needs-refresh flag is atomic: set by the watcher, by the worker when
//   its page was left, and by owners; cleared by the user-interface thread.
//   The worker reads the page's deactivation count, its stop request and the
//   navigator's exiting flag, all atomic.
// The worker looks at its stop request between entries and between batches
// of decoded rows, so that joining it never keeps the window waiting.
#include <mutex>

#include "core/navigator.h"
#include "core/pagehost.h"
#include "folderpage/folderpage.h"
#include "imaging/picture.h"

void CFolderPage::Start()
{
    StopWorker();
    m_stopWorker = false;
    // The worker stops when the page is left after this point.
    m_workerDeactivations = Deactivations();
    CWinThread* thread = AfxBeginThread(&CFolderPage::WorkerProcedure, this, THREAD_PRIORITY_NORMAL, 0,
                                        CREATE_SUSPENDED, nullptr);
    if (!thread)
        return;
    thread->m_bAutoDelete = FALSE;
    m_worker.reset(thread);
    m_worker->ResumeThread();
}

void CFolderPage::StopWorker()
{
    if (!m_worker)
        return;
    m_stopWorker = true;
    ::WaitForSingleObject(m_worker->m_hThread, INFINITE);
    m_worker.reset();
}

UINT CFolderPage::WorkerProcedure(LPVOID param)
{
    auto* page = static_cast<CFolderPage*>(param);
    try {
        page->MakeThumbnails(page->m_workerDeactivations);
    } catch (...) {
        // Memory running short, say: the thumbnails made so far stay, the
        // rest stay empty until the folder is listed again.
    }
    return 0;
}

void CFolderPage::MakeThumbnails(unsigned deactivations)
{
    // Asked between entries and between batches of decoded rows, so that
    // leaving, refreshing or closing the page waits only milliseconds.
    const auto stopped = [this, deactivations] {
        return g_navigator.m_exiting || m_stopWorker || Deactivations() != deactivations;
    };
    if (m_catalog.PrepareThumbnails(stopped))
        RedrawPage(nullptr);  // cached thumbnails show at once

    // Pictures of one folder mostly share their size: each is decoded into
    // the section of the one before.
    CPictureBitmap picture;
    for (CFolderEntry& entry : m_catalog.m_entries) {
        if (stopped())
            break;
        CThumbnail* thumbnail = entry.m_thumbnail.get();
        if (!thumbnail)
            continue;
        const bool had = thumbnail->Bitmap() != nullptr;
        try {
            if (!thumbnail->LoadBitmap(entry, &picture, stopped))
                break;
        } catch (...) {
            continue;  // a picture that cannot be opened keeps an empty cell
        }
        if (!had && thumbnail->Bitmap()) {
            InvalidateCell(*thumbnail);
            m_catalog.m_cacheDirty = true;
        }
    }
    // Work cut short by leaving the page is taken up when it is shown again.
    if (Deactivations() != deactivations)
        m_catalog.m_needsRefresh = true;
    m_catalog.SaveThumbnails();
}

bool CFolderPage::Refresh()
{
    // Cleared before re-listing, so that a change made meanwhile is seen next time.
    if (!m_catalog.m_needsRefresh.exchange(false))
        return false;
    ClearHover();
    StopWorker();
    m_catalog.Refresh();
    EnsureThumbnails();
    Start();
    return true;
}

void CFolderPage::MarkStale()
{
    m_catalog.m_needsRefresh = true;
}

void CFolderPage::RefreshStep()
{
    if (m_catalog.m_needsRefresh) {
        m_hover.Reset();
        const size_t cells = m_catalog.m_entries.size();
        Refresh();
        Layout(&m_bounds);
        // New rows must be reachable at once, on this page or the Home page
        // it is a pane of, not only after the window is resized.
        if (m_catalog.m_entries.size() != cells) {
            if (CPageHost* host = GetPageHost())
                host->UpdatePageExtent();
        }
    }
}
