#include "folderpage/thumbnailwork.h"

#include <algorithm>

#include "afxpath.h"
#include "core/navigator.h"

namespace {

// Whether a job's entry is a picture whose header can be read now.
bool HasFactsToRead(const ThumbnailJob& job)
{
    return job.thumbnail && job.makeable && (job.kind & EntryKindMask) == EntryFile && !(job.kind & EntryOffline);
}

// Whether a job's picture may carry a small thumbnail of its own to show
// until its real one is made.
bool MayCarryThumbnail(const ThumbnailJob& job)
{
    return HasFactsToRead(job) && !job.embeddedSought && !job.thumbnail->HasProvisional();
}

} // namespace

bool ThumbnailWork::Stopped() const
{
    return stop || g_navigator.m_exiting;
}

void ThumbnailWork::Assign(std::vector<ThumbnailJob> newJobs, bool newFactsFirst)
{
    jobs = std::move(newJobs);
    state.assign(jobs.size(), Pending);
    positions.clear();
    cursor = 0;
    cells = cellsDone = 0;
    factsFirst = newFactsFirst;
    facts.assign(jobs.size(), FactsState::Known);
    std::fill(std::begin(factsCount), std::end(factsCount), 0);
    factsCount[(int)FactsState::Known] = (int)jobs.size();
    factsAllKnown = true;
    factsCursor = 0;
    ++schedule;
    for (size_t i = 0; i < jobs.size(); ++i) {
        const ThumbnailJob& job = jobs[i];
        if (job.thumbnail)
            ++cells;
        const auto flying = job.thumbnail ? inFlight.find(job.thumbnail.get()) : inFlight.end();
        // An offline entry waits for the cache: it has nothing else.
        const bool wanted = job.makeable || (job.kind & EntryOffline);
        if (flying != inFlight.end() && flying->second.generation == job.generation)
            state[i] = Taken;  // its maker finishes it
        else if (!job.thumbnail || !wanted || job.thumbnail->HasPicture())
            MarkDone(i);
        if (HasFactsToRead(job) && !job.thumbnail->Facts()) {
            const auto reading = factsInFlight.find(job.thumbnail.get());
            const bool read = reading != factsInFlight.end() && reading->second.generation == job.generation;
            SetFactsState(i, read ? FactsState::Reading : FactsState::Wanted);
        }
    }
}

void ThumbnailWork::MarkDone(size_t i)
{
    if (state[i] == Done)
        return;
    state[i] = Done;
    if (jobs[i].thumbnail)
        ++cellsDone;
}

void ThumbnailWork::SetFactsState(size_t i, FactsState to)
{
    --factsCount[(int)facts[i]];
    facts[i] = to;
    ++factsCount[(int)to];
    if (to == FactsState::Wanted)
        factsCursor = std::min(factsCursor, i);
    factsAllKnown = factsCount[(int)FactsState::Known] == (int)jobs.size();
}

void ThumbnailWork::NoteFacts(size_t i)
{
    if (facts[i] != FactsState::Known && jobs[i].thumbnail && jobs[i].thumbnail->Facts())
        SetFactsState(i, FactsState::Known);
}

bool ThumbnailWork::WorkLeft() const
{
    return factsCount[(int)FactsState::Wanted] > 0 || std::find(state.begin(), state.end(), Pending) != state.end();
}

size_t ThumbnailWork::PositionOf(const CThumbnail* thumbnail)
{
    if (positions.empty()) {
        for (size_t i = 0; i < jobs.size(); ++i)
            positions.emplace(jobs[i].thumbnail.get(), i);
    }
    const auto found = positions.find(thumbnail);
    return found == positions.end() ? jobs.size() : found->second;
}

Task ThumbnailWork::Take(ThumbnailJob& job, unsigned long long* turn)
{
    if (factsFirst) {
        // Every picture's facts go before the first thumbnail, also those
        // another maker is still reading.
        if (TakeFacts(job, turn))
            return Task::Facts;
        if (factsCount[(int)FactsState::Wanted] > 0 || factsCount[(int)FactsState::Reading] > 0)
            return Task::Wait;
    }
    // The cells on screen show what their files carry before any picture
    // is decoded whole.
    if (TakeEmbedded(job))
        return Task::Embedded;
    if (embeddedReading > 0)
        return Task::Wait;
    if (factsFirst)
        return TakeThumbnail(job, turn) ? Task::Thumbnail : Task::None;
    // Else facts come with the thumbnails; only pictures that have one
    // already are read for theirs, last.
    if (TakeThumbnail(job, turn))
        return Task::Thumbnail;
    return TakeFacts(job, turn) ? Task::Facts : Task::None;
}

