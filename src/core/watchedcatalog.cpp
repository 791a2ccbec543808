#include "core/watchedcatalog.h"

#include <mutex>
#include <string>

#include "afxdevice.h"
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
    // The watcher's, once it watches: a change made after Watch gave up
    // waiting for it, and before it watched, is caught by a listing.
    void Armed()
    {
        std::lock_guard guard(lock);
        watching = true;
        if (late && flag)
            *flag = true;
    }
    // The owner's, when it stops waiting for the watcher to watch.
    void Late()
    {
        std::lock_guard guard(lock);
        late = !watching;
    }

    const HANDLE stop;   // manual-reset: a stop asked before the watcher waits still counts
    const HANDLE armed;  // set once the watcher watches, or has found it cannot
    std::mutex lock;
    std::atomic<bool>* flag = nullptr;  // the catalog's, until it detaches
    bool watching = false;
    bool late = false;
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
    const bool window = AfxGetDeviceWindow() != nullptr;
    if (IsWatching()) {
        if (!m_unregistered || !window)
            return;
        m_needsRefresh = true;  // what changed between the two watchers
    }
    StopWatching();
    auto state = std::make_shared<WatchState>();
    if (!state->stop || !state->armed)
        return;
    state->flag = &m_needsRefresh;
    // The watcher owns its handles from opening to closing: it opens them
    // itself, as that can take long on a network disk, and it alone closes
    // them, also when the disk is to be removed.
    auto watch = [state, folder = m_folder.m_path] {
        const CRegisteredDirectory directory(folder);
        const HANDLE change = ::FindFirstChangeNotificationW(AfxPathW(folder).c_str(), FALSE, kChangeFilter);
        if (change != INVALID_HANDLE_VALUE)
            state->Armed();
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
    if (::WaitForSingleObject(state->armed, kArmWait) != WAIT_OBJECT_0)
        state->Late();
    m_state = std::move(state);
    m_watcher = std::move(watcher);
    m_unregistered = !window;
}

bool CWatchedCatalog::StopWatching(DWORD ms)
{
    if (!m_watcher)
        return true;
    m_state->Detach();
    ::SetEvent(m_state->stop);
    const bool ended = m_watcher->Wait(ms);
    m_watcher->Retire(0);  // one still opening its handles ends on its own
    m_watcher.reset();
    m_state.reset();
    return ended;
}
