#include "catalog/thumbnailcache.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "afxpath.h"
#include "filefind.h"
#include "imaging/jpegio.h"
#include "imaging/picture.h"
#include "shell/settings.h"


namespace {

constexpr unsigned kMagic = 'Q' | 'V' << 8 | 'L' << 16 | 'M' << 24;
// Files of earlier versions serve only entries that cannot be made again
// (offline), and the next write replaces them: 0x01000000 holds thumbnails
// shrunk by picking pixels, neither upright nor colour-managed; 0x01000001
// does not hold the pictures' facts, so a folder ordered by date would read
// every header again.
constexpr unsigned kVersion = 0x01000002;
constexpr long kHeaderSize = 64;
constexpr size_t kPathSize = 224;
// Earlier versions' records hold a path where the facts are now.
constexpr size_t kEarlierPathSize = 240;
// Where the header keeps the thumbnails' box; no file may claim more than
// the box of the largest display scale.
constexpr int kBoxWord = 4;
constexpr unsigned kLargestBox = kLargestThumbnailBox;
// Records any cache may hold whatever its folder lists now (4 MB of
// directory), and how many more than the folder's entries: room for a
// folder that has lost pictures since the file was written.
constexpr size_t kUsualMostRecords = 16384;
constexpr size_t kRecordsPerEntry = 16;
// The directory is read this many records at a time.
constexpr size_t kDirectoryPiece = 4096;
// A thumbnail's stream is a few kilobytes; anything far larger is damage.
constexpr unsigned kLargestStream = 64 * 1024;
// A cache file's name, and what the writer adds to it while writing
// (".<thread id>.partial"), within one file name of the file systems.
const std::string kExtension = ".tnc";
constexpr size_t kLongestPartialSuffix = 19;
constexpr size_t kLongestFileName = 255;
// A writer waits this long at most for another writer of the same file.
constexpr DWORD kWriteLockWait = 5000;

struct CacheRecord {
    unsigned length;
    unsigned offset;
    unsigned timeLow;
    unsigned timeHigh;
    char path[kPathSize];
    unsigned takenLow;
    unsigned takenHigh;
    unsigned width;
    unsigned height;
};
static_assert(sizeof(CacheRecord) == 256);

// Where a cache is read from. Each view is valid until the next one.
class CacheSource {
public:
    virtual ~CacheSource() = default;
    virtual long long Length() const = 0;
    // length bytes at offset; null when there are fewer.
    virtual const unsigned char* View(long long offset, size_t length) = 0;
};

// A cache file, read piece by piece into a buffer of its own.
class FileSource : public CacheSource {
public:
    explicit FileSource(FilePtr file) : m_file(std::move(file))
    {
        if (m_file && _fseeki64(m_file.get(), 0, SEEK_END) == 0)
            m_length = _ftelli64(m_file.get());
    }
    long long Length() const override { return m_length; }
    const unsigned char* View(long long offset, size_t length) override
    {
        if (offset < 0 || offset > m_length || (long long)length > m_length - offset)
            return nullptr;
        m_buffer.resize(length);
        if (_fseeki64(m_file.get(), offset, SEEK_SET) != 0
            || std::fread(m_buffer.data(), 1, length, m_file.get()) != length)
            return nullptr;
        return m_buffer.data();
    }

private:
    FilePtr m_file;
    long long m_length = -1;
    std::vector<unsigned char> m_buffer;
};

// A cache file's bytes in memory, read where they lie.
class MemorySource : public CacheSource {
public:
    MemorySource(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
    long long Length() const override { return (long long)m_size; }
    const unsigned char* View(long long offset, size_t length) override
    {
        if (offset < 0 || (unsigned long long)offset > m_size || length > m_size - (size_t)offset)
            return nullptr;
        return m_data + offset;
    }

private:
    const unsigned char* m_data;
    size_t m_size;
};

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
std::string RecordPath(const CacheRecord& record, size_t pathSize = kPathSize)
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

} // namespace

// ---------------------------------------------------------------- file names

std::string CacheFileName(const std::string& folderPath)
{
    std::string name = folderPath;
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
    const std::string hash = "_" + HashOf(NameKey(folderPath));
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

// ---------------------------------------------------------------- writing

namespace {

// Writers of one cache file, in this process or another, take turns.
class CacheWriteTurn {
public:
    explicit CacheWriteTurn(const std::string& fileName)
        : m_mutex(::CreateMutexW(nullptr, FALSE, AfxWide("Local\\Orlivane.ThumbnailCache." + HashOf(NameKey(fileName))).c_str()))
    {
        if (m_mutex) {
            const DWORD waited = ::WaitForSingleObject(m_mutex, kWriteLockWait);
            m_owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        }
    }
    ~CacheWriteTurn()
    {
        if (m_owned)
            ::ReleaseMutex(m_mutex);
        if (m_mutex)
            ::CloseHandle(m_mutex);
    }
    CacheWriteTurn(const CacheWriteTurn&) = delete;
    CacheWriteTurn& operator=(const CacheWriteTurn&) = delete;

    bool Taken() const { return m_owned; }

private:
    HANDLE m_mutex;
    bool m_owned = false;
};

// Gives the records without a stream what the folder's file holds for them.
void KeepWhatTheFileHolds(const std::string& folderPath, std::vector<ThumbnailRecord>& records, int box)
{
    std::unordered_set<std::wstring> lacking;
    for (const ThumbnailRecord& record : records) {
        if (record.placed && !record.jpeg)
            lacking.insert(NameKey(record.path));
    }
    if (lacking.empty())
        return;
    const CachedThumbnails held = ReadThumbnailCache(folderPath, lacking, box);
    for (ThumbnailRecord& record : records) {
        if (!record.placed || record.jpeg)
            continue;
        // Kept as it stands: a reader still compares its time with the
        // picture's. One of another box or version serves only offline.
        const auto found = held.find(NameKey(record.path));
        if (found == held.end() || !(found->second.current || record.offline))
            continue;
        record.jpeg = found->second.jpeg;
        if (found->second.current)
            record.time = found->second.time;
        if (!record.facts && found->second.ServesFacts(record.offline ? (unsigned)EntryOffline : 0u, record.time))
            record.facts = found->second.facts;
    }
}

} // namespace

ThumbnailRecord RecordOf(const std::string& path, FILETIME time, unsigned kind, const CThumbnail* thumbnail)
{
    ThumbnailRecord record{path, time, nullptr, thumbnail != nullptr, (kind & EntryOffline) != 0,
                           thumbnail ? thumbnail->Facts() : std::nullopt};
    if (thumbnail && (record.jpeg = thumbnail->Compressed())) {
        // A folder's picture is the file its thumbnail was made from.
        const FILETIME source = thumbnail->SourceTime();
        if (source.dwLowDateTime || source.dwHighDateTime)
            record.time = source;
    }
    return record;
}

void WriteThumbnailCache(const std::string& folderPath, std::vector<ThumbnailRecord> records, int box)
{
    const std::string name = CacheFileName(folderPath);
    const CacheWriteTurn turn(name);
    if (!turn.Taken())
        return;
    try {
        KeepWhatTheFileHolds(folderPath, records, box);
    } catch (const std::bad_alloc&) {
        return;  // rather no write than one that loses thumbnails
    }
    // Written beside the file and then put in its place, so that a reader,
    // another writer or the end of the program never meets half a file.
    char partial[32];
    std::snprintf(partial, sizeof partial, ".%lu.partial", (unsigned long)::GetCurrentThreadId());
    const std::string temporary = name + partial;
    bool written = false;
    if (FilePtr file = FilePtr(AfxOpenFile(temporary, "wb"))) {
        try {
            written = WriteRecords(file.get(), records, box);
        } catch (const std::bad_alloc&) {
        }
    }
    if (!written || !AfxMoveFileEx(temporary, name, MOVEFILE_REPLACE_EXISTING))
        AfxDeleteFile(temporary);
}

void RenameThumbnailRecord(const std::string& folderPath, const std::string& oldPath, const std::string& newPath)
{
    const std::string name = CacheFileName(folderPath);
    const CacheWriteTurn turn(name);
    if (!turn.Taken())
        return;
    // Only the paths change, in place: the file needs no copy to stay whole.
    FilePtr file(AfxOpenFile(name, "r+b"));
    unsigned header[16];
    // A file of an earlier version serves only offline entries, which are
    // not renamed.
    if (!file || std::fread(header, 1, sizeof header, file.get()) != sizeof header || header[0] != kMagic
        || header[1] != kVersion || header[2] / sizeof(CacheRecord) > kUsualMostRecords * kRecordsPerEntry)
        return;
    const size_t count = header[2] / sizeof(CacheRecord);
    const std::wstring oldKey = NameKey(RecordPathOf(oldPath));
    const std::wstring newKey = NameKey(RecordPathOf(newPath));
    const std::string newRecordPath = RecordPathOf(newPath);
    bool moved = false;
    std::vector<CacheRecord> piece;
    for (size_t first = 0; first < count; first += kDirectoryPiece) {
        piece.resize(std::min(kDirectoryPiece, count - first));
        const long long offset = header[3] + (long long)first * sizeof(CacheRecord);
        const size_t bytes = piece.size() * sizeof(CacheRecord);
        if (_fseeki64(file.get(), offset, SEEK_SET) != 0 || std::fread(piece.data(), 1, bytes, file.get()) != bytes)
            return;
        bool changed = false;
        for (CacheRecord& record : piece) {
            const std::wstring key = NameKey(RecordPath(record));
            if (key == oldKey && !moved) {
                std::memset(record.path, 0, kPathSize);
                std::memcpy(record.path, newRecordPath.data(), newRecordPath.size());
                moved = changed = true;
            } else if (key == newKey) {
                std::memset(record.path, 0, kPathSize);
                changed = true;
            }
        }
        if (changed && (_fseeki64(file.get(), offset, SEEK_SET) != 0
                        || std::fwrite(piece.data(), 1, bytes, file.get()) != bytes))
            return;
    }
}

// ---------------------------------------------------------------- CCachedCatalog

CCachedCatalog::CCachedCatalog(const CFolderEntry& folder) : CFolderCatalog(folder)
{
}
