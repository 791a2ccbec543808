#include "open_handles.h"

#include <winternl.h>

#include <shlwapi.h>

namespace {

// SystemExtendedHandleInformation's entries.
struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

constexpr int kExtendedHandleInformation = 64;
constexpr int kObjectNameInformation = 1;
constexpr int kObjectTypeInformation = 2;

using QuerySystem = NTSTATUS(WINAPI*)(int, PVOID, ULONG, PULONG);
using QueryObject = NTSTATUS(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

std::wstring ObjectString(QueryObject query, HANDLE handle, int what)
{
    alignas(8) char buffer[4096];
    ULONG length = 0;
    if (query(handle, what, buffer, sizeof buffer, &length) != 0)
        return {};
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
}

std::string Narrow(const std::wstring& wide)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string text((size_t)size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), (int)wide.size(), text.data(), size, nullptr, nullptr);
    return text;
}

} // namespace

namespace {

// Calls found(handle, path) for each file handle of the process, the handle
// as that process knows it.
template <class Found>
void ForEachFileHandle(DWORD processId, Found&& found)
{
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    auto querySystem = reinterpret_cast<QuerySystem>(::GetProcAddress(ntdll, "NtQuerySystemInformation"));
    auto queryObject = reinterpret_cast<QueryObject>(::GetProcAddress(ntdll, "NtQueryObject"));
    if (!querySystem || !queryObject)
        return;
    std::vector<char> table(1 << 20);
    ULONG length = 0;
    while (querySystem(kExtendedHandleInformation, table.data(), (ULONG)table.size(), &length) != 0) {
        if (table.size() >= (64u << 20))
            return;
        table.resize(table.size() * 2);
    }
    HANDLE process = ::OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId);
    if (!process)
        return;
    const auto* handles = reinterpret_cast<const HandleTable*>(table.data());
    for (ULONG_PTR i = 0; i < handles->count; ++i) {
        const HandleEntry& entry = handles->entries[i];
        if (entry.processId != processId)
            continue;
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(process, (HANDLE)entry.handle, ::GetCurrentProcess(), &copy, 0, FALSE,
                               DUPLICATE_SAME_ACCESS))
            continue;
        // Only files: asking a pipe its name can block.
        if (ObjectString(queryObject, copy, kObjectTypeInformation) == L"File") {
            std::wstring name = ObjectString(queryObject, copy, kObjectNameInformation);
            if (name.rfind(L"\\??\\", 0) == 0)
                found((HANDLE)entry.handle, Narrow(name.substr(4)));
        }
        ::CloseHandle(copy);
    }
    ::CloseHandle(process);
}

} // namespace

std::vector<std::string> OpenPaths(DWORD processId)
{
    std::vector<std::string> paths;
    ForEachFileHandle(processId, [&](HANDLE, const std::string& path) { paths.push_back(path); });
    return paths;
}

std::vector<HANDLE> HandlesOn(const std::string& path)
{
    std::vector<HANDLE> handles;
    ForEachFileHandle(::GetCurrentProcessId(), [&](HANDLE handle, const std::string& open) {
        if (::lstrcmpiA(open.c_str(), path.c_str()) == 0)
            handles.push_back(handle);
    });
    return handles;
}

bool HoldsHandleOn(const std::string& path, DWORD processId)
{
    for (const std::string& open : OpenPaths(processId)) {
        if (open.size() >= path.size() && ::StrCmpNIA(open.c_str(), path.c_str(), (int)path.size()) == 0
            && (open.size() == path.size() || open[path.size()] == '\\'))
            return true;
    }
    return false;
}

DEV_BROADCAST_HANDLE BroadcastFor(HANDLE handle)
{
    DEV_BROADCAST_HANDLE broadcast{};
    broadcast.dbch_size = sizeof broadcast;
    broadcast.dbch_devicetype = DBT_DEVTYP_HANDLE;
    broadcast.dbch_handle = handle;
    return broadcast;
}
