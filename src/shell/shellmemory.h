// Memory the shell allocates for its callers, owned until freed.
#pragma once

#include <memory>
#include <string>

#include <shlobj.h>

struct TaskMemFree {
    void operator()(void* memory) const { ::CoTaskMemFree(memory); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, TaskMemFree>;
using ShellText = std::unique_ptr<wchar_t, TaskMemFree>;

// The shell's absolute ID list of a file-system path, or null when the
// path cannot be parsed (it is gone, or not the shell's).
inline ItemIdList ParsePath(const std::wstring& path)
{
    PIDLIST_ABSOLUTE list = nullptr;
    if (FAILED(::SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr)))
        return nullptr;
    return ItemIdList(list);
}
