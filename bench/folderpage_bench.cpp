// A folder page of 12-megapixel pictures in the running program: the time
// from navigation to the last thumbnail, beside a plain libjpeg-turbo decode
// of the same files; the same folder again from its cache; and the longest a
// message posted to the user-interface thread waited while the worker ran;
// and the time until a screenful of cells shows pictures, with and without
// the thumbnails cameras carry.
//
// ORLIVANE_BENCH_PICTURES sets the number of pictures (200). The program's
// own command line must stay empty: it would name a document to open.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/vemolyapp.h"
#include "catalog/thumbnailcache.h"
#include "core/navigator.h"
#include "folderpage/folderpage.h"
#include "jpeg_maker.h"
#include "latency_probe.h"
#include "plain_decode.h"
#include "res/drawing_resources.h"
#include "view/vemolyview.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

size_t Bitmaps(CFolderPage& page)
{
    size_t count = 0;
    for (const CFolderEntry& entry : page.Catalog().m_entries)
        count += entry.m_thumbnail && entry.m_thumbnail->HasPicture();
    return count;
}

// Navigates to the folder and runs the message loop until every thumbnail is there.
// The user-interface thread's own share: Navigate, from its call to its return.
double g_navigateMs = 0;

double ShowFolder(const std::string& folder, size_t count, LatencyProbe& probe)
{
    probe.Reset();
    const Clock::time_point start = Clock::now();
    CFolderEntry entry = MakeEntry(folder, nullptr, nullptr);
    entry.Classify();
    auto* page = new CFolderPage(entry);
    g_navigator.Navigate(page);
    g_navigateMs = Milliseconds(Clock::now() - start);
    MSG msg;
    while (Bitmaps(*page) < count) {
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) != WAIT_TIMEOUT)
            DispatchWaiting(probe);
    }
    // Probes posted while Navigate itself ran (all of a visit from the cache) waited until now.
    while (::PeekMessageA(&msg, nullptr, LatencyProbe::kProbe, LatencyProbe::kProbe, PM_REMOVE))
        probe.Seen(msg);
    return Milliseconds(Clock::now() - start);
}

std::vector<ThumbnailJob> JobsOf(CCachedCatalog& catalog)
{
    std::vector<ThumbnailJob> jobs;
    for (CFolderEntry& entry : catalog.m_entries) {
        entry.m_thumbnail = std::make_shared<CThumbnail>();
        jobs.push_back({entry.m_thumbnail, entry.m_path, entry.m_time, entry.m_kind, true, 0});
    }
    return jobs;
}

// The same thumbnails made by the page's scheduler with a single maker,
// from the folder's listing to the last thumbnail.
double OneMaker(const std::string& folder)
{
    ::DeleteFileA(CacheFileName(folder).c_str());
    const Clock::time_point start = Clock::now();
    CCachedCatalog catalog(MakeEntry(folder, nullptr, nullptr));
    catalog.Refresh();
    std::vector<ThumbnailJob> jobs = JobsOf(catalog);
    CThumbnailScheduler scheduler(1);
    scheduler.Schedule(folder, std::move(jobs));
    int done = 0, total = 0;
    while (scheduler.Progress(&done, &total))
        ::Sleep(5);
    return Milliseconds(Clock::now() - start);
}

// A page's screenful at 800 by 600: 6 columns of 4 rows.
constexpr size_t kScreenful = 24;

// From the folder's listing until each of the first kScreenful cells shows
// a picture, carried by its file or made, with a page's makers and no cache.
double FirstScreenful(const std::string& folder)
{
    ::DeleteFileA(CacheFileName(folder).c_str());
    const Clock::time_point start = Clock::now();
    CCachedCatalog catalog(MakeEntry(folder, nullptr, nullptr));
    catalog.Refresh();
    std::vector<ThumbnailJob> jobs = JobsOf(catalog);
    const size_t cells = std::min(kScreenful, jobs.size());
    std::vector<std::shared_ptr<CThumbnail>> screen;
    for (size_t i = 0; i < cells; ++i)
        screen.push_back(jobs[i].thumbnail);
    CThumbnailScheduler scheduler;
    scheduler.SetVisible(0, cells - 1);
    scheduler.Schedule(folder, std::move(jobs));
    const auto shown = [&] {
        return std::all_of(screen.begin(), screen.end(),
                           [](const auto& cell) { return cell->HasPicture() || cell->HasProvisional(); });
    };
    while (!shown())
        ::Sleep(1);
    const double ms = Milliseconds(Clock::now() - start);
    scheduler.Release(60000);
    ::DeleteFileA(CacheFileName(folder).c_str());
    return ms;
}

