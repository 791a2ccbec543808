// Folder entries as the program's own listings make them.
#pragma once

#include <string>

#include "catalog/folderentry.h"

// The entry for path, classified: shortcuts resolved, kind decided.
CFolderEntry EntryOf(const std::string& path);
