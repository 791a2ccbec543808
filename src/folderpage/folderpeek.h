// The peek: while the pointer rests on the play badge of a folder, the
// folder's own pictures are shown one after another in its cell. A thread of
// the peek's own lists the folder and makes each next thumbnail ahead; the
// user-interface thread only takes what is ready.
#pragma once

#include <memory>

#include "catalog/foldercatalog.h"
#include "thread.h"

class CFolderPeek {
public:
    CFolderPeek(const CFolderEntry& folder, const RECT& cell);
    // Stops the thread, waiting for it at most 20 ms.
    ~CFolderPeek();
    CFolderPeek(const CFolderPeek&) = delete;
    CFolderPeek& operator=(const CFolderPeek&) = delete;

    // Starts the thread: it lists the folder, gives every entry a thumbnail
    // in the peeked cell and makes them one after another, in turn.
    void Load();

    // At most every 500 ms: moves on to the next entry once the thread has
    // made its thumbnail, and returns it when there is one to show this
    // tick. While it is not ready, nothing is shown and the next tick asks
    // again.
    CThumbnail* Advance();

    // Asks the thread to stop: it closes what it reads (the listing, a
    // picture) within a piece of its work.
    void Stop();
    // Asks, then waits ms at most for the thread; true when it has ended.
    bool Release(DWORD ms);

    const RECT& Cell() const { return m_cell; }
    // The peeked folder: its icon, overlays and caption frame the pictures.
    CFolderEntry& Folder() { return m_folder; }

private:
    struct Shared;
    static void Work(Shared& shared);

    CFolderEntry m_folder;
    RECT m_cell;
    DWORD m_nextTime;
    // The returned thumbnails live in the shared catalog.
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<CBackgroundThread> m_thread;
};
