#include "catalog/sortedlisting.h"

#include <string_view>
#include <unordered_map>

#include "catalog/thumbnailcache.h"

void ListSorted(CFolderCatalog& catalog, int order, bool descending, const std::function<bool()>& stop)
{
    catalog.m_sortOrder = order;
    catalog.m_descending = descending;
    catalog.Refresh(stop);
    if (order != SortByDateTaken || catalog.m_entries.empty() || (stop && stop()))
        return;
    // The dates the thumbnail makers kept in the folder's cache file, for
    // pictures not written since; the pictures themselves are not read.
    std::unordered_map<std::string_view, CFolderEntry*> pictures;
    for (CFolderEntry& entry : catalog.m_entries) {
        if (entry.IsFile())
            pictures.emplace(entry.m_path, &entry);
    }
    bool dated = false;
    ReadCachedFacts(catalog.m_folder.m_path, catalog.m_entries.size(), [&](const std::vector<CachedFacts>& records) {
        for (const CachedFacts& record : records) {
            const auto found = pictures.find(record.path);
            if (found == pictures.end() || !record.Serves(found->second->m_kind, found->second->m_time))
                continue;
            CFolderEntry& entry = *found->second;
            if (!entry.m_thumbnail)
                entry.m_thumbnail = std::make_shared<CThumbnail>();
            entry.m_thumbnail->SetFacts(record.facts);
            dated = true;
        }
    });
    if (dated)
        catalog.Sort();
}
