#include "afxpath.h"

namespace {

// CreateDirectoryW keeps 12 units of MAX_PATH for an 8.3 name.
constexpr size_t kLongestPlainPath = MAX_PATH - 12;

bool StartsWith(const std::wstring& text, const wchar_t* start)
{
    return text.rfind(start, 0) == 0;
}

} // namespace

std::wstring AfxPathW(std::string_view path)
{
    std::wstring wide = AfxWide(path);
    if (wide.size() < kLongestPlainPath || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\"))
        return wide;
    // The \\?\ form is taken as it stands: it must be full, without "." or
    // ".." and with backslashes only, which the full path name gives.
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return wide;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return wide;
    full.resize(length);
    if (StartsWith(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

const char* AfxFindFileName(const char* path)
{
    // A separator at the end does not start a name: "C:\a\" names "a\".
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if ((*p == '\\' || *p == '/' || *p == ':') && p[1] && p[1] != '\\' && p[1] != '/')
            name = p + 1;
    }
    return name;
}

const char* AfxFindExtension(const char* path)
{
    // As the shell's: a backslash or a space after the last dot means none.
    const char* dot = nullptr;
    const char* p = path;
    for (; *p; ++p) {
        if (*p == '\\' || *p == ' ')
            dot = nullptr;
        else if (*p == '.')
            dot = p;
    }
    return dot ? dot : p;
}

HANDLE AfxCreateFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return ::CreateFileW(AfxPathW(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
}

FILE* AfxOpenFile(const std::string& path, const char* mode)
{
    return ::_wfopen(AfxPathW(path).c_str(), AfxWide(mode).c_str());
}

BOOL AfxGetFileAttributesEx(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data)
{
    return ::GetFileAttributesExW(AfxPathW(path).c_str(), GetFileExInfoStandard, data);
}

DWORD AfxGetFileAttributes(const std::string& path)
{
    return ::GetFileAttributesW(AfxPathW(path).c_str());
}

BOOL AfxSetFileAttributes(const std::string& path, DWORD attributes)
{
    return ::SetFileAttributesW(AfxPathW(path).c_str(), attributes);
}

BOOL AfxDeleteFile(const std::string& path)
{
    return ::DeleteFileW(AfxPathW(path).c_str());
}

BOOL AfxMoveFileEx(const std::string& from, const std::string& to, DWORD flags)
{
    return ::MoveFileExW(AfxPathW(from).c_str(), AfxPathW(to).c_str(), flags);
}

BOOL AfxCopyFile(const std::string& from, const std::string& to, BOOL failIfExists)
{
    return ::CopyFileW(AfxPathW(from).c_str(), AfxPathW(to).c_str(), failIfExists);
}

BOOL AfxCreateDirectory(const std::string& path)
{
    return ::CreateDirectoryW(AfxPathW(path).c_str(), nullptr);
}

BOOL AfxRemoveDirectory(const std::string& path)
{
    return ::RemoveDirectoryW(AfxPathW(path).c_str());
}

BOOL AfxIsDirectory(const std::string& path)
{
    const DWORD attributes = AfxGetFileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

UINT AfxGetDriveType(const std::string& root)
{
    return ::GetDriveTypeW(AfxWide(root).c_str());
}

std::string AfxCreateTempFile(const std::string& folder, const char* prefix)
{
    std::string base = folder;
    if (!base.empty() && base.back() != '\\' && base.back() != '/')
        base += '\\';
    base += std::string(prefix).substr(0, 3);
    // The next free number from the clock, as GetTempFileName counts.
    const DWORD start = ::GetTickCount();
    for (DWORD i = 0; i <= 0xFFFF; ++i) {
        const unsigned unique = (start + i) & 0xFFFF;
        if (unique == 0)
            continue;
        char digits[8];
        std::snprintf(digits, sizeof digits, "%X", unique);
        std::string path = base + digits + ".tmp";
        const HANDLE file = AfxCreateFile(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            return path;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_SHARING_VIOLATION)
            return {};
    }
    return {};
}

std::string AfxGetTempPath()
{
    const DWORD size = ::GetTempPathW(0, nullptr);
    std::wstring path(size, L'\0');
    const DWORD length = size ? ::GetTempPathW(size, path.data()) : 0;
    path.resize(length < size ? length : 0);
    return AfxUtf8(path);
}

std::string AfxGetModuleFileName(HMODULE module)
{
    // The function cuts the name to the buffer and says nothing but its size.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, path.data(), (DWORD)path.size());
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return AfxUtf8(path);
        }
        if (path.size() >= 0x8000)
            return {};
        path.resize(path.size() * 2);
    }
}
