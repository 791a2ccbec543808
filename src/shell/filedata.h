// Files as the shell passes them between programs, on the clipboard and in
// a drag: CF_HDROP, the shell's ID list, and "Preferred DropEffect".
#pragma once

#include <string>
#include <vector>

#include "afx.h"
#include "comptr.h"

#include <objidl.h>

// A data object holding paths, with effect (DROPEFFECT_COPY or _MOVE; none
// for a drag) as the preferred drop effect; null when a path cannot be parsed.
CComPtr<IDataObject> MakeFileData(const std::vector<std::string>& paths, DWORD effect);
// The files a data object holds (CF_HDROP), and its preferred drop effect
// (DROPEFFECT_COPY when it says none).
std::vector<std::string> FilesOf(IDataObject* data, DWORD* preferredEffect = nullptr);

// Puts paths on the clipboard to be copied, or (cut) moved when pasted.
bool PutFilesOnClipboard(const std::vector<std::string>& paths, bool cut);
// Leaves the files this program put on the clipboard there after it ends
// (while it runs, they are made when a program asks). At exit, on the
// thread that put them there.
void KeepClipboardFiles();
// Whether the clipboard holds files, cheaply enough for menu updates.
bool ClipboardHasFiles();
// The clipboard's files and their preferred drop effect.
std::vector<std::string> FilesOnClipboard(DWORD* preferredEffect);

// Drags paths from the window as the shell does (files to Explorer, the
// desktop, a mail); the effect the target chose, DROPEFFECT_NONE when none.
DWORD DragFiles(const std::vector<std::string>& paths, DWORD allowedEffects);
