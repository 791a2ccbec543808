#include "recycle_bin.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "afxbase.h"
#include "window_driving.h"

// The names of what the Recycle Bin holds, as the shell lists them.
std::vector<std::string> RecycleBinNames()
{
    std::vector<std::string> names;
    PIDLIST_ABSOLUTE binList = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &binList)))
        return names;
    IShellFolder* desktop = nullptr;
    IShellFolder* bin = nullptr;
    IEnumIDList* items = nullptr;
    if (SUCCEEDED(::SHGetDesktopFolder(&desktop))
        && SUCCEEDED(desktop->BindToObject(binList, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&bin)))
        && bin->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items) == S_OK) {
        PITEMID_CHILD child = nullptr;
        while (items->Next(1, &child, nullptr) == S_OK) {
            STRRET name{};
            wchar_t text[MAX_PATH] = L"";
            if (SUCCEEDED(bin->GetDisplayNameOf(child, SHGDN_INFOLDER, &name)))
                ::StrRetToBufW(&name, child, text, MAX_PATH);
            names.push_back(AfxUtf8(text));
            ::CoTaskMemFree(child);
        }
    }
    for (IUnknown* held : std::initializer_list<IUnknown*>{items, bin, desktop}) {
        if (held)
            held->Release();
    }
    ::CoTaskMemFree(binList);
    return names;
}

bool InRecycleBin(const std::string& name)
{
    for (const std::string& held : RecycleBinNames()) {
        // The bin may show the name with or without its extension.
        if (held == name || name.rfind(held + ".", 0) == 0)
            return true;
    }
    return false;
}

// Runs operation, saying Yes to the system's confirmation if it asks.
FileOperationResult Confirmed(const std::function<FileOperationResult()>& operation)
{
    FileOperationResult result = FileOperationResult::Failed;
    RunModal(
        [&] {
            result = operation();
            return (INT_PTR)0;
        },
        [](DWORD thread) {
            if (HWND confirmation = WaitForShown(thread, "#32770", ""))
                ::PostMessageA(confirmation, WM_COMMAND, IDYES, 0);
        });
    return result;
}
