// A catalog that follows changes to its folder: a thread waits on a change
// notification for the folder (not its subfolders) and raises the
// needs-refresh flag, which the owner polls when it suits it.
#pragma once

#include <atomic>

#include "afx.h"
#include "catalog/thumbnailcache.h"

class CWatchedCatalog : public CCachedCatalog {
public:
    explicit CWatchedCatalog(const CFolderEntry& folder);
    // Stops the watcher and waits for it, however long that takes.
    ~CWatchedCatalog() override;

    // Set by the watcher at each change, and by owners; cleared by owners
    // after re-listing. A change between an owner's read and its clear is
    // noticed only at the next change.
    std::atomic<bool> m_needsRefresh{false};

private:
    static UINT WatchProcedure(LPVOID param);

    CWinThread* m_thread = nullptr;                    // owned, not auto-deleted
    HANDLE m_change = INVALID_HANDLE_VALUE;            // written by the watcher before it waits
    std::atomic<HANDLE> m_stopEvent{nullptr};          // owned; cleared before it is signalled
};
