#include "plain_clipboard.h"

#include <shellapi.h>

#include "afxbase.h"

std::vector<std::string> ClipboardFiles(DWORD* effect)
{
    std::vector<std::string> files;
    *effect = 0;
    if (!::OpenClipboard(nullptr))
        return files;
    if (HDROP drop = (HDROP)::GetClipboardData(CF_HDROP)) {
        for (UINT i = 0, count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); i < count; ++i) {
            wchar_t name[MAX_PATH] = L"";
            ::DragQueryFileW(drop, i, name, MAX_PATH);
            files.push_back(AfxUtf8(name));
        }
    }
    if (HANDLE data = ::GetClipboardData(::RegisterClipboardFormatW(L"Preferred DropEffect"))) {
        *effect = *static_cast<const DWORD*>(::GlobalLock(data));
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return files;
}
