#include "catalog/foldercatalog.h"

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

// Finds, for a new entry, the first listed entry that compares equal to it
// by name, as a search from the front of the list would, without searching.
// Paths are keyed by their sort key. Irregular paths are rare: while any
// takes part, every lookup searches the list instead.
class NameIndex {
public:
    explicit NameIndex(std::list<CFolderEntry>& entries) : m_entries(entries)
    {
        for (auto it = entries.begin(); it != entries.end(); ++it)
            Add(it);
    }

    std::list<CFolderEntry>::iterator Find(const CFolderEntry& entry)
    {
        if (m_irregular || Irregular(entry)) {
            for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
                if (CompareByName(*it, entry) == 0)
                    return it;
            }
            return m_entries.end();
        }
        auto found = m_map.find(Key(entry));
        return found == m_map.end() ? m_entries.end() : found->second;
    }

    void Add(std::list<CFolderEntry>::iterator it)
    {
        if (Irregular(*it))
            m_irregular = true;
        else
            m_map.emplace(Key(*it), it);  // keeps the first of equal keys
    }

private:
    static std::string Key(const CFolderEntry& entry)
    {
        return (char)entry.Kind() + CaseInsensitiveSortKey(entry.m_path);
    }

    std::list<CFolderEntry>& m_entries;
    std::unordered_map<std::string, std::list<CFolderEntry>::iterator> m_map;
    bool m_irregular = false;
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

int CompareEntries(const CFolderEntry& a, const CFolderEntry& b)
{
    if (b.m_owner && b.m_owner->m_sortOrder == SortNewestFirst) {
        const ULONGLONG x = a.Time(), y = b.Time();
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
    // nor a comparison by name, which cost several times the listing.
    std::unordered_map<std::string_view, CFolderEntry*> asListed;
    asListed.reserve(m_entries.size());
    for (CFolderEntry& entry : m_entries) {
        if (entry.m_linkPath.empty())
            asListed.emplace(entry.m_path, &entry);
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
            if (found->m_kind != entry.m_kind || found->Time() != entry.Time()) {
                found->m_kind = entry.m_kind;
                found->m_time = entry.m_time;
                found->m_picturePath = entry.m_picturePath;
                if (found->m_thumbnail)
                    found->m_thumbnail->DiscardBitmap();
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

    // The list was sorted by the last refresh; the same entries in the same
    // order sort to the same list. The maximum count may have changed since.
    if (changed)
        Sort();
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
