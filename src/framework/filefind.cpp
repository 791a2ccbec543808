#include "filefind.h"

BOOL CFileFind::FindFile(const char* pattern)
{
    Close();
    const std::string text = pattern ? pattern : "*.*";
    m_find = ::FindFirstFileA(text.c_str(), &m_next);
    if (m_find == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hasNext = true;
    const size_t slash = text.find_last_of("\\/:");
    m_root = slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_hasNext)
        return FALSE;
    m_current = m_next;
    m_hasNext = ::FindNextFileA(m_find, &m_next) != FALSE;
    return m_hasNext;
}

void CFileFind::Close()
{
    if (m_find != INVALID_HANDLE_VALUE) {
        ::FindClose(m_find);
        m_find = INVALID_HANDLE_VALUE;
    }
    m_hasNext = false;
}

BOOL CFileFind::IsDots() const
{
    const char* name = m_current.cFileName;
    return IsDirectory() && name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}
