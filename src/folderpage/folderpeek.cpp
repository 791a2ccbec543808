#include "folderpage/folderpeek.h"

#include <atomic>
#include <condition_variable>
#include <iterator>
#include <mutex>

#include "folderpage/folderpage.h"
#include "imaging/picture.h"
#include "imaging/wicdecode.h"

namespace {

constexpr DWORD kStopWait = 20;

} // namespace

// What the peek and its thread share. The thread alone lists the catalog and
// makes the thumbnails; it hands each one over through the ready slot, after
// which it never changes it again, so the user-interface thread may draw it
// (under EntryLock(), as every thumbnail) for as long as it holds the state.
struct CFolderPeek::Shared {
    Shared(const CFolderEntry& folder, const RECT& cell, int box) : catalog(folder), cell(cell), box(box) {}

    CFolderCatalog catalog;
    const RECT cell;
    const int box;
    std::atomic<bool> stop{false};  // also set under lock, for the wait
    std::mutex lock;
    std::condition_variable taken;
    bool ready = false;           // the next slot is made, not yet taken
    CThumbnail* next = nullptr;   // its thumbnail; null shows nothing that tick
};

CFolderPeek::CFolderPeek(const CFolderEntry& folder, const RECT& cell)
    : m_folder(folder), m_cell(cell), m_nextTime(::GetTickCount()),
      m_shared(std::make_shared<Shared>(folder, cell, ThumbnailBox()))
{
}

CFolderPeek::~CFolderPeek()
{
    Stop();
    // Removed at every move off the badge: a thread still resolving a
    // shortcut (which cannot be stopped) is let go sooner than most.
    if (m_thread)
        m_thread->Retire(kStopWait);
}

void CFolderPeek::Stop()
{
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->stop = true;
    }
    m_shared->taken.notify_all();
}

bool CFolderPeek::Release(DWORD ms)
{
    Stop();
    if (!m_thread)
        return true;
    const bool ended = m_thread->Wait(ms);
    m_thread->Retire(0);
    m_thread.reset();
    return ended;
}

void CFolderPeek::Load()
{
    if (m_thread)
        return;
    std::shared_ptr<Shared> shared = m_shared;
    m_thread = std::make_unique<CBackgroundThread>([shared] { Work(*shared); });
}

void CFolderPeek::Work(Shared& shared)
{
    // Shortcuts resolve, and pictures other than JPEG decode, through COM.
    CComOnThread com;
    const auto stopped = [&shared] { return shared.stop.load(); };
    shared.catalog.Refresh(stopped);
    if (stopped())
        return;
    std::list<CFolderEntry>& entries = shared.catalog.m_entries;
    for (CFolderEntry& entry : entries) {
        entry.m_thumbnail = std::make_unique<CThumbnail>();
        entry.m_thumbnail->m_cell = shared.cell;
    }
    if (entries.empty())
        return;  // nothing ever to show

    CPictureBitmap scratch;
    // One round: every entry, then one tick showing nothing, as the end of the list.
    auto current = entries.begin();
    for (;;) {
        CThumbnail* made = nullptr;
        if (current != entries.end()) {
            try {
                // Kept once made: the next round shows it straight away.
                if (current->m_thumbnail->LoadBitmap(*current, &scratch, stopped, shared.box))
                    made = current->m_thumbnail.get();
            } catch (...) {
                // A picture that cannot be opened is skipped for its tick.
            }
        }
        {
            std::unique_lock guard(shared.lock);
            shared.taken.wait(guard, [&shared] { return shared.stop || !shared.ready; });
            if (shared.stop)
                return;
            shared.next = made;
            shared.ready = true;
        }
        current = current == entries.end() ? entries.begin() : std::next(current);
    }
}

CThumbnail* CFolderPeek::Advance()
{
    const DWORD now = ::GetTickCount();
    if ((int)(now - m_nextTime) < 0)
        return nullptr;
    CThumbnail* next;
    {
        std::lock_guard guard(m_shared->lock);
        if (!m_shared->ready)
            return nullptr;  // still listing or decoding
        next = m_shared->next;
        m_shared->ready = false;
    }
    m_shared->taken.notify_one();
    m_nextTime = now + 500;
    return next;
}
