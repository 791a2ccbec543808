#include "process_counts.h"

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

int HandleCount()
{
    struct Entry {
        USHORT process, creator;
        UCHAR type, flags;
        USHORT handle;
        void* object;
        ULONG access;
    };
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    while (::NtQuerySystemInformation((SYSTEM_INFORMATION_CLASS)16, buffer.data(), (ULONG)buffer.size(), &needed)
           == (NTSTATUS)0xC0000004L)  // the buffer is too small
        buffer.resize(buffer.size() * 2);
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    return (int)std::count_if(entries, entries + count,
                              [](const Entry& e) { return e.process == (USHORT)::GetCurrentProcessId(); });
}

int GdiObjectCount()
{
    if (const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS))
        return (int)count;
    // Wine's object type query takes a handle's table index alone.
    int count = 0;
    for (UINT_PTR index = 1; index <= 0xFFFF; ++index)
        count += ::GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    return count;
}

int ThreadCount()
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    ::CloseHandle(snapshot);
    return count;
}
