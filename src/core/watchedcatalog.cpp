#include "core/watchedcatalog.h"

namespace {
constexpr DWORD kChangeFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME
                              | FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE
                              | FILE_NOTIFY_CHANGE_LAST_WRITE;
}

CWatchedCatalog::CWatchedCatalog(const CFolderEntry& folder) : CCachedCatalog(folder)
{
    m_stopEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_thread = AfxBeginThread(&CWatchedCatalog::WatchProcedure, this, THREAD_PRIORITY_NORMAL, 0,
                              CREATE_SUSPENDED, nullptr);
    if (m_thread) {
        m_thread->m_bAutoDelete = FALSE;
        m_thread->ResumeThread();
    }
}

CWatchedCatalog::~CWatchedCatalog()
{
    if (HANDLE stop = m_stopEvent.exchange(nullptr)) {
        // The watcher reads the cleared field before it waits again, so it
        // never re-arms once woken.
        ::SetEvent(stop);
        if (m_thread)
            ::WaitForSingleObject(m_thread->m_hThread, INFINITE);
        ::CloseHandle(stop);
    }
    if (m_change != INVALID_HANDLE_VALUE) {
        ::FindCloseChangeNotification(m_change);
        m_change = INVALID_HANDLE_VALUE;
    }
    delete m_thread;
    m_thread = nullptr;
}

UINT CWatchedCatalog::WatchProcedure(LPVOID param)
{
    auto* self = static_cast<CWatchedCatalog*>(param);
    self->m_change = ::FindFirstChangeNotificationA(self->m_folder.m_path.c_str(), FALSE, kChangeFilter);
    if (self->m_change == INVALID_HANDLE_VALUE || !self->m_stopEvent.load())
        return 0;
    for (;;) {
        const HANDLE handles[2] = {self->m_change, self->m_stopEvent.load()};
        if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0)
            break;
        self->m_needsRefresh = true;
        if (!self->m_stopEvent.load())
            break;
        if (!::FindNextChangeNotification(self->m_change))
            break;
    }
    return 0;
}
