// A folder page of 12-megapixel pictures in the running program: the time
// from navigation to the last thumbnail, beside a plain libjpeg-turbo decode
// of the same files; the same folder again from its cache; and the longest a
// message posted to the user-interface thread waited while the worker ran.
//
// ORLIVANE_BENCH_PICTURES sets the number of pictures (200). The program's
// own command line must stay empty: it would name a document to open.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/vemolyapp.h"
#include "core/navigator.h"
#include "folderpage/folderpage.h"
#include "imaging/thumbnailcache.h"
#include "jpeg_maker.h"
#include "plain_decode.h"
#include "res/drawing_resources.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Posts stamped messages to the user-interface thread and records the
// longest any of them waited.
class LatencyProbe {
public:
    static constexpr UINT kProbe = WM_APP + 17;

    explicit LatencyProbe(DWORD uiThread) : m_thread([this, uiThread] {
        while (!m_stop) {
            ::PostThreadMessageA(uiThread, kProbe, 0, (LPARAM)Now());
            ::Sleep(5);
        }
    }) {}
    ~LatencyProbe()
    {
        m_stop = true;
        m_thread.join();
    }
    static long long Now()
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
    }
    void Seen(const MSG& msg)
    {
        const long long waited = Now() - (long long)msg.lParam;
        if (waited > m_longest)
            m_longest = waited;
    }
    double LongestMs() const { return m_longest / 1000.0; }
    void Reset() { m_longest = 0; }

private:
    std::atomic<bool> m_stop{false};
    long long m_longest = 0;
    std::thread m_thread;
};

size_t Bitmaps(CFolderPage& page)
{
    size_t count = 0;
    for (const CFolderEntry& entry : page.Catalog().m_entries)
        count += entry.m_thumbnail && entry.m_thumbnail->Bitmap();
    return count;
}

// Navigates to the folder and runs the message loop until every thumbnail is there.
double ShowFolder(const std::string& folder, size_t count, LatencyProbe& probe)
{
    probe.Reset();
    const Clock::time_point start = Clock::now();
    CFolderEntry entry = MakeEntry(folder, nullptr, nullptr);
    entry.Classify();
    auto* page = new CFolderPage(entry, g_resources.GetFolderPageIcon());
    g_navigator.Navigate(page);
    MSG msg;
    while (Bitmaps(*page) < count) {
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) == WAIT_TIMEOUT)
            continue;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == LatencyProbe::kProbe) {
                probe.Seen(msg);
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return Milliseconds(Clock::now() - start);
}

} // namespace

int main()
{
    const char* setting = std::getenv("ORLIVANE_BENCH_PICTURES");
    const int count = setting ? std::max(1, std::atoi(setting)) : 200;
    if (!theApp.InitInstance()) {
        std::printf("folderpage: the program did not start\n");
        return 1;
    }
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "orlivane-folderpage-bench";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\IMG_%04d.jpg", i);
        files.push_back(folder + name);
        if (::GetFileAttributesA(files.back().c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;  // made by an earlier run
        JpegRecipe recipe;
        recipe.width = 4000;
        recipe.height = 3000;
        recipe.pattern = JpegPattern::Photo;
        recipe.seed = (unsigned)i + 1;
        std::ofstream(files.back(), std::ios::binary) << MakeJpeg(recipe);
    }
    ::DeleteFileA(CacheFileName(folder).c_str());

    for (const std::string& file : files)  // into the file cache
        PlainDecode(file);
    Clock::time_point start = Clock::now();
    for (const std::string& file : files)
        PlainDecode(file);
    const double plain = Milliseconds(Clock::now() - start);

    LatencyProbe probe(::GetCurrentThreadId());
    const double first = ShowFolder(folder, files.size(), probe);
    const double firstLatency = probe.LongestMs();
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    const double again = ShowFolder(folder, files.size(), probe);
    const double againLatency = probe.LongestMs();

    std::printf("folderpage: %d pictures of 4000x3000\n", count);
    std::printf("folderpage: plain libjpeg-turbo decode of all   %8.0f ms\n", plain);
    std::printf("folderpage: Navigate to last thumbnail          %8.0f ms  (%.2fx the plain decode)\n",
                first, first / plain);
    std::printf("folderpage: same folder again, from its cache   %8.0f ms\n", again);
    std::printf("folderpage: longest wait of a posted message    %8.1f ms first visit, %.1f ms from the cache\n",
                firstLatency, againLatency);

    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    return 0;
}
