#include "thread.h"

#include <process.h>

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
