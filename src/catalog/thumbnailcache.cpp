#include "catalog/thumbnailcache.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "filefind.h"
#include "imaging/jpegio.h"
#include "imaging/picture.h"
#include "shell/settings.h"

#include <jpeglib.h>

namespace {

constexpr unsigned kMagic = 'Q' | 'V' << 8 | 'L' << 16 | 'M' << 24;
// Files of earlier versions hold thumbnails shrunk by picking pixels,
// neither upright nor colour-managed: their records serve only entries that
// cannot be made again (offline), and the next write replaces them.
constexpr unsigned kVersion = 0x01000001;
constexpr long kHeaderSize = 64;
constexpr size_t kPathSize = 240;
constexpr int kLargestThumbnail = 90;
// Records any cache may hold whatever its folder lists now (4 MB of
// directory): room for a folder that has shrunk since the file was written.
constexpr size_t kUsualMostRecords = 16384;

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

// The size the stream at the file's position declares, read by the library
// itself; false when not even that can be read.
bool PeekJpegSize(FILE* file, SIZE* size)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    errors.error_exit = ThrowingErrorExit;
    bool ok = false;
    try {
        jpeg_create_decompress(&info);
        jpeg_stdio_src(&info, file);
        if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
            size->cx = (LONG)info.image_width;
            size->cy = (LONG)info.image_height;
            ok = true;
        }
    } catch (int) {
    }
    jpeg_destroy_decompress(&info);
    return ok;
}

// The folder's cache file, or null. Names past MAX_PATH are refused: some
// systems would write them, but Clear Cache could never delete them.
FILE* OpenCacheFile(const CFolderEntry& folder, const char* mode)
{
    const std::string name = CacheFileName(folder.m_path);
    return name.size() < MAX_PATH ? std::fopen(name.c_str(), mode) : nullptr;
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
        char volume[MAX_PATH], fileSystem[MAX_PATH];
        DWORD serial = 0, maxLength = 0, flags = 0;
        if (::GetVolumeInformationA(root.c_str(), volume, MAX_PATH, &serial, &maxLength, &flags,
                                    fileSystem, MAX_PATH)) {
            char prefix[16];
            std::snprintf(prefix, sizeof prefix, "%8.8lx_", (unsigned long)serial);
            name = prefix + name.substr(root.size());
        }
    }
    for (char& c : name) {
        if (c == ':' || c == '\\' || c == '/')
            c = '_';
    }
    return g_settings.CacheFolder + "\\" + name + ".tnc";
}

void ClearCache()
{
    const std::string& folder = g_settings.CacheFolder;
    const char* separator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/') ? "" : "\\";
    CFileFind find;
    BOOL more = find.FindFile((folder + separator + "*.tnc").c_str());
    while (more) {
        more = find.FindNextFile();
        if (!find.IsDirectory())
            ::DeleteFileA(find.GetFilePath().c_str());
    }
}

// ---------------------------------------------------------------- CThumbnailCache

CThumbnailCache::~CThumbnailCache()
{
    Close();
}

void CThumbnailCache::Close()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

void CThumbnailCache::ReadCache(const CFolderEntry& folder, const std::function<bool()>& stop)
{
    m_file = OpenCacheFile(folder, "rb");
    if (m_file) {
        try {
            ReadRecords(folder, stop);
        } catch (...) {
            // Memory short: the thumbnails taken so far stay, the rest are made anew.
        }
    }
    Close();
}

