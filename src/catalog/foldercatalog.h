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
    // Puts the entries in order again, for when the order or what it
    // compares changed (the dates taken became known).
    void Sort();

    std::list<CFolderEntry> m_entries;
    CFolderEntry m_folder;
    int m_sortOrder = SortByName;
    bool m_descending = false;
    int m_maxCount = INT_MAX;

private:
    // True when entries went.
    bool Truncate();

    int m_sortedBy = -1;  // the order the list is in; -1 before the first sort
    bool m_sortedDescending = false;
};

// A key of a file name or path for the file system's own comparison
// (CompareStringOrdinal ignoring case): each UTF-16 unit upper-cased by the
// system's table, nothing folded or expanded. Two keys are equal exactly
// when that comparison finds the texts equal, so "Straße" and "Strasse",
// "æble" and "aeble" stay apart.
std::wstring NameKey(const std::string& text);

// Three-way comparison under the sort order and direction of b's owner:
// positive when a comes before b. As in Explorer, folders come first going
// up and last going down, among themselves by name going up; other entries
// by the order's key, ties by name. Names compare as Explorer compares
// them (StrCmpLogicalW on the names shown). The date taken is the
// thumbnail's (HeaderFacts), else the time the file was written; the type
// is the listed file's extension, case ignored.
int CompareEntries(const CFolderEntry& a, const CFolderEntry& b);
