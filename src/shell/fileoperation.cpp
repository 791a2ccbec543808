#include "shell/fileoperation.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <functional>

#include "afxpath.h"
#include "comptr.h"
#include "res/resource.h"

namespace {

enum class Kind { Delete, Rename, Copy, Move };

// What the copy engine answers when the user cancels (not in every SDK).
constexpr HRESULT kUserCancelled = (HRESULT)0x80270000L;

// One operation as both interfaces take it: the items, and for a copy into
// their own folder the names the copies get.
struct Request {
    Request(Kind k, std::vector<std::wstring> i, std::wstring f = {}) : kind(k), items(std::move(i)), folder(std::move(f)) {}

    Kind kind;
    std::vector<std::wstring> items;
    std::wstring folder;                 // copy, move: where to
    std::vector<std::wstring> newNames;  // rename: one; copy into its own folder: one an item
    bool recycle = true;
};

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SameFolder(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), (int)a.size(), b.c_str(), (int)b.size(), TRUE) == CSTR_EQUAL;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(AfxPathW(AfxUtf8(path)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Explorer's name for a copy of name in folder: "x - Copy.jpg", then
// "x - Copy (2).jpg" and on; folders keep no extension.
std::wstring CopyName(const std::wstring& folder, const std::wstring& name, bool isFolder)
{
    const size_t dot = isFolder ? std::wstring::npos : name.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
    const std::wstring extension = stem.size() == name.size() ? std::wstring() : name.substr(stem.size());
    for (int n = 1;; ++n) {
        std::wstring candidate = stem + L" - Copy" + (n == 1 ? L"" : L" (" + std::to_wstring(n) + L")") + extension;
        if (!Exists(folder + L"\\" + candidate))
            return candidate;
    }
}

// ------------------------------------------------------------ IFileOperation

// Runs request through the shell's file operation object; E_NOTIMPL when
// the system has none, or not these of its methods.
HRESULT RunWithFileOperation(HWND owner, const Request& request, bool* aborted)
{
    CComPtr<IFileOperation> operation;
    HRESULT hr = ::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation));
    if (FAILED(hr))
        return E_NOTIMPL;
    DWORD flags = FOF_ALLOWUNDO | FOF_NOCONFIRMMKDIR;
    if (request.kind == Kind::Delete)
        flags = request.recycle ? FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE : 0;
    if (FAILED(hr = operation->SetOperationFlags(flags)))
        return hr;
    if (owner)
        operation->SetOwnerWindow(owner);
    CComPtr<IShellItem> folder;
    if (!request.folder.empty()
        && FAILED(hr = ::SHCreateItemFromParsingName(request.folder.c_str(), nullptr, IID_PPV_ARGS(&folder))))
        return hr;
    for (size_t i = 0; i < request.items.size(); ++i) {
        CComPtr<IShellItem> item;
        if (FAILED(hr = ::SHCreateItemFromParsingName(request.items[i].c_str(), nullptr, IID_PPV_ARGS(&item))))
            return hr;
        const wchar_t* newName = i < request.newNames.size() ? request.newNames[i].c_str() : nullptr;
        switch (request.kind) {
        case Kind::Delete: hr = operation->DeleteItem(item.Get(), nullptr); break;
        case Kind::Rename: hr = operation->RenameItem(item.Get(), newName, nullptr); break;
        case Kind::Copy: hr = operation->CopyItem(item.Get(), folder.Get(), newName, nullptr); break;
        case Kind::Move: hr = operation->MoveItem(item.Get(), folder.Get(), nullptr, nullptr); break;
        }
        if (FAILED(hr))
            return hr;
    }
    if (FAILED(hr = operation->PerformOperations()))
        return hr;
    BOOL anyAborted = FALSE;
    operation->GetAnyOperationsAborted(&anyAborted);
    *aborted = anyAborted != FALSE;
    return S_OK;
}

// ------------------------------------------------------------ SHFileOperationW

// The double-null-terminated list the older call takes.
std::wstring PathList(const std::vector<std::wstring>& paths)
{
    std::wstring list;
    for (const std::wstring& path : paths)
        list += path + L'\0';
    return list + L'\0';
}

