#include "catalog/thumbnailcache.h"

#include <cstring>

#include "afxpath.h"
#include "catalog/cachefile.h"
#include "filefind.h"

using namespace cachefile;

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
    // A provisional picture has no stream: only real thumbnails are written.
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

