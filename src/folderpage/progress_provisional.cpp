// How far the thumbnails of a folder page are: the pictures that have one
// among those that are to get one. Stands in until the worker counts its
// own work.
#include <mutex>

#include "folderpage/folderpage.h"

bool CFolderPage::GetProgress(int* done, int* total) const
{
    int made = 0;
    int wanted = 0;
    {
        std::lock_guard guard(EntryLock());  // the worker replaces bitmaps and picture paths
        for (const CFolderEntry& entry : m_catalog.m_entries) {
            if (!entry.m_thumbnail || entry.m_picturePath.empty())
                continue;
            ++wanted;
            if (entry.m_thumbnail->Bitmap())
                ++made;
        }
    }
    if (made == wanted)
        return false;
    *done = made;
    *total = wanted;
    return true;
}
