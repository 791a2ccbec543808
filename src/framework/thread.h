// Worker threads and the lock that guards what they share with the
// user-interface thread.
#pragma once

#include "afxbase.h"

#include <functional>

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

// A thread that its owner never waits for long. Its work must keep alive
// whatever it uses (shared ownership) and look at a stop request of its own
// often. The owner asks it to stop, then Retire waits a moment: a thread
// still running after that is handed to the process's retired threads,
// which close it once it has ended.
class CBackgroundThread {
public:
    // Starts work on a new thread; Started() says whether one could be made.
    explicit CBackgroundThread(std::function<void()> work, int priority = THREAD_PRIORITY_NORMAL);
    // Retires the thread, waiting at most kRetireWait.
    ~CBackgroundThread();
    CBackgroundThread(const CBackgroundThread&) = delete;
    CBackgroundThread& operator=(const CBackgroundThread&) = delete;

    static constexpr DWORD kRetireWait = 50;

    bool Started() const { return m_hThread != nullptr; }
    // Whether the thread has ended (or never started); waits at most ms.
    bool Wait(DWORD ms) const;
    // Waits at most ms for the thread; then either closes it or hands it over.
    void Retire(DWORD ms);

private:
    static unsigned __stdcall Entry(void* work);

    HANDLE m_hThread = nullptr;  // owned until retired
};

// Waits at most ms in all for the retired threads still running; true when
// every one has ended. For the end of the program, before process-wide
// objects go that such threads may still use.
bool JoinRetiredThreads(DWORD ms);
// The retired threads still running.
size_t RetiredThreadCount();

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
