// The sorted list of what one folder shows: its subfolders, its JPEG
// pictures and the shortcuts to such folders and pictures.
#pragma once

#include <climits>
#include <list>

#include "catalog/folderentry.h"

enum SortOrder { SortByName = 0, SortNewestFirst = 3 };

class CFolderCatalog {
public:
    explicit CFolderCatalog(const CFolderEntry& folder);
    virtual ~CFolderCatalog() = default;
    CFolderCatalog(const CFolderCatalog&) = delete;
    CFolderCatalog& operator=(const CFolderCatalog&) = delete;

    // Lists the folder again and merges: unchanged entries keep their
    // thumbnails. True when an entry was added, removed or updated.
    bool Refresh();

    std::list<CFolderEntry> m_entries;
    CFolderEntry m_folder;
    int m_sortOrder = SortByName;
    int m_maxCount = INT_MAX;

private:
    void Sort();
    void Truncate();
};

// A key of text for the case-insensitive comparison (lstrcmpiA): two keys are
// equal exactly when the comparison finds the texts equal, and order the same way.
std::string CaseInsensitiveSortKey(const std::string& text);

// Three-way comparison under the sort order of b's owner: positive when a
// comes before b, 0 when they are the same entry.
int CompareEntries(const CFolderEntry& a, const CFolderEntry& b);
