// Listing a folder of 10,000 entries, pictures of several kinds and folders:
// the first refresh, an unchanged refresh, and a bare enumeration of the
// same folder for reference.
#include <windows.h>

#include <algorithm>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "catalog/foldercatalog.h"

namespace {

double Milliseconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Names numbered without leading zeros, so that the order by name compares
// numbers: every twentieth entry a folder, the rest pictures of mixed kinds.
std::string MakeFolder(int count)
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "orlivane-catalog-bench-kinds";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const char* const kinds[] = {"\\IMG_%d.jpg", "\\photo %d.JPEG", "\\IMG_%d.png", "\\scan %d.tif",
                                 "\\DSC%d.JPG"};
    for (int i = 0; i < count; ++i) {
        char name[64];
        if (i % 20 == 0)
            std::snprintf(name, sizeof name, "\\%d days", i);
        else
            std::snprintf(name, sizeof name, kinds[i % 5], i);
        const std::string path = folder + name;
        if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (i % 20 == 0) {
            ::CreateDirectoryA(path.c_str(), nullptr);
            continue;
        }
        HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD written;
        ::WriteFile(file, "\xFF\xD8\xFF\xD9", 4, &written, nullptr);
        ::CloseHandle(file);
    }
    return folder;
}

double BareEnumeration(const std::string& folder, int* count)
{
    const auto start = std::chrono::steady_clock::now();
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &data);
    *count = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            ++*count;
        while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    return Milliseconds(start);
}

} // namespace

int main()
{
    ::CoInitialize(nullptr);
    const int pictures = 10000;
    const std::string folder = MakeFolder(pictures);

    int found = 0;
    BareEnumeration(folder, &found);  // warm the file system's caches

    CFolderEntry entry = MakeEntry(folder, nullptr, nullptr);
    entry.Classify();
    CFolderCatalog catalog(entry);
    auto start = std::chrono::steady_clock::now();
    catalog.Refresh();
    const double first = Milliseconds(start);
    // Best of five, taken in turns, so that both see the same machine.
    double bare = 1e300, unchanged = 1e300;
    bool changed = false;
    for (int round = 0; round < 5; ++round) {
        bare = std::min(bare, BareEnumeration(folder, &found));
        start = std::chrono::steady_clock::now();
        changed |= catalog.Refresh();
        unchanged = std::min(unchanged, Milliseconds(start));
    }

    // The order by name made again from newest first: the unchanged listing and a sort.
    double sorted = 1e300;
    for (int round = 0; round < 5; ++round) {
        catalog.m_sortOrder = SortNewestFirst;
        catalog.Refresh();
        catalog.m_sortOrder = SortByName;
        start = std::chrono::steady_clock::now();
        catalog.Refresh();
        sorted = std::min(sorted, Milliseconds(start));
    }

    // One picture written again, as the folder's watcher reports it: the
    // entry is made again and the list sorted.
    const std::string touched = folder + "\\photo 1.JPEG";
    double rewritten = 1e300;
    bool seen = true;
    for (int round = 0; round < 5; ++round) {
        HANDLE file = ::CreateFileA(touched.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME time{(DWORD)round * 10000000u, 0x01D00000u};
        ::SetFileTime(file, nullptr, nullptr, &time);
        ::CloseHandle(file);
        start = std::chrono::steady_clock::now();
        seen &= catalog.Refresh();
        rewritten = std::min(rewritten, Milliseconds(start));
    }

    std::printf("catalog: %zu entries listed (%d names enumerated)\n", catalog.m_entries.size(), found);
    std::printf("catalog: bare FindFirstFileA/FindNextFileA   %8.1f ms  (best of 5)\n", bare);
    std::printf("catalog: first Refresh                       %8.1f ms  (%.1fx bare)\n", first, first / bare);
    std::printf("catalog: unchanged Refresh (changed=%d)       %8.1f ms  (%.1fx bare, best of 5)\n", changed, unchanged,
                unchanged / bare);
    std::printf("catalog: unchanged Refresh, sorted by name again %8.1f ms  (%.1f ms more: the sort, best of 5)\n",
                sorted, sorted - unchanged);
    std::printf("catalog: Refresh, one picture written (changed=%d) %8.1f ms  (%.1f ms more, best of 5)\n", seen,
                rewritten, rewritten - unchanged);
    ::CoUninitialize();
    return 0;
}
