// A folder of its own for one test, removed with everything in it.
#pragma once

#include <set>
#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // Path of name inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

    // Creates a subfolder (and its parents) and returns its path.
    std::string MakeFolder(const std::string& relative) const;
    // Creates nested folders of at most 100 characters each ("d...") so
    // that the innermost one's path is length bytes long; returns it.
    std::string MakeFolderOfLength(size_t length) const;
    // Writes bytes to a file and returns its path.
    std::string WriteFile(const std::string& relative, const std::string& bytes) const;

private:
    std::string m_path;
};

// A picture path of length bytes in folder: a name of 'p's and ".jpg".
std::string PathOfLength(const std::string& folder, size_t length);
// Count CJK characters, as UTF-8.
std::string CjkName(size_t count);

// Deletes a folder and everything below it; false if anything stayed.
bool RemoveTree(const std::string& path);
// The UTF-16 path the helpers here give the system: \\?\ before a full
// one (\\?\UNC\ for a share), backslashes only.
std::wstring DiskPath(const std::string& path);
// The names in a folder as FindFirstFileW lists them, sorted.
std::vector<std::string> NamesOnDisk(const std::string& folder);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// The names of the lossless turn's temporary files (JPG*.tmp) now in
// folder, by default the temporary folder.
std::set<std::string> TurnTemporaries(const std::string& folder = "");
