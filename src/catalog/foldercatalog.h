// The sorted list of what one folder shows: its subfolders, its pictures
// and the shortcuts to such folders and pictures.
#pragma once

#include <climits>
#include <functional>
#include <list>
#include <string>

#include "catalog/folderentry.h"

// What a folder page orders by. SortNewestFirst is the History's own.
enum SortOrder {
    SortByName = 0,
    SortByDateTaken = 1,
    SortByDateModified = 2,
    SortNewestFirst = 3,
    SortBySize = 4,
    SortByType = 5,
};

class CFolderCatalog {
public:
    explicit CFolderCatalog(const CFolderEntry& folder);
    virtual ~CFolderCatalog() = default;
    CFolderCatalog(const CFolderCatalog&) = delete;
    CFolderCatalog& operator=(const CFolderCatalog&) = delete;

    // Lists the folder again and merges: unchanged entries keep their
    // thumbnails. An entry is the listed file of its name, names compared as
    // the file system does (NameKey). True when an entry was added, removed
    // or updated. Stopped, it keeps every entry it had, with those listed so
    // far, and looks at stop before each file.
    bool Refresh(const std::function<bool()>& stop = {});

    std::list<CFolderEntry> m_entries;
    CFolderEntry m_folder;
    int m_sortOrder = SortByName;
    bool m_descending = false;
    int m_maxCount = INT_MAX;

private:
    void Sort();
    // True when entries went.
    bool Truncate();

    int m_sortedBy = -1;  // the order the list is in; -1 before the first sort
};

// A key of a file name or path for the file system's own comparison
// (CompareStringOrdinal ignoring case): each UTF-16 unit upper-cased by the
// system's table, nothing folded or expanded. Two keys are equal exactly
// when that comparison finds the texts equal, so "Straße" and "Strasse",
// "æble" and "aeble" stay apart.
std::wstring NameKey(const std::string& text);

// Three-way comparison under the sort order of b's owner: positive when a
// comes before b. By name, folders come first, then names compare as
// Explorer compares them (StrCmpLogicalW on the names shown).
int CompareEntries(const CFolderEntry& a, const CFolderEntry& b);
