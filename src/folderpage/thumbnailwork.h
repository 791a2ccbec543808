// What the thumbnail scheduler and its makers share: the jobs of one page,
// what is done of them, and the folder's cache once read. The makers
// co-own it, so it outlives a page that goes while they finish.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalog/thumbnailcache.h"
#include "folderpage/thumbnailscheduler.h"

enum JobState : unsigned char { Pending, Taken, Done };
enum class CacheState { Unread, Reading, Read };
// A picture's header facts: to be read, being read, known, or asked for
// an entry that has changed since (read again once it is scheduled anew).
enum class FactsState : unsigned char { Wanted, Reading, Known, Outdated };

// What a maker takes next: a picture's facts, the thumbnail its file
// carries, a thumbnail, nothing for now (facts and carried thumbnails being
// read go before any thumbnail), or nothing at all.
enum class Task { Facts, Embedded, Thumbnail, Wait, None };

// Shared between the user-interface thread and the makers, under lock.
struct ThumbnailWork {
    mutable std::mutex lock;
    // The cache was read, stop was asked, jobs came, or a job ended.
    std::condition_variable changed;

    std::string folderPath;
    int box = kDesignThumbnailBox;  // set before any maker starts
    std::vector<ThumbnailJob> jobs;
    std::vector<JobState> state;
    unsigned schedule = 0;        // counts Schedule calls
    size_t cursor = 0;            // no pending job before it
    size_t visibleFirst = 0, visibleEnd = 0;
    int cells = 0, cellsDone = 0; // jobs with a thumbnail, and those done
    int embeddedReading = 0;      // carried thumbnails being read
    // Thumbnails being made, or facts being read: the generation they are
    // for, and the turn of the maker at it (only that maker may end it).
    struct Flight {
        unsigned generation;
        unsigned long long turn;
    };
    std::unordered_map<const CThumbnail*, Flight> inFlight;
    std::unordered_map<const CThumbnail*, Flight> factsInFlight;
    unsigned long long turns = 0;
    // Where each thumbnail is in jobs; made when a late result needs it.
    std::unordered_map<const CThumbnail*, size_t> positions;

    // Each job's facts; those of folders and of entries without a picture
    // to read count as known.
    bool factsFirst = false;
    std::vector<FactsState> facts;
    size_t factsCursor = 0;  // no wanted facts before it
    int factsCount[4] = {};  // jobs in each FactsState

    CacheState cacheState = CacheState::Unread;
    CachedThumbnails cached;
    int running = 0;
    bool dirty = false;
    // Scheduled anew for another box: what its makers made is not written.
    bool superseded = false;

    std::atomic<bool> stop{false};
    std::atomic<bool> shown{false};
    std::atomic<bool> interrupted{false};

    bool Stopped() const;

    // Takes in jobs as Schedule hands them over, keeping what is in flight.
    void Assign(std::vector<ThumbnailJob> newJobs, bool newFactsFirst);
    void MarkDone(size_t i);
    void SetFactsState(size_t i, FactsState to);
    // Counts job i's facts as known once its thumbnail has them.
    void NoteFacts(size_t i);
    // Kept apart, so that the page polls it without waiting for the lock.
    std::atomic<bool> factsAllKnown{true};
    bool WorkLeft() const;
    // The position of thumbnail in the current jobs, or jobs.size().
    size_t PositionOf(const CThumbnail* thumbnail);
    // The next job, the cells on screen first, with the maker's turn at it.
    Task Take(ThumbnailJob& job, unsigned long long* turn);
    // A carried thumbnail's reading ended.
    void EmbeddedRead();
    // Gives the jobs what the cache holds for them.
    void ServeFromCache();
    // Gives the jobs that want facts those of the cache's records of their
    // paths as written; a path written otherwise waits for ServeFromCache.
    void ServeFacts(const std::vector<CachedFacts>& records);
    std::vector<ThumbnailRecord> Records() const;

private:
    bool TakeEmbedded(ThumbnailJob& job);
    bool TakeThumbnail(ThumbnailJob& job, unsigned long long* turn);
    bool TakeFacts(ThumbnailJob& job, unsigned long long* turn);
    bool FactsTakeable(size_t i) const { return facts[i] == FactsState::Wanted && state[i] != Taken; }
};

// What one maker thread does until the work runs out or stops; the last
// one to end writes the cache.
void RunMaker(const std::shared_ptr<ThumbnailWork>& shared);
