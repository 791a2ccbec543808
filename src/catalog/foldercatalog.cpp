#include "catalog/foldercatalog.h"

#include <shlwapi.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "afxpath.h"
#include "filefind.h"

namespace {

// What the order by name compares, widened once: the name shown, as
// Explorer compares names (runs of digits as numbers, case ignored), and for
// equal names the extension of the listed file.
struct LogicalName {
    explicit LogicalName(const CFolderEntry& entry)
        : name(AfxWide(entry.m_displayName)),
          extension(AfxWide(AfxFindExtension(AfxFindFileName(entry.ListedPath().c_str()))))
    {
    }

    std::wstring name;
    std::wstring extension;
};

// Negative when a comes before b.
int CompareLogical(const LogicalName& a, const LogicalName& b)
{
    const int byName = ::StrCmpLogicalW(a.name.c_str(), b.name.c_str());
    return byName ? byName : ::StrCmpLogicalW(a.extension.c_str(), b.extension.c_str());
}

// The date a picture was taken on, as its thumbnail knows it: until then,
// or when it does not say, the time its file was written.
ULONGLONG DateTaken(const CFolderEntry& entry)
{
    if (entry.m_thumbnail) {
        if (const std::optional<HeaderFacts> facts = entry.m_thumbnail->Facts(); facts && facts->taken)
            return facts->taken;
    }
    return entry.Time();
}

// What an order compares of one entry, taken once rather than at every
// comparison. Folders compare by name alone; other entries by name only on
// a tie, so their names are widened when one first needs it.
class SortKey {
public:
    SortKey(const CFolderEntry& entry, int order) : m_entry(&entry), m_folder(entry.IsFolder())
    {
        if (m_folder || order == SortByName) {
            m_name.emplace(entry);
            return;
        }
        switch (order) {
        case SortByDateTaken:    m_number = DateTaken(entry); break;
        case SortByDateModified: m_number = entry.Time(); break;
        case SortBySize:         m_number = entry.m_fileSize; break;
        case SortByType:         m_type = NameKey(AfxFindExtension(AfxFindFileName(entry.ListedPath().c_str()))); break;
        default:                 break;
        }
    }

    bool Folder() const { return m_folder; }
    ULONGLONG Number() const { return m_number; }
    const std::wstring& Type() const { return m_type; }
    const LogicalName& Name() const
    {
        if (!m_name)
            m_name.emplace(*m_entry);
        return *m_name;
    }

private:
    const CFolderEntry* m_entry;
    bool m_folder;
    ULONGLONG m_number = 0;
    std::wstring m_type;  // the extension, as the file system compares it
    mutable std::optional<LogicalName> m_name;
};

// Negative when a comes before b. Folders come first going up and last
// going down, as in Explorer, always by name going up among themselves.
int CompareKeys(const SortKey& a, const SortKey& b, int order, bool descending)
{
    if (a.Folder() != b.Folder())
        return a.Folder() != descending ? -1 : 1;
    if (!a.Folder()) {
        int by = 0;
        switch (order) {
        case SortByDateTaken:
        case SortByDateModified:
        case SortBySize:         by = a.Number() < b.Number() ? -1 : a.Number() > b.Number() ? 1 : 0; break;
        case SortByType:         by = a.Type().compare(b.Type()); break;
        default:                 by = CompareLogical(a.Name(), b.Name()); break;
        }
        if (by)
            return descending ? -by : by;
    }
    return CompareLogical(a.Name(), b.Name());
}

std::wstring ListedNameKey(const CFolderEntry& entry)
{
    return NameKey(AfxFindFileName(entry.ListedPath().c_str()));
}

// Finds, for a newly listed file, the entry that stands for it: the one of
// the same name. An entry stands for one file only, so a second file the
// key cannot tell apart (on a file system that tells case apart) gets one
// of its own; the entry spelled exactly like the file is preferred.
class NameIndex {
public:
    using It = std::list<CFolderEntry>::iterator;

