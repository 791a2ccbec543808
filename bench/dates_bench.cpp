// Dates taken for an order by date: (1) a first visit of camera pictures
// with the makers reading every date ahead of the thumbnails, the time until
// all dates are known beside the time until all thumbnails are made; (2) a
// folder of 70,000 dated pictures from its cache file, the time until every
// date is known and the list is ordered by it, beside the same list ordered
// by name.
//
// ORLIVANE_BENCH_PICTURES sets the camera pictures (200),
// ORLIVANE_BENCH_DATED the pictures in the cache file (70000).
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench_setup.h"
#include "catalog/thumbnailcache.h"
#include "folderpage/thumbnailscheduler.h"
#include "jpeg_maker.h"
#include "shell/settings.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
    ::CloseHandle(file);
    return ok;
}

// 6-megapixel pictures as a camera writes them: the date in the EXIF
// segment, which also carries some 24 KB more (a camera's preview and
// maker notes), all of which a header read goes through. Kept between runs.
std::string CameraPictures(int count)
{
    const std::string folder = TempFolder("orlivane-dates-bench");
    for (int i = 0; i < count; ++i) {
        char name[32], date[32];
        std::snprintf(name, sizeof name, "\\DSC_%04d.jpg", i);
        if (::GetFileAttributesA((folder + name).c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        std::snprintf(date, sizeof date, "2024:%02d:%02d %02d:%02d:%02d", i % 12 + 1, i % 28 + 1, i % 24, i % 60,
                      (i * 7) % 60);
        JpegRecipe recipe = PhotoRecipe(3000, 2000, (unsigned)i + 1);
        recipe.markers.push_back({0xE1, ExifDateSegment(date) + std::string(24 * 1024, '\x55')});
        WriteFile(folder + name, MakeJpeg(recipe));
    }
    return folder;
}

struct Visit {
    double facts = 0;       // until FactsKnown()
    double thumbnails = 0;  // until the last thumbnail
};

// The folder listed and scheduled as a page schedules it, with no cache file.
Visit FirstVisit(const std::string& folder, bool factsFirst, bool cached = false)
{
    if (!cached)
        ::DeleteFileA(CacheFileName(folder).c_str());
    CCachedCatalog catalog(MakeEntry(folder, nullptr, nullptr));
    catalog.Refresh();
    for (CFolderEntry& entry : catalog.m_entries)
        entry.m_thumbnail = std::make_shared<CThumbnail>();
    Visit visit;
    CThumbnailScheduler makers;
    const Clock::time_point start = Clock::now();
    makers.Schedule(folder, ThumbnailJobsOf(catalog.m_entries), kDesignThumbnailBox, factsFirst);
    int done = 0, total = 0;
    bool known = false, made = false;
    while (!known || !made) {
        if (!known && (known = makers.FactsKnown()))
            visit.facts = Milliseconds(start);
        if (!made && (made = !makers.Progress(&done, &total)))
            visit.thumbnails = Milliseconds(start);
        ::Sleep(1);
    }
    // The cache is written by the last maker as it ends.
    makers.Release(10000);
    return visit;
}

// A thumbnail stream of the size a photo's has, a few of them for all.
std::vector<std::shared_ptr<const ThumbnailBytes>> Streams()
{
    std::vector<std::shared_ptr<const ThumbnailBytes>> streams;
    for (unsigned seed = 1; seed <= 8; ++seed) {
        const std::string jpeg = MakeJpeg(PhotoRecipe(90, 67, seed));
        streams.push_back(std::make_shared<const ThumbnailBytes>(jpeg.begin(), jpeg.end()));
    }
    return streams;
}

// Reading a file's bytes whole: what reading the cache cannot beat.
double PlainRead(const std::string& path)
{
    const Clock::time_point start = Clock::now();
    FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<char> bytes(1 << 20);
    while (file && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size()) {
    }
    if (file)
        std::fclose(file);
    return Milliseconds(start);
}

void FromTheCache(int count)
{
    // No picture files: every thumbnail and date comes from the cache file.
    const std::string folder = TempFolder("orlivane-dates-bench-cached");
    CFolderCatalog catalog(MakeEntry(folder, nullptr, nullptr));
    std::mt19937 random(20261208);
    std::vector<ThumbnailRecord> records;
    const auto streams = Streams();
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\IMG_%06d.jpg", i);
        // Modified a second apart, as copied from a card.
        const ULONGLONG modified = 0x01D0000000000000ull + i * 10000000ull;
        const FILETIME time{(DWORD)modified, (DWORD)(modified >> 32)};
        CFolderEntry& entry = catalog.m_entries.emplace_back(folder + name, &time, &catalog);
        entry.m_kind = EntryFile;
        entry.m_picturePath = entry.m_path;
        entry.m_thumbnail = std::make_shared<CThumbnail>();
        // Some pictures have no date (scans, edited copies).
        const ULONGLONG taken = random() % 10 ? 0x01D0000000000000ull + random() * 10000000ull : 0;
        records.push_back({entry.m_path, time, streams[i % streams.size()], true, false,
                           HeaderFacts{taken, {4000, 3000}}});
    }
    Clock::time_point start = Clock::now();
    WriteThumbnailCache(folder, records, kDesignThumbnailBox);
    const double write = Milliseconds(start);
    records.clear();

    std::unordered_set<std::wstring> wanted;
    for (const CFolderEntry& entry : catalog.m_entries)
        wanted.insert(NameKey(entry.m_path));
    double read = 1e9, plain = 1e9;
    for (int round = 0; round < 3; ++round) {
        start = Clock::now();
        ReadThumbnailCache(folder, wanted, kDesignThumbnailBox);
        read = std::min(read, Milliseconds(start));
        plain = std::min(plain, PlainRead(CacheFileName(folder)));
    }

    // As a page ordered by date: scheduled with facts first, ordered once
    // they are all known.
    CThumbnailScheduler makers;
    start = Clock::now();
    makers.Schedule(folder, ThumbnailJobsOf(catalog.m_entries), kDesignThumbnailBox, true);
    const double scheduled = Milliseconds(start);
    while (!makers.FactsKnown())
        ::Sleep(1);
    const double known = Milliseconds(start);
    catalog.m_sortOrder = SortByDateTaken;
    start = Clock::now();
    catalog.Sort();
    const double sorted = Milliseconds(start);
    // The reference: the same list, now in date order, ordered by name.
    catalog.m_sortOrder = SortByName;
    start = Clock::now();
    catalog.Sort();
    const double byName = Milliseconds(start);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExA(CacheFileName(folder).c_str(), GetFileExInfoStandard, &data);
    std::printf("cached: %d pictures with dates, cache file of %llu MB, written in %.0f ms\n", count,
                ((unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow) >> 20, write);
    std::printf("cached: every date known (scheduled, facts first) %8.1f ms (Schedule returned after %.1f ms)\n",
                known, scheduled);
    std::printf("cached: ordered by date taken (CFolderCatalog::Sort) %6.1f ms\n", sorted);
    std::printf("cached: known and ordered                          %8.1f ms (asked: 200 ms or less)\n",
                known + sorted);
    std::printf("cached: reference: the same list ordered by name           %8.1f ms\n", byName);
    std::printf("cached: reference: the whole cache read (ReadThumbnailCache) %8.1f ms, best of 3\n", read);
    std::printf("cached: reference: the cache file's bytes read whole        %8.1f ms\n", plain);
}

} // namespace

int main()
{
    ::CoInitialize(nullptr);
    g_settings.CacheFolder = TempFolder("orlivane-dates-bench-cache");
    const int pictures = Setting("ORLIVANE_BENCH_PICTURES", 200);
    const std::string folder = CameraPictures(pictures);

    // Best of three of each, the files in the system's cache after the first.
    Visit first{1e9, 1e9}, plain{1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        const Visit visit = FirstVisit(folder, true);
        if (visit.thumbnails < first.thumbnails)
            first = visit;
        plain.thumbnails = std::min(plain.thumbnails, FirstVisit(folder, false).thumbnails);
    }
    const Visit again = FirstVisit(folder, true, true);
    std::printf("first visit: %d pictures of 3000x2000 with EXIF dates, %d makers\n", pictures,
                CThumbnailScheduler::MakerCount());
    std::printf("first visit: every date known        %8.1f ms  (%.3f of the thumbnails' time; asked: 0.1 or less)\n",
                first.facts, first.facts / first.thumbnails);
    std::printf("first visit: every thumbnail made    %8.1f ms\n", first.thumbnails);
    std::printf("first visit: reference: thumbnails without dates first %8.1f ms\n", plain.thumbnails);
    std::printf("revisit: every date known from the cache %6.1f ms\n", again.facts);

    FromTheCache(Setting("ORLIVANE_BENCH_DATED", 70000));
    ::CoUninitialize();
    return 0;
}
