// Paths cross into Windows here, as text does in afxbase.h: the program
// keeps them as UTF-8 of any length, and every call below gets UTF-16, in
// the \\?\ form when the path is too long for the plain one.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "afxbase.h"

// The path as UTF-16 for a Windows call. A path of MAX_PATH - 12 units or
// more (CreateDirectoryW's limit) becomes a full \\?\ path (\\?\UNC\ for a
// share), as the system does not shorten long paths of programs that have
// not said they may.
std::wstring AfxPathW(std::string_view path);

// The last name of path and its extension (from the last dot, else the
// end), as PathFindFileName and PathFindExtension find them, but on UTF-8
// bytes, so that no code page can take a byte of a name for a separator.
const char* AfxFindFileName(const char* path);
const char* AfxFindExtension(const char* path);

HANDLE AfxCreateFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0);
// A C stream on the file, mode as fopen's; null when it cannot be opened.
FILE* AfxOpenFile(const std::string& path, const char* mode);
BOOL AfxGetFileAttributesEx(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data);
DWORD AfxGetFileAttributes(const std::string& path);
BOOL AfxSetFileAttributes(const std::string& path, DWORD attributes);
BOOL AfxDeleteFile(const std::string& path);
BOOL AfxMoveFileEx(const std::string& from, const std::string& to, DWORD flags);
BOOL AfxCopyFile(const std::string& from, const std::string& to, BOOL failIfExists);
// FALSE with ERROR_ALREADY_EXISTS when the folder is there already.
BOOL AfxCreateDirectory(const std::string& path);
BOOL AfxRemoveDirectory(const std::string& path);
BOOL AfxIsDirectory(const std::string& path);
UINT AfxGetDriveType(const std::string& root);

// Makes a new empty file prefix + hex digits + ".tmp" in folder, as
// GetTempFileName does but in a folder of any length; its path, or empty.
std::string AfxCreateTempFile(const std::string& folder, const char* prefix);
// The temporary folder, with its trailing separator.
std::string AfxGetTempPath();
std::string AfxGetModuleFileName(HMODULE module);
