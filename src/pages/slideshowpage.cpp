#include "pages/slideshowpage.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "afxdevice.h"
#include "afxpath.h"
#include "catalog/picturekinds.h"
#include "catalog/sortedlisting.h"
#include "core/pagehost.h"
#include "imaging/animation.h"
#include "imaging/drawing.h"
#include "res/resource.h"
#include "shell/settings.h"

BEGIN_COMMAND_MAP(CSlideshowPage, CPage)
    ON_COMMAND(ID_PLAY, OnPlay)
    ON_UPDATE_COMMAND_UI(ID_PLAY, OnUpdatePlay)
    ON_COMMAND(ID_PAUSE, OnPause)
    ON_UPDATE_COMMAND_UI(ID_PAUSE, OnUpdatePause)
END_COMMAND_MAP()

namespace {

// How long an advance waits for its picture: one that decodes in moments
// shows at once, without the picture before it in between.
constexpr DWORD kBriefWait = 10;

} // namespace

// ---------------------------------------------------------------- decoding

// What the page and its decoding thread share. The page says which pictures
// it wants, most wanted first; the thread decodes them one at a time into
// pictures of their own and keeps them until the page takes them. A picture
// belongs to the thread while it decodes, to this state while it waits, and
// to the page once taken.
struct CSlideshowPage::Decoding {
    struct Job {
        std::string path;
        SIZE box;
        bool awaited;  // shown once decoded: the page is repainted then
    };
    struct Decoded {
        std::string path;
        std::unique_ptr<CPictureBitmap> picture;  // null when the file could not be opened
        std::unique_ptr<CAnimationReader> animation;  // null for a still picture
    };

    std::mutex lock;
    std::condition_variable changed;  // to the thread: new wishes, or stop
    std::condition_variable done;     // to the page: a picture is decoded
    std::atomic<bool> stop{false};    // also set under lock, for the waits
    std::atomic<bool> dropBusy{false};
    std::vector<Job> wanted;
    std::string busy;  // the file being decoded
    std::vector<Decoded> ready;

    // Under lock.
    static bool Answers(const Decoded& decoded, const Job& job)
    {
        return decoded.path == job.path && (!decoded.picture || decoded.picture->Covers(job.box));
    }
    const Job* NextJob() const
    {
        for (const Job& job : wanted) {
            if (std::none_of(ready.begin(), ready.end(), [&](const Decoded& d) { return Answers(d, job); }))
                return &job;
        }
        return nullptr;
    }

    // The page's; decoded pictures no longer wanted are let go, and so is
    // the decoding of one.
    void Want(std::vector<Job> jobs)
    {
        std::vector<Decoded> unwanted;
        {
            std::lock_guard guard(lock);
            auto isWanted = [&](const std::string& path) {
                return std::any_of(jobs.begin(), jobs.end(), [&](const Job& job) { return job.path == path; });
            };
            const auto kept = std::stable_partition(ready.begin(), ready.end(),
                                                    [&](const Decoded& d) { return isWanted(d.path); });
            std::move(kept, ready.end(), std::back_inserter(unwanted));
            ready.erase(kept, ready.end());
            if (!busy.empty() && !isWanted(busy))
                dropBusy = true;
            wanted = std::move(jobs);
        }
        changed.notify_one();
    }

    // The page's: the newest picture decoded from path, waiting at most ms.
    std::optional<Decoded> Take(const std::string& path, DWORD ms)
    {
        std::unique_lock guard(lock);
        const auto find = [&] {
            return std::find_if(ready.rbegin(), ready.rend(), [&](const Decoded& d) { return d.path == path; });
        };
        if (!done.wait_for(guard, std::chrono::milliseconds(ms), [&] { return find() != ready.rend(); }))
            return std::nullopt;
        const auto found = std::prev(find().base());
        std::optional<Decoded> taken(std::move(*found));
        ready.erase(found);
        std::erase_if(wanted, [&](const Job& job) { return Answers(*taken, job); });
        return taken;
    }

    void Stop()
    {
        {
            std::lock_guard guard(lock);
            stop = true;
        }
        changed.notify_all();
    }

