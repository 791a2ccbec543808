// The peek: while the pointer rests on the play badge of a folder, the
// folder's own pictures are shown one after another in its cell.
#pragma once

#include "catalog/foldercatalog.h"

class CFolderPeek {
public:
    CFolderPeek(const CFolderEntry& folder, const RECT& cell);
    virtual ~CFolderPeek() = default;
    CFolderPeek(const CFolderPeek&) = delete;
    CFolderPeek& operator=(const CFolderPeek&) = delete;

    // Lists the folder; every entry gets a thumbnail in the peeked cell.
    virtual void Load();

    // At most every 500 ms: moves on to the next entry and makes its
    // thumbnail; returns it when there is one to show this tick.
    CThumbnail* Advance();

    const RECT& Cell() const { return m_cell; }
    // The peeked folder: its icon, overlays and caption frame the pictures.
    CFolderEntry& Folder() { return m_catalog.m_folder; }

protected:
    CFolderCatalog m_catalog;
    std::list<CFolderEntry>::iterator m_current;
    DWORD m_nextTime;
    RECT m_cell;
};
