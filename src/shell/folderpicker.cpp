#include "shell/folderpicker.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

#include "comptr.h"
#include "shell/shellmemory.h"

namespace {

enum class Outcome { Chosen, Cancelled, Unavailable };

Outcome PickWithDialog(HWND owner, const std::wstring& start, const std::wstring& title, std::wstring* chosen)
{
    CComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return Outcome::Unavailable;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
    dialog->SetTitle(title.c_str());
    if (!start.empty()) {
        // SetFolder, not SetDefaultFolder: the last folder wins over the
        // dialog's own memory of where it was.
        CComPtr<IShellItem> folder;
        if (SUCCEEDED(::SHCreateItemFromParsingName(start.c_str(), nullptr, IID_PPV_ARGS(&folder))))
            dialog->SetFolder(folder.Get());
    }
    if (FAILED(dialog->Show(owner)))
        return Outcome::Cancelled;
    CComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(&result)))
        return Outcome::Cancelled;
    wchar_t* path = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path)
        return Outcome::Cancelled;
    const ShellText owned(path);
    *chosen = owned.get();
    return Outcome::Chosen;
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    const auto* start = reinterpret_cast<const wchar_t*>(data);
    if (message == BFFM_INITIALIZED && start && *start)
        ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, (LPARAM)start);
    return 0;
}

// For systems without the folder picker.
std::wstring PickWithBrowser(HWND owner, const std::wstring& start, const std::wstring& title)
{
    wchar_t displayName[MAX_PATH] = L"";
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = &BrowseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    const ItemIdList chosen(::SHBrowseForFolderW(&browse));
    wchar_t path[MAX_PATH] = L"";
    if (!chosen || !::SHGetPathFromIDListW(chosen.get(), path))
        return {};  // cancelled, or a folder outside the file system
    return path;
}

} // namespace

std::string PickFolder(HWND owner, const std::string& start, const std::string& title)
{
    const std::wstring wideStart = AfxWide(start);
    const std::wstring wideTitle = AfxWide(title);
    std::wstring chosen;
    switch (PickWithDialog(owner, wideStart, wideTitle, &chosen)) {
    case Outcome::Chosen:
        return AfxUtf8(chosen);
    case Outcome::Cancelled:
        return {};
    case Outcome::Unavailable:
        break;
    }
    return AfxUtf8(PickWithBrowser(owner, wideStart, wideTitle));
}
