#include "filefind.h"

#include "afxpath.h"

BOOL CFileFind::FindFile(const char* pattern)
{
    Close();
    const std::string text = pattern ? pattern : "*.*";
    m_find = ::FindFirstFileW(AfxPathW(text).c_str(), &m_next);
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
    m_name = AfxUtf8(m_current.cFileName);
    m_hasNext = ::FindNextFileW(m_find, &m_next) != FALSE;
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
    const wchar_t* name = m_current.cFileName;
    return IsDirectory() && name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}
