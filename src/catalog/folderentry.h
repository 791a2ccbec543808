// One listed folder, picture or shortcut, and the thumbnail shown for it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "imaging/pixels.h"
#include "thread.h"

class CFolderCatalog;
class CFolderEntry;
class CPictureBitmap;

// Kind flags: the low four bits say what the entry is, the high bits how it was reached.
enum : unsigned {
    EntryFile = 0x01,
    EntryFolder = 0x02,
    EntryMissing = 0x04,
    EntryShortcut = 0x10,
    EntryOffline = 0x20,
    EntryKindMask = 0x0F,
};

// Guards what a thumbnail worker writes into entries that the user-interface
// thread reads meanwhile: thumbnail bitmaps, sizes and cells, and the picture
// paths and times of folder entries. Process-wide, so that it outlives every
// page whose thumbnails are released while the program is torn down.
CCriticalSection& EntryLock();
extern CCriticalSection g_thumbnailLock;  // EntryLock(); constructed with the other process-wide objects

// The thumbnail of a shown entry. Its bitmap is made on a worker thread while
// the user-interface thread paints it: a bitmap changes, and is drawn, only
// under EntryLock(), so a painted bitmap is never deleted under the painter.
// The bitmap is plain memory, not a GDI object, so that a folder of any size
// holds no more GDI objects than an empty one.
class CThumbnail {
public:
    CThumbnail() = default;
    virtual ~CThumbnail();
    CThumbnail(const CThumbnail&) = delete;
    CThumbnail& operator=(const CThumbnail&) = delete;

    void DiscardBitmap() { ReplaceBitmap(nullptr); }
    // Takes bitmap; with a size, sets it too.
    void ReplaceBitmap(std::unique_ptr<CPixels> bitmap);
    void ReplaceBitmap(std::unique_ptr<CPixels> bitmap, int width, int height);
    const CPixels* Bitmap() const { return m_bitmap; }

    // Makes the bitmap from the entry's picture, fitted into 90 by 90, unless
    // there is one already. Throws the Win32 error code of a picture file
    // that cannot be opened. A maker of many thumbnails passes the picture
    // it decodes into each time, and a stop request, which leaves the
    // thumbnail as it was and returns false. Defined with the picture code.
    bool LoadBitmap(const CFolderEntry& entry, CPictureBitmap* scratch = nullptr,
                    const std::function<bool()>& stop = {});

    RECT m_cell{0, 0, 0, 0};  // page coordinates, empty until laid out
    int m_width = 90;
    int m_height = 90;

private:
    std::atomic<CPixels*> m_bitmap{nullptr};  // owned
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
    std::unique_ptr<CThumbnail> m_thumbnail;
    bool m_present = true;      // mark used while refreshing
    // What the thumbnail shows was last written then: the picture, a
    // reachable shortcut's target, a folder's picture once found.
    FILETIME m_time{0, 0};
    FILETIME m_listedTime{0, 0};  // the listed file's own time; orders newest first
    CFolderCatalog* m_owner = nullptr;  // whose sort order comparisons use
    int m_picturePresence = -1; // -1 unknown, 0 holds pictures, 1 holds none
};

CFolderEntry MakeEntry(const std::string& path, const FILETIME* time, CFolderCatalog* owner);

// The first picture file (IsPicture) in folder, in enumeration order, looking
// depth levels deep (depth 2: the folder and its immediate subfolders); empty
// when none.
std::string FindFirstPicture(const std::string& folder, int depth);

// Whether the extension of path is ext, ignoring case.
bool HasExtension(const std::string& path, const char* ext);
// folder with a separator before a pattern, unless it ends with one.
std::string JoinPattern(const std::string& folder, const char* pattern);
