// A catalog that follows changes to its folder: while it watches, a thread
// waits on a change notification for the folder (not its subfolders) and
// raises the needs-refresh flag, which the owner polls when it suits it.
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
    // (gone, or on a disk that is not there) has ended by itself.
    void Watch();
    // Asks the watcher to close its change notification and end, waiting
    // for it a moment at most; from then on it never touches this catalog.
    void StopWatching();
    bool IsWatching() const { return m_watcher && !m_watcher->Wait(0); }

    // Set by the watcher at each change, and by owners; cleared by owners
    // after re-listing. A change between an owner's read and its clear is
    // noticed only at the next change.
    std::atomic<bool> m_needsRefresh{false};

private:
    struct WatchState;

    std::shared_ptr<WatchState> m_state;          // shared with the watcher
    std::unique_ptr<CBackgroundThread> m_watcher;
};
