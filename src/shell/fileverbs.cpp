#include "shell/fileverbs.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>

#include "afxpath.h"
#include "comptr.h"
#include "shell/filedata.h"
#include "shell/shellmemory.h"

namespace {

bool Execute(HWND owner, const std::string& path, const wchar_t* verb)
{
    const std::wstring file = AfxWide(path);
    // The item's own verbs, context-menu handlers included, which some
    // systems find only from the item's ID list, not from its path.
    const ItemIdList item = ParsePath(file);
    if (!item)
        return false;
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    // No error box of the system's: the caller says what failed.
    execute.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
    execute.lpIDList = item.get();
    execute.hwnd = owner;
    execute.lpVerb = verb;
    execute.lpFile = file.c_str();
    execute.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&execute) != FALSE;
}

} // namespace

bool ShowOpenWith(HWND owner, const std::string& path)
{
    // Looked up: not every system has the dialog's entry point.
    using OpenWithDialog = HRESULT(WINAPI*)(HWND, const OPENASINFO*);
    const auto openWith = reinterpret_cast<OpenWithDialog>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"shell32.dll"), "SHOpenWithDialog")));
    const std::wstring file = AfxWide(path);
    if (openWith) {
        OPENASINFO info{};
        info.pcszFile = file.c_str();
        info.oaifInFlags = OAIF_ALLOW_REGISTRATION | OAIF_REGISTER_EXT | OAIF_EXEC;
        const HRESULT hr = openWith(owner, &info);
        if (SUCCEEDED(hr) || hr == HRESULT_FROM_WIN32(ERROR_CANCELLED))
            return true;
    }
    return Execute(owner, path, L"openas");
}

bool EditFile(HWND owner, const std::string& path)
{
    return Execute(owner, path, L"edit");
}

bool ShowInExplorer(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return false;
    const std::string& first = paths.front();
    const ItemIdList folder = ParsePath(AfxWide(std::string(first, 0, AfxFindFileName(first.c_str()) - first.c_str())));
    std::vector<ItemIdList> items;
    std::vector<PCUITEMID_CHILD> children;
    for (const std::string& path : paths) {
        items.push_back(ParsePath(AfxWide(path)));
        if (!items.back())
            return false;
        children.push_back(::ILFindLastID(items.back().get()));
    }
    return folder && SUCCEEDED(::SHOpenFolderAndSelectItems(folder.get(), (UINT)children.size(), children.data(), 0));
}

bool ShowProperties(HWND owner, const std::vector<std::string>& paths)
{
    if (paths.size() == 1)
        return Execute(owner, paths.front(), L"properties");
    CComPtr<IDataObject> data = MakeFileData(paths, DROPEFFECT_NONE);
    return data && SUCCEEDED(::SHMultiFileProperties(data.Get(), 0));
}

std::string MapDegrees(double degrees)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", degrees);
    std::string value = text;
    value.erase(value.find_last_not_of('0') + 1);
    if (value.back() == '.')
        value.pop_back();
    return value == "-0" ? "0" : value;
}

bool ShowOnMap(HWND owner, double latitude, double longitude)
{
    const std::string lat = MapDegrees(latitude), lon = MapDegrees(longitude);
    const std::wstring link = AfxWide("https://www.openstreetmap.org/?mlat=" + lat + "&mlon=" + lon + "#map=15/"
                                      + lat + "/" + lon);
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.hwnd = owner;
    execute.lpFile = link.c_str();
    execute.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&execute) != FALSE;
}
