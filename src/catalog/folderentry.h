// One listed folder, picture or shortcut, and the thumbnail shown for it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "catalog/thumbnail.h"

class CFolderCatalog;

// Kind flags: the low four bits say what the entry is, the high bits how it was reached.
enum : unsigned {
    EntryFile = 0x01,
    EntryFolder = 0x02,
    EntryMissing = 0x04,
    EntryShortcut = 0x10,
    EntryOffline = 0x20,
    EntryKindMask = 0x0F,
};

class CFolderEntry {
public:
    // An unclassified entry for path; the display name comes from the path.
    CFolderEntry(const std::string& path, const FILETIME* time, CFolderCatalog* owner);
    virtual ~CFolderEntry() = default;
    // A copy has no thumbnail and does not know yet whether it holds pictures.
    CFolderEntry(const CFolderEntry& other);
    CFolderEntry& operator=(const CFolderEntry& other);
    CFolderEntry(CFolderEntry&&) = default;
    CFolderEntry& operator=(CFolderEntry&&) = default;

    // Resolves a shortcut and decides kind, listed and picture path. A
    // listing passes the attributes it found, which stand for the entry's
    // own file (not a shortcut's target) and save asking the file system.
    void Classify(const DWORD* listedAttributes = nullptr);
    // For a folder without a picture: the first picture within two levels,
    // whose time becomes the entry's. Both are written under EntryLock().
    void FindFolderPicture();
    // Whether the folder itself holds a picture file of any kind; asked once.
    bool HasPictures();

    unsigned Kind() const { return m_kind & EntryKindMask; }
    bool IsFile() const { return Kind() == EntryFile; }
    bool IsFolder() const { return Kind() == EntryFolder; }
    ULONGLONG Time() const { return ((ULONGLONG)m_time.dwHighDateTime << 32) | m_time.dwLowDateTime; }
    ULONGLONG ListedTime() const
    {
        return ((ULONGLONG)m_listedTime.dwHighDateTime << 32) | m_listedTime.dwLowDateTime;
    }
    // The file the folder listing found: the shortcut itself for a shortcut.
    const std::string& ListedPath() const { return m_linkPath.empty() ? m_path : m_linkPath; }

    unsigned m_kind = 0;
    std::string m_path;         // for a resolved shortcut, the target
    std::string m_linkPath;     // the .lnk file the entry came from, else empty
    std::string m_picturePath;  // the picture its thumbnail is made from
    std::string m_displayName;  // the caption
    bool m_listed = false;
    // Shared with the thumbnail makers, which may still finish one after
    // its entry has gone.
    std::shared_ptr<CThumbnail> m_thumbnail;
    bool m_present = true;      // mark used while refreshing
    // What the thumbnail shows was last written then: the picture, a
    // reachable shortcut's target, a folder's picture once found.
    FILETIME m_time{0, 0};
    FILETIME m_listedTime{0, 0};  // the listed file's own time; orders newest first
    ULONGLONG m_fileSize = 0;     // of the picture file; 0 for folders
    CFolderCatalog* m_owner = nullptr;  // whose sort order comparisons use
    int m_picturePresence = -1; // -1 unknown, 0 holds pictures, 1 holds none
};

CFolderEntry MakeEntry(const std::string& path, const FILETIME* time, CFolderCatalog* owner);

// The first picture file (IsPicture) in folder, in enumeration order, looking
// depth levels deep (depth 2: the folder and its immediate subfolders); empty
// when none, or when stop says so before one is found.
std::string FindFirstPicture(const std::string& folder, int depth, const std::function<bool()>& stop = {});

// Whether folder itself (not its subfolders) holds a picture file of any
// kind; false as well when stop says so first.
bool FolderHoldsPictures(const std::string& folder, const std::function<bool()>& stop = {});

// Whether the extension of path is ext, ignoring case.
bool HasExtension(const std::string& path, const char* ext);
// folder with a separator before a pattern, unless it ends with one.
std::string JoinPattern(const std::string& folder, const char* pattern);
