#include "catalog/thumbnailcache.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "afxpath.h"
#include "catalog/cachefile.h"
#include "filefind.h"
#include "imaging/jpegio.h"
#include "imaging/picture.h"
#include "shell/settings.h"

namespace cachefile {

// FNV-1a, 64 bits: the same on every run and every system.
unsigned long long Fnv1a64(std::string_view bytes)
{
    unsigned long long hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= (unsigned char)c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string HashOf(const std::wstring& key)
{
    char digits[20];
    std::snprintf(digits, sizeof digits, "%016llX", Fnv1a64(AfxUtf8(key)));
    return digits;
}

// What a record holds for a path too long for its field: no file's name has
// a '|', so a reader that does not know this never matches it.
std::string StandInFor(const std::wstring& key)
{
    return "|" + HashOf(key);
}

std::string RecordPathOf(const std::string& path)
{
    return path.size() < kPathSize ? path : StandInFor(NameKey(path));
}

// Where the wanted records' streams lie, read from the directory.
struct Found {
    std::wstring key;
    unsigned offset = 0;
    unsigned length = 0;
    FILETIME time{0, 0};
    std::optional<HeaderFacts> facts;
};

// Writes the records' file; false when any write fails.
bool WriteRecords(FILE* file, const std::vector<ThumbnailRecord>& records, int box)
{
    const unsigned directorySize = (unsigned)(records.size() * sizeof(CacheRecord));
    unsigned header[16] = {kMagic, kVersion, directorySize, (unsigned)kHeaderSize};
    // The design box is written as 0, so that files made at 96 DPI stay as
    // they always were.
    header[kBoxWord] = box == kDesignThumbnailBox ? 0 : (unsigned)box;
    if (std::fwrite(header, 1, sizeof header, file) != sizeof header)
        return false;
    std::vector<CacheRecord> directory(records.size());
    if (_fseeki64(file, kHeaderSize + directorySize, SEEK_SET) != 0)
        return false;
    auto record = directory.begin();
    for (const ThumbnailRecord& written : records) {
        *record = CacheRecord{};
        record->timeLow = written.time.dwLowDateTime;
        record->timeHigh = written.time.dwHighDateTime;
        if (written.facts && written.facts->size.cx > 0 && written.facts->size.cy > 0) {
            record->takenLow = (unsigned)written.facts->taken;
            record->takenHigh = (unsigned)(written.facts->taken >> 32);
            record->width = (unsigned)written.facts->size.cx;
            record->height = (unsigned)written.facts->size.cy;
        }
        const std::string path = RecordPathOf(written.path);
        std::memcpy(record->path, path.data(), path.size());
        // An entry without a thumbnail object has no place for a stream.
        if (written.placed)
            record->offset = (unsigned)_ftelli64(file);
        if (written.placed && written.jpeg && !written.jpeg->empty()) {
            if (std::fwrite(written.jpeg->data(), 1, written.jpeg->size(), file) != written.jpeg->size())
                return false;
            record->length = (unsigned)written.jpeg->size();
        }
        ++record;
    }
    if (_fseeki64(file, kHeaderSize, SEEK_SET) != 0)
        return false;
    return std::fwrite(directory.data(), 1, directorySize, file) == directorySize && std::fflush(file) == 0;
}

// A record's path as a string of at most its field's size, which a file
// of an earlier version has larger.
std::string RecordPath(const CacheRecord& record, size_t pathSize)
{
    const char* path = reinterpret_cast<const char*>(&record) + offsetof(CacheRecord, path);
    return std::string(path, strnlen(path, pathSize));
}

// The facts a record of this version holds, when it holds any.
std::optional<HeaderFacts> RecordFacts(const CacheRecord& record)
{
    if (record.width == 0 || record.height == 0 || record.width > INT_MAX || record.height > INT_MAX)
        return std::nullopt;
    return HeaderFacts{(ULONGLONG)record.takenHigh << 32 | record.takenLow,
                       SIZE{(LONG)record.width, (LONG)record.height}};
}

} // namespace cachefile

using namespace cachefile;

// ---------------------------------------------------------------- file names

// A folder named with the long-path prefix is the folder named without it:
// \\?\UNC\server\share is \\server\share, \\?\C:\ is C:\. What a name may
// not hold ('?') never reaches the cache file's name.
static std::string WithoutLongPathPrefix(const std::string& path)
{
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        return "\\" + path.substr(7);
    if (path.rfind("\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

std::string CacheFileName(const std::string& folderPath)
{
    std::string name = WithoutLongPathPrefix(folderPath);
    if (!name.empty() && name[0] != '\\') {
        const std::string root = name.substr(0, 3);
        DWORD serial = 0;
        if (::GetVolumeInformationW(AfxWide(root).c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
            char prefix[16];
            std::snprintf(prefix, sizeof prefix, "%8.8lx_", (unsigned long)serial);
            name = prefix + name.substr(root.size());
        }
    }
    for (char& c : name) {
        if (c == ':' || c == '\\' || c == '/')
            c = '_';
    }
    const std::string folder = g_settings.CacheFolder + "\\";
    // A name that was always used stays, so that its file is found again;
    // so does one that fits in a file name with the writer's suffix, counted
    // in UTF-8 bytes, the stricter measure of the file systems that count.
    if (folder.size() + name.size() + kExtension.size() < MAX_PATH
        || name.size() + kExtension.size() + kLongestPartialSuffix <= kLongestFileName)
        return folder + name + kExtension;
    // Else its start, cut between characters, and the hash of the whole path.
    const std::string hash = "_" + HashOf(NameKey(WithoutLongPathPrefix(folderPath)));
    size_t keep = kLongestFileName - kLongestPartialSuffix - kExtension.size() - hash.size();
    while (keep > 0 && ((unsigned char)name[keep] & 0xC0) == 0x80)
        --keep;
    return folder + name.substr(0, keep) + hash + kExtension;
}

void ClearCache()
{
    const std::string& folder = g_settings.CacheFolder;
    const char* separator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/') ? "" : "\\";
    for (const char* pattern : {"*.tnc", "*.partial"}) {
        CFileFind find;
        BOOL more = find.FindFile((folder + separator + pattern).c_str());
        while (more) {
            more = find.FindNextFile();
            if (!find.IsDirectory())
                AfxDeleteFile(find.GetFilePath());
        }
    }
}

// ---------------------------------------------------------------- reading

bool CachedThumbnail::Serves(unsigned kind, FILETIME entryTime) const
{
    // An offline entry cannot be made again: any thumbnail of it will do.
    if (kind & EntryOffline)
        return true;
    return current && time.dwLowDateTime == entryTime.dwLowDateTime && time.dwHighDateTime == entryTime.dwHighDateTime;
}

bool CachedThumbnail::ServesFacts(unsigned kind, FILETIME entryTime) const
{
    return facts && CachedFacts{{}, time, *facts}.Serves(kind, entryTime);
}

bool CachedFacts::Serves(unsigned kind, FILETIME entryTime) const
{
    return (kind & EntryOffline)
           || (time.dwLowDateTime == entryTime.dwLowDateTime && time.dwHighDateTime == entryTime.dwHighDateTime);
}

namespace {

CachedThumbnails ReadFrom(CacheSource& source, const std::unordered_set<std::wstring>& wanted, int box,
                          const std::function<bool()>& stop)
{
    CachedThumbnails cached;
    if (wanted.empty())
        return cached;
    try {
        // Every size and offset is checked against the file's real length,
        // so a damaged file can cost thumbnails but never memory or time.
        const long long length = source.Length();
        const unsigned char* view = length >= kHeaderSize ? source.View(0, kHeaderSize) : nullptr;
        if (!view)
            return cached;
        unsigned header[16];
        std::memcpy(header, view, sizeof header);
        const unsigned directorySize = header[2];
        const unsigned directoryOffset = header[3];
        if (header[0] != kMagic || header[1] > kVersion)
            return cached;
        const unsigned fileBox = header[kBoxWord] ? header[kBoxWord] : (unsigned)kDesignThumbnailBox;
        if (fileBox > kLargestBox)
            return cached;
        // Thumbnails of another box (made at another display scale) are made
        // again; their facts still hold.
        const bool version = header[1] == kVersion;
        const bool current = version && fileBox == (unsigned)box;
        const size_t pathSize = version ? kPathSize : kEarlierPathSize;
        if ((long long)directoryOffset + directorySize > length)
            return cached;
        // The file was written with one record per entry of its folder.
        const size_t mostRecords = std::max(kUsualMostRecords, kRecordsPerEntry * wanted.size());
        const size_t count = directorySize / sizeof(CacheRecord);
        if (count > mostRecords)
            return cached;

        // Each wanted path takes its first record, compared as the file
        // system compares names.
        std::vector<Found> found;
        std::unordered_set<std::wstring> seen;
        // The wanted paths that may be too long for a record, by the stand-in
        // their records hold: a path of n UTF-16 units is at most 3n bytes.
        std::unordered_map<std::wstring, const std::wstring*> standIns;
        for (const std::wstring& key : wanted) {
            if (key.size() * 3 >= kPathSize)
                standIns.emplace(AfxWide(StandInFor(key)), &key);
        }
        for (size_t first = 0; first < count; first += kDirectoryPiece) {
            if (stop && stop())
                return cached;
            const size_t records = std::min(kDirectoryPiece, count - first);
            const unsigned char* piece =
                source.View(directoryOffset + (long long)first * sizeof(CacheRecord), records * sizeof(CacheRecord));
            if (!piece)
                return cached;
            for (size_t i = 0; i < records; ++i) {
                CacheRecord record;
                std::memcpy(&record, piece + i * sizeof(CacheRecord), sizeof record);
                std::wstring key = NameKey(RecordPath(record, pathSize));
                if (!key.empty() && key[0] == L'|') {
                    const auto standIn = standIns.find(key);
                    if (standIn == standIns.end())
                        continue;
                    key = *standIn->second;
                }
                if (!wanted.count(key) || !seen.insert(key).second)
                    continue;
                if (record.length == 0 || record.length > kLargestStream || record.offset < kHeaderSize
                    || (long long)record.offset + record.length > length)
                    continue;
                found.push_back({std::move(key), record.offset, record.length,
                                 FILETIME{record.timeLow, record.timeHigh},
                                 version ? RecordFacts(record) : std::nullopt});
            }
        }

        // The streams, in the order they lie in the file.
        std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.offset < b.offset; });
        for (Found& stream : found) {
            if (stop && stop())
                return cached;
            const unsigned char* bytes = source.View(stream.offset, stream.length);
            // A real cache holds only thumbnails: anything larger is refused.
            // One larger than the file's own box was kept for an offline
            // entry from a file of another scale.
            SIZE size{0, 0};
            if (!bytes || !PeekJpegSize(bytes, stream.length, &size) || size.cx <= 0 || size.cy <= 0
                || size.cx > kLargestThumbnailBox || size.cy > kLargestThumbnailBox)
                continue;
            const bool fits = size.cx <= (LONG)fileBox && size.cy <= (LONG)fileBox;
            cached[std::move(stream.key)] = CachedThumbnail{stream.time, current && fits,
                std::make_shared<const ThumbnailBytes>(bytes, bytes + stream.length), size, stream.facts};
        }
    } catch (const std::bad_alloc&) {
        // Memory short: what was read stays, the rest is made anew.
    }
    return cached;
}

} // namespace

CachedThumbnails ReadThumbnailCache(const std::string& folderPath, const std::unordered_set<std::wstring>& wanted,
                                    int box, const std::function<bool()>& stop)
{
    if (wanted.empty())
        return {};
    // Opened so that a writer can put a new file in its place meanwhile.
    FilePtr file = OpenSharedForReading(CacheFileName(folderPath));
    if (!file)
        return {};
    FileSource source(std::move(file));
    return ReadFrom(source, wanted, box, stop);
}

void ReadCachedFacts(const std::string& folderPath, size_t entries,
                     const std::function<void(const std::vector<CachedFacts>&)>& give)
{
    FilePtr file = OpenSharedForReading(CacheFileName(folderPath));
    if (!file)
        return;
    try {
        FileSource source(std::move(file));
        const long long length = source.Length();
        const unsigned char* view = length >= kHeaderSize ? source.View(0, kHeaderSize) : nullptr;
        unsigned header[16];
        if (!view)
            return;
        std::memcpy(header, view, sizeof header);
        const size_t count = header[2] / sizeof(CacheRecord);
        if (header[0] != kMagic || header[1] != kVersion || (long long)header[3] + header[2] > length
            || count > std::max(kUsualMostRecords, kRecordsPerEntry * entries))
            return;
        // The whole directory at once: a few megabytes, read in milliseconds.
        const unsigned char* directory = source.View(header[3], count * sizeof(CacheRecord));
        if (!directory)
            return;
        std::vector<CachedFacts> facts;
        facts.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const unsigned char* at = directory + i * sizeof(CacheRecord);
            CacheRecord record;
            std::memcpy(&record, at, sizeof record);
            const std::optional<HeaderFacts> known = RecordFacts(record);
            const char* path = reinterpret_cast<const char*>(at) + offsetof(CacheRecord, path);
            if (record.length == 0 || !known || path[0] == '|')
                continue;
            facts.push_back({std::string_view(path, strnlen(path, kPathSize)),
                             FILETIME{record.timeLow, record.timeHigh}, *known});
        }
        give(facts);
    } catch (const std::bad_alloc&) {
    }
}

CachedThumbnails ReadThumbnailCacheBytes(const unsigned char* data, size_t size,
                                         const std::unordered_set<std::wstring>& wanted, int box)
{
    MemorySource source(data, size);
    return ReadFrom(source, wanted, box, {});
}

// ---------------------------------------------------------------- CCachedCatalog

CCachedCatalog::CCachedCatalog(const CFolderEntry& folder) : CFolderCatalog(folder)
{
}
