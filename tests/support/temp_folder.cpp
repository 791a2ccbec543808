#include "temp_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <sstream>

// Every call is a plain wide-character one on an explicit \\?\ path, apart
// from the program's own path functions: the tests make and check folders
// of any length and any name on the disk as it is, so that a mapping fault
// in the program is not repeated here and hidden.

namespace {

std::wstring Wide(const std::string& utf8)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring wide(length, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(), length);
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8(length, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

// The names in folder matching pattern, without "." and "..": name and attributes.
std::vector<std::pair<std::string, DWORD>> Listing(const std::string& folder, const wchar_t* pattern)
{
    std::vector<std::pair<std::string, DWORD>> names;
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW((DiskPath(folder) + L"\\" + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back({Utf8(name), found.dwFileAttributes});
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return names;
}

}  // namespace

std::wstring DiskPath(const std::string& path)
{
    std::wstring wide = Wide(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0)
        return wide;
    if (wide.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + wide.substr(2);
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\')
        return L"\\\\?\\" + wide;
    return wide;  // relative: only short ones come here
}

std::vector<std::string> NamesOnDisk(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& [name, attributes] : Listing(folder, L"*"))
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

TempFolder::TempFolder()
{
    static std::atomic<int> counter{0};
    wchar_t wideTemp[MAX_PATH + 1] = {};
    const std::string temp = Utf8(std::wstring(wideTemp, ::GetTempPathW(MAX_PATH + 1, wideTemp)));
    for (;;) {
        m_path = temp + "orlivane-test-" + std::to_string(::GetCurrentProcessId()) + "-"
               + std::to_string(counter++);
        if (::CreateDirectoryW(DiskPath(m_path).c_str(), nullptr))
            break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

std::string TempFolder::MakeFolder(const std::string& relative) const
{
    std::string path = m_path;
    std::stringstream parts(relative);
    std::string part;
    while (std::getline(parts, part, '\\')) {
        path += "\\" + part;
        ::CreateDirectoryW(DiskPath(path).c_str(), nullptr);
    }
    return path;
}

std::string TempFolder::MakeFolderOfLength(size_t length) const
{
    std::string path = m_path;
    while (path.size() < length) {
        // A name of one character would leave none for the next.
        size_t name = std::min<size_t>(100, length - path.size() - 1);
        if (length - path.size() - 1 - name == 1)
            --name;
        path += "\\" + std::string(name, 'd');
        ::CreateDirectoryW(DiskPath(path).c_str(), nullptr);
    }
    return path;
}

std::string PathOfLength(const std::string& folder, size_t length)
{
    return folder + "\\" + std::string(length - folder.size() - 1 - 4, 'p') + ".jpg";
}

std::string CjkName(size_t count)
{
    // Cycles through 写真東京夏
    static const char* const characters[] = {"\xE5\x86\x99", "\xE7\x9C\x9F", "\xE6\x9D\xB1", "\xE4\xBA\xAC",
                                             "\xE5\xA4\x8F"};
    std::string name;
    for (size_t i = 0; i < count; ++i)
        name += characters[i % 5];
    return name;
}

std::string TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const
{
    const std::string path = m_path + "\\" + relative;
    const HANDLE file = ::CreateFileW(DiskPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
        ::CloseHandle(file);
    }
    return path;
}

bool RemoveTree(const std::string& path)
{
    for (const auto& [name, attributes] : Listing(path, L"*")) {
        const std::string inner = path + "\\" + name;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(inner);
        } else {
            ::SetFileAttributesW(DiskPath(inner).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(DiskPath(inner).c_str());
        }
    }
    return ::RemoveDirectoryW(DiskPath(path).c_str()) != FALSE;
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(DiskPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(DiskPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    const HANDLE file = ::CreateFileW(DiskPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    ::CloseHandle(file);
    return bytes;
}

std::set<std::string> TurnTemporaries(const std::string& folder)
{
    std::set<std::string> names;
    std::string where = folder;
    if (where.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        where = Utf8(std::wstring(temp, ::GetTempPathW(MAX_PATH + 1, temp)));
        where.pop_back();  // its trailing separator
    }
    for (const auto& [name, attributes] : Listing(where, L"JPG*.tmp"))
        names.insert(name);
    return names;
}
