// The thumbnail cache file as the tests read and write it byte by byte: a
// header (magic, version, directory size and offset as 32-bit words), a
// directory of records (stream length, stream offset,
// file time low and high, the picture's path, zero-padded, then its date
// taken low and high, width and height), then the JPEG streams.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t kCacheHeader = 64;
constexpr size_t kCacheRecord = 256;
constexpr size_t kCacheRecordPath = 16;  // where a record's path starts
constexpr size_t kCachePathField = 224;
constexpr size_t kCacheRecordFacts = 240;  // where a record's facts start
constexpr unsigned kCacheVersion = 0x01000002;

// The 32-bit word at offset; one past the end throws, so that the test fails.
unsigned CacheWord(const std::string& bytes, size_t offset);
void PutCacheWord(std::string& bytes, size_t offset, unsigned value);
// The thumbnail stream a cache file holds for path, empty when it holds none.
std::string StreamInCacheFile(const std::string& cacheFile, const std::string& path);
