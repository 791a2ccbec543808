#include "shell/filejobs.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "res/resource.h"

#include <objbase.h>

namespace {

class CFileJobs {
public:
    ~CFileJobs() { Finish(); }

    void Start(FileJob job, UINT failureMessage, HWND owner)
    {
        std::lock_guard guard(m_lock);
        Reap();
        auto done = std::make_shared<std::atomic<bool>>(false);
        m_jobs.push_back({std::thread([job = std::move(job), failureMessage, owner, done] {
                              Run(job, failureMessage, owner);
                              *done = true;
                          }),
                          done});
    }

    void Finish()
    {
        std::lock_guard guard(m_lock);
        for (Job& job : m_jobs)
            job.thread.join();
        m_jobs.clear();
    }

private:
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    static void Run(const FileJob& job, UINT failureMessage, HWND owner)
    {
        // The shell's file operation and its dialogs want a single-threaded apartment.
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        FileOperationResult result = FileOperationResult::Failed;
        try {
            result = job(owner);
        } catch (...) {
        }
        TellFileFailure(owner, result, failureMessage);
        if (SUCCEEDED(com))
            ::CoUninitialize();
        // The watcher would bring the change at the page's next tick; the
        // user asked for it, so it shows now.
        if (::IsWindow(owner))
            ::PostMessageW(owner, WM_COMMAND, ID_VIEW_REFRESH, 0);
    }

    // Joins the jobs that have ended, which never blocks.
    void Reap()
    {
        for (auto it = m_jobs.begin(); it != m_jobs.end();) {
            if (*it->done) {
                it->thread.join();
                it = m_jobs.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex m_lock;
    std::vector<Job> m_jobs;
};

CFileJobs& Jobs()
{
    static CFileJobs jobs;
    return jobs;
}

} // namespace

void RunFileJob(FileJob job, UINT failureMessage)
{
    CWnd* main = AfxGetMainWnd();
    Jobs().Start(std::move(job), failureMessage, main ? main->m_hWnd : nullptr);
}

void TellFileFailure(HWND owner, FileOperationResult result, UINT failureMessage)
{
    if (result != FileOperationResult::Failed)
        return;
    const std::wstring text = AfxWide(AfxLoadString(failureMessage));
    const std::wstring caption = AfxWide(AfxLoadString(AFX_IDS_APP_TITLE));
    ::MessageBoxW(::IsWindow(owner) ? owner : nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void FinishFileJobs()
{
    Jobs().Finish();
}
