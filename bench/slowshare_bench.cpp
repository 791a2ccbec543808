// The running program on a slow share (bench/slowshare_bench.sh mounts it):
// camera pictures with an EXIF thumbnail until the first screenful shows
// them, the longest a posted message waited meanwhile, and the bytes read
// per thumbnail, beside the time to read the visible files whole; then a
// folder of small pictures listed, with the window's longest wait.
//
// ORLIVANE_SLOWSHARE names the share's folder as the program sees it,
// ORLIVANE_SLOWSHARE_BACKING the same folder beside the share (the files
// are made there, at full speed). ORLIVANE_BENCH_PICTURES (200) and
// ORLIVANE_BENCH_SMALL (20,000) set the folders' sizes.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/vemolyapp.h"
#include "app_driver.h"
#include "bench_setup.h"
#include "catalog/thumbnailcache.h"
#include "core/navigator.h"
#include "folderpage/folderpage.h"
#include "jpeg_maker.h"
#include "latency_probe.h"
#include "view/vemolyview.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// An APP1 EXIF segment whose second directory (IFD1) holds a JPEG
// thumbnail, as cameras write one.
std::string ExifThumbnailSegment(const std::string& thumbnail)
{
    std::string tiff("II\x2A\0\x08\0\0\0", 8);
    auto put = [&](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tiff += (char)(value >> 8 * i);
    };
    put(1, 2);  // IFD0: Orientation 1
    put(0x0112, 2), put(3, 2), put(1, 4), put(1, 2), put(0, 2);
    put(26, 4);
    put(3, 2);  // IFD1 at 26: compression, offset, length
    put(0x0103, 2), put(3, 2), put(1, 4), put(6, 2), put(0, 2);
    put(0x0201, 2), put(4, 2), put(1, 4), put(68, 4);
    put(0x0202, 2), put(4, 2), put(1, 4), put((unsigned)thumbnail.size(), 4);
    put(0, 4);
    return std::string("Exif\0\0", 6) + tiff + thumbnail;
}

bool WriteWhole(const std::string& path, const std::string& bytes)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

// The share's control file: commands written, counts read.
bool Control(const std::string& share, const std::string& command)
{
    HANDLE file = ::CreateFileA((share + "\\.slowfs").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const std::string line = command + "\n";
    const BOOL ok = ::WriteFile(file, line.data(), (DWORD)line.size(), &written, nullptr);
    ::CloseHandle(file);
    return ok;
}

long long Count(const std::string& share, const std::string& name)
{
    HANDLE file = ::CreateFileA((share + "\\.slowfs").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    char text[4096];
    DWORD got = 0;
    ::ReadFile(file, text, sizeof text - 1, &got, nullptr);
    ::CloseHandle(file);
    text[got] = 0;
    const std::string report = std::string("\n") + text;
    const size_t at = report.find("\n" + name + " ");
    return at == std::string::npos ? -1 : std::atoll(report.c_str() + at + name.size() + 2);
}

size_t Bitmaps(CFolderPage& page)
{
    size_t count = 0;
    for (const CFolderEntry& entry : page.Catalog().m_entries)
        count += entry.m_thumbnail && entry.m_thumbnail->HasPicture();
    return count;
}

// The cells on screen, and how many of them show their picture.
size_t OnScreen(CFolderPage& page, CVemolyView& view, size_t* shown, std::vector<std::string>* paths = nullptr)
{
    CRect area;
    view.GetClientRect(&area);
    const CPoint scroll = view.GetScrollPosition();
    area.OffsetRect(scroll.x, scroll.y);
    size_t cells = 0;
    *shown = 0;
    for (const CFolderEntry& entry : page.Catalog().m_entries) {
        RECT overlap;
        if (!entry.m_thumbnail || !::IntersectRect(&overlap, &entry.m_thumbnail->m_cell, &area))
            continue;
        ++cells;
        *shown += entry.m_thumbnail->HasPicture();
        if (paths)
            paths->push_back(entry.m_path);
    }
    return cells;
}

CFolderPage* Open(const std::string& folder)
{
    ::DeleteFileA(CacheFileName(folder).c_str());
    CFolderEntry entry = MakeEntry(folder, nullptr, nullptr);
    entry.Classify();
    auto* page = new CFolderPage(entry);
    g_navigator.Navigate(page);
    return page;
}

// Runs the message loop until done() holds or limitMs passed; false then.
template <class Done>
bool PumpUntil(Done done, double limitMs, LatencyProbe& probe)
{
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds((long long)limitMs);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        DispatchWaiting(probe);
    }
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, LatencyProbe::kProbe, LatencyProbe::kProbe, PM_REMOVE))
        probe.Seen(msg);
    return true;
}