    // The thread's.
    void Run()
    {
        const auto stopped = [this] { return stop || dropBusy; };
        std::unique_lock guard(lock);
        for (;;) {
            changed.wait(guard, [this] { return stop || NextJob(); });
            if (stop)
                return;
            const Job job = *NextJob();
            busy = job.path;
            dropBusy = false;
            guard.unlock();

            Decoded decoded{job.path, nullptr, nullptr};
            bool finished = true;
            try {
                decoded.picture = std::make_unique<CPictureBitmap>();
                finished = decoded.picture->LoadFromFile(job.path, stopped, job.box);
                if (finished)
                    ShrinkForWindow(*decoded.picture, job.box);
                // JPEG never moves; anything else that shows may.
                if (finished && decoded.picture->m_hBitmap && !IsJpegPicture(job.path) && !stopped())
                    decoded.animation = OpenAnimation(job.path);
            } catch (...) {
                decoded.picture.reset();  // kept from the page, as an entry that cannot be opened
            }

            guard.lock();
            busy.clear();
            if (!finished || dropBusy || stop)
                continue;
            ready.push_back(std::move(decoded));
            done.notify_all();
            // Also when it was decoded ahead and its turn came meanwhile.
            const bool awaited = std::any_of(wanted.begin(), wanted.end(), [this](const Job& wish) {
                return wish.awaited && Answers(ready.back(), wish);
            });
            if (awaited) {
                guard.unlock();
                RedrawPage(nullptr);  // only invalidates from here: the page takes it as it paints
                guard.lock();
            }
        }
    }

    // The paints that follow draw the picture shrunk to the window, made
    // once and kept with it: made here, the window does not wait for it.
    static void ShrinkForWindow(const CPictureBitmap& picture, SIZE box)
    {
        if (box.cx <= 0 || box.cy <= 0)
            return;
        const SIZE fitted = FitSizeInBox(picture.m_width, picture.m_height, box.cx, box.cy);
        const SIZE bitmap = picture.BitmapSize();
        if (fitted.cx > 0 && fitted.cy > 0 && fitted.cx < bitmap.cx && fitted.cy < bitmap.cy)
            picture.Shrunk(fitted.cx, fitted.cy);
    }
};

// ---------------------------------------------------------------- the page

CSlideshowPage::CSlideshowPage(const CFolderEntry& folder, std::shared_ptr<const std::vector<CFolderEntry>> entries)
    : m_picture(std::make_unique<CPictureBitmap>()), m_catalog(folder), m_handed(std::move(entries)),
      m_position(m_catalog.m_entries.begin()), m_decoding(std::make_shared<Decoding>())
{
}

CSlideshowPage::~CSlideshowPage()
{
    m_decoding->Stop();
    m_thread.reset();
}

void CSlideshowPage::Load()
{
    if (m_handed) {
        m_catalog.m_entries.assign(m_handed->begin(), m_handed->end());
        for (CFolderEntry& entry : m_catalog.m_entries)
            entry.m_owner = &m_catalog;
        return;
    }
    ListSorted(m_catalog, g_settings.SortOrder, g_settings.SortDescending);
}

void CSlideshowPage::Start()
{
    m_position = m_catalog.m_entries.begin();
    m_index = 0;
    ShowCurrent();
}

void CSlideshowPage::Draw(CDC* dc, const RECT* clip)
{
    const RECT area = GetDrawArea(dc);
    if (dc->IsPrinting()) {
        // Paper gets the pixels it needs before it is printed.
        DrawPictureFile(dc, area, *m_picture, m_shownPath);
        return;
    }
    if (TakeAwaited(0) && clip) {
        // Shown whole, also when only part of the page was to be painted.
        RECT painted;
        if (!::IntersectRect(&painted, clip, &m_bounds) || !::EqualRect(&painted, &m_bounds))
            InvalidatePageRect(m_bounds);
    }
    // A larger window needs more pixels: decoded meanwhile, the picture as
    // it is stretched until then.
    const SIZE box{area.right - area.left, area.bottom - area.top};
    if (box.cx > 0 && box.cy > 0 && !m_shownPath.empty() && !m_entryAwaited && !m_picture->Covers(box)
        && (m_awaited != m_shownPath || m_awaitedBox.cx != box.cx || m_awaitedBox.cy != box.cy)) {
        m_awaited = m_shownPath;
        m_awaitedBox = box;
        Want();
    }
    if (m_player && m_player->Frame())
        m_player->DrawFitted(dc, area);
    else
        DrawPictureFitted(dc, area, *m_picture, 0, 0);
}

