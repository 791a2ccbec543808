#include "core/watchedcatalog.h"

#include <mutex>
#include <string>

#include "afxpath.h"

namespace {
constexpr DWORD kChangeFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME
                              | FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE
                              | FILE_NOTIFY_CHANGE_LAST_WRITE;
constexpr DWORD kArmWait = 50;
}

// What the watcher shares with its catalog. The watcher may outlive the
// catalog (it is retired, not joined), so it reaches the catalog's flag only
// through this state, and only until the catalog lets go of it.
struct CWatchedCatalog::WatchState {
    WatchState()
        : stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), armed(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~WatchState()
    {
        for (HANDLE event : {stop, armed}) {
            if (event)
                ::CloseHandle(event);
        }
    }
    WatchState(const WatchState&) = delete;
    WatchState& operator=(const WatchState&) = delete;

    void Raise()
    {
        std::lock_guard guard(lock);
        if (flag)
            *flag = true;
    }
    void Detach()
    {
        std::lock_guard guard(lock);
        flag = nullptr;
    }

    const HANDLE stop;   // manual-reset: a stop asked before the watcher waits still counts
    const HANDLE armed;  // set once the watcher watches, or has found it cannot
    std::mutex lock;
    std::atomic<bool>* flag = nullptr;  // the catalog's, until it detaches
};

CWatchedCatalog::CWatchedCatalog(const CFolderEntry& folder) : CCachedCatalog(folder)
{
    Watch();
}

CWatchedCatalog::~CWatchedCatalog()
{
    StopWatching();
}

void CWatchedCatalog::Watch()
{
    if (IsWatching())
        return;
    StopWatching();
    auto state = std::make_shared<WatchState>();
    if (!state->stop || !state->armed)
        return;
    state->flag = &m_needsRefresh;
    // The watcher owns its change notification from opening to closing: it
    // opens it itself, as that can take long on a network disk.
    auto watch = [state, path = AfxPathW(m_folder.m_path)] {
        const HANDLE change = ::FindFirstChangeNotificationW(path.c_str(), FALSE, kChangeFilter);
        ::SetEvent(state->armed);
        if (change == INVALID_HANDLE_VALUE)
            return;
        for (;;) {
            const HANDLE handles[2] = {change, state->stop};
            if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0)
                break;
            state->Raise();
            if (!::FindNextChangeNotification(change))
                break;
        }
        ::FindCloseChangeNotification(change);
    };
    auto watcher = std::make_unique<CBackgroundThread>(watch);
    if (!watcher->Started()) {
        state->Detach();
        return;
    }
    // A change made right after the page is shown is seen; a slow disk
    // keeps the window waiting a moment at most.
    ::WaitForSingleObject(state->armed, kArmWait);
    m_state = std::move(state);
    m_watcher = std::move(watcher);
}

void CWatchedCatalog::StopWatching()
{
    if (!m_watcher)
        return;
    m_state->Detach();
    ::SetEvent(m_state->stop);
    m_watcher.reset();  // waits a moment, then leaves the thread to end on its own
    m_state.reset();
}
