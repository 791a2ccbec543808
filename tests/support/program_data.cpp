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

ScopedDword::ScopedDword(const char* name, int value) : m_name(name)
{
    DWORD size = sizeof m_old;
    m_had = ::RegGetValueA(HKEY_CURRENT_USER, kProgramKey, name, RRF_RT_REG_DWORD, nullptr, &m_old, &size)
         == ERROR_SUCCESS;
    SetDword(name, value);
}

ScopedDword::~ScopedDword()
{
    if (m_had)
        SetDword(m_name.c_str(), (int)m_old);
    else
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kProgramKey, m_name.c_str());
}
