#include "program_data.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

const char kProgramKey[] = "Software\\Vemoly";

std::string AppDataVemoly()
{
    char path[MAX_PATH] = "";
    EXPECT_TRUE(SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path)));
    return std::string(path) + "\\Vemoly";
}

void SetDword(const char* name, int value)
{
    const DWORD data = (DWORD)value;
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kProgramKey, name, REG_DWORD, &data, sizeof data);
}
