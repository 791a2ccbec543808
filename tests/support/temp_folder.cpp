#include "temp_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <sstream>

#include "afxpath.h"
#include "filefind.h"

// Every call goes through the program's own path functions, so that the
// tests can make folders of any length and any name.

TempFolder::TempFolder()
{
    static std::atomic<int> counter{0};
    const std::string temp = AfxGetTempPath();
    for (;;) {
        m_path = temp + "orlivane-test-" + std::to_string(::GetCurrentProcessId()) + "-"
               + std::to_string(counter++);
        if (AfxCreateDirectory(m_path))
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
        AfxCreateDirectory(path);
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
        AfxCreateDirectory(path);
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
    if (FILE* file = AfxOpenFile(path, "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

bool RemoveTree(const std::string& path)
{
    CFileFind find;
    BOOL more = find.FindFile((path + "\\*").c_str());
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots())
            continue;
        if (find.IsDirectory()) {
            RemoveTree(find.GetFilePath());
        } else {
            AfxSetFileAttributes(find.GetFilePath(), FILE_ATTRIBUTE_NORMAL);
            AfxDeleteFile(find.GetFilePath());
        }
    }
    find.Close();
    return AfxRemoveDirectory(path) != FALSE;
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = AfxGetFileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    return AfxIsDirectory(path) != FALSE;
}

std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    if (FILE* file = AfxOpenFile(path, "rb")) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, got);
        std::fclose(file);
    }
    return bytes;
}

std::set<std::string> TurnTemporaries(const std::string& folder)
{
    std::set<std::string> names;
    CFileFind find;
    BOOL more = find.FindFile(((folder.empty() ? AfxGetTempPath() : folder + "\\") + "JPG*.tmp").c_str());
    while (more) {
        more = find.FindNextFile();
        names.insert(find.GetFileName());
    }
    return names;
}
