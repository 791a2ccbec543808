#include "folderpage/thumbnailscheduler.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "afxpath.h"
#include "catalog/thumbnailcache.h"
#include "core/navigator.h"
#include "core/pagehost.h"
#include "imaging/picture.h"

namespace {
enum JobState : unsigned char { Pending, Taken, Done };
enum class CacheState { Unread, Reading, Read };
}

// What the user-interface thread and the makers share, under lock. The
// makers co-own it, so it outlives a page that goes while they finish.
struct ThumbnailWork {
    mutable std::mutex lock;
    std::condition_variable changed;  // the cache was read, or stop was asked

    std::string folderPath;
    int box = kDesignThumbnailBox;  // set before any maker starts
    std::vector<ThumbnailJob> jobs;
    std::vector<JobState> state;
    unsigned schedule = 0;        // counts Schedule calls
    size_t cursor = 0;            // no pending job before it
    size_t visibleFirst = 0, visibleEnd = 0;
    int cells = 0, cellsDone = 0; // jobs with a thumbnail, and those done
    // Thumbnails being made: the generation they are made for, and the
    // turn of the maker that makes each (only that maker may end it).
    struct Flight {
        unsigned generation;
        unsigned long long turn;
    };
    std::unordered_map<const CThumbnail*, Flight> inFlight;
    unsigned long long turns = 0;
    // Where each thumbnail is in jobs; made when a late result needs it.
    std::unordered_map<const CThumbnail*, size_t> positions;

    CacheState cacheState = CacheState::Unread;
    CachedThumbnails cached;
    int running = 0;
    bool dirty = false;
    // Scheduled anew for another box: what its makers made is not written.
    bool superseded = false;

    std::atomic<bool> stop{false};
    std::atomic<bool> shown{false};
    std::atomic<bool> interrupted{false};

    bool Stopped() const { return stop || g_navigator.m_exiting; }

    void MarkDone(size_t i)
    {
        if (state[i] == Done)
            return;
        state[i] = Done;
        if (jobs[i].thumbnail)
            ++cellsDone;
    }

    // The position of thumbnail in the current jobs, or jobs.size().
    size_t PositionOf(const CThumbnail* thumbnail)
    {
        if (positions.empty()) {
            for (size_t i = 0; i < jobs.size(); ++i)
                positions.emplace(jobs[i].thumbnail.get(), i);
        }
        const auto found = positions.find(thumbnail);
        return found == positions.end() ? jobs.size() : found->second;
    }

    // The next job, the cells on screen first, with the maker's turn at it.
    bool Take(ThumbnailJob& job, unsigned long long* turn)
    {
        size_t i = visibleFirst;
        while (i < visibleEnd && i < jobs.size() && state[i] != Pending)
            ++i;
        if (i >= visibleEnd || i >= jobs.size()) {
            while (cursor < jobs.size() && state[cursor] != Pending)
                ++cursor;
            i = cursor;
        }
        if (i >= jobs.size())
            return false;
        state[i] = Taken;
        job = jobs[i];
        *turn = ++turns;
        inFlight[job.thumbnail.get()] = Flight{job.generation, *turn};
        return true;
    }

    // Gives the pending jobs what the cache holds for them. Folders are
    // looked up when their picture has been found; offline entries have
    // nothing else.
    void ServeFromCache()
    {
        for (size_t i = 0; i < jobs.size(); ++i) {
            const ThumbnailJob& job = jobs[i];
            const bool offline = (job.kind & EntryOffline) != 0;
            if (state[i] != Pending || ((job.kind & EntryKindMask) == EntryFolder && !offline))
                continue;
            const auto found = cached.find(NameKey(job.path));
            if (found != cached.end() && found->second.Serves(job.kind, job.time)) {
                found->second.GiveTo(*job.thumbnail);
                MarkDone(i);
            } else if (offline) {
                MarkDone(i);
            }
        }
    }

    std::vector<ThumbnailRecord> Records() const
    {
        std::vector<ThumbnailRecord> records;
        records.reserve(jobs.size());
        for (const ThumbnailJob& job : jobs)
            records.push_back(RecordOf(job.path, job.time, job.kind, job.thumbnail.get()));
        return records;
    }
};

