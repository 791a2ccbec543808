#include "temp_folder.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>

TempFolder::TempFolder()
{
    static std::atomic<int> counter{0};
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    for (;;) {
        m_path = std::string(temp) + "orlivane-test-" + std::to_string(::GetCurrentProcessId()) + "-"
               + std::to_string(counter++);
        if (::CreateDirectoryA(m_path.c_str(), nullptr))
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
        ::CreateDirectoryA(path.c_str(), nullptr);
    }
    return path;
}

std::string TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const
{
    const std::string path = m_path + "\\" + relative;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

bool RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    return ::RemoveDirectoryA(path.c_str()) != FALSE;
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

std::set<std::string> TurnTemporaries(const std::string& folder)
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    const std::string pattern = (folder.empty() ? temp : folder + "\\") + "JPG*.tmp";
    HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.insert(data.cFileName);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}
