#include "guarded_bytes.h"

#include <cstring>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

size_t PageSize()
{
#ifdef _WIN32
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return (size_t)::sysconf(_SC_PAGESIZE);
#endif
}

}  // namespace

GuardedBytes::GuardedBytes(const std::string& bytes) : m_size(bytes.size())
{
    // Whole pages for the bytes, then the guard page.
    const size_t page = PageSize();
    const size_t usable = (m_size + page - 1) / page * page;
    m_blockSize = usable + page;
#ifdef _WIN32
    m_block = ::VirtualAlloc(nullptr, m_blockSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old = 0;
    if (!m_block || !::VirtualProtect(static_cast<char*>(m_block) + usable, page, PAGE_NOACCESS, &old)) {
        if (m_block)
            ::VirtualFree(m_block, 0, MEM_RELEASE);
        throw std::bad_alloc();
    }
#else
    m_block = ::mmap(nullptr, m_blockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m_block == MAP_FAILED)
        throw std::bad_alloc();
    if (::mprotect(static_cast<char*>(m_block) + usable, page, PROT_NONE) != 0) {
        ::munmap(m_block, m_blockSize);
        throw std::bad_alloc();
    }
#endif
    m_data = static_cast<unsigned char*>(m_block) + usable - m_size;
    if (m_size)
        std::memcpy(m_data, bytes.data(), m_size);
}

GuardedBytes::~GuardedBytes()
{
#ifdef _WIN32
    ::VirtualFree(m_block, 0, MEM_RELEASE);
#else
    ::munmap(m_block, m_blockSize);
#endif
}
