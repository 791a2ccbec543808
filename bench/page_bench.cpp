// The picture page and the slideshow in the running program: the time from
// Navigate to the first paint of a 24-megapixel picture, beside a plain
// libjpeg-turbo decode of the same file; and the interval a slideshow of
// 12-megapixel pictures achieves at the fastest Delay, 100 ms, in the
// program's message loop; and the longest a message posted to the
// user-interface thread waits during a slideshow of 48-megapixel pictures
// at that Delay, beside a decode of one of them.
//
// ORLIVANE_BENCH_RUNS sets the number of picture-page navigations (5),
// ORLIVANE_BENCH_ADVANCES the number of slideshow advances timed (20). The
// program's own command line must stay empty: it would name a document to open.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_setup.h"
#include "app/vemolyapp.h"
#include "core/navigator.h"
#include "core/pagehost.h"
#include "jpeg_maker.h"
#include "latency_probe.h"
#include "pages/picturepage.h"
#include "pages/slideshowpage.h"
#include "plain_decode.h"
#include "shell/settings.h"
#include "view/vemolyview.h"

namespace {

using Clock = std::chrono::steady_clock;

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

// Made once and kept in the temporary folder for later runs.
std::string Picture(const std::string& folder, const char* name, int width, int height, unsigned seed)
{
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const JpegRecipe recipe = PhotoRecipe(width, height, seed);
        std::ofstream(path, std::ios::binary) << MakeJpeg(recipe);
    }
    return path;
}

// The first WM_PAINT of the view that finishes while the page holds its
// picture: what the user sees first.
Clock::time_point g_firstPaint;
bool g_watching = false;
const CPicturePage* g_page = nullptr;

LRESULT CALLBACK AfterCall(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_watching && call->message == WM_PAINT && CVemolyView::GetActive()
        && call->hwnd == CVemolyView::GetActive()->m_hWnd && g_page && g_page->Picture().m_hBitmap) {
        g_firstPaint = Clock::now();
        g_watching = false;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

struct Stats {
    double median = 0, low = 0, high = 0, mean = 0;
};

Stats Summarise(std::vector<double> values)
{
    Stats stats;
    if (values.empty())
        return stats;
    std::sort(values.begin(), values.end());
    stats.median = values[values.size() / 2];
    stats.low = values.front();
    stats.high = values.back();
    for (double v : values)
        stats.mean += v;
    stats.mean /= (double)values.size();
    return stats;
}

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// The view's handling of a key, its repaint included.
double TimedKey(UINT key)
{
    const Clock::time_point start = Clock::now();
    CVemolyView::GetActive()->SendMessage(WM_KEYDOWN, key, 0);
    return Milliseconds(Clock::now() - start);
}

double WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize / 1048576.0;
}

double SectionMb(const CPictureBitmap* picture)
{
    if (!picture)
        return 0;
    const SIZE size = picture->BitmapSize();
    return (((size_t)size.cx * 3 + 3) & ~(size_t)3) * (double)size.cy / 1048576.0;
}

// Pumps messages until done() or ms passed; the time it took.
double PumpUntil(const std::function<bool()>& done, LatencyProbe& probe, double ms = 20000)
{
    const Clock::time_point start = Clock::now();
    while (!done() && Milliseconds(Clock::now() - start) < ms)
        PumpFor(1, probe);
    return Milliseconds(Clock::now() - start);
}

} // namespace

