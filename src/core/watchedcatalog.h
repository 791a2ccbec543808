// A catalog that follows changes to its folder: while it watches, a thread
// waits on a change notification for the folder (not its subfolders) and
// raises the needs-refresh flag, which the owner polls when it suits it.
// The thread also holds the folder open as a registered directory, so that
// the window is asked before the folder's disk is removed.
// A page that is not shown stops watching, so that its folder (and the
// disk it lies on) is free for other programs.
#pragma once

#include <atomic>
#include <memory>

#include "afx.h"
#include "catalog/thumbnailcache.h"

class CWatchedCatalog : public CCachedCatalog {
public:
    // Starts watching.
    explicit CWatchedCatalog(const CFolderEntry& folder);
    // Stops watching.
    ~CWatchedCatalog() override;
    CWatchedCatalog(const CWatchedCatalog&) = delete;
    CWatchedCatalog& operator=(const CWatchedCatalog&) = delete;

    // Starts a watcher unless one runs: one that could not watch the folder
    // (gone, or on a disk that is not there) has ended by itself. A change
    // made once it returns is seen, also when the watcher was slow to start.
    // One started before the program had a window is started again, to be
    // registered; the owner then lists the folder again.
    void Watch();
    // Asks the watcher to close its handles and end, waiting for it ms at
    // most; from then on it never touches this catalog. True when it ended.
    bool StopWatching(DWORD ms = CBackgroundThread::kRetireWait);
    bool IsWatching() const { return m_watcher && !m_watcher->Wait(0); }

    // Set by the watcher at each change, and by owners; cleared by owners
    // after re-listing. A change between an owner's read and its clear is
    // noticed only at the next change.
    std::atomic<bool> m_needsRefresh{false};

private:
    struct WatchState;

    std::shared_ptr<WatchState> m_state;          // shared with the watcher
    std::unique_ptr<CBackgroundThread> m_watcher;
    bool m_unregistered = false;  // the watcher started without a window to register with
};
