// The thumbnail cache: one file per folder in the cache folder, holding the
// folder's thumbnails as small JPEG streams tagged with the path and time of
// the picture each was made from.
//
// File layout, little-endian 32-bit numbers:
//   0   header, 64 bytes: "QVLM", version 0x01000001, directory size
//       (records x 256), directory offset (64), zeros
//   64  directory: one 256-byte record per catalog entry, in list order:
//       data length, data offset, time low, time high, path (240 bytes,
//       at most 239 characters, NUL-padded)
//   then the JPEG streams in record order
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "catalog/foldercatalog.h"

class CCachedCatalog;

class CThumbnailCache {
public:
    explicit CThumbnailCache(CCachedCatalog* owner) : m_owner(owner) {}
    virtual ~CThumbnailCache();
    CThumbnailCache(const CThumbnailCache&) = delete;
    CThumbnailCache& operator=(const CThumbnailCache&) = delete;

    // Gives the owner's entries whose picture is unchanged (or offline)
    // their cached thumbnails. Fails quietly.
    // Gives up between entries when stop says so.
    void ReadCache(const CFolderEntry& folder, const std::function<bool()>& stop = {});
    // Replaces the folder's cache file with the owner's thumbnails. Fails quietly.
    void WriteCache(const CFolderEntry& folder);

private:
    void Close();
    bool ReadRecords(const CFolderEntry& folder, const std::function<bool()>& stop);
    bool WriteRecords(const CFolderEntry& folder);

    CCachedCatalog* m_owner;           // not owned
    FILE* m_file = nullptr;            // open only during a read or a write
    unsigned m_header[16] = {};
    std::vector<unsigned char> m_directory;
};

class CCachedCatalog : public CFolderCatalog {
public:
    explicit CCachedCatalog(const CFolderEntry& folder);

    // Before making thumbnails: find the folders' pictures, then take what
    // the cache holds. Gives up between entries when stop says so, and then
    // returns false.
    bool PrepareThumbnails(const std::function<bool()>& stop = {});
    // After making thumbnails: write the cache if any was made.
    void SaveThumbnails();

    CThumbnailCache m_cache;
    bool m_cacheDirty = false;
};

// The cache file of the folder at path.
std::string CacheFileName(const std::string& folderPath);
// Deletes every cache file.
void ClearCache();
