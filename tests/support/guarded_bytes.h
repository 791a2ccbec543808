// Bytes that end exactly where a page with no access begins, so that a
// reader running past their end faults at once instead of reading whatever
// lies behind them. The bytes are writable.
#pragma once

#include <cstddef>
#include <string>

class GuardedBytes {
public:
    explicit GuardedBytes(const std::string& bytes);
    ~GuardedBytes();
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    unsigned char* data() const { return m_data; }
    size_t size() const { return m_size; }
    std::string str() const { return std::string(reinterpret_cast<const char*>(m_data), m_size); }

private:
    void* m_block = nullptr;
    size_t m_blockSize = 0;
    unsigned char* m_data = nullptr;
    size_t m_size = 0;
};