// Reads the files whole, one after another, 1 MB at a time.
double ReadWhole(const std::vector<std::string>& paths)
{
    std::vector<char> buffer(1 << 20);
    const Clock::time_point start = Clock::now();
    for (const std::string& path : paths) {
        HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        DWORD got = 0;
        while (file != INVALID_HANDLE_VALUE && ::ReadFile(file, buffer.data(), (DWORD)buffer.size(), &got, nullptr)
               && got)
            ;
        ::CloseHandle(file);
    }
    return Milliseconds(Clock::now() - start);
}

// Eight different pictures in turn: the share reads each file anew, and
// encoding 200 of 12 MP would take minutes.
void MakeCameraPictures(const std::string& folder, int count)
{
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::string> made(8);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\IMG_%04d.JPG", i);
        const std::string path = folder + name;
        if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;  // made by an earlier run
        std::string& bytes = made[i % made.size()];
        if (bytes.empty()) {
            JpegRecipe recipe = PhotoRecipe(4000, 3000, (unsigned)(i % made.size()) + 1);
            const std::string thumbnail = MakeJpeg(PhotoRecipe(160, 120, recipe.seed));
            recipe.markers.push_back({0xE1, ExifThumbnailSegment(thumbnail)});
            bytes = MakeJpeg(recipe);
        }
        WriteWhole(path, bytes);
    }
}

void MakeSmallPictures(const std::string& folder, int count)
{
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string bytes = MakeJpeg(PhotoRecipe(32, 24));
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\small_%05d.jpg", i);
        const std::string path = folder + name;
        if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            WriteWhole(path, bytes);
    }
}

} // namespace

