// An animated GIF playing on the picture page of the running program: how
// late each frame is shown against the delay the file gives the one before
// it, the longest a message posted to the user-interface thread waits
// meanwhile, and the memory the playing holds; beside the plain decode of
// the same frames on the calling thread, timed in the same run.
//
// ORLIVANE_BENCH_SECONDS sets how long it plays (6); ORLIVANE_BENCH_DELAY
// the file's delay in hundredths of a second (4, the fastest many GIFs ask).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/vemolyapp.h"
#include "bench_setup.h"
#include "catalog/folderentry.h"
#include "core/navigator.h"
#include "imaging/animation.h"
#include "imaging/wicdecode.h"
#include "latency_probe.h"
#include "pages/animationplayer.h"
#include "pages/picturepage.h"
#include "picture_files.h"
#include "view/vemolyview.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 480, kHeight = 360, kFrames = 50;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

CFolderEntry EntryOf(const std::string& path)
{
    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.Classify();
    return entry;
}

// Frames of a pattern that moves, so that no two compress alike.
std::string Animation(int delay)
{
    std::vector<GifFrame> frames;
    for (int f = 0; f < kFrames; ++f) {
        std::string indices((size_t)kWidth * kHeight, '\0');
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                indices[(size_t)y * kWidth + x] = (char)(((x + f * 7) / 16 + (y + f * 3) / 16 + (x * y + f) % 5) % 8);
        frames.push_back({indices, {}, delay, 1});
    }
    return AnimatedGif(kWidth, kHeight, Quadrants(), frames, 0);
}

// When each new frame reached the screen: the paint after the player took it.
const CPicturePage* g_page = nullptr;
const CPixels* g_lastFrame = nullptr;
std::vector<Clock::time_point> g_shown;

LRESULT CALLBACK AfterCall(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_PAINT && g_page && g_page->Player()
        && g_page->Player()->Frame() != g_lastFrame) {
        g_lastFrame = g_page->Player()->Frame();
        g_shown.push_back(Clock::now());
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

SIZE_T WorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

}  // namespace

int main()
{
    const double seconds = Setting("ORLIVANE_BENCH_SECONDS", 6);
    const int delay = Setting("ORLIVANE_BENCH_DELAY", 4);
    if (!theApp.InitInstance()) {
        std::printf("animation: the program did not start\n");
        return 1;
    }
    ::MoveWindow(theApp.m_pMainWnd->m_hWnd, 0, 0, 1280, 1024, TRUE);
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    const std::string path = TempFolder("orlivane-animation-bench") + "\\moving.gif";
    const std::string file = Animation(delay);
    std::ofstream(path, std::ios::binary) << file;
    const double fileMb = (double)file.size() / (1 << 20);

    LatencyProbe probe(::GetCurrentThreadId());
    PumpFor(200, probe);
    const SIZE_T before = WorkingSet();
    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &AfterCall, nullptr, ::GetCurrentThreadId());
    auto* page = new CPicturePage(EntryOf(path));
    g_page = page;
    const Clock::time_point start = Clock::now();
    g_navigator.Navigate(page);
    const double navigate = Milliseconds(Clock::now() - start);
    probe.Reset();
    SIZE_T most = 0;
    const Clock::time_point end = start + std::chrono::milliseconds((long long)(seconds * 1000));
    while (Clock::now() < end) {
        PumpFor(20, probe);
        most = std::max(most, WorkingSet());
    }
    ::UnhookWindowsHookEx(hook);
    const double longest = probe.LongestMs();
    g_page = nullptr;
    g_navigator.Home();
    g_navigator.DiscardFrom(1);

    // The reference, after the page has gone: every frame decoded and composed on this thread.
    std::vector<double> plain;
    double opening = 0;
    {
        CComOnThread com;
        for (int pass = 0; pass < 2; ++pass) {
            const Clock::time_point start = Clock::now();
            std::unique_ptr<CAnimationReader> reader = OpenAnimation(path);
            opening = Milliseconds(Clock::now() - start);
            if (!reader) {
                std::printf("animation: the file does not open as an animation\n");
                return 1;
            }
            plain.clear();
            AnimationFrame frame;
            for (int f = 0; f < kFrames; ++f) {
                const Clock::time_point before = Clock::now();
                reader->Next(frame);
                plain.push_back(Milliseconds(Clock::now() - before));
            }
        }
    }
    std::sort(plain.begin(), plain.end());


    // Each frame against the time the one before was given.
    std::vector<double> late;
    for (size_t i = 2; i < g_shown.size(); ++i)
        late.push_back(Milliseconds(g_shown[i] - g_shown[i - 1]) - delay * 10.0);
    std::sort(late.begin(), late.end());
    const auto at = [](const std::vector<double>& v, double share) {
        return v.empty() ? 0.0 : v[std::min(v.size() - 1, (size_t)(share * (double)v.size()))];
    };
    const double frameMb = (double)(((kWidth * 3 + 3) & ~3) * kHeight) / (1 << 20);
    std::printf("animation: %dx%d GIF of %d frames at %d ms, played %.0f s on the picture page\n", kWidth, kHeight,
                kFrames, delay * 10, seconds);
    std::printf("animation: plain decode of a frame          %8.2f ms median, %.2f slowest; opening %.0f ms\n",
                at(plain, 0.5), plain.back(), opening);
    std::printf("animation: frames shown                     %8zu (%.1f a second; the file asks %.1f)\n",
                g_shown.size(), g_shown.size() / seconds, 100.0 / delay);
    const double span = g_shown.size() > 2 ? Milliseconds(g_shown.back() - g_shown[1]) : 0;
    std::printf("animation: frames 2 to %zu took               %8.0f ms; the file gives them %d ms\n", g_shown.size(),
                span, (int)(g_shown.size() - 2) * delay * 10);
    std::printf("animation: lateness against the file        %8.1f ms median, %.1f at 90 %%, %.1f most, %.1f least\n",
                at(late, 0.5), at(late, 0.9), late.empty() ? 0.0 : late.back(), at(late, 0));
    std::printf("animation: longest wait of a posted message %8.1f ms (Navigate returned in %.0f ms)\n", longest,
                navigate);
    std::printf("animation: memory while playing             %8.1f MB more at most (the file %.1f MB), a frame is %.1f MB\n",
                (double)(most > before ? most - before : 0) / (1 << 20), fileMb, frameMb);

    theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    return 0;
}