bool CThumbnailCache::ReadRecords(const CFolderEntry&, const std::function<bool()>& stop)
{
    // Every size and offset is checked against the file's real length, so
    // a damaged file can cost thumbnails but never memory or time.
    const long long length = FileLength(m_file);
    if (length < kHeaderSize || _fseeki64(m_file, 0, SEEK_SET) != 0)
        return false;
    if (std::fread(m_header, 1, sizeof m_header, m_file) != sizeof m_header)
        return false;
    const unsigned directorySize = m_header[2];
    const unsigned directoryOffset = m_header[3];
    if (m_header[0] != kMagic || m_header[1] > kVersion)
        return false;
    const bool current = m_header[1] == kVersion;
    if ((long long)directoryOffset + directorySize > length)
        return false;
    // The file was written with one record per entry: a directory far larger
    // than the folder's list is damage, refused before it costs memory.
    const size_t mostRecords = std::max(kUsualMostRecords, m_owner->m_entries.size());
    if (directorySize > mostRecords * sizeof(CacheRecord))
        return false;
    const size_t count = directorySize / sizeof(CacheRecord);
    if (m_directory.size() < directorySize)
        m_directory.resize(directorySize);
    if (_fseeki64(m_file, directoryOffset, SEEK_SET) != 0
        || std::fread(m_directory.data(), 1, directorySize, m_file) != directorySize)
        return false;
    const auto* records = reinterpret_cast<const CacheRecord*>(m_directory.data());

    // Each entry takes the first record of its path, compared as the file
    // system compares names; an index finds it without comparing the path
    // with every record.
    std::unordered_map<std::wstring, size_t> firstRecord;
    for (size_t i = 0; i < count; ++i)
        firstRecord.emplace(NameKey(RecordPath(records[i])), i);

    for (CFolderEntry& entry : m_owner->m_entries) {
        if (stop && stop())
            return false;
        const auto found = firstRecord.find(NameKey(entry.m_path));
        if (found == firstRecord.end())
            continue;
        const CacheRecord& record = records[found->second];
        const bool sameTime = record.timeLow == entry.m_time.dwLowDateTime
                           && record.timeHigh == entry.m_time.dwHighDateTime;
        if (!(sameTime && current) && !(entry.m_kind & EntryOffline))
            continue;
        // An entry that kept its bitmap through a refresh already shows what
        // its record holds.
        if (record.length == 0 || !entry.m_thumbnail || entry.m_thumbnail->Bitmap())
            continue;
        if ((long long)record.offset + record.length > length || record.offset < kHeaderSize)
            continue;
        if (_fseeki64(m_file, record.offset, SEEK_SET) != 0)
            return false;
        // A real cache holds only thumbnails: refuse anything larger before decoding it.
        SIZE size{0, 0};
        if (!PeekJpegSize(m_file, &size) || size.cx <= 0 || size.cy <= 0 || size.cx > kLargestThumbnail
            || size.cy > kLargestThumbnail)
            continue;
        if (_fseeki64(m_file, record.offset, SEEK_SET) != 0)
            return false;
        if (std::unique_ptr<CPixels> bitmap = DecodeJpegPixels(m_file, &size))
            entry.m_thumbnail->ReplaceBitmap(std::move(bitmap), size.cx, size.cy);
        else
            entry.m_thumbnail->DiscardBitmap();
    }
    return true;
}

void CThumbnailCache::WriteCache(const CFolderEntry& folder)
{
    m_file = OpenCacheFile(folder, "wb");
    if (m_file) {
        try {
            WriteRecords(folder);
        } catch (...) {
            // A library error while encoding (a full disk, say) ends the write.
        }
    }
    Close();
}

bool CThumbnailCache::WriteRecords(const CFolderEntry&)
{
    const std::list<CFolderEntry>& entries = m_owner->m_entries;
    const unsigned directorySize = (unsigned)(entries.size() * sizeof(CacheRecord));
    std::memset(m_header, 0, sizeof m_header);
    m_header[0] = kMagic;
    m_header[1] = kVersion;
    m_header[2] = directorySize;
    m_header[3] = kHeaderSize;
    if (std::fwrite(m_header, 1, sizeof m_header, m_file) != sizeof m_header)
        return false;

    if (m_directory.size() < directorySize)
        m_directory.resize(directorySize);
    std::fill(m_directory.begin(), m_directory.end(), 0);
    if (_fseeki64(m_file, kHeaderSize + directorySize, SEEK_SET) != 0)
        return false;

    auto* record = reinterpret_cast<CacheRecord*>(m_directory.data());
    for (const CFolderEntry& entry : entries) {
        record->timeLow = entry.m_time.dwLowDateTime;
        record->timeHigh = entry.m_time.dwHighDateTime;
        ::lstrcpynA(record->path, entry.m_path.c_str(), (int)kPathSize);
        if (entry.m_thumbnail) {
            record->offset = (unsigned)_ftelli64(m_file);
            if (const CPixels* bitmap = entry.m_thumbnail->Bitmap())
                EncodeJpeg(*bitmap, m_file);
            record->length = (unsigned)(_ftelli64(m_file) - record->offset);
        }
        ++record;
    }

    if (_fseeki64(m_file, kHeaderSize, SEEK_SET) != 0)
        return false;
    return std::fwrite(m_directory.data(), 1, directorySize, m_file) == directorySize;
}

// ---------------------------------------------------------------- CCachedCatalog

CCachedCatalog::CCachedCatalog(const CFolderEntry& folder) : CFolderCatalog(folder), m_cache(this)
{
}

bool CCachedCatalog::PrepareThumbnails(const std::function<bool()>& stop)
{
    // A folder of shortcuts to slow network folders takes its time here.
    for (CFolderEntry& entry : m_entries) {
        if (stop && stop())
            return false;
        entry.FindFolderPicture();
    }
    m_cache.ReadCache(m_folder, stop);
    m_cacheDirty = false;
    return !stop || !stop();
}

void CCachedCatalog::SaveThumbnails()
{
    if (m_cacheDirty) {
        m_cache.WriteCache(m_folder);
        m_cacheDirty = false;
    }
}