bool ThumbnailWork::TakeEmbedded(ThumbnailJob& job)
{
    // Until the page has drawn its cells, a large window's first screenful
    // is taken to be on screen.
    constexpr size_t kFirstScreenful = 64;
    const size_t first = visibleEnd > 0 ? visibleFirst : 0;
    const size_t end = visibleEnd > 0 ? visibleEnd : kFirstScreenful;
    for (size_t i = first; i < end && i < jobs.size(); ++i) {
        if (state[i] == Pending && MayCarryThumbnail(jobs[i])) {
            jobs[i].embeddedSought = true;
            job = jobs[i];
            ++embeddedReading;
            return true;
        }
    }
    return false;
}

void ThumbnailWork::EmbeddedRead()
{
    --embeddedReading;
    changed.notify_all();
}

bool ThumbnailWork::TakeThumbnail(ThumbnailJob& job, unsigned long long* turn)
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

bool ThumbnailWork::TakeFacts(ThumbnailJob& job, unsigned long long* turn)
{
    if (factsCount[(int)FactsState::Wanted] == 0)
        return false;
    size_t i = visibleFirst;
    while (i < visibleEnd && i < jobs.size() && !FactsTakeable(i))
        ++i;
    if (i >= visibleEnd || i >= jobs.size()) {
        while (factsCursor < jobs.size() && facts[factsCursor] != FactsState::Wanted)
            ++factsCursor;
        // A picture whose thumbnail is being made gets its facts with it.
        i = factsCursor;
        while (i < jobs.size() && !FactsTakeable(i))
            ++i;
    }
    if (i >= jobs.size())
        return false;
    SetFactsState(i, FactsState::Reading);
    job = jobs[i];
    *turn = ++turns;
    factsInFlight[job.thumbnail.get()] = Flight{job.generation, *turn};
    return true;
}

void ThumbnailWork::ServeFromCache()
{
    // Folders are looked up when their picture has been found; offline
    // entries have nothing else.
    for (size_t i = 0; i < jobs.size(); ++i) {
        const ThumbnailJob& job = jobs[i];
        const bool offline = (job.kind & EntryOffline) != 0;
        const bool picture = state[i] == Pending && ((job.kind & EntryKindMask) != EntryFolder || offline);
        if (!picture && facts[i] != FactsState::Wanted)
            continue;
        const auto found = cached.find(NameKey(job.path));
        if (found != cached.end() && picture && found->second.Serves(job.kind, job.time)) {
            found->second.GiveTo(*job.thumbnail);
            MarkDone(i);
        } else if (found != cached.end() && found->second.ServesFacts(job.kind, job.time)) {
            job.thumbnail->SetFacts(*found->second.facts);
        }
        if (picture && offline)
            MarkDone(i);
        NoteFacts(i);
    }
}

void ThumbnailWork::ServeFacts(const std::vector<CachedFacts>& records)
{
    // Tens of thousands of paths: matched by their hashes, sorted, rather
    // than through keys made and kept one by one.
    const std::hash<std::string_view> hash;
    std::vector<std::pair<size_t, size_t>> wanting;  // path hash, job
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (facts[i] == FactsState::Wanted)
            wanting.emplace_back(hash(jobs[i].path), i);
    }
    std::sort(wanting.begin(), wanting.end());
    for (const CachedFacts& record : records) {
        const size_t key = hash(record.path);
        auto it = std::lower_bound(wanting.begin(), wanting.end(), std::pair{key, size_t{0}});
        for (; it != wanting.end() && it->first == key; ++it) {
            ThumbnailJob& job = jobs[it->second];
            if (facts[it->second] == FactsState::Wanted && job.path == record.path
                && record.Serves(job.kind, job.time)) {
                job.thumbnail->SetFacts(record.facts);
                SetFactsState(it->second, FactsState::Known);
            }
        }
    }
}

std::vector<ThumbnailRecord> ThumbnailWork::Records() const
{
    std::vector<ThumbnailRecord> records;
    records.reserve(jobs.size());
    for (const ThumbnailJob& job : jobs)
        records.push_back(RecordOf(job.path, job.time, job.kind, job.thumbnail.get()));
    return records;
}
