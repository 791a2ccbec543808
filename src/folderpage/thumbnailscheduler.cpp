#include "folderpage/thumbnailscheduler.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <utility>

#include "folderpage/thumbnailwork.h"
#include "thread.h"

std::vector<ThumbnailJob> ThumbnailJobsOf(const std::list<CFolderEntry>& entries)
{
    std::vector<ThumbnailJob> jobs;
    jobs.reserve(entries.size());
    for (const CFolderEntry& entry : entries) {
        ThumbnailJob& job = jobs.emplace_back();
        job.thumbnail = entry.m_thumbnail;
        job.path = entry.m_path;
        job.time = entry.m_time;
        job.kind = entry.m_kind;
        job.makeable = entry.IsFolder() || !entry.m_picturePath.empty();
        if (entry.m_thumbnail)
            job.generation = entry.m_thumbnail->Generation();
    }
    return jobs;
}

CThumbnailScheduler::CThumbnailScheduler(int makers)
    : m_makerLimit(std::max(1, makers)), m_work(std::make_shared<ThumbnailWork>())
{
}

CThumbnailScheduler::~CThumbnailScheduler()
{
    SetShown(false);
    Stop();
    const DWORD start = ::GetTickCount();
    for (auto& maker : m_makers) {
        const DWORD spent = ::GetTickCount() - start;
        maker->Retire(spent < CBackgroundThread::kRetireWait ? CBackgroundThread::kRetireWait - spent : 0);
    }
}

int CThumbnailScheduler::MakerCount()
{
    DWORD_PTR process = 0, system = 0;
    int count = 1;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system))
        count = std::popcount((unsigned long long)process);
    return std::clamp(count, 1, 4);
}

void CThumbnailScheduler::Schedule(const std::string& folderPath, std::vector<ThumbnailJob> jobs, int box,
                                   bool factsFirst)
{
    // Thumbnails for another box are work of their own: what the makers
    // read or make for the old box meanwhile is neither shown nor written.
    if (box != m_work->box) {
        const std::shared_ptr<ThumbnailWork> old = std::exchange(m_work, std::make_shared<ThumbnailWork>());
        m_work->box = box;
        std::lock_guard guard(old->lock);
        old->superseded = true;
        old->stop = true;
        old->changed.notify_all();
        m_work->shown = old->shown.load();
        m_work->visibleFirst = old->visibleFirst;
        m_work->visibleEnd = old->visibleEnd;
    }
    int start = 0;
    {
        std::lock_guard guard(m_work->lock);
        ThumbnailWork& work = *m_work;
        work.folderPath = folderPath;
        work.Assign(std::move(jobs), factsFirst);
        if (work.cacheState == CacheState::Read)
            work.ServeFromCache();
        work.stop = false;
        // Makers waiting for facts being read look at the new jobs.
        work.changed.notify_all();
        if (work.WorkLeft() || work.cacheState != CacheState::Read)
            start = std::max(0, m_makerLimit - work.running);
        work.running += start;
    }
    // Makers that have ended are let go; the others go on with the new jobs.
    std::erase_if(m_makers, [](const std::unique_ptr<CBackgroundThread>& maker) { return maker->Wait(0); });
    for (int i = 0; i < start; ++i) {
        auto maker = std::make_unique<CBackgroundThread>([work = m_work] { RunMaker(work); });
        if (maker->Started()) {
            m_makers.push_back(std::move(maker));
        } else {
            std::lock_guard guard(m_work->lock);
            --m_work->running;
        }
    }
}

void CThumbnailScheduler::Stop()
{
    std::lock_guard guard(m_work->lock);
    m_work->stop = true;
    m_work->changed.notify_all();
}

bool CThumbnailScheduler::Release(DWORD ms)
{
    Stop();
    const auto start = std::chrono::steady_clock::now();
    for (const auto& maker : m_makers) {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        const DWORD left = spent.count() < (long long)ms ? ms - (DWORD)spent.count() : 0;
        if (!maker->Wait(left))
            return false;
    }
    return true;
}

void CThumbnailScheduler::SetVisible(size_t first, size_t last)
{
    std::lock_guard guard(m_work->lock);
    m_work->visibleFirst = first;
    m_work->visibleEnd = last + 1;
}

void CThumbnailScheduler::SetShown(bool shown)
{
    m_work->shown = shown;
}

bool CThumbnailScheduler::FactsKnown() const
{
    return m_work->factsAllKnown;
}

bool CThumbnailScheduler::Progress(int* done, int* total) const
{
    std::lock_guard guard(m_work->lock);
    *done = m_work->cellsDone;
    *total = m_work->cells;
    return m_work->cellsDone < m_work->cells;
}

bool CThumbnailScheduler::TakeInterrupted()
{
    return m_work->interrupted.exchange(false);
}