long long CacheFileSize(const std::string& folder)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(CacheFileName(folder).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

CFolderPage* Open(const std::string& folder)
{
    CFolderEntry entry = MakeEntry(folder, nullptr, nullptr);
    entry.Classify();
    auto* page = new CFolderPage(entry);
    g_navigator.Navigate(page);
    return page;
}

// How long leaving, refreshing and closing a page keep the window waiting
// while its worker decodes a 48-megapixel picture: each page is opened
// without a cache file and given time to get into the picture first.
struct StopWaits {
    double leave = 0, refresh = 0, close = 0;
};

StopWaits MeasureStopWaits(const std::string& folder, LatencyProbe& probe)
{
    StopWaits worst;
    for (int round = 0; round < 3; ++round) {
        ::DeleteFileA(CacheFileName(folder).c_str());
        Open(folder);
        PumpFor(80, probe);
        Clock::time_point start = Clock::now();
        g_navigator.Home();
        worst.leave = std::max(worst.leave, Milliseconds(Clock::now() - start));
        g_navigator.DiscardFrom(1);

        ::DeleteFileA(CacheFileName(folder).c_str());
        Open(folder);
        PumpFor(80, probe);
        start = Clock::now();
        g_navigator.Home();
        g_navigator.DiscardFrom(1);  // the page goes, joining its worker
        worst.close = std::max(worst.close, Milliseconds(Clock::now() - start));

        ::DeleteFileA(CacheFileName(folder).c_str());
        CFolderPage* page = Open(folder);
        PumpFor(80, probe);
        page->MarkStale();
        start = Clock::now();
        page->Refresh();
        worst.refresh = std::max(worst.refresh, Milliseconds(Clock::now() - start));
        g_navigator.Home();
        g_navigator.DiscardFrom(1);
    }
    return worst;
}

// The longest wait of a posted message while another thread keeps touching
// pictures of a shown folder, so that every tick re-lists it and restarts
// its worker.
double RefreshStorm(const std::string& folder, const std::vector<std::string>& files, LatencyProbe& probe)
{
    Open(folder);
    PumpFor(500, probe);
    probe.Reset();
    std::atomic<bool> stop{false};
    std::thread toucher([&] {
        for (size_t i = 0; !stop; ++i) {
            HANDLE file = ::CreateFileA(files[i % files.size()].c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
            FILETIME now;
            ::GetSystemTimeAsFileTime(&now);
            ::SetFileTime(file, nullptr, nullptr, &now);
            ::CloseHandle(file);
            ::Sleep(20);
        }
    });
    PumpFor(5000, probe);
    stop = true;
    toucher.join();
    const double longest = probe.LongestMs();
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    return longest;
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
        const JpegRecipe recipe = PhotoRecipe(4000, 3000, (unsigned)i + 1);
        std::ofstream(files.back(), std::ios::binary) << MakeJpeg(recipe);
    }
    ::DeleteFileA(CacheFileName(folder).c_str());

    for (const std::string& file : files)  // into the file cache
        PlainDecode(file);
    Clock::time_point start = Clock::now();
    for (const std::string& file : files)
        PlainDecode(file);
    const double plain = Milliseconds(Clock::now() - start);

    const double oneMaker = OneMaker(folder);
    ::DeleteFileA(CacheFileName(folder).c_str());
    LatencyProbe probe(::GetCurrentThreadId());
    const double first = ShowFolder(folder, files.size(), probe);
    const double firstNavigate = g_navigateMs;
    const double firstLatency = probe.LongestMs();
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    const double again = ShowFolder(folder, files.size(), probe);
    const double againNavigate = g_navigateMs;
    const double againLatency = probe.LongestMs();
    const long long cacheBytes = CacheFileSize(folder);
    g_navigator.Home();
    g_navigator.DiscardFrom(1);

    // At 150 %: thumbnails made for a 135-pixel box, and read back.
    CVemolyView::GetActive()->ScaleChanged(144);
    ::DeleteFileA(CacheFileName(folder).c_str());
    const double scaledFirst = ShowFolder(folder, files.size(), probe);
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    const double scaledAgain = ShowFolder(folder, files.size(), probe);
    const long long scaledCacheBytes = CacheFileSize(folder);
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    CVemolyView::GetActive()->ScaleChanged(96);

    const double storm = RefreshStorm(folder, files, probe);

    // The same kind of pictures, each carrying a camera's thumbnail.
    const std::string carrying = std::string(temp) + "orlivane-folderpage-bench-exif";
    ::CreateDirectoryA(carrying.c_str(), nullptr);
    for (int i = 0; i < (int)kScreenful * 2; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\IMG_%04d.jpg", i);
        const std::string file = carrying + name;
        if (::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        JpegRecipe recipe = PhotoRecipe(4000, 3000, (unsigned)i + 1);
        recipe.markers = {{0xE1, ExifThumbnailSegment(0, MakeJpeg(PhotoRecipe(160, 120, (unsigned)i + 1)))}};
        std::ofstream(file, std::ios::binary) << MakeJpeg(recipe);
    }
    const double decodedScreen = FirstScreenful(folder);
    const double carriedScreen = FirstScreenful(carrying);

    const std::string large = std::string(temp) + "orlivane-folderpage-bench-48mp";
    ::CreateDirectoryA(large.c_str(), nullptr);
    const std::string largePicture = large + "\\IMG_8000x6000.jpg";
    if (::GetFileAttributesA(largePicture.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const JpegRecipe recipe = PhotoRecipe(8000, 6000);
        std::ofstream(largePicture, std::ios::binary) << MakeJpeg(recipe);
    }
    PlainDecode(largePicture);
    start = Clock::now();
    PlainDecode(largePicture);
    const double largeDecode = Milliseconds(Clock::now() - start);
    const StopWaits waits = MeasureStopWaits(large, probe);

    std::printf("folderpage: %d pictures of 4000x3000\n", count);
    std::printf("folderpage: plain libjpeg-turbo decode of all   %8.0f ms\n", plain);
    std::printf("folderpage: Navigate to last thumbnail          %8.0f ms  (%.2fx the plain decode)\n",
                first, first / plain);
    std::printf("folderpage: one maker, from listing to the last %8.0f ms  (page with %d makers: %.2fx of it)\n",
                oneMaker, CThumbnailScheduler::MakerCount(), first / oneMaker);
    std::printf("folderpage: same folder again, from its cache   %8.0f ms\n", again);
    std::printf("folderpage: at 150 %% (135-pixel box): first visit %8.0f ms (%.2fx the plain decode), "
                "from its cache %.0f ms\n", scaledFirst, scaledFirst / plain, scaledAgain);
    std::printf("folderpage: cache file a picture                %8.1f KB at 100 %%, %.1f KB at 150 %%\n",
                cacheBytes / 1024.0 / count, scaledCacheBytes / 1024.0 / count);
    std::printf("folderpage: longest wait of a posted message    %8.1f ms first visit, %.1f ms from the cache\n",
                firstLatency, againLatency);
    std::printf("folderpage: of which Navigate itself             %8.1f ms first visit, %.1f ms from the cache\n",
                firstNavigate, againNavigate);

    std::printf("folderpage: longest wait of a posted message     %8.1f ms while pictures are touched "
                "every 20 ms for 5 s\n", storm);
    std::printf("folderpage: first screenful (%zu cells) shows pictures %8.1f ms decoded whole, "
                "%.1f ms from carried thumbnails\n", kScreenful, decodedScreen, carriedScreen);
    std::printf("folderpage: worker decoding a 48 MP picture (plain decode %.0f ms), longest of 3:\n",
                largeDecode);
    std::printf("folderpage:   leaving the page (Home)             %8.1f ms\n", waits.leave);
    std::printf("folderpage:   refreshing the page                 %8.1f ms\n", waits.refresh);
    std::printf("folderpage:   leaving and closing it (Home, the page deleted) %.1f ms\n", waits.close);

    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    return 0;
}
