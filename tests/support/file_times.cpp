#include "file_times.h"

#include "afxpath.h"

FILETIME TimeAt(int minutes)
{
    // 2020-01-01 00:00 UTC in 100-nanosecond ticks since 1601.
    const ULONGLONG base = 132223104000000000ULL;
    const ULONGLONG ticks = base + (ULONGLONG)minutes * 60ULL * 10000000ULL;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

bool SetWriteTime(const std::string& path, const FILETIME& time)
{
    HANDLE file = AfxCreateFile(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const BOOL ok = ::SetFileTime(file, nullptr, nullptr, &time);
    ::CloseHandle(file);
    return ok != FALSE;
}
