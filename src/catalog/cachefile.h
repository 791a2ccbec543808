// The cache file's layout and the pieces its reader and writer share;
// for thumbnailcache*.cpp alone (the layout is documented in thumbnailcache.h).
#pragma once

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "catalog/thumbnailcache.h"
#include "imaging/jpegio.h"

namespace cachefile {

inline constexpr unsigned kMagic = 'Q' | 'V' << 8 | 'L' << 16 | 'M' << 24;
// Files of earlier versions serve only entries that cannot be made again
// (offline), and the next write replaces them: 0x01000000 holds thumbnails
// shrunk by picking pixels, neither upright nor colour-managed; 0x01000001
// does not hold the pictures' facts, so a folder ordered by date would read
// every header again.
inline constexpr unsigned kVersion = 0x01000002;
inline constexpr long kHeaderSize = 64;
inline constexpr size_t kPathSize = 224;
// Earlier versions' records hold a path where the facts are now.
inline constexpr size_t kEarlierPathSize = 240;
// Where the header keeps the thumbnails' box; no file may claim more than
// the box of the largest display scale.
inline constexpr int kBoxWord = 4;
inline constexpr unsigned kLargestBox = kLargestThumbnailBox;
// Records any cache may hold whatever its folder lists now (4 MB of
// directory), and how many more than the folder's entries: room for a
// folder that has lost pictures since the file was written.
inline constexpr size_t kUsualMostRecords = 16384;
inline constexpr size_t kRecordsPerEntry = 16;
// The directory is read this many records at a time.
inline constexpr size_t kDirectoryPiece = 4096;
// A thumbnail's stream is a few kilobytes; anything far larger is damage.
inline constexpr unsigned kLargestStream = 64 * 1024;
// A cache file's name, and what the writer adds to it while writing
// (".<thread id>.partial"), within one file name of the file systems.
inline const std::string kExtension = ".tnc";
inline constexpr size_t kLongestPartialSuffix = 19;
inline constexpr size_t kLongestFileName = 255;
// A writer waits this long at most for another writer of the same file.
inline constexpr DWORD kWriteLockWait = 5000;

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

// The hex digits of the FNV-1a 64 hash of key's UTF-8: the same on every
// run and every system.
std::string HashOf(const std::wstring& key);
// The path as a record holds it: a path too long for its field as a stand-in.
std::string RecordPathOf(const std::string& path);
// A record's path as a string of at most its field's size, which a file
// of an earlier version has larger.
std::string RecordPath(const CacheRecord& record, size_t pathSize = kPathSize);
// The facts a record of this version holds, when it holds any.
std::optional<HeaderFacts> RecordFacts(const CacheRecord& record);
// Writes the records' file; false when any write fails.
bool WriteRecords(FILE* file, const std::vector<ThumbnailRecord>& records, int box);

} // namespace cachefile