    explicit NameIndex(std::list<CFolderEntry>& entries) : m_end(entries.end())
    {
        m_map.reserve(entries.size());
        for (auto it = entries.begin(); it != entries.end(); ++it)
            Add(it);
    }

    It Find(const CFolderEntry& entry)
    {
        It found = m_end;
        const auto [first, last] = m_map.equal_range(ListedNameKey(entry));
        for (auto candidate = first; candidate != last; ++candidate) {
            const It it = candidate->second;
            if (it->m_present)
                continue;  // already taken by another file of this listing
            if (it->ListedPath() == entry.ListedPath())
                return it;
            if (found == m_end)
                found = it;
        }
        return found;
    }

    void Add(It it) { m_map.emplace(ListedNameKey(*it), it); }

private:
    It m_end;
    std::unordered_multimap<std::wstring, It> m_map;
};

} // namespace

extern "C" NTSYSAPI WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);

std::wstring NameKey(const std::string& text)
{
    std::wstring key(text.size(), L'\0');
    // ASCII is itself in UTF-16, and its upper case is A to Z.
    size_t i = 0;
    for (; i < text.size() && (unsigned char)text[i] < 0x80; ++i) {
        const char c = text[i];
        key[i] = (wchar_t)(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
    }
    if (i == text.size())
        return key;
    // The table the file system and CompareStringOrdinal use for the rest.
    key = AfxWide(text);
    for (wchar_t& c : key)
        c = ::RtlUpcaseUnicodeChar(c);
    return key;
}

int CompareEntries(const CFolderEntry& a, const CFolderEntry& b)
{
    const int order = b.m_owner ? b.m_owner->m_sortOrder : SortByName;
    if (order == SortNewestFirst) {
        const ULONGLONG x = a.ListedTime(), y = b.ListedTime();
        return x > y ? 1 : x < y ? -1 : 0;
    }
    const bool descending = b.m_owner && b.m_owner->m_descending;
    return -CompareKeys(SortKey(a, order), SortKey(b, order), order, descending);
}

CFolderCatalog::CFolderCatalog(const CFolderEntry& folder) : m_folder(folder)
{
}

bool CFolderCatalog::Refresh(const std::function<bool()>& stop)
{
    for (CFolderEntry& entry : m_entries)
        entry.m_present = false;
    bool changed = false;

    // A file listed again as it was, under the same name, kind and time, is
    // the same entry: found by its exact path, it needs neither classifying
    // nor a comparison by name, which cost several times the listing. The
    // keys' text is a copy in one piece: the merge below gives entries other
    // paths, and a key into an entry's own path would then dangle.
    std::string keyText;
    for (const CFolderEntry& entry : m_entries) {
        if (entry.m_linkPath.empty())
            keyText += entry.m_path;
    }
    std::unordered_map<std::string_view, CFolderEntry*> asListed;
    asListed.reserve(m_entries.size());
    size_t keyStart = 0;
    for (CFolderEntry& entry : m_entries) {
        if (entry.m_linkPath.empty()) {
            asListed.emplace(std::string_view(keyText).substr(keyStart, entry.m_path.size()), &entry);
            keyStart += entry.m_path.size();
        }
    }
    // Entries are matched by name whatever the catalog's own order; the
    // index is made when the first name needs it.
    std::optional<NameIndex> index;

    CFileFind find;
    BOOL more = find.FindFile(JoinPattern(m_folder.m_path, "*.*").c_str());
    bool stopped = false;
    while (more) {
        if (stop && stop()) {
            stopped = true;
            break;
        }
        more = find.FindNextFile();
        if (find.IsDots())
            continue;
        FILETIME time;
        find.GetLastWriteTime(&time);
        std::string path = find.GetFilePath();
        const DWORD attributes = find.GetAttributes();
        if (const auto same = asListed.find(path); same != asListed.end()) {
            CFolderEntry& entry = *same->second;
            const unsigned kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryFolder : EntryFile;
            if (!entry.m_present && entry.m_kind == kind && entry.m_time.dwLowDateTime == time.dwLowDateTime
                && entry.m_time.dwHighDateTime == time.dwHighDateTime) {
                entry.m_present = true;
                continue;
            }
        }
        CFolderEntry entry = MakeEntry(path, &time, this);
        entry.m_fileSize = find.GetLength();
        entry.Classify(&attributes);
        if (!entry.m_listed)
            continue;

        if (!index)
            index.emplace(m_entries);
        auto found = index->Find(entry);
        if (found != m_entries.end()) {
            found->m_present = true;
            // What the thumbnail shows changed: it is made again.
            if (found->m_kind != entry.m_kind || found->Time() != entry.Time() || found->m_path != entry.m_path) {
                found->m_kind = entry.m_kind;
                found->m_time = entry.m_time;
                found->m_path = entry.m_path;
                found->m_picturePath = entry.m_picturePath;
                if (found->m_thumbnail)
                    found->m_thumbnail->DiscardBitmap();
                changed = true;
            }
            // A shortcut written again, or a name whose case changed.
            if (found->ListedTime() != entry.ListedTime() || found->m_linkPath != entry.m_linkPath
                || found->m_displayName != entry.m_displayName || found->m_fileSize != entry.m_fileSize) {
                found->m_listedTime = entry.m_listedTime;
                found->m_fileSize = entry.m_fileSize;
                found->m_linkPath = entry.m_linkPath;
                found->m_displayName = entry.m_displayName;
                changed = true;
            }
        } else {
            m_entries.push_back(std::move(entry));
            index->Add(std::prev(m_entries.end()));
            changed = true;
        }
    }

    find.Close();  // the folder is let go of at once
    if (stopped) {
        for (CFolderEntry& entry : m_entries)
            entry.m_present = true;
    }
    const size_t before = m_entries.size();
    m_entries.remove_if([](const CFolderEntry& entry) { return !entry.m_present; });
    changed |= m_entries.size() != before;

    // A list that did not change is still in order.
    if (changed || m_sortedBy != m_sortOrder || m_sortedDescending != m_descending)
        Sort();
    changed |= Truncate();
    return changed;
}

void CFolderCatalog::Sort()
{
    m_sortedBy = m_sortOrder;
    m_sortedDescending = m_descending;
    if (m_sortOrder == SortNewestFirst) {
        m_entries.sort([](const CFolderEntry& x, const CFolderEntry& y) { return CompareEntries(y, x) < 0; });
        return;
    }
    // Each key is taken once, the name widened once, rather than at every
    // comparison: the dates taken under the lock the makers write them in.
    struct Keyed {
        SortKey key;
        std::list<CFolderEntry>::iterator it;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(m_entries.size());
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        keyed.push_back({SortKey(*it, m_sortOrder), it});
    const int order = m_sortOrder;
    const bool descending = m_descending;
    const auto before = [order, descending](const Keyed& x, const Keyed& y) {
        return CompareKeys(x.key, y.key, order, descending) < 0;
    };
    // A refresh keeps its entries in order and adds new ones after them:
    // only those are sorted, then merged in, which is the same stable order.
    const auto sorted = std::is_sorted_until(keyed.begin(), keyed.end(), before);
    std::stable_sort(sorted, keyed.end(), before);
    std::inplace_merge(keyed.begin(), sorted, keyed.end(), before);
    for (Keyed& item : keyed)
        m_entries.splice(m_entries.end(), m_entries, item.it);
}

bool CFolderCatalog::Truncate()
{
    if (m_maxCount == INT_MAX || (int)m_entries.size() <= m_maxCount)
        return false;
    while ((int)m_entries.size() > m_maxCount && !m_entries.empty())
        m_entries.pop_back();
    return true;
}
