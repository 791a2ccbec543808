#include "shell/version.h"

#include "afxbase.h"

#include <cstdio>
#include <cwchar>
#include <vector>

std::string FormatVersion(const VS_FIXEDFILEINFO& info)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d.%2.2d build %d", (int)HIWORD(info.dwFileVersionMS),
                  (int)LOWORD(info.dwFileVersionMS), (int)HIWORD(info.dwFileVersionLS));
    return text;
}

namespace {

// The running module's version resource; empty when it has none.
std::vector<char> ModuleVersionBlock()
{
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    std::vector<char> block(size);
    if (size == 0 || !::GetFileVersionInfoW(path, 0, size, block.data()))
        return {};
    return block;
}

} // namespace

std::string GetLegalCopyright()
{
    std::vector<char> block = ModuleVersionBlock();
    struct Translation {
        WORD language;
        WORD codePage;
    };
    void* data = nullptr;
    UINT length = 0;
    if (block.empty() || !::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &data, &length)
        || length < sizeof(Translation))
        return {};
    const auto* translation = static_cast<const Translation*>(data);
    wchar_t key[64];
    std::swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\LegalCopyright", translation->language,
                  translation->codePage);
    if (!::VerQueryValueW(block.data(), key, &data, &length) || length == 0)
        return {};
    std::wstring text(static_cast<const wchar_t*>(data), length);
    text.resize(wcsnlen(text.c_str(), text.size()));
    return AfxUtf8(text);
}

std::string GetVersionString()
{
    std::vector<char> block = ModuleVersionBlock();
    if (block.empty())
        return {};
    void* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", &fixed, &length) || !fixed
        || length < sizeof(VS_FIXEDFILEINFO))
        return {};
    return FormatVersion(*static_cast<const VS_FIXEDFILEINFO*>(fixed));
}
