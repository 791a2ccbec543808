// Background thumbnail production for a folder page, and the refresh cycle
// that keeps the page in step with its folder.
//
// The worker walks the catalog's list while the user-interface thread paints
// it; the list itself (entries added, removed, reordered) changes only while
// no worker runs: Refresh stops and joins the worker before it re-lists the
// folder, and Start joins any previous worker before making a new one. The
// worker changes only what belongs to single entries (picture paths, times,
// thumbnail bitmaps, the latter under the thumbnail lock). It looks at its
// stop request often enough that joining it never keeps the window waiting.
#include <mutex>

#include "app/globals.h"
#include "app/vemolyapp.h"
#include "folderpage/folderpage.h"
#include "imaging/picture.h"
#include "view/vemolyview.h"

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
    page->MakeThumbnails(page->m_workerDeactivations);
    return 0;
}

void CFolderPage::MakeThumbnails(unsigned deactivations)
{
    // Asked between entries and between batches of decoded rows, so that
    // leaving, refreshing or closing the page waits only milliseconds.
    const auto stopped = [this, deactivations] {
        return theApp.m_exiting || m_stopWorker || Deactivations() != deactivations;
    };
    if (m_catalog.PrepareThumbnails(stopped))
        CVemolyView::RedrawPage(nullptr);  // cached thumbnails show at once

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
            InvalidateCellPart(thumbnail, PartCell);
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
        Refresh();
        Layout(&m_bounds);
    }
}
