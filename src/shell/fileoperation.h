// Every change the user asks for to their files goes through the shell's
// file operation, so that they get the system's confirmation, conflict,
// progress and error dialogs, and its undo: IFileOperation, else (no object,
// or E_NOTIMPL from its item methods, as on some systems) SHFileOperationW
// with the same meaning.
#pragma once

#include <string>
#include <vector>

#include "afx.h"

enum class FileOperationResult {
    Done,       // every item was handled
    Cancelled,  // the user cancelled, or refused a confirmation
    Failed,     // the system reported an error (it has shown its message)
};

// Sends paths (files or folders) to the Recycle Bin, or (recycle false)
// deletes them for good after the system's confirmation.
FileOperationResult ShellDelete(HWND owner, const std::vector<std::string>& paths, bool recycle);
// Gives path the new name (a name, not a path) in its folder.
FileOperationResult ShellRename(HWND owner, const std::string& path, const std::string& newName);
// Copies or moves paths into folder. Copied into the folder they are in,
// they get the system's "- Copy" names.
FileOperationResult ShellCopy(HWND owner, const std::vector<std::string>& paths, const std::string& folder);
FileOperationResult ShellMove(HWND owner, const std::vector<std::string>& paths, const std::string& folder);

// Why name cannot be a file's name (a message for the user, such as the
// characters Windows forbids), or empty when it can.
std::string CheckFileName(const std::string& name);