void CSlideshowPage::OnClick(const POINT&, bool)
{
    Advance();
}

CMenu* CSlideshowPage::GetContextMenu(const POINT&)
{
    auto menu = std::make_unique<CMenu>();
    if (!menu->LoadMenu(IDR_MENU_SLIDESHOW))
        return nullptr;
    HMENU popup = menu->GetSubMenu(0);
    ::DeleteMenu(popup, m_playing == 1 ? ID_PLAY : ID_PAUSE, MF_BYCOMMAND);
    const auto* frame = dynamic_cast<const CFrameWnd*>(AfxGetMainWnd());
    if (!frame || !frame->IsFullScreen()) {
        // Its separator goes with it.
        ::DeleteMenu(popup, ID_VIEW_FULL_SCREEN, MF_BYCOMMAND);
        ::DeleteMenu(popup, (UINT)::GetMenuItemCount(popup) - 1, MF_BYPOSITION);
    }
    return menu.release();
}

bool CSlideshowPage::OnKey(UINT key, bool)
{
    switch (key) {
    case VK_SPACE:
        if (m_playing == 1)
            OnPause();
        else
            OnPlay();
        // The toolbar's Play and Pause follow at once.
        AfxGetApp()->OnIdle(0);
        return true;
    case VK_RIGHT:
    case VK_DOWN:
        Step(1);
        return true;
    case VK_LEFT:
    case VK_UP:
        Step(-1);
        return true;
    default:
        return false;
    }
}

void CSlideshowPage::Step(int delta)
{
    const int count = (int)m_catalog.m_entries.size();
    if (count > 0)
        SeekTo(((m_index + delta) % count + count) % count);
}

void CSlideshowPage::OnTick()
{
    if (!IsActive())
        return;
    // The show moves on from an entry only once it has been shown.
    if (m_entryAwaited) {
        if (TakeAwaited(0))
            RedrawPage(nullptr);
        return;
    }
    if (m_player && !m_player->Ended()) {
        m_delayPassed = true;  // moved on once it ends
        return;
    }
    Advance();
}

void CSlideshowPage::Play(std::unique_ptr<CAnimationReader> reader)
{
    m_player.reset();
    m_delayPassed = false;
    CPageHost* host = GetPageHost();
    if (!reader || !host)
        return;
    m_player = std::make_unique<CAnimationPlayer>(std::move(reader), host->GetPageWnd()->m_hWnd,
                                                  [this] { FrameShown(); }, CAnimationPlayer::Looping::Once);
}

void CSlideshowPage::FrameShown()
{
    if (m_player->Ended() && m_delayPassed && m_playing == 1 && !m_entryAwaited) {
        // The delay runs afresh for the next entry from here.
        if (CPageHost* host = GetPageHost())
            host->RestartTick();
        Advance();
        return;
    }
    RedrawPage(nullptr);
}

std::string CSlideshowPage::GetTitle()
{
    return AfxFindFileName(m_catalog.m_folder.m_path.c_str());
}

void CSlideshowPage::ShowCurrent()
{
    if (m_position == m_catalog.m_entries.end())
        return;
    if (CSlideshowDisplay* bar = GetSlideshowDisplay())
        bar->SetPosition(-1, -1, m_index + 1);
    if (CWnd* main = AfxGetMainWnd())
        main->SendMessage(WM_SETMESSAGESTRING, 0, (LPARAM)m_position->m_path.c_str());
    // A folder has no picture: the previous one stays, still.
    m_player.reset();
    m_entryAwaited = !m_position->IsFolder();
    m_awaited = m_entryAwaited ? m_position->m_path : std::string();
    m_awaitedBox = ShownBox();
    Want();
    if (TakeAwaited(kBriefWait))
        RedrawPage(nullptr);
}

