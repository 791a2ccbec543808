#include "catalog/thumbnailcache.h"

#include <algorithm>
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
// Files of earlier versions hold thumbnails shrunk by picking pixels,
// neither upright nor colour-managed: their records serve only entries that
// cannot be made again (offline), and the next write replaces them.
constexpr unsigned kVersion = 0x01000001;
constexpr long kHeaderSize = 64;
constexpr size_t kPathSize = 240;
// Where the header keeps the thumbnails' box, and the largest box a file
// may claim (a 90-pixel box at four times the design scale).
constexpr int kBoxWord = 4;
constexpr unsigned kLargestBox = 4 * kDesignThumbnailBox;
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

struct CacheRecord {
    unsigned length;
    unsigned offset;
    unsigned timeLow;
    unsigned timeHigh;
    char path[kPathSize];
};
static_assert(sizeof(CacheRecord) == 256);

long long FileLength(FILE* file)
{
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return -1;
    return _ftelli64(file);
}

// The folder's cache file, or null.
FilePtr OpenCacheFile(const std::string& name, const char* mode)
{
    return FilePtr(AfxOpenFile(name, mode));
}

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

// Reads length bytes at offset; false when the file has fewer.
bool ReadAt(FILE* file, long long offset, void* into, size_t length)
{
    return _fseeki64(file, offset, SEEK_SET) == 0 && std::fread(into, 1, length, file) == length;
}

// Where the wanted records' streams lie, read from the directory.
struct Found {
    std::wstring key;
    unsigned offset = 0;
    unsigned length = 0;
    FILETIME time{0, 0};
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

// A record's path as a string of at most its field's size.
std::string RecordPath(const CacheRecord& record)
{
    return std::string(record.path, strnlen(record.path, kPathSize));
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

CachedThumbnails ReadThumbnailCache(const std::string& folderPath, const std::unordered_set<std::wstring>& wanted,
                                    int box, const std::function<bool()>& stop)
{
    CachedThumbnails cached;
    const FilePtr file = OpenCacheFile(CacheFileName(folderPath), "rb");
    if (!file || wanted.empty())
        return cached;
    try {
        // Every size and offset is checked against the file's real length,
        // so a damaged file can cost thumbnails but never memory or time.
        const long long length = FileLength(file.get());
        unsigned header[16];
        if (length < kHeaderSize || !ReadAt(file.get(), 0, header, sizeof header))
            return cached;
        const unsigned directorySize = header[2];
        const unsigned directoryOffset = header[3];
        if (header[0] != kMagic || header[1] > kVersion)
            return cached;
        const unsigned fileBox = header[kBoxWord] ? header[kBoxWord] : (unsigned)kDesignThumbnailBox;
        if (fileBox > kLargestBox)
            return cached;
        // Thumbnails of another box (made at another display scale) are made again.
        const bool current = header[1] == kVersion && fileBox == (unsigned)box;
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
        std::vector<CacheRecord> piece(std::min(count, kDirectoryPiece));
        for (size_t first = 0; first < count; first += piece.size()) {
            if (stop && stop())
                return cached;
            const size_t records = std::min(piece.size(), count - first);
            if (!ReadAt(file.get(), directoryOffset + (long long)first * sizeof(CacheRecord), piece.data(),
                        records * sizeof(CacheRecord)))
                return cached;
            for (size_t i = 0; i < records; ++i) {
                const CacheRecord& record = piece[i];
                std::wstring key = NameKey(RecordPath(record));
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
                                 FILETIME{record.timeLow, record.timeHigh}});
            }
        }

        // The streams, in the order they lie in the file.
        std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.offset < b.offset; });
        for (Found& stream : found) {
            if (stop && stop())
                return cached;
            auto bytes = std::make_shared<ThumbnailBytes>(stream.length);
            if (!ReadAt(file.get(), stream.offset, bytes->data(), bytes->size()))
                continue;
            // A real cache holds only thumbnails: anything larger is refused.
            SIZE size{0, 0};
            if (!PeekJpegSize(bytes->data(), bytes->size(), &size) || size.cx <= 0 || size.cy <= 0
                || size.cx > (LONG)fileBox || size.cy > (LONG)fileBox)
                continue;
            cached[std::move(stream.key)] = CachedThumbnail{stream.time, current, std::move(bytes), size};
        }
    } catch (const std::bad_alloc&) {
        // Memory short: what was read stays, the rest is made anew.
    }
    return cached;
}

// ---------------------------------------------------------------- writing

ThumbnailRecord RecordOf(const std::string& path, FILETIME time, const CThumbnail* thumbnail)
{
    ThumbnailRecord record{path, time, nullptr, thumbnail != nullptr};
    if (thumbnail && (record.jpeg = thumbnail->Compressed())) {
        // A folder's picture is the file its thumbnail was made from.
        const FILETIME source = thumbnail->SourceTime();
        if (source.dwLowDateTime || source.dwHighDateTime)
            record.time = source;
    }
    return record;
}

void WriteThumbnailCache(const std::string& folderPath, const std::vector<ThumbnailRecord>& records, int box)
{
    const std::string name = CacheFileName(folderPath);
    // Written beside the file and then put in its place, so that a reader,
    // another writer or the end of the program never meets half a file.
    char partial[32];
    std::snprintf(partial, sizeof partial, ".%lu.partial", (unsigned long)::GetCurrentThreadId());
    const std::string temporary = name + partial;
    bool written = false;
    if (FilePtr file = OpenCacheFile(temporary, "wb")) {
        try {
            written = WriteRecords(file.get(), records, box);
        } catch (const std::bad_alloc&) {
        }
    }
    if (!written || !AfxMoveFileEx(temporary, name, MOVEFILE_REPLACE_EXISTING))
        AfxDeleteFile(temporary);
}

// ---------------------------------------------------------------- CCachedCatalog

CCachedCatalog::CCachedCatalog(const CFolderEntry& folder) : CFolderCatalog(folder)
{
}

bool CCachedCatalog::PrepareThumbnails(const std::function<bool()>& stop)
{
    // A folder of shortcuts to slow network folders takes its time here.
    std::unordered_set<std::wstring> wanted;
    for (CFolderEntry& entry : m_entries) {
        if (stop && stop())
            return false;
        entry.FindFolderPicture();
        wanted.insert(NameKey(entry.m_path));
    }
    const CachedThumbnails cached = ReadThumbnailCache(m_folder.m_path, wanted, m_box, stop);
    for (CFolderEntry& entry : m_entries) {
        // An entry that kept its picture through a refresh already shows what its record holds.
        if (!entry.m_thumbnail || entry.m_thumbnail->HasPicture())
            continue;
        const auto found = cached.find(NameKey(entry.m_path));
        if (found != cached.end() && found->second.Serves(entry.m_kind, entry.m_time)) {
            found->second.GiveTo(*entry.m_thumbnail);
        }
    }
    m_cacheDirty = false;
    return !stop || !stop();
}

void CCachedCatalog::SaveThumbnails()
{
    if (!m_cacheDirty)
        return;
    std::vector<ThumbnailRecord> records;
    records.reserve(m_entries.size());
    for (const CFolderEntry& entry : m_entries)
        records.push_back(RecordOf(entry.m_path, entry.m_time, entry.m_thumbnail.get()));
    WriteThumbnailCache(m_folder.m_path, records, m_box);
    m_cacheDirty = false;
}