int main()
{
    const int runs = Setting("ORLIVANE_BENCH_RUNS", 5);
    const int advances = Setting("ORLIVANE_BENCH_ADVANCES", 20);
    if (!theApp.InitInstance()) {
        std::printf("page: the program did not start\n");
        return 1;
    }
    // The window a photo is commonly looked at in.
    ::MoveWindow(theApp.m_pMainWnd->m_hWnd, 0, 0, 1280, 1024, TRUE);
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    Pump();
    const CRect client = GetPageHost()->GetPageClientRect();
    const SIZE box{client.Width(), client.Height()};

    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "orlivane-page-bench";
    const std::string big = Picture(folder, "24mp.jpg", 6000, 4000, 7);
    const std::string slides = folder + "\\slides";
    std::vector<std::string> slideFiles;
    for (unsigned i = 0; i < 5; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "12mp_%u.jpg", i);
        slideFiles.push_back(Picture(slides, name, 4000, 3000, 11 + i));
    }

    // ---------------------------------------------------------------- picture page
    PlainDecode(big);  // into the file cache
    std::vector<double> plain;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        PlainDecode(big);
        plain.push_back(Milliseconds(Clock::now() - start));
    }

    std::vector<double> loading;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        CPictureBitmap picture;
        picture.LoadFromFile(big, {}, box);
        loading.push_back(Milliseconds(Clock::now() - start));
    }

    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &AfterCall, nullptr, ::GetCurrentThreadId());
    std::vector<double> firstPaint, navigate;
    for (int i = 0; i < runs; ++i) {
        auto* page = new CPicturePage(EntryOf(big));
        g_page = page;
        g_watching = true;
        const Clock::time_point start = Clock::now();
        g_navigator.Navigate(page);
        const Clock::time_point returned = Clock::now();
        // The picture comes from a thread of its own, taken at the paint
        // its arrival posts (no sent message the hook sees).
        const Clock::time_point end = returned + std::chrono::seconds(20);
        while (g_watching && Clock::now() < end) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            Pump();
            if (g_watching && page->Picture().m_hBitmap) {
                g_firstPaint = Clock::now();
                g_watching = false;
            }
        }
        if (!g_watching)
            firstPaint.push_back(Milliseconds(g_firstPaint - start));
        navigate.push_back(Milliseconds(returned - start));
        g_watching = false;
        g_page = nullptr;
        g_navigator.Home();
        g_navigator.DiscardFrom(1);
        Pump();
    }
    if (hook)
        ::UnhookWindowsHookEx(hook);

    const Stats plainStats = Summarise(plain);
    const Stats paintStats = Summarise(firstPaint);
    const Stats navigateStats = Summarise(navigate);
    std::printf("page: picture of 6000x4000 (24 MP) in a 1280x1024 window (view %ldx%ld), %d runs, median (min..max)\n",
                box.cx, box.cy, runs);
    std::printf("page: plain libjpeg-turbo decode           %8.0f ms (%.0f..%.0f)\n", plainStats.median,
                plainStats.low, plainStats.high);
    if (firstPaint.size() == (size_t)runs)
        std::printf("page: Navigate to first painted picture    %8.0f ms (%.0f..%.0f)  %.2fx the plain decode\n",
                    paintStats.median, paintStats.low, paintStats.high, paintStats.median / plainStats.median);
    else
        std::printf("page: Navigate to first painted picture    not seen in %d of %d runs\n",
                    runs - (int)firstPaint.size(), runs);
    const Stats loadStats = Summarise(loading);
    std::printf("page: of which LoadFromFile (for the view) %8.0f ms (%.0f..%.0f)\n", loadStats.median,
                loadStats.low, loadStats.high);
    std::printf("page: Navigate returned                    %8.0f ms (%.0f..%.0f)\n", navigateStats.median,
                navigateStats.low, navigateStats.high);

    {
        // What opening the page of a 12 MP picture costs the user-interface
        // thread: Start decoded the picture for the view there, once.
        const std::string& twelve = slideFiles[0];
        std::vector<double> starts, decodes;
        for (int i = 0; i < runs; ++i) {
            Clock::time_point start = Clock::now();
            {
                CPictureBitmap picture;
                picture.LoadFromFile(twelve, {}, box);
            }
            decodes.push_back(Milliseconds(Clock::now() - start));
            auto page = std::make_unique<CPicturePage>(EntryOf(twelve));
            start = Clock::now();
            page->Start();
            starts.push_back(Milliseconds(Clock::now() - start));
        }
        const Stats startStats = Summarise(starts), decodeStats = Summarise(decodes);
        std::printf("page: Start of a 12 MP picture's page, on the user-interface thread %6.2f ms (%.2f..%.2f)\n",
                    startStats.median, startStats.low, startStats.high);
        std::printf("page: before, Start decoded it for the view there             %6.0f ms (%.0f..%.0f)\n",
                    decodeStats.median, decodeStats.low, decodeStats.high);
    }

    // ---------------------------------------------------------------- zoom and pan
    {
        LatencyProbe probe(::GetCurrentThreadId());
        auto* page = new CPicturePage(EntryOf(big));
        g_navigator.Navigate(page);
        PumpUntil([page] { return page->Picture().m_hBitmap != nullptr; }, probe);
        PumpFor(50, probe);
        probe.Reset();
        // From the fit in to 300 % and out again: the first steps beyond the
        // reduced picture start the whole decode, the window going on meanwhile.
        std::vector<double> steps, pans;
        for (int i = 0; i < 10; ++i) {
            steps.push_back(TimedKey(VK_ADD));
            PumpFor(5, probe);
        }
        const double wholeWait = PumpUntil([page] { return page->WholePicture() != nullptr; }, probe);
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 10; ++i) {
                steps.push_back(TimedKey(round % 2 ? VK_ADD : VK_SUBTRACT));
                PumpFor(2, probe);
            }
        }
        TimedKey('1');
        for (int i = 0; i < 20; ++i) {
            pans.push_back(TimedKey(i % 4 < 2 ? VK_RIGHT : VK_DOWN));
            PumpFor(2, probe);
        }
        // A drag, as the pointer moves it.
        CVemolyView* view = CVemolyView::GetActive();
        view->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(600, 400));
        for (int i = 1; i <= 20; ++i) {
            const Clock::time_point start = Clock::now();
            view->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(600 - 7 * i, 400 - 5 * i));
            pans.push_back(Milliseconds(Clock::now() - start));
            PumpFor(2, probe);
        }
        view->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(460, 300));
        PumpFor(20, probe);
        const Stats stepStats = Summarise(steps);
        const Stats panStats = Summarise(pans);
        std::printf("page: zoom of the 24 MP picture (plain decode %.0f ms), %zu steps, %zu pans\n",
                    plainStats.median, steps.size(), pans.size());
        std::printf("page: a zoom step, repainted               %8.1f ms median (%.1f..%.1f)\n", stepStats.median,
                    stepStats.low, stepStats.high);
        std::printf("page: a pan (arrow or drag), repainted     %8.1f ms median (%.1f..%.1f)\n", panStats.median,
                    panStats.low, panStats.high);
        std::printf("page: whole picture there after the steps  %8.0f ms more\n", wholeWait);
        std::printf("page: longest wait of a posted message     %8.1f ms\n", probe.LongestMs());
        g_navigator.Home();
        g_navigator.DiscardFrom(1);
        Pump();
    }
    {
        // "1" on a 48 MP picture: until its centre shows at actual size.
        const std::string huge = Picture(folder, "48mp.jpg", 8000, 6000, 31);
        PlainDecode(huge);
        std::vector<double> plainHuge, actual, waits;
        std::vector<double> whole;
        double heldMb = 0, workingGrowth = 0, slowest = 0, decodingWait = 0;
        std::string slowestAt;
        for (int i = 0; i < 3; ++i) {
            Clock::time_point start = Clock::now();
            PlainDecode(huge);
            plainHuge.push_back(Milliseconds(Clock::now() - start));
            const double before = WorkingSetMb();
            LatencyProbe probe(::GetCurrentThreadId());
            auto* page = new CPicturePage(EntryOf(huge));
            g_navigator.Navigate(page);
            PumpUntil([page] { return page->Picture().m_hBitmap != nullptr; }, probe);
            PumpFor(50, probe);
            probe.Reset();
            start = Clock::now();
            TimedKey('1');
            PumpUntil([page] { return page->PartOnScreen() || page->WholePicture(); }, probe);
            CVemolyView::GetActive()->UpdateWindow();
            actual.push_back(Milliseconds(Clock::now() - start));
            PumpUntil([page] { return page->WholePicture() != nullptr; }, probe);
            whole.push_back(Milliseconds(Clock::now() - start));
            decodingWait = std::max(decodingWait, probe.LongestMs());
            probe.Reset();
            // To 931 % and down to the least, noting the slowest step.
            for (int step = 0; step < 34; ++step) {
                const double ms = TimedKey(step < 10 ? VK_ADD : VK_SUBTRACT);
                if (ms > slowest) {
                    slowest = ms;
                    slowestAt = page->GetZoomText();
                }
                PumpFor(5, probe);
                const SIZE window = page->Zoom().Window();
                const double screenMb = window.cx * 3.0 * window.cy / 1048576.0;
                heldMb = std::max(heldMb, SectionMb(&page->Picture()) + SectionMb(page->LargerPicture())
                                              + SectionMb(page->PartOnScreen()) + 2 * screenMb);
                workingGrowth = std::max(workingGrowth, WorkingSetMb() - before);
            }
            PumpFor(20, probe);
            waits.push_back(probe.LongestMs());
            g_navigator.Home();
            g_navigator.DiscardFrom(1);
            Pump();
        }
        const Stats plainHugeStats = Summarise(plainHuge);
        const Stats actualStats = Summarise(actual);
        const double full = 8000 * 3.0 * 6000 / 1048576.0;
        std::printf("page: 8000x6000 (48 MP), 3 runs, median (min..max)\n");
        std::printf("page: plain libjpeg-turbo decode           %8.0f ms (%.0f..%.0f)\n", plainHugeStats.median,
                    plainHugeStats.low, plainHugeStats.high);
        std::printf("page: \"1\" until the centre shows at 100 %% %8.0f ms (%.0f..%.0f)  %.2fx the plain decode\n",
                    actualStats.median, actualStats.low, actualStats.high, actualStats.median / plainHugeStats.median);
        std::printf("page: and until the whole picture is there %8.0f ms (%.0f..%.0f)\n", Summarise(whole).median,
                    Summarise(whole).low, Summarise(whole).high);
        std::printf("page: longest wait of a posted message     %8.1f ms while it decodes, %.1f ms from 931 %% to 6 %% (worst of 3)\n",
                    decodingWait, Summarise(waits).high);
        std::printf("page: slowest zoom step, repainted         %8.1f ms (to %s)\n", slowest, slowestAt.c_str());
        std::printf("page: most pictures and screens held       %8.0f MB (full decode alone %.0f MB); working set grew %.0f MB at most\n",
                    heldMb, full, workingGrowth);
    }

    // ---------------------------------------------------------------- slideshow
    std::vector<double> plainSlides;
    for (const std::string& file : slideFiles)
        PlainDecode(file);
    for (const std::string& file : slideFiles) {
        const Clock::time_point start = Clock::now();
        PlainDecode(file);
        plainSlides.push_back(Milliseconds(Clock::now() - start));
    }

    g_settings.Delay = 100;
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    auto* show = new CSlideshowPage(EntryOf(slides));
    g_navigator.Navigate(show);
    // The program's own loop, as CWinApp::Run turns it, watching for each advance.
    std::vector<Clock::time_point> moments;
    int index = show->Index();
    bool idle = true;
    LONG idleCount = 0;
    MSG msg;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(120);
    while ((int)moments.size() <= advances && Clock::now() < deadline) {
        while (idle && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!theApp.OnIdle(idleCount++))
                idle = false;
        }
        if (::GetMessageA(&msg, nullptr, 0, 0) <= 0)
            break;
        if (!theApp.PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (msg.message != WM_TIMER && msg.message != WM_MOUSEMOVE) {
            idle = true;
            idleCount = 0;
        }
        if (show->Index() != index) {
            index = show->Index();
            moments.push_back(Clock::now());
        }
    }
    std::vector<double> intervals;
    for (size_t i = 1; i < moments.size(); ++i)
        intervals.push_back(Milliseconds(moments[i] - moments[i - 1]));
    const Stats slideStats = Summarise(intervals);
    const Stats plainSlideStats = Summarise(plainSlides);
    std::printf("page: slideshow of 4000x3000 (12 MP) at Delay 100 ms, %zu intervals\n", intervals.size());
    std::printf("page: plain libjpeg-turbo decode of one    %8.0f ms (%.0f..%.0f)\n", plainSlideStats.median,
                plainSlideStats.low, plainSlideStats.high);
    std::printf("page: achieved interval                    %8.0f ms median, %.0f mean (%.0f..%.0f)\n",
                slideStats.median, slideStats.mean, slideStats.low, slideStats.high);

    // ---------------------------------------------------------------- slideshow of 48 MP pictures
    // How long the window keeps a posted message waiting while the show runs.
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    const std::string largeSlides = folder + "\\slides48";
    std::vector<std::string> largeFiles;
    for (unsigned i = 0; i < 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "48mp_%u.jpg", i);
        largeFiles.push_back(Picture(largeSlides, name, 8000, 6000, 21 + i));
    }
    std::vector<double> plainLarge, loadLarge;
    for (const std::string& file : largeFiles)
        PlainDecode(file);
    for (const std::string& file : largeFiles) {
        Clock::time_point start = Clock::now();
        PlainDecode(file);
        plainLarge.push_back(Milliseconds(Clock::now() - start));
        start = Clock::now();
        CPictureBitmap picture;
        picture.LoadFromFile(file, {}, box);
        loadLarge.push_back(Milliseconds(Clock::now() - start));
    }
    LatencyProbe probe(::GetCurrentThreadId());
    const double showSeconds = 6;
    auto* largeShow = new CSlideshowPage(EntryOf(largeSlides));
    Clock::time_point start = Clock::now();
    g_navigator.Navigate(largeShow);
    const double largeNavigate = Milliseconds(Clock::now() - start);
    PumpFor(100, probe);
    probe.Reset();
    int largeIndex = largeShow->Index(), largeAdvances = 0;
    const Clock::time_point showEnd = Clock::now() + std::chrono::milliseconds((long long)(showSeconds * 1000));
    while (Clock::now() < showEnd) {
        PumpFor(5, probe);
        if (largeShow->Index() != largeIndex) {
            largeIndex = largeShow->Index();
            ++largeAdvances;
        }
    }
    const Stats plainLargeStats = Summarise(plainLarge);
    const Stats loadLargeStats = Summarise(loadLarge);
    std::printf("page: slideshow of 8000x6000 (48 MP) at Delay 100 ms for %.0f s\n", showSeconds);
    std::printf("page: plain libjpeg-turbo decode of one    %8.0f ms (%.0f..%.0f)\n", plainLargeStats.median,
                plainLargeStats.low, plainLargeStats.high);
    std::printf("page: LoadFromFile of one for the view     %8.0f ms (%.0f..%.0f)\n", loadLargeStats.median,
                loadLargeStats.low, loadLargeStats.high);
    std::printf("page: longest wait of a posted message     %8.1f ms, %d advances (Navigate returned in %.0f ms)\n",
                probe.LongestMs(), largeAdvances, largeNavigate);

    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    return 0;
}
