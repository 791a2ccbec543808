// The thumbnail cache: one file per folder in the cache folder, holding the
// folder's thumbnails as small JPEG streams tagged with the path and time of
// the picture each was made from.
//
// File layout, little-endian 32-bit numbers:
//   0   header, 64 bytes: "QVLM", version 0x01000002, directory size
//       (records x 256), directory offset (64), the box the thumbnails
//       were made for (0: 90, as in files of earlier versions), zeros
//   64  directory: one 256-byte record per catalog entry, in list order:
//       0   data length, data offset, time low, time high
//       16  path (224 bytes, UTF-8, at most 223 bytes, NUL-padded; a
//           longer path as "|" and 16 hex digits of the FNV-1a 64 hash of
//           its NameKey's UTF-8)
//       240 the picture's header facts: taken low, taken high (a FILETIME
//           value on the camera's clock, 0: no date), upright width and
//           height (0 by 0: the facts were not known when it was written)
//   then the JPEG streams in record order
// Files of version 0x01000001 have the same header and records with a
// 240-byte path and no facts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "catalog/foldercatalog.h"

// A thumbnail as the cache holds it.
struct CachedThumbnail {
    FILETIME time{0, 0};  // of the file it was made from
    bool current = false; // written by this version, not only good for offline entries
    std::shared_ptr<const ThumbnailBytes> jpeg;
    SIZE size{0, 0};
    // The facts of the file it was made from, when its record has them;
    // they hold for the file whatever the thumbnail's box.
    std::optional<HeaderFacts> facts;

    // Whether it shows what an entry of that kind and time shows now.
    bool Serves(unsigned kind, FILETIME entryTime) const;
    // Whether its facts are those of an entry of that kind and time now.
    bool ServesFacts(unsigned kind, FILETIME entryTime) const;
    // Gives thumbnail this picture and its facts. One that is not current
    // has no known source, so that it is never written back as if it were.
    void GiveTo(CThumbnail& thumbnail) const
    {
        thumbnail.SetCompressed(jpeg, size.cx, size.cy, current ? time : FILETIME{0, 0});
        if (facts)
            thumbnail.SetFacts(*facts);
    }
};
// Keyed by NameKey of the path each was made for.
using CachedThumbnails = std::unordered_map<std::wstring, CachedThumbnail>;

// A picture's facts as a record of the cache file's directory holds them,
// with the path as written (a view into the directory).
struct CachedFacts {
    std::string_view path;
    FILETIME time{0, 0};  // of the file they were read from
    HeaderFacts facts;

    // Whether they are those of an entry of that kind and time now.
    bool Serves(unsigned kind, FILETIME entryTime) const;
};

// The first record of each wanted path (NameKey) in the folder's cache file.
// Fails quietly: a damaged file gives what was read before the damage, a
// stop what was read before it. What is read is bounded by what the file
// holds and by a multiple of the wanted paths, so no file can exhaust
// memory or time. The file is opened so that a writer may replace it
// meanwhile.
// Thumbnails made for another box than box serve only entries that cannot
// be made again (offline).
CachedThumbnails ReadThumbnailCache(const std::string& folderPath, const std::unordered_set<std::wstring>& wanted,
                                    int box, const std::function<bool()>& stop = {});
// Reads only the directory of the folder's cache file, for a folder of
// entries, and gives every record's facts, in record order, to give (the
// paths' views last as long as the call). Reading every stream takes many
// times longer, and an order by date needs none of them. Records of long
// paths and of files of other versions give none; the directory is bounded
// as ReadThumbnailCache bounds it. Fails quietly.
void ReadCachedFacts(const std::string& folderPath, size_t entries,
                     const std::function<void(const std::vector<CachedFacts>&)>& give);
// The same from a cache file's bytes in memory, read where they lie.
CachedThumbnails ReadThumbnailCacheBytes(const unsigned char* data, size_t size,
                                         const std::unordered_set<std::wstring>& wanted, int box);

// One entry as written, in list order: its path, the time of the file its
// thumbnail was made from, and the thumbnail's stream (none: an empty record).
struct ThumbnailRecord {
    std::string path;
    FILETIME time{0, 0};
    std::shared_ptr<const ThumbnailBytes> jpeg;
    bool placed = true;    // false: the entry had no thumbnail object, its record no stream place
    bool offline = false;  // its picture cannot be read now: any thumbnail of it will do
    std::optional<HeaderFacts> facts = std::nullopt;  // of the picture at time
};
// The record of an entry of that path, time and kind, as its thumbnail (if
// any) holds it now, with its facts.
ThumbnailRecord RecordOf(const std::string& path, FILETIME time, unsigned kind, const CThumbnail* thumbnail);
// Replaces the folder's cache file, whole or not at all, as thumbnails of
// box. A record without a stream keeps what the file holds for it, so
// that writers of one folder (a page that went and its successor, two
// windows) never lose each other's thumbnails; they write one at a time.
// Fails quietly.
void WriteThumbnailCache(const std::string& folderPath, std::vector<ThumbnailRecord> records, int box);

// A file of the folder renamed by the program keeps its thumbnail: its
// record in the folder's cache file takes the new path at once, and a
// record the new path had before (of a file since gone) is emptied, so that
// the new name finds the renamed picture's thumbnail. Fails quietly.
void RenameThumbnailRecord(const std::string& folderPath, const std::string& oldPath, const std::string& newPath);

// A folder catalog whose thumbnails are kept in the cache: the thumbnail
// makers read and write its file.
class CCachedCatalog : public CFolderCatalog {
public:
    explicit CCachedCatalog(const CFolderEntry& folder);
};

// The cache file of the folder at path.
std::string CacheFileName(const std::string& folderPath);
// Deletes every cache file, and any left half-written.
void ClearCache();