HRESULT RunWithShFileOperation(HWND owner, const Request& request, bool* aborted)
{
    const std::wstring from = PathList(request.items);
    std::wstring to;
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = owner;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMMKDIR;
    switch (request.kind) {
    case Kind::Delete:
        operation.wFunc = FO_DELETE;
        operation.fFlags = request.recycle ? FOF_ALLOWUNDO : 0;
        break;
    case Kind::Rename:
        operation.wFunc = FO_RENAME;
        to = PathList({FolderOf(request.items[0]) + L"\\" + request.newNames[0]});
        break;
    case Kind::Copy:
    case Kind::Move:
        operation.wFunc = request.kind == Kind::Copy ? FO_COPY : FO_MOVE;
        if (request.newNames.empty()) {
            to = PathList({request.folder});
        } else {
            std::vector<std::wstring> targets;
            for (const std::wstring& name : request.newNames)
                targets.push_back(request.folder + L"\\" + name);
            to = PathList(targets);
            operation.fFlags |= FOF_MULTIDESTFILES;
        }
        break;
    }
    operation.pTo = to.empty() ? nullptr : to.c_str();
    const int result = ::SHFileOperationW(&operation);
    *aborted = operation.fAnyOperationsAborted != FALSE;
    return result == 0 ? S_OK : E_FAIL;
}

FileOperationResult Run(HWND owner, const Request& request)
{
    if (request.items.empty())
        return FileOperationResult::Done;
    bool aborted = false;
    HRESULT hr = RunWithFileOperation(owner, request, &aborted);
    // Nothing was done when the object or its methods are missing.
    if (hr == E_NOTIMPL)
        hr = RunWithShFileOperation(owner, request, &aborted);
    if (aborted || hr == HRESULT_FROM_WIN32(ERROR_CANCELLED) || hr == kUserCancelled)
        return FileOperationResult::Cancelled;
    return SUCCEEDED(hr) ? FileOperationResult::Done : FileOperationResult::Failed;
}

std::vector<std::wstring> Wide(const std::vector<std::string>& paths)
{
    std::vector<std::wstring> wide;
    wide.reserve(paths.size());
    for (const std::string& path : paths)
        wide.push_back(AfxWide(path));
    return wide;
}

} // namespace

FileOperationResult ShellDelete(HWND owner, const std::vector<std::string>& paths, bool recycle)
{
    Request request{Kind::Delete, Wide(paths)};
    request.recycle = recycle;
    return Run(owner, request);
}

FileOperationResult ShellRename(HWND owner, const std::string& path, const std::string& newName)
{
    Request request{Kind::Rename, {AfxWide(path)}};
    request.newNames.push_back(AfxWide(newName));
    return Run(owner, request);
}

FileOperationResult ShellCopy(HWND owner, const std::vector<std::string>& paths, const std::string& folder)
{
    Request request{Kind::Copy, Wide(paths), AfxWide(folder)};
    // Into their own folder the copies need names of their own, which
    // neither interface gives on every system.
    const bool intoOwnFolder = std::any_of(request.items.begin(), request.items.end(), [&](const std::wstring& item) {
        return SameFolder(FolderOf(item), request.folder);
    });
    if (intoOwnFolder) {
        for (const std::wstring& item : request.items) {
            const bool isFolder = AfxIsDirectory(AfxUtf8(item)) != FALSE;
            std::wstring name = SameFolder(FolderOf(item), request.folder)
                                    ? CopyName(request.folder, NameOf(item), isFolder)
                                    : NameOf(item);
            request.newNames.push_back(std::move(name));
        }
    }
    return Run(owner, request);
}

FileOperationResult ShellMove(HWND owner, const std::vector<std::string>& paths, const std::string& folder)
{
    std::vector<std::wstring> items;
    const std::wstring to = AfxWide(folder);
    // Moving a file to where it is does nothing, as in Explorer.
    for (std::wstring& item : Wide(paths)) {
        if (!SameFolder(FolderOf(item), to))
            items.push_back(std::move(item));
    }
    return Run(owner, Request{Kind::Move, std::move(items), to});
}

std::string CheckFileName(const std::string& name)
{
    const std::wstring wide = AfxWide(name);
    if (wide.find_first_not_of(L" ") == std::wstring::npos)
        return AfxLoadString(IDS_NAME_EMPTY);
    const bool forbidden = std::any_of(wide.begin(), wide.end(), [](wchar_t c) {
        return c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
    });
    if (forbidden)
        return AfxLoadString(IDS_NAME_FORBIDDEN);
    if (wide.size() > MAX_PATH - 5)
        return AfxLoadString(IDS_NAME_TOO_LONG);
    // The system's devices keep their names with any extension.
    std::wstring stem = wide.substr(0, wide.find(L'.'));
    stem.erase(stem.find_last_not_of(L' ') + 1);
    ::CharUpperBuffW(stem.data(), (DWORD)stem.size());
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL"};
    bool device = std::any_of(std::begin(kDevices), std::end(kDevices), [&](const wchar_t* d) { return stem == d; });
    device |= stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0) && stem[3] >= L'1'
              && stem[3] <= L'9';
    if (device)
        return AfxLoadString(IDS_NAME_DEVICE);
    if (wide.back() == L'.' || wide.back() == L' ')
        return AfxLoadString(IDS_NAME_TRAILING);
    return {};
}
