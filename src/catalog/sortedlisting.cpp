#include "catalog/sortedlisting.h"

void ListSorted(CFolderCatalog& catalog, int order, bool descending, const std::function<bool()>& stop)
{
    catalog.m_sortOrder = order;
    catalog.m_descending = descending;
    catalog.Refresh(stop);
}
