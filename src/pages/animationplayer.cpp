#include "pages/animationplayer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "imaging/drawing.h"
#include "imaging/scaledpart.h"
#include "imaging/wicdecode.h"
#include "res/drawing_resources.h"
#include "thread.h"

namespace {

// Frames decoded ahead of the one shown: enough to ride out a slow frame,
// few enough that a large canvas costs a few frames' memory; a very large
// one gets fewer.
constexpr size_t kFramesAhead = 3;
constexpr size_t kBytesAhead = 64 << 20;
// How often a player whose next frame is not decoded yet looks again, and
// one in a minimised window whether it is shown again.
constexpr DWORD kLookAgain = 10;
constexpr DWORD kMinimisedLook = 250;
// A frame shown later than this after its time starts the clock afresh:
// the frames after it do not hurry to catch up.
constexpr ULONGLONG kMostBehind = 100;

// Timer ids far from the small ones windows give their own timers.
UINT_PTR g_nextTimer = 0x7A000000;
// The players of timers running; user-interface thread only.
std::map<UINT_PTR, CAnimationPlayer*>& Players()
{
    static std::map<UINT_PTR, CAnimationPlayer*> players;
    return players;
}

}  // namespace

// What the player and its thread share. A frame belongs to the thread while
// it decodes, to this state while it waits, and to the player once taken.
struct CAnimationPlayer::Ahead {
    std::mutex lock;
    std::condition_variable room;  // to the thread: a frame was taken, or stop
    std::deque<AnimationFrame> frames;
    bool finished = false;  // nothing more comes
    std::atomic<bool> stop{false};
    std::unique_ptr<CAnimationReader> reader;  // the thread's

    void Run(int toRead, size_t ahead)
    {
        {
            // The system's decoders behind a reader keep their objects
            // between frames: COM stays for the thread's life, and the
            // reader goes before it.
            CComOnThread com;
            const StopRequest stopped = [this] { return stop.load(); };
            for (int read = 0; toRead == 0 || read < toRead; ++read) {
                {
                    std::unique_lock guard(lock);
                    room.wait(guard, [this, ahead] { return stop || frames.size() < ahead; });
                    if (stop)
                        break;
                }
                AnimationFrame frame;
                if (!reader->Next(frame, stopped) || !frame.pixels)
                    break;
                std::lock_guard guard(lock);
                frames.push_back(std::move(frame));
            }
            reader.reset();
        }
        std::lock_guard guard(lock);
        finished = true;
    }

    void Stop()
    {
        {
            std::lock_guard guard(lock);
            stop = true;
        }
        room.notify_all();
    }
};

CAnimationPlayer::CAnimationPlayer(std::unique_ptr<CAnimationReader> reader, HWND window,
                                   std::function<void()> shown, Looping looping)
    : m_size(reader->Size()), m_window(window), m_shown(std::move(shown)), m_timer(g_nextTimer++),
      m_ahead(std::make_shared<Ahead>())
{
    const int plays = looping == Looping::Once ? 1 : reader->LoopCount();
    m_forEver = plays == 0;
    m_toShow = plays * reader->FrameCount();
    m_ahead->reader = std::move(reader);
    std::shared_ptr<Ahead> ahead = m_ahead;
    const int toRead = m_toShow;
    const size_t frameBytes = (((size_t)m_size.cx * 3 + 3) & ~(size_t)3) * (size_t)m_size.cy;
    const size_t framesAhead = std::clamp<size_t>(kBytesAhead / std::max<size_t>(frameBytes, 1), 1, kFramesAhead);
    m_thread = std::make_unique<CBackgroundThread>([ahead, toRead, framesAhead] { ahead->Run(toRead, framesAhead); });
    if (!m_thread->Started()) {
        m_ended = true;  // no thread to be had: the still picture stays
        return;
    }
    Players()[m_timer] = this;
    Arm(::GetTickCount64());
}

