#include "thread.h"

#include <process.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

unsigned __stdcall CWinThread::Entry(void* self)
{
    auto* thread = static_cast<CWinThread*>(self);
    UINT result = 0;
    try {
        result = thread->m_proc(thread->m_param);
    } catch (...) {
        // A value thrown out of a thread would end the process: the thread
        // ends quietly instead.
        result = (UINT)-1;
    }
    if (thread->m_bAutoDelete)
        delete thread;
    return result;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize,
                           DWORD createFlags, LPSECURITY_ATTRIBUTES security)
{
    auto* thread = new CWinThread(proc, param);
    unsigned id = 0;
    // Always start suspended, so that the object is complete before the thread runs.
    const uintptr_t handle = _beginthreadex(security, stackSize, &CWinThread::Entry, thread,
                                            CREATE_SUSPENDED, &id);
    if (!handle) {
        delete thread;
        return nullptr;
    }
    thread->m_hThread = reinterpret_cast<HANDLE>(handle);
    thread->m_nThreadID = id;
    thread->SetThreadPriority(priority);
    if (!(createFlags & CREATE_SUSPENDED))
        thread->ResumeThread();
    return thread;
}

// ---------------------------------------------------------------- background threads

namespace {

// Threads whose owners went before they ended. The list is never destroyed:
// a thread may end while the process's objects are being torn down.
class RetiredThreads {
public:
    void Adopt(HANDLE thread)
    {
        std::lock_guard guard(m_lock);
        CloseEnded();
        m_threads.push_back(thread);
    }
    bool JoinAll(DWORD ms)
    {
        const DWORD start = ::GetTickCount();
        for (;;) {
            std::vector<HANDLE> waiting;
            {
                std::lock_guard guard(m_lock);
                CloseEnded();
                waiting = m_threads;
            }
            if (waiting.empty())
                return true;
            const DWORD spent = ::GetTickCount() - start;
            if (spent >= ms)
                return false;
            // At most MAXIMUM_WAIT_OBJECTS at a time; the rest on the next turn.
            const DWORD count = (DWORD)std::min<size_t>(waiting.size(), MAXIMUM_WAIT_OBJECTS);
            ::WaitForMultipleObjects(count, waiting.data(), TRUE, ms - spent);
        }
    }
    size_t Count()
    {
        std::lock_guard guard(m_lock);
        CloseEnded();
        return m_threads.size();
    }

private:
    void CloseEnded()
    {
        std::erase_if(m_threads, [](HANDLE thread) {
            if (::WaitForSingleObject(thread, 0) != WAIT_OBJECT_0)
                return false;
            ::CloseHandle(thread);
            return true;
        });
    }

    std::mutex m_lock;
    std::vector<HANDLE> m_threads;
};

RetiredThreads& Retired()
{
    static auto* retired = new RetiredThreads;  // deliberately never deleted
    return *retired;
}

} // namespace

CBackgroundThread::CBackgroundThread(std::function<void()> work, int priority)
{
    auto* owned = new std::function<void()>(std::move(work));
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, &CBackgroundThread::Entry, owned, CREATE_SUSPENDED, &id);
    if (!handle) {
        delete owned;
        return;
    }
    m_hThread = reinterpret_cast<HANDLE>(handle);
    ::SetThreadPriority(m_hThread, priority);
    ::ResumeThread(m_hThread);
}

CBackgroundThread::~CBackgroundThread()
{
    Retire(kRetireWait);
}

unsigned __stdcall CBackgroundThread::Entry(void* work)
{
    std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(work));
    try {
        (*owned)();
    } catch (...) {
        // A value thrown out of a thread would end the process.
    }
    return 0;
}

bool CBackgroundThread::Wait(DWORD ms) const
{
    return !m_hThread || ::WaitForSingleObject(m_hThread, ms) != WAIT_TIMEOUT;
}

void CBackgroundThread::Retire(DWORD ms)
{
    if (!m_hThread)
        return;
    if (Wait(ms))
        ::CloseHandle(m_hThread);
    else
        Retired().Adopt(m_hThread);
    m_hThread = nullptr;
}

bool JoinRetiredThreads(DWORD ms)
{
    return Retired().JoinAll(ms);
}

size_t RetiredThreadCount()
{
    return Retired().Count();
}
