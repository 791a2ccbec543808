// Worker threads and the lock that guards what they share with the
// user-interface thread.
#pragma once

#include "afxbase.h"

using AFX_THREADPROC = UINT (*)(LPVOID);

class CWinThread {
public:
    HANDLE m_hThread = nullptr;   // owned; closed by the destructor
    DWORD m_nThreadID = 0;
    // When set, the object deletes itself as the thread ends; an owner that
    // waits for the thread clears it and deletes the object after the wait.
    BOOL m_bAutoDelete = TRUE;

    CWinThread(AFX_THREADPROC proc, LPVOID param) : m_proc(proc), m_param(param) {}
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
    BOOL SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES);
    static unsigned __stdcall Entry(void* self);

    AFX_THREADPROC m_proc;
    LPVOID m_param;
};

// Starts proc(param) on a new thread; with CREATE_SUSPENDED it waits for
// ResumeThread. Returns null when no thread could be made.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0,
                           LPSECURITY_ATTRIBUTES security = nullptr);

class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_section); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_section); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() { ::EnterCriticalSection(&m_section); }
    void Unlock() { ::LeaveCriticalSection(&m_section); }
    // For std::lock_guard and std::unique_lock.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    CRITICAL_SECTION m_section;
};
