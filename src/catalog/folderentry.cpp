#include "catalog/folderentry.h"

#include <cctype>
#include <mutex>

#include "catalog/picturekinds.h"
#include "afxpath.h"
#include "filefind.h"
#include "imaging/pixels.h"
#include "shell/shortcutlink.h"

namespace {

std::string DisplayNameOf(const std::string& path)
{
    const char* name = AfxFindFileName(path.c_str());
    const char* ext = AfxFindExtension(name);
    return std::string(name, ext);
}

} // namespace

bool HasExtension(const std::string& path, const char* ext)
{
    // Printable ASCII compares equal ignoring case exactly when it is equal
    // letter for letter; that test is far cheaper, and every listed file
    // takes it twice. Anything else gets the full comparison.
    const char* own = AfxFindExtension(path.c_str());
    const char* a = own;
    const char* b = ext;
    for (; *a && *b; ++a, ++b) {
        const unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
        if (x < 0x20 || x > 0x7E)
            return AfxCompareNoCase(own, ext) == 0;
        if (std::tolower(x) != std::tolower(y))
            return false;
    }
    if (*a && ((unsigned char)*a < 0x20 || (unsigned char)*a > 0x7E))
        return AfxCompareNoCase(own, ext) == 0;
    return *a == *b;
}

std::string JoinPattern(const std::string& folder, const char* pattern)
{
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        return folder + pattern;
    return folder + "\\" + pattern;
}

CFolderEntry::CFolderEntry(const std::string& path, const FILETIME* time, CFolderCatalog* owner)
    : m_path(path), m_displayName(DisplayNameOf(path)), m_owner(owner)
{
    if (time)
        m_time = m_listedTime = *time;
}

CFolderEntry::CFolderEntry(const CFolderEntry& other)
    : m_kind(other.m_kind), m_path(other.m_path), m_linkPath(other.m_linkPath),
      m_picturePath(other.m_picturePath), m_displayName(other.m_displayName),
      m_listed(other.m_listed), m_present(other.m_present), m_time(other.m_time),
      m_listedTime(other.m_listedTime), m_fileSize(other.m_fileSize), m_owner(other.m_owner)
{
}

CFolderEntry& CFolderEntry::operator=(const CFolderEntry& other)
{
    if (this != &other) {
        CFolderEntry copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CFolderEntry MakeEntry(const std::string& path, const FILETIME* time, CFolderCatalog* owner)
{
    return CFolderEntry(path, time, owner);
}

void CFolderEntry::Classify(const DWORD* listedAttributes)
{
    bool shortcut = false;
    if (HasExtension(m_path, ".lnk")) {
        CShortcutLink link(m_path);
        if (link.ResolveLink()) {
            m_linkPath = m_path;
            m_path = link.m_targetPath;
            m_kind = EntryShortcut;
            shortcut = true;
        }
    }
    const unsigned high = m_kind & 0xF0;

    DWORD attributes;
    if (listedAttributes && !shortcut) {
        attributes = *listedAttributes;
    } else {
        // A shortcut's thumbnail follows its target: the target's time is the entry's.
        WIN32_FILE_ATTRIBUTE_DATA data;
        attributes = AfxGetFileAttributesEx(m_path, &data)
                         ? data.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
        if (shortcut && attributes != INVALID_FILE_ATTRIBUTES) {
            m_time = data.ftLastWriteTime;
            m_fileSize = (ULONGLONG)data.nFileSizeHigh << 32 | data.nFileSizeLow;
        }
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            m_kind = EntryFolder;
            m_listed = true;
            m_fileSize = 0;
        } else {
            m_kind = EntryFile;
            m_listed = IsPicture(m_path);
            if (m_listed)
                m_picturePath = m_path;
        }
    } else if (m_kind == EntryShortcut && !m_path.empty() && m_path[0] != '\\'
               && AfxGetDriveType(m_path.substr(0, 3)) != DRIVE_FIXED) {
        // A target on a medium that is not there now: an offline folder, or
        // an offline picture when its name has an extension.
        const size_t slash = m_path.find_last_of('\\');
        const bool hasDot = m_path.find('.', slash == std::string::npos ? 0 : slash) != std::string::npos;
        if (!hasDot) {
            m_kind = EntryOffline | EntryFolder;
            m_listed = true;
        } else {
            m_kind = EntryOffline | EntryFile;
            m_listed = IsPicture(m_path);
        }
    } else {
        m_kind = EntryMissing;
    }
    m_kind |= high;
}

std::string FindFirstPicture(const std::string& folder, int depth, const std::function<bool()>& stop)
{
    if (depth <= 0)
        return {};
    CFileFind find;
    BOOL more = find.FindFile(JoinPattern(folder, "*.*").c_str());
    while (more) {
        if (stop && stop())
            return {};
        more = find.FindNextFile();
        if (find.IsDots())
            continue;
        if (find.IsDirectory()) {
            std::string found = FindFirstPicture(find.GetFilePath(), depth - 1, stop);
            if (!found.empty())
                return found;
        } else if (IsPicture(find.GetFileName())) {
            return find.GetFilePath();
        }
    }
    return {};
}

void CFolderEntry::FindFolderPicture()
{
    if (!m_picturePath.empty() || Kind() != EntryFolder)
        return;
    const std::string picture = FindFirstPicture(m_path, 2);
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool timed = !picture.empty()
                    && AfxGetFileAttributesEx(picture, &data);
    std::lock_guard guard(EntryLock());
    m_picturePath = picture;
    if (timed)
        m_time = data.ftLastWriteTime;
}

bool FolderHoldsPictures(const std::string& folder, const std::function<bool()>& stop)
{
    // No one pattern names every kind: names are tested up to the first picture.
    CFileFind find;
    BOOL more = find.FindFile(JoinPattern(folder, "*").c_str());
    while (more && !(stop && stop())) {
        more = find.FindNextFile();
        if (!find.IsDirectory() && IsPicture(find.GetFileName()))
            return true;
    }
    return false;
}

bool CFolderEntry::HasPictures()
{
    if (m_picturePresence == -1) {
        // A thumbnail maker may have looked already.
        const int known = m_thumbnail ? m_thumbnail->m_holdsPictures.load() : -1;
        m_picturePresence = known == -1 ? (FolderHoldsPictures(m_path) ? 0 : 1) : (known ? 0 : 1);
    }
    return m_picturePresence == 0;
}
