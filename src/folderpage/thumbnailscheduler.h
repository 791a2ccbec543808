// Makes a page's thumbnails on as many threads as the machine has cores,
// those of the cells on screen first, the others in list order.
//
// The makers never touch the page or its list: the user-interface thread
// hands them every entry as a job, and the makers fill in the jobs'
// thumbnails, which they co-own. So the page can list its folder again, or
// go, while a picture is being made; a thumbnail whose entry changed
// meanwhile (CThumbnail::Generation) does not take the outdated result.
//
// Before the first full decode, the cells on screen show the thumbnails
// their files carry (CThumbnail::SetProvisional), read from the files'
// first bytes; the real ones replace them.
//
// Each picture's header facts (CThumbnail::Facts) come with its thumbnail,
// from the header decoded anyway, or from the cache with it.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "catalog/folderentry.h"
#include "catalog/thumbnail.h"

struct ThumbnailWork;
class CBackgroundThread;

// One entry of the page, in list order.
struct ThumbnailJob {
    std::shared_ptr<CThumbnail> thumbnail;  // null: an entry without a cell, only written to the cache
    std::string path;                       // the entry's own: its picture, or the folder to find one in
    FILETIME time{0, 0};                    // the entry's
    unsigned kind = 0;
    bool makeable = false;                  // a picture or a folder to make a thumbnail of
    unsigned generation = 0;                // the thumbnail's when scheduled
    bool embeddedSought = false;            // its file's own small thumbnail was looked for
};

// The jobs of a page's entries, in list order.
std::vector<ThumbnailJob> ThumbnailJobsOf(const std::list<CFolderEntry>& entries);

class CThumbnailScheduler {
public:
    // At most makers threads at once.
    explicit CThumbnailScheduler(int makers = MakerCount());
    // Asks the makers to stop and leaves them 50 ms in all; a maker still
    // running then ends by itself, writing the cache if it was the last.
    ~CThumbnailScheduler();
    CThumbnailScheduler(const CThumbnailScheduler&) = delete;
    CThumbnailScheduler& operator=(const CThumbnailScheduler&) = delete;

    // Makes the thumbnails that jobs still lack, taking what the folder's
    // cache holds first (its file is read once). A thumbnail being made
    // meanwhile is finished, not started again. The cache is written when
    // the makers run out of work or stop.
    // Thumbnails are made for box by box; scheduled with another box, the
    // cache is read again for it.
    // With factsFirst, every picture's header facts that the cache does not
    // hold are read from the file's header alone, those of the cells on
    // screen first, before any thumbnail is made; an order by date taken
    // then needs no thumbnail. Without it, a picture that has its thumbnail
    // but not its facts is read for them after all thumbnails.
    void Schedule(const std::string& folderPath, std::vector<ThumbnailJob> jobs, int box = kDesignThumbnailBox,
                  bool factsFirst = false);
    // Asks the makers to stop within a batch of rows; does not wait.
    void Stop();
    // Asks the makers to stop and waits ms in all at most until each has
    // ended, its files closed; true when all did.
    bool Release(DWORD ms);
    // The jobs at list positions first to last (inclusive) go before the others.
    void SetVisible(size_t first, size_t last);
    // While shown, the makers repaint the cells they fill.
    void SetShown(bool shown);
    // How many of the scheduled thumbnails are done; false when all are.
    bool Progress(int* done, int* total) const;
    // Whether the header facts of every scheduled picture are known (a
    // picture that does not read counts, with no date). Cheap: polled by
    // the page.
    bool FactsKnown() const;
    // True once after a maker ended on an error outside any one picture.
    bool TakeInterrupted();

    // Makers at once: the processors the process may use, at most four.
    static int MakerCount();

private:
    int m_makerLimit;
    std::shared_ptr<ThumbnailWork> m_work;
    std::vector<std::unique_ptr<CBackgroundThread>> m_makers;
};