void CSlideshowPage::Want()
{
    if (m_released)
        return;  // wished again once activated
    std::vector<Decoding::Job> jobs;
    if (!m_awaited.empty())
        jobs.push_back({m_awaited, m_awaitedBox, true});
    if (m_position != m_catalog.m_entries.end()) {
        auto next = std::next(m_position);
        if (next == m_catalog.m_entries.end())
            next = m_catalog.m_entries.begin();
        // Decoded while this one shows.
        if (!next->IsFolder())
            jobs.push_back({next->m_path, ShownBox(), false});
    }
    if (!jobs.empty() && !m_thread) {
        std::shared_ptr<Decoding> decoding = m_decoding;
        m_thread = std::make_unique<CBackgroundThread>([decoding] { decoding->Run(); });
    }
    m_decoding->Want(std::move(jobs));
}

bool CSlideshowPage::TakeAwaited(DWORD ms)
{
    if (m_awaited.empty())
        return false;
    std::optional<Decoding::Decoded> decoded = m_decoding->Take(m_awaited, ms);
    if (!decoded)
        return false;
    m_awaited.clear();
    m_entryAwaited = false;
    // An entry that cannot be opened keeps the previous picture.
    const bool opened = decoded->picture != nullptr;
    if (opened) {
        const bool same = decoded->path == m_shownPath;
        m_picture = std::move(decoded->picture);
        m_shownPath = decoded->path;
        // More pixels for a larger window leave the animation playing.
        if (!same || !m_player)
            Play(std::move(decoded->animation));
    }
    Want();
    return opened;
}

void CSlideshowPage::Advance()
{
    if (m_playing != 1)
        return;
    if (m_position != m_catalog.m_entries.end()) {
        ++m_position;
        ++m_index;
    }
    if (m_position == m_catalog.m_entries.end()) {
        m_position = m_catalog.m_entries.begin();
        m_index = 0;
    }
    ShowCurrent();
}

void CSlideshowPage::SeekTo(int target)
{
    while (target < m_index && m_position != m_catalog.m_entries.begin()) {
        --m_position;
        --m_index;
    }
    while (target > m_index && m_position != m_catalog.m_entries.end()) {
        ++m_position;
        ++m_index;
    }
    ShowCurrent();
}

bool CSlideshowPage::ReleaseVolumes(DWORD driveMask, ReleaseDeadline deadline)
{
    const bool holds = (AfxDriveMask(m_catalog.m_folder.m_path) & driveMask) != 0
        || std::any_of(m_catalog.m_entries.begin(), m_catalog.m_entries.end(),
                       [driveMask](const CFolderEntry& entry) { return (AfxDriveMask(entry.m_path) & driveMask) != 0; });
    if (!holds)
        return false;
    m_released = true;
    if (m_player)
        m_player->Stop(TimeLeft(deadline));
    m_player.reset();
    if (m_thread) {
        m_decoding->Stop();
        m_thread->Wait(TimeLeft(deadline));
        m_thread->Retire(0);
        m_thread.reset();
        // What it decoded is dropped with it; a new thread decodes it again.
        m_decoding = std::make_shared<Decoding>();
    }
    return true;
}

void CSlideshowPage::Activate(bool active)
{
    if (active && std::exchange(m_released, false))
        Want();
    if (!active)
        m_player.reset();  // the first frame stays; the show goes on at the next tick
    CPage::Activate(active);
    HoldDisplay();
    if (CSlideshowDisplay* bar = GetSlideshowDisplay()) {
        bar->SetPosition(1, (int)m_catalog.m_entries.size(), m_index + 1);
        bar->EnableSeek(active);
    }
    if (active) {
        if (CPageHost* host = GetPageHost())
            host->SetTickInterval(g_settings.Delay);
    }
    // The Play and Pause buttons follow at once, not at the next idle time.
    AfxGetApp()->OnIdle(0);
}

void CSlideshowPage::OnPlay()
{
    m_playing = 1;
    HoldDisplay();
}

void CSlideshowPage::OnUpdatePlay(CCmdUI* ui)
{
    ui->Enable(m_playing == 0);
}

void CSlideshowPage::OnPause()
{
    m_playing = 0;
    HoldDisplay();
}

void CSlideshowPage::OnUpdatePause(CCmdUI* ui)
{
    ui->Enable(m_playing == 1);
}
