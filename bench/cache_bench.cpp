// Reading and writing the thumbnail cache of a folder of 1,000 pictures.
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench_setup.h"
#include "catalog/thumbnailcache.h"
#include "imaging/picture.h"
#include "shell/settings.h"

namespace {

double Milliseconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A thumbnail with some texture, so that its stream is of a realistic size.
std::unique_ptr<CPixels> Thumbnail(int seed)
{
    auto bitmap = std::make_unique<CPixels>(90, 68);
    for (int y = 0; y < 68; ++y) {
        for (int x = 0; x < 90 * 3; ++x)
            bitmap->Row(y)[x] = (unsigned char)((x * 7 + y * 13 + seed * 31) ^ (x * y));
    }
    return bitmap;
}

// The thumbnails' streams, as the makers hold them.
std::shared_ptr<const ThumbnailBytes> Stream(int seed)
{
    CThumbnail thumbnail;
    thumbnail.ReplaceBitmap(Thumbnail(seed));
    return thumbnail.Compressed();
}

// Reading a file's bytes whole: what reading the cache cannot beat.
double PlainRead(const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<char> bytes(1 << 20);
    while (file && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size()) {
    }
    if (file)
        std::fclose(file);
    return Milliseconds(start);
}

} // namespace

int main()
{
    ::CoInitialize(nullptr);
    const int count = 1000;
    const std::string folder = TempFolder("orlivane-cache-bench");
    g_settings.CacheFolder = TempFolder("orlivane-cache-bench-cache");
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "\\IMG_%04d.jpg", i);
        HANDLE file = ::CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ::CloseHandle(file);
    }

    std::vector<ThumbnailRecord> records;
    std::unordered_set<std::wstring> wanted;
    FILETIME time{1, 1};
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "\\IMG_%04d.jpg", i);
        records.push_back(ThumbnailRecord{folder + name, time, Stream(i)});
        wanted.insert(NameKey(folder + name));
    }
    auto start = std::chrono::steady_clock::now();
    WriteThumbnailCache(folder, records, kDesignThumbnailBox);
    const double write = Milliseconds(start);
    // A writer that made none of them keeps what the file holds.
    std::vector<ThumbnailRecord> lacking = records;
    for (ThumbnailRecord& record : lacking)
        record.jpeg = nullptr;
    start = std::chrono::steady_clock::now();
    WriteThumbnailCache(folder, lacking, kDesignThumbnailBox);
    const double merge = Milliseconds(start);

    double best = 1e9, plain = 1e9;
    size_t found = 0;
    for (int round = 0; round < 3; ++round) {
        start = std::chrono::steady_clock::now();
        found = ReadThumbnailCache(folder, wanted, kDesignThumbnailBox).size();
        best = std::min(best, Milliseconds(start));
        plain = std::min(plain, PlainRead(CacheFileName(folder)));
    }

    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExA(CacheFileName(folder).c_str(), GetFileExInfoStandard, &data);
    std::printf("cache: %d entries, file of %lu KB\n", count, data.nFileSizeLow / 1024);
    std::printf("cache: write                 %8.1f ms  (%.3f ms an entry)\n", write, write / count);
    std::printf("cache: write keeping the file's %6.1f ms  (a writer that made none)\n", merge);
    std::printf("cache: read (%zu thumbnails) %8.1f ms  (%.3f ms an entry)\n", found, best, best / count);
    std::printf("cache: reference: the file's bytes read whole %6.1f ms\n", plain);
    ::CoUninitialize();
    return 0;
}
