#include "catalog/foldercatalog.h"

#include <shlwapi.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "filefind.h"

namespace {

bool StartsWithDigit(const std::string& path)
{
    return !path.empty() && std::isdigit((unsigned char)path[0]);
}

int CompareByName(const CFolderEntry& a, const CFolderEntry& b)
{
    if (a.Kind() != b.Kind())
        return b.IsFolder() ? -1 : 1;
    if (a.m_path.empty() || b.m_path.empty())
        return 0;
    if (StartsWithDigit(a.m_path) && StartsWithDigit(b.m_path)) {
        const int x = std::atoi(a.m_path.c_str());
        const int y = std::atoi(b.m_path.c_str());
        return x < y ? 1 : x > y ? -1 : 0;
    }
    return ::lstrcmpiA(b.m_path.c_str(), a.m_path.c_str());
}

// Paths that compare by other rules than their text: empty ones, and ones
// starting with a digit (compared by their leading number).
bool Irregular(const CFolderEntry& entry)
{
    return entry.m_path.empty() || StartsWithDigit(entry.m_path);
}

std::wstring ListedNameKey(const CFolderEntry& entry)
{
    return NameKey(::PathFindFileNameA(entry.ListedPath().c_str()));
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

// The path is widened first with the program's code page, as that
// comparison does; the narrow form may assume another code page.
std::string CaseInsensitiveSortKey(const std::string& path)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide((size_t)std::max(length, 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int size = ::LCMapStringW(LOCALE_USER_DEFAULT, flags, wide.c_str(), -1, nullptr, 0);
    std::string key((size_t)std::max(size, 0), '\0');
    if (size > 0)
        ::LCMapStringW(LOCALE_USER_DEFAULT, flags, wide.c_str(), -1, reinterpret_cast<LPWSTR>(key.data()), size);
    return key;
}

extern "C" NTSYSAPI WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);

std::wstring NameKey(const std::string& text)
{
    std::wstring key(text.size(), L'\0');
    // ASCII is itself in every code page, and its upper case is A to Z.
    size_t i = 0;
    for (; i < text.size() && (unsigned char)text[i] < 0x80; ++i) {
        const char c = text[i];
        key[i] = (wchar_t)(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
    }
    if (i == text.size())
        return key;
    // The table the file system and CompareStringOrdinal use for the rest.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
    key.assign((size_t)std::max(length, 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), key.data(), length);
    for (wchar_t& c : key)
        c = ::RtlUpcaseUnicodeChar(c);
    return key;
}

int CompareEntries(const CFolderEntry& a, const CFolderEntry& b)
{
    if (b.m_owner && b.m_owner->m_sortOrder == SortNewestFirst) {
        const ULONGLONG x = a.ListedTime(), y = b.ListedTime();
        return x > y ? 1 : x < y ? -1 : 0;
    }
    return CompareByName(a, b);
}

CFolderCatalog::CFolderCatalog(const CFolderEntry& folder) : m_folder(folder)
{
}

bool CFolderCatalog::Refresh()
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
    while (more) {
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
                || found->m_displayName != entry.m_displayName) {
                found->m_listedTime = entry.m_listedTime;
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

    const size_t before = m_entries.size();
    m_entries.remove_if([](const CFolderEntry& entry) { return !entry.m_present; });
    changed |= m_entries.size() != before;

    // A list that did not change is still in order.
    if (changed || m_sortedBy != m_sortOrder)
        Sort();
    m_sortedBy = m_sortOrder;
    Truncate();
    return changed;
}

void CFolderCatalog::Sort()
{
    const auto before = [](const CFolderEntry& x, const CFolderEntry& y) { return CompareEntries(y, x) < 0; };
    const bool irregular = std::any_of(m_entries.begin(), m_entries.end(), Irregular);
    if (m_sortOrder != SortByName || irregular) {
        m_entries.sort(before);
        return;
    }
    // By name, comparing precomputed sort keys gives the same stable order
    // as comparing the paths each time, without a string comparison per step.
    using Keyed = std::pair<std::string, std::list<CFolderEntry>::iterator>;
    std::vector<Keyed> keyed;
    keyed.reserve(m_entries.size());
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        keyed.emplace_back((it->IsFolder() ? '\0' : '\1') + CaseInsensitiveSortKey(it->m_path), it);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& x, const Keyed& y) { return x.first < y.first; });
    for (Keyed& item : keyed)
        m_entries.splice(m_entries.end(), m_entries, item.second);
}

void CFolderCatalog::Truncate()
{
    if (m_maxCount == INT_MAX)
        return;
    while ((int)m_entries.size() > m_maxCount && !m_entries.empty())
        m_entries.pop_back();
}
