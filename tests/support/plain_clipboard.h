// The clipboard as a program without OLE reads it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The files of CF_HDROP, and "Preferred DropEffect" (0 when it has none).
std::vector<std::string> ClipboardFiles(DWORD* effect);
