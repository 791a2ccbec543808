// The thumbnail makers' threads: each reads the folder's cache (once for
// all), then takes job after job, reading a picture's facts from its header
// or making its thumbnail, until none is left; the last to end writes the
// cache.
#include <unordered_set>

#include "afxpath.h"
#include "core/pagehost.h"
#include "folderpage/thumbnailwork.h"
#include "imaging/embeddedthumbnail.h"
#include "imaging/picture.h"
#include "imaging/picturefacts.h"

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
            const std::string folder = work.folderPath;
            // Facts first: known from the directory alone, long before the
            // thumbnails are read.
            if (read == 1 && work.factsFirst && work.factsCount[(int)FactsState::Wanted] > 0) {
                const size_t entries = work.jobs.size();
                guard.unlock();
                ReadCachedFacts(folder, entries, [&work](const std::vector<CachedFacts>& records) {
                    std::lock_guard hold(work.lock);
                    if (!work.Stopped())
                        work.ServeFacts(records);
                });
                guard.lock();
            }
            std::unordered_set<std::wstring> wanted;
            wanted.reserve(work.jobs.size());
            for (const ThumbnailJob& job : work.jobs)
                wanted.insert(NameKey(job.path));
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

// Gives job's thumbnail facts read for it, unless its entry changed since;
// a header that did not read replaces none. Under the work's lock.
bool TakeFacts(const ThumbnailJob& job, const HeaderFacts& facts)
{
    std::lock_guard entries(EntryLock());
    if (job.thumbnail->Generation() != job.generation
        || (facts.size.cx <= 0 && job.thumbnail->Facts()))
        return false;
    job.thumbnail->SetFacts(facts);
    return true;
}

// Reads a picture's facts from its header alone; nothing when stopped.
std::optional<HeaderFacts> ReadFacts(ThumbnailWork& work, const ThumbnailJob& job)
{
    HeaderFacts facts;
    try {
        const PictureFacts read = ReadPictureFacts(job.path, [&work] { return work.Stopped(); });
        facts = HeaderFacts{TakenFileTime(read.photo), read.size};
    } catch (DWORD) {
        // A file that cannot be opened is known to have no date.
    }
    if (work.Stopped())
        return std::nullopt;
    return facts;
}

// Ends a maker's turn at reading job's facts: known, or (stopped) to be
// read again; read for an entry that changed since, it waits for a new job.
void FinishFacts(ThumbnailWork& work, const ThumbnailJob& job, unsigned long long turn,
                 const std::optional<HeaderFacts>& facts)
{
    std::lock_guard guard(work.lock);
    const auto flight = work.factsInFlight.find(job.thumbnail.get());
    const bool mine = flight != work.factsInFlight.end() && flight->second.turn == turn;
    if (mine)
        work.factsInFlight.erase(flight);
    const bool taken = facts && TakeFacts(job, *facts);
    // Written with the thumbnails, so that the next visit reads no header
    // (the cache keeps only facts that read).
    work.dirty |= taken && facts->size.cx > 0;
    const size_t i = work.PositionOf(job.thumbnail.get());
    if (i < work.jobs.size()) {
        work.NoteFacts(i);
        if (mine && work.facts[i] == FactsState::Reading)
            work.SetFactsState(i, facts ? FactsState::Outdated : FactsState::Wanted);
    }
    work.changed.notify_all();
}

// Shows the small thumbnail a picture file carries in its cell while its
// real one is made, which takes a full decode.
void ShowEmbeddedThumbnail(ThumbnailWork& work, const ThumbnailJob& job, int box)
{
    std::unique_ptr<CPixels> pixels = ReadEmbeddedThumbnail(job.path, box, [&work] { return work.Stopped(); });
    if (!pixels)
        return;
    RECT cell{0, 0, 0, 0};
    {
        std::lock_guard guard(work.lock);
        if (work.superseded || job.thumbnail->Generation() != job.generation || job.thumbnail->HasPicture())
            return;
        job.thumbnail->SetProvisional(std::move(pixels));
        std::lock_guard entries(EntryLock());
        cell = job.thumbnail->m_cell;
    }
    if (work.shown)
        InvalidatePageRect(cell);
}

// Makes one job's thumbnail; false when stopped in the middle.
bool MakeOne(ThumbnailWork& work, ThumbnailJob& job, int box, CPictureBitmap& scratch)
{
    bool made = false;
    std::shared_ptr<const ThumbnailBytes> jpeg;
    int width = 0, height = 0;
    // A picture's facts come from the header decoded anyway; one that does
    // not open or read has no date.
    std::optional<HeaderFacts> facts;
    DWORD failure = 0;
    const bool picture = (job.kind & EntryKindMask) == EntryFile;
    try {
        bool served = false;
        const std::string file =
            (job.kind & EntryKindMask) == EntryFolder ? FolderPicture(work, job, &served) : job.path;
        if (file.empty() && work.Stopped())
            return false;  // the folder was not searched to its end
        if (!served && !file.empty()) {
            if (picture && !job.embeddedSought)
                ShowEmbeddedThumbnail(work, job, box);
            bool stopped = false;
            const std::unique_ptr<CPixels> pixels =
                MakeThumbnailPixels(file, scratch, box, [&work] { return work.Stopped(); }, &stopped);
            if (stopped)
                return false;
            if (picture)
                facts = HeaderFacts{TakenFileTime(scratch.m_facts), SIZE{scratch.m_width, scratch.m_height}};
            if (pixels) {
                width = pixels->Width();
                height = pixels->Height();
                auto bytes = std::make_shared<const ThumbnailBytes>(EncodeJpegBytes(*pixels));
                if (!bytes->empty())
                    jpeg = std::move(bytes);
            }
        }
        made = served;
    } catch (DWORD error) {
        // A picture that cannot be opened or read keeps an empty cell, marked.
        failure = error;
        if (picture)
            facts = HeaderFacts{};
    } catch (int) {
        if (picture)
            facts = HeaderFacts{};
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
        if (facts)
            TakeFacts(job, *facts);
        if (picture && job.thumbnail->Generation() == job.generation && !job.thumbnail->HasPicture()
            && job.thumbnail->ReadFailure() != failure) {
            job.thumbnail->SetReadFailure(failure);
            made = true;  // its mark changes
        }
        // Without a real picture, no stand-in stays.
        if (!made && job.thumbnail->HasProvisional()) {
            job.thumbnail->DropProvisional();
            made = true;  // its cell is drawn again
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
    work.NoteFacts(i);
    // A maker waiting for facts may take this picture's now.
    work.changed.notify_all();
}

} // namespace

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
                Task task = Task::None;
                {
                    std::unique_lock guard(work.lock);
                    while (!work.Stopped() && (task = work.Take(job, &turn)) == Task::Wait)
                        work.changed.wait(guard);
                    if (task == Task::Wait)
                        task = Task::None;
                    if (task == Task::None) {
                        --work.running;
                        counted = false;
                        break;
                    }
                }
                if (task == Task::Facts) {
                    std::optional<HeaderFacts> facts;
                    try {
                        facts = ReadFacts(work, job);
                    } catch (...) {
                        FinishFacts(work, job, turn, std::nullopt);
                        throw;
                    }
                    FinishFacts(work, job, turn, facts);
                    continue;
                }
                if (task == Task::Embedded) {
                    const auto read = [&work] {
                        std::lock_guard guard(work.lock);
                        work.EmbeddedRead();
                    };
                    try {
                        ShowEmbeddedThumbnail(work, job, work.box);
                    } catch (...) {
                        read();
                        throw;
                    }
                    read();
                    continue;
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

