#include "cache_layout.h"

#include <cstring>
#include <stdexcept>

#include "temp_folder.h"

unsigned CacheWord(const std::string& bytes, size_t offset)
{
    if (offset > bytes.size() || bytes.size() - offset < 4)
        throw std::out_of_range("cache word " + std::to_string(offset) + " past the end");
    unsigned value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

void PutCacheWord(std::string& bytes, size_t offset, unsigned value)
{
    if (offset > bytes.size() || bytes.size() - offset < 4)
        throw std::out_of_range("cache word " + std::to_string(offset) + " past the end");
    std::memcpy(bytes.data() + offset, &value, 4);
}

std::string StreamInCacheFile(const std::string& cacheFile, const std::string& path)
{
    const std::string bytes = ReadWholeFile(cacheFile);
    if (bytes.size() < kCacheHeader)
        return "";
    const size_t directorySize = CacheWord(bytes, 8), directoryOffset = CacheWord(bytes, 12);
    if (directoryOffset + directorySize > bytes.size())
        return "";
    for (size_t record = directoryOffset; record + kCacheRecord <= directoryOffset + directorySize;
         record += kCacheRecord) {
        const char* recordPath = bytes.data() + record + kCacheRecordPath;
        const size_t length = CacheWord(bytes, record), offset = CacheWord(bytes, record + 4);
        if (std::string(recordPath, strnlen(recordPath, kCachePathField)) == path && offset + length <= bytes.size())
            return bytes.substr(offset, length);
    }
    return "";
}