namespace {

// Reads the folder's cache, once for all makers; the others wait for it.
// False when stopped first.
bool ReadCacheOnce(ThumbnailWork& work)
{
    // Jobs scheduled during a read may want paths it did not look for: it
    // is read again for them, a few times at most.
    constexpr int kMostReads = 3;
    std::unique_lock guard(work.lock);
    while (work.cacheState == CacheState::Reading) {
        work.changed.wait(guard, [&] { return work.cacheState != CacheState::Reading || work.Stopped(); });
        if (work.Stopped())
            return false;
    }
    if (work.cacheState == CacheState::Read)
        return true;
    work.cacheState = CacheState::Reading;
    bool stopped = false;
    try {
        for (int read = 1; !stopped; ++read) {
            std::unordered_set<std::wstring> wanted;
            wanted.reserve(work.jobs.size());
            for (const ThumbnailJob& job : work.jobs)
                wanted.insert(NameKey(job.path));
            const std::string folder = work.folderPath;
            const unsigned schedule = work.schedule;
            guard.unlock();

            CachedThumbnails cached = ReadThumbnailCache(folder, wanted, work.box, [&work] { return work.Stopped(); });

            guard.lock();
            stopped = work.Stopped();
            if (!stopped && (work.schedule == schedule || read == kMostReads)) {
                work.cached = std::move(cached);
                work.ServeFromCache();
                break;
            }
        }
    } catch (...) {
        // The other makers must not wait for a read that will not come.
        if (!guard.owns_lock())
            guard.lock();
        work.cacheState = CacheState::Unread;
        work.changed.notify_all();
        throw;
    }
    // Read again next time when stopped before the end.
    work.cacheState = stopped ? CacheState::Unread : CacheState::Read;
    work.changed.notify_all();
    guard.unlock();
    if (!stopped && work.shown)
        RedrawPage(nullptr);  // the cached thumbnails show at once
    return !stopped;
}

// A folder's thumbnail is its first picture's, two levels deep; cached
// when that picture has not changed. Empty when the folder has none.
std::string FolderPicture(ThumbnailWork& work, ThumbnailJob& job, bool* served)
{
    *served = false;
    const auto stopped = [&work] { return work.Stopped(); };
    const std::string picture = FindFirstPicture(job.path, 2, stopped);
    // Found here, the folder's badge is drawn without listing it on the
    // user-interface thread.
    const size_t slash = picture.find_last_of("\\/");
    const bool inFolder = slash != std::string::npos && NameKey(picture.substr(0, slash)) == NameKey(job.path);
    const bool holds = inFolder || (!picture.empty() && FolderHoldsPictures(job.path, stopped));
    if (!work.Stopped())
        job.thumbnail->m_holdsPictures = holds ? 1 : 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (picture.empty() || !AfxGetFileAttributesEx(picture, &data))
        return picture;
    job.time = data.ftLastWriteTime;
    std::lock_guard guard(work.lock);
    const auto found = work.cached.find(NameKey(job.path));
    if (found != work.cached.end() && !work.superseded && found->second.Serves(job.kind, job.time)
        && job.thumbnail->Generation() == job.generation) {
        found->second.GiveTo(*job.thumbnail);
        *served = true;
    }
    return picture;
}

// Makes one job's thumbnail; false when stopped in the middle.
bool MakeOne(ThumbnailWork& work, ThumbnailJob& job, int box, CPictureBitmap& scratch)
{
    bool made = false;
    std::shared_ptr<const ThumbnailBytes> jpeg;
    int width = 0, height = 0;
    try {
        bool served = false;
        const std::string picture =
            (job.kind & EntryKindMask) == EntryFolder ? FolderPicture(work, job, &served) : job.path;
        if (picture.empty() && work.Stopped())
            return false;  // the folder was not searched to its end
        if (!served && !picture.empty()) {
            bool stopped = false;
            const std::unique_ptr<CPixels> pixels =
                MakeThumbnailPixels(picture, scratch, box, [&work] { return work.Stopped(); }, &stopped);
            if (stopped)
                return false;
            if (pixels) {
                width = pixels->Width();
                height = pixels->Height();
                auto bytes = std::make_shared<const ThumbnailBytes>(EncodeJpegBytes(*pixels));
                if (!bytes->empty())
                    jpeg = std::move(bytes);
            }
        }
        made = served;
    } catch (DWORD) {
        // A picture that cannot be opened keeps an empty cell.
    } catch (int) {
    }

    RECT cell{0, 0, 0, 0};
    {
        std::lock_guard guard(work.lock);
        // The entry may have changed since: its thumbnail then waits for a new job.
        if (jpeg && !work.superseded && job.thumbnail->Generation() == job.generation
            && !job.thumbnail->HasPicture()) {
            job.thumbnail->SetCompressed(jpeg, width, height, job.time);
            work.dirty = true;
            made = true;
        }
        if (made) {
            std::lock_guard entries(EntryLock());
            cell = job.thumbnail->m_cell;
        }
    }
    if (made && work.shown)
        InvalidatePageRect(cell);
    return true;
}

// Ends a maker's turn at job: done, or (stopped, or its entry changed) to be
// taken again. A turn that another maker's has replaced changes nothing.
void Finish(ThumbnailWork& work, const ThumbnailJob& job, unsigned long long turn, bool completed)
{
    std::lock_guard guard(work.lock);
    const auto flight = work.inFlight.find(job.thumbnail.get());
    if (flight == work.inFlight.end() || flight->second.turn != turn)
        return;
    work.inFlight.erase(flight);
    const size_t i = work.PositionOf(job.thumbnail.get());
    if (i >= work.jobs.size() || work.state[i] != Taken)
        return;
    const bool current = work.jobs[i].generation == job.thumbnail->Generation();
    if (completed && (current || job.thumbnail->HasPicture()))
        work.MarkDone(i);
    else {
        work.state[i] = Pending;
        work.cursor = std::min(work.cursor, i);
    }
}

void RunMaker(const std::shared_ptr<ThumbnailWork>& shared)
{
    ThumbnailWork& work = *shared;
    // Whether this maker still counts as running. It stops counting in the
    // same hold of the lock in which it finds no work, so that jobs
    // scheduled a moment later get a maker of their own.
    bool counted = true;
    try {
        // Pictures of one folder mostly share their size: each is decoded
        // into the section of the one before.
        CPictureBitmap scratch;
        if (ReadCacheOnce(work)) {
            for (;;) {
                ThumbnailJob job;
                unsigned long long turn = 0;
                {
                    std::lock_guard guard(work.lock);
                    if (work.Stopped() || !work.Take(job, &turn)) {
                        --work.running;
                        counted = false;
                        break;
                    }
                }
                bool completed = false;
                try {
                    completed = MakeOne(work, job, work.box, scratch);
                } catch (...) {
                    Finish(work, job, turn, false);
                    throw;
                }
                Finish(work, job, turn, completed);
            }
        }
    } catch (...) {
        // Memory running short, say: the thumbnails made so far are still
        // written, and the page lists its folder again to go on.
        work.interrupted = true;
    }
    // The last maker to end writes what all of them made.
    try {
        std::unique_lock guard(work.lock);
        if (counted)
            --work.running;
        if (work.running > 0 || !work.dirty || work.superseded)
            return;
        work.dirty = false;
        const std::vector<ThumbnailRecord> records = work.Records();
        const std::string folder = work.folderPath;
        const int box = work.box;
        guard.unlock();
        WriteThumbnailCache(folder, records, box);
    } catch (...) {
        work.interrupted = true;  // and written by the next turn's last maker
    }
}

} // namespace

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
                                   bool /*factsFirst*/)
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
        work.jobs = std::move(jobs);
        work.state.assign(work.jobs.size(), Pending);
        work.positions.clear();
        work.cursor = 0;
        work.cells = work.cellsDone = 0;
        ++work.schedule;
        for (size_t i = 0; i < work.jobs.size(); ++i) {
            const ThumbnailJob& job = work.jobs[i];
            if (job.thumbnail)
                ++work.cells;
            const auto flying = job.thumbnail ? work.inFlight.find(job.thumbnail.get()) : work.inFlight.end();
            // An offline entry waits for the cache: it has nothing else.
            const bool wanted = job.makeable || (job.kind & EntryOffline);
            if (flying != work.inFlight.end() && flying->second.generation == job.generation)
                work.state[i] = Taken;  // its maker finishes it
            else if (!job.thumbnail || !wanted || job.thumbnail->HasPicture())
                work.MarkDone(i);
        }
        if (work.cacheState == CacheState::Read)
            work.ServeFromCache();
        work.stop = false;
        const bool pending = std::find(work.state.begin(), work.state.end(), Pending) != work.state.end();
        if (pending || work.cacheState != CacheState::Read)
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
    return false;
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