CAnimationPlayer::~CAnimationPlayer()
{
    ::KillTimer(m_window, m_timer);
    Players().erase(m_timer);
    // The thread holds no file the window waits for: it ends on its own,
    // within a frame.
    m_ahead->Stop();
    m_thread->Retire(0);
}

bool CAnimationPlayer::Stop(DWORD ms)
{
    ::KillTimer(m_window, m_timer);
    m_ahead->Stop();
    return m_thread->Wait(ms);
}

void CALLBACK CAnimationPlayer::OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    const auto found = Players().find(id);
    if (found != Players().end())
        found->second->Tick();
}

void CAnimationPlayer::Arm(ULONGLONG due)
{
    const ULONGLONG now = ::GetTickCount64();
    ::SetTimer(m_window, m_timer, (UINT)std::max<ULONGLONG>(due > now ? due - now : 0, USER_TIMER_MINIMUM),
               &CAnimationPlayer::OnTimer);
}

void CAnimationPlayer::Tick()
{
    const ULONGLONG now = ::GetTickCount64();
    // Nothing plays in a minimised window; it goes on from there when shown.
    if (::IsIconic(::GetAncestor(m_window, GA_ROOT))) {
        m_due = now;
        Arm(now + kMinimisedLook);
        return;
    }
    if (now < m_due) {
        Arm(m_due);
        return;
    }
    if (!m_forEver && m_toShow == 0) {
        // The last frame has stood its time.
        ::KillTimer(m_window, m_timer);
        m_ended = true;
        const std::function<void()> shown = m_shown;  // the player may go in it
        shown();
        return;
    }
    AnimationFrame frame;
    bool finished = false;
    {
        std::lock_guard guard(m_ahead->lock);
        if (!m_ahead->frames.empty()) {
            frame = std::move(m_ahead->frames.front());
            m_ahead->frames.pop_front();
        } else {
            finished = m_ahead->finished;
        }
    }
    if (!frame.pixels) {
        if (finished) {
            // A frame that did not decode: the one shown stays.
            m_toShow = 0;
            m_forEver = false;
            m_due = now;
            Arm(now);
        } else {
            Arm(now + kLookAgain);
        }
        return;
    }
    m_ahead->room.notify_one();
    m_frame = std::move(frame.pixels);
    if (!m_forEver)
        --m_toShow;
    m_due = (now - m_due > kMostBehind ? now : m_due) + (ULONGLONG)std::max(frame.delay, 0);
    Arm(m_due);
    const std::function<void()> shown = m_shown;
    shown();
}

void CAnimationPlayer::Draw(CDC* dc, const RECT& area, SIZE shown, POINT origin, double scale)
{
    const SIZE window{area.right - area.left, area.bottom - area.top};
    if (!m_frame || window.cx <= 0 || window.cy <= 0)
        return;
    if (!m_screen || m_screen->Width() != window.cx || m_screen->Height() != window.cy) {
        m_screen.reset();
        m_screen = std::make_unique<CPixels>(window.cx, window.cy);
    }
    const COLORREF back = BackColorFor(dc);
    const BYTE background[3] = {GetBValue(back), GetGValue(back), GetRValue(back)};
    const PixelRows source{const_cast<BYTE*>(m_frame->Bits()), (ptrdiff_t)m_frame->Stride(), m_frame->Width(),
                           m_frame->Height()};
    ScalePart(source, shown, origin, scale, m_screen->Rows(), background);
    DrawPixels(dc, area.left, area.top, *m_screen);
}

void CAnimationPlayer::DrawFitted(CDC* dc, const RECT& area)
{
    const SIZE window{area.right - area.left, area.bottom - area.top};
    if (m_size.cx <= 0 || m_size.cy <= 0)
        return;
    const SIZE fitted = FitSizeInBox(m_size.cx, m_size.cy, window.cx, window.cy);
    const POINT origin{(window.cx - fitted.cx) / 2, (window.cy - fitted.cy) / 2};
    Draw(dc, area, fitted, origin, (double)fitted.cx / m_size.cx);
}
