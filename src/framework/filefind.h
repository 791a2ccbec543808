// Enumerates the names matching a pattern. FindFile starts the search;
// each FindNextFile makes the next match current and returns FALSE when the
// match it made current is the last one.
#pragma once

#include "afxbase.h"

class CFileFind {
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    BOOL FindFile(const char* pattern = "*.*");
    BOOL FindNextFile();
    void Close();

    const std::string& GetFileName() const { return m_name; }
    std::string GetFilePath() const { return m_root + m_name; }
    BOOL GetLastWriteTime(FILETIME* time) const
    {
        *time = m_current.ftLastWriteTime;
        return TRUE;
    }
    ULONGLONG GetLength() const
    {
        return (ULONGLONG)m_current.nFileSizeHigh << 32 | m_current.nFileSizeLow;
    }
    DWORD GetAttributes() const { return m_current.dwFileAttributes; }
    BOOL IsDirectory() const { return (m_current.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    BOOL IsDots() const;

private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
    std::string m_root;          // the pattern's folder, with its separator
    WIN32_FIND_DATAW m_current{};
    WIN32_FIND_DATAW m_next{};
    std::string m_name;          // the current match's, in UTF-8
    bool m_hasNext = false;
};
