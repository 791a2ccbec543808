#include "app/version.h"

#include <cstdio>
#include <vector>

std::string FormatVersion(const VS_FIXEDFILEINFO& info)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d.%2.2d build %d", (int)HIWORD(info.dwFileVersionMS),
                  (int)LOWORD(info.dwFileVersionMS), (int)HIWORD(info.dwFileVersionLS));
    return text;
}

std::string GetVersionString()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return {};
    std::vector<char> block(size);
    if (!::GetFileVersionInfoA(path, 0, size, block.data()))
        return {};
    void* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), "\\", &fixed, &length) || !fixed
        || length < sizeof(VS_FIXEDFILEINFO))
        return {};
    return FormatVersion(*static_cast<const VS_FIXEDFILEINFO*>(fixed));
}
