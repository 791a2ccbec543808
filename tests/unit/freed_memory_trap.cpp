#include "freed_memory_trap.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

// The library's other forms of new and delete call the two replaced below.

namespace {

constexpr size_t kPage = 4096;
constexpr size_t kRegion = size_t(256) << 20;  // reserved once; more blocks than a test makes
constexpr size_t kHeader = 16;                 // the block's bytes; keeps new's alignment

char* g_region = nullptr;
std::atomic<size_t> g_used{0};
std::atomic<bool> g_set{false};
std::atomic<int> g_accesses{0};

bool InRegion(const void* p, size_t end)
{
    return g_region && p >= g_region && p < g_region + end;
}

LONG CALLBACK OnAccessViolation(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    char* address = reinterpret_cast<char*>(record.ExceptionInformation[1]);
    DWORD old;
    // Counted, then the page is opened so that the program goes on as it would have.
    if (!InRegion(address, std::min<size_t>(g_used, kRegion))
        || !::VirtualProtect(address - (address - g_region) % kPage, kPage, PAGE_READWRITE, &old))
        return EXCEPTION_CONTINUE_SEARCH;
    ++g_accesses;
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

FreedMemoryTrap::FreedMemoryTrap()
{
    if (!g_region) {
        g_region = static_cast<char*>(::VirtualAlloc(nullptr, kRegion, MEM_RESERVE, PAGE_NOACCESS));
        ::AddVectoredExceptionHandler(1, OnAccessViolation);
    }
    g_accesses = 0;
    g_set = true;
}

FreedMemoryTrap::~FreedMemoryTrap()
{
    g_set = false;
}

int FreedMemoryTrap::Accesses() const
{
    return g_accesses;
}

void* operator new(size_t size)
{
    if (g_set) {
        const size_t bytes = (size + kHeader + kPage - 1) / kPage * kPage;
        const size_t at = g_used.fetch_add(bytes);
        if (at + bytes <= kRegion && ::VirtualAlloc(g_region + at, bytes, MEM_COMMIT, PAGE_READWRITE)) {
            *reinterpret_cast<size_t*>(g_region + at) = bytes;
            return g_region + at + kHeader;
        }
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    if (!InRegion(p, kRegion)) {
        std::free(p);
        return;
    }
    char* block = static_cast<char*>(p) - kHeader;
    DWORD old;
    ::VirtualProtect(block, *reinterpret_cast<size_t*>(block), PAGE_NOACCESS, &old);
}

void operator delete(void* p, size_t) noexcept
{
    operator delete(p);
}
