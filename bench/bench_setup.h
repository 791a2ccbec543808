// What several benchmarks set up the same way: their settings from the
// environment and their folders under the temporary folder.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

// A positive whole-number setting from the environment, else fallback.
inline int Setting(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value ? std::max(1, std::atoi(value)) : fallback;
}

// The folder name under the temporary folder, made if need be.
inline std::string TempFolder(const char* name)
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + name;
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}