int main()
{
    const char* shareSetting = std::getenv("ORLIVANE_SLOWSHARE");
    const char* backingSetting = std::getenv("ORLIVANE_SLOWSHARE_BACKING");
    if (!shareSetting || !backingSetting) {
        std::printf("slowshare: skipped, no slow share mounted (bench/slowshare_bench.sh mounts one; "
                    "it needs root, /dev/fuse, fuse3 and python3-fusepy)\n");
        return 0;
    }
    const std::string share = shareSetting, backing = WindowsPath(backingSetting);
    if (Count(share, "opens") < 0) {
        std::printf("slowshare: skipped, %s is not the slow share\n", share.c_str());
        return 0;
    }
    const int pictures = Setting("ORLIVANE_BENCH_PICTURES", 200);
    const int small = Setting("ORLIVANE_BENCH_SMALL", 20000);
    MakeCameraPictures(backing + "\\camera", pictures);
    MakeSmallPictures(backing + "\\small", small);
    std::printf("slowshare: %s is a drive of type %u (4: remote)\n", share.c_str(),
                ::GetDriveTypeA((share.substr(0, 2) + "\\").c_str()));

    if (!theApp.InitInstance()) {
        std::printf("slowshare: the program did not start\n");
        return 1;
    }
    CVemolyView* view = CVemolyView::GetActive();
    LatencyProbe probe(::GetCurrentThreadId());
    const double limit = 600000;

    // Camera pictures, no cache file.
    const std::string camera = share + "\\camera";
    Control(share, "reset-counts");
    probe.Reset();
    Clock::time_point start = Clock::now();
    CFolderPage* page = Open(camera);
    size_t shown = 0, cells = 0, shownAt1500 = SIZE_MAX;
    const bool screenful = PumpUntil([&] {
        cells = OnScreen(*page, *view, &shown);
        if (shownAt1500 == SIZE_MAX && Clock::now() - start >= std::chrono::milliseconds(1500))
            shownAt1500 = shown;
        return page->Catalog().m_entries.size() >= (size_t)pictures && cells && shown == cells;
    }, limit, probe);
    const double firstScreen = Milliseconds(Clock::now() - start);
    const double screenWait = probe.LongestMs();
    const long long screenBytes = Count(share, "bytes_read"), screenOpens = Count(share, "opens");
    std::vector<std::string> visible;
    OnScreen(*page, *view, &shown, &visible);
    PumpUntil([&] { return Bitmaps(*page) >= (size_t)pictures; }, limit, probe);
    const double all = Milliseconds(Clock::now() - start);
    const double allWait = probe.LongestMs();
    const long long bytes = Count(share, "bytes_read"), opens = Count(share, "opens");
    g_navigator.Home();
    g_navigator.DiscardFrom(1);

    Control(share, "reset-counts");
    const double whole = ReadWhole(visible);
    const long long wholeBytes = Count(share, "bytes_read");

    // Small pictures: the listing.
    const std::string smallFolder = share + "\\small";
    PumpFor(200, probe);
    probe.Reset();
    start = Clock::now();
    page = Open(smallFolder);
    const double navigate = Milliseconds(Clock::now() - start);
    PumpUntil([&] { return page->Catalog().m_entries.size() >= (size_t)small; }, limit, probe);
    const double listed = Milliseconds(Clock::now() - start);
    const double listWait = probe.LongestMs();
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    start = Clock::now();
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((smallFolder + "\\*").c_str(), &found);
    size_t names = 0;
    while (search != INVALID_HANDLE_VALUE && (++names, ::FindNextFileA(search, &found)))
        ;
    ::FindClose(search);
    const double bare = Milliseconds(Clock::now() - start);

    std::printf("slowshare: %d pictures of 4000x3000 (%.1f MB each on average) with a 160x120 EXIF thumbnail\n",
                pictures, wholeBytes / 1e6 / std::max<size_t>(1, visible.size()));
    std::printf("slowshare:   first screenful (%zu cells) shows pictures %8.0f ms%s, longest wait %.0f ms\n",
                cells, firstScreen, screenful ? "" : " (not reached)", screenWait);
    if (shownAt1500 != SIZE_MAX)
        std::printf("slowshare:     1.5 s after the page opened %zu of them (%.0f %%) showed pictures\n",
                    shownAt1500, 100.0 * shownAt1500 / std::max<size_t>(1, cells));
    std::printf("slowshare:     read until then %.1f MB in %lld opens\n", screenBytes / 1e6, screenOpens);
    std::printf("slowshare:   reading those %zu files whole, one by one %8.0f ms (%.1f MB)\n", visible.size(),
                whole, wholeBytes / 1e6);
    std::printf("slowshare:   every thumbnail made                   %8.0f ms, longest wait %.0f ms\n", all,
                allWait);
    std::printf("slowshare:   bytes read per thumbnail %lld (%.2f of the file), opens per thumbnail %.2f\n",
                bytes / pictures, (double)bytes / pictures / std::max(1.0, (double)wholeBytes / visible.size()),
                (double)opens / pictures);
    std::printf("slowshare: %d pictures of 32x24 listed: Navigate returned after %.0f ms, all listed after %.0f ms, "
                "longest wait %.0f ms\n", small, navigate, listed, listWait);
    std::printf("slowshare:   a bare enumeration of its %zu names %8.0f ms\n", names, bare);

    theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    return 0;
}
