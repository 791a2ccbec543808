// A folder listed in an order of View > Sort By away from any folder page:
// for a picture opened from elsewhere, and a slideshow.
#pragma once

#include <functional>

#include "catalog/foldercatalog.h"

// Lists catalog's folder in order (a SortOrder) and direction. Reads no
// picture: by date taken, a picture without a date in the folder's
// thumbnail cache sorts by the time it was written.
void ListSorted(CFolderCatalog& catalog, int order, bool descending, const std::function<bool()>& stop = {});
