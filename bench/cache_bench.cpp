// Reading and writing the thumbnail cache of a folder of 1,000 pictures.
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "catalog/thumbnailcache.h"
#include "imaging/picture.h"
#include "shell/settings.h"

namespace {

double Milliseconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string TempFolder(const char* name)
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + name;
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
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

std::unique_ptr<CCachedCatalog> Listed(const std::string& folder)
{
    CFolderEntry entry = MakeEntry(folder, nullptr, nullptr);
    entry.Classify();
    auto catalog = std::make_unique<CCachedCatalog>(entry);
    catalog->Refresh();
    for (CFolderEntry& e : catalog->m_entries)
        e.m_thumbnail = std::make_unique<CThumbnail>();
    return catalog;
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

    auto writer = Listed(folder);
    int seed = 0;
    for (CFolderEntry& entry : writer->m_entries)
        entry.m_thumbnail->ReplaceBitmap(Thumbnail(seed++));
    writer->m_cacheDirty = true;
    auto start = std::chrono::steady_clock::now();
    writer->SaveThumbnails();
    const double write = Milliseconds(start);

    double best = 1e9;
    size_t found = 0;
    for (int round = 0; round < 3; ++round) {
        auto reader = Listed(folder);
        start = std::chrono::steady_clock::now();
        reader->PrepareThumbnails();
        best = std::min(best, Milliseconds(start));
        found = 0;
        for (const CFolderEntry& entry : reader->m_entries)
            found += entry.m_thumbnail->Bitmap() != nullptr;
    }

    WIN32_FILE_ATTRIBUTE_DATA data{};
    ::GetFileAttributesExA(CacheFileName(folder).c_str(), GetFileExInfoStandard, &data);
    std::printf("cache: %d entries, file of %lu KB\n", count, data.nFileSizeLow / 1024);
    std::printf("cache: write                 %8.1f ms  (%.3f ms an entry)\n", write, write / count);
    std::printf("cache: read (%zu thumbnails) %8.1f ms  (%.3f ms an entry)\n", found, best, best / count);
    ::CoUninitialize();
    return 0;
}
