#include "folder_entries.h"

CFolderEntry EntryOf(const std::string& path)
{
    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.Classify();
    return entry;
}
