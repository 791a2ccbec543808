#include "imaging/filelook.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <climits>
#include <cstring>

#include "imaging/metadata.h"

namespace {

// As CreatePictureDib: no photograph needs more than 2 GB of 24-bit rows.
constexpr uint64_t kMostSectionBytes = 0x7FFFFFFF;
// No camera writes more entries to a directory.
constexpr size_t kMostEntries = 1024;
// A longer value (strip offsets, a profile, XMP) is none of a photo's facts.
constexpr size_t kMostValueBytes = 4096;
// As much as a JPEG's EXIF segment may hold.
constexpr size_t kMostExifBytes = 64 << 10;
// Chunks before a PNG's pixels: text and the like, never thousands.
constexpr int kMostChunks = 256;

constexpr unsigned kExifDirectory = 0x8769, kGpsDirectory = 0x8825;

bool ReadAt(FILE* file, uint64_t offset, void* buffer, size_t size)
{
    return ::_fseeki64(file, (long long)offset, SEEK_SET) == 0 && std::fread(buffer, 1, size, file) == size;
}

uint32_t ReadNumber(const BYTE* bytes, int count, bool bigEndian)
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= (uint32_t)bytes[i] << 8 * (bigEndian ? count - 1 - i : i);
    return value;
}

void WriteNumber(BYTE* bytes, uint32_t value, int count, bool bigEndian)
{
    for (int i = 0; i < count; ++i)
        bytes[i] = (BYTE)(value >> 8 * (bigEndian ? count - 1 - i : i));
}

// The bytes a value of the TIFF type takes; 0 for types unknown.
uint32_t TypeSize(unsigned type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
    }
}

// Copies the file's directory at offset to the end of tiff, with the
// values its entries point to (and, for the first directory, its Exif
// and GPS directories) after it; returns where it lies there, 0 when it
// does not read. An entry whose value is not copied keeps no value.
uint32_t CopyDirectory(FILE* file, uint32_t offset, bool motorola, bool primary, std::vector<BYTE>& tiff)
{
    BYTE count[2];
    if (offset < 8 || !ReadAt(file, offset, count, 2))
        return 0;
    std::vector<BYTE> entries(std::min<size_t>(ReadNumber(count, 2, motorola), kMostEntries) * 12);
    entries.resize(std::fread(entries.data(), 1, entries.size(), file) / 12 * 12);
    const size_t placed = tiff.size();
    tiff.resize(placed + 2 + entries.size() + 4);  // the next directory's offset stays 0
    WriteNumber(&tiff[placed], (uint32_t)(entries.size() / 12), 2, motorola);
    std::copy(entries.begin(), entries.end(), tiff.begin() + (ptrdiff_t)placed + 2);
    for (size_t i = 0; i < entries.size() / 12; ++i) {
        const size_t entry = placed + 2 + 12 * i;
        const unsigned tag = ReadNumber(&tiff[entry], 2, motorola), type = ReadNumber(&tiff[entry + 2], 2, motorola);
        const uint32_t values = ReadNumber(&tiff[entry + 4], 4, motorola);
        const uint32_t value = ReadNumber(&tiff[entry + 8], 4, motorola);
        uint32_t moved = 0;
        if (primary && (tag == kExifDirectory || tag == kGpsDirectory) && values == 1 && TypeSize(type) == 4) {
            moved = CopyDirectory(file, value, motorola, false, tiff);
        } else {
            const uint64_t bytes = (uint64_t)values * TypeSize(type);
            if (bytes <= 4)
                continue;  // inside the entry
            BYTE data[kMostValueBytes];
            if (bytes <= kMostValueBytes && ReadAt(file, value, data, (size_t)bytes)) {
                moved = (uint32_t)(tiff.size() + (tiff.size() & 1));  // values start on a word
                tiff.resize(moved);
                tiff.insert(tiff.end(), data, data + bytes);
            }
        }
        if (moved)
            WriteNumber(&tiff[entry + 8], moved, 4, motorola);
        else
            WriteNumber(&tiff[entry + 4], 0, 4, motorola);  // no value: the readers skip it
    }
    return (uint32_t)placed;
}

// Whether an icon's first image claims no more pixels than a picture may
// have: Wine's decoder counts their bytes in 32 bits and writes past its
// memory when a damaged header claims gigabytes.
bool IconWithinLimits(FILE* file)
{
    BYTE entry[16], image[24];
    if (!ReadAt(file, 6, entry, sizeof entry) || !ReadAt(file, ReadNumber(entry + 12, 4, false), image, sizeof image))
        return true;  // the decoder refuses it by itself
    uint64_t width, height;
    if (std::memcmp(image, "\x89PNG", 4) == 0) {
        width = ReadNumber(image + 16, 4, true);
        height = ReadNumber(image + 20, 4, true);
    } else {  // a DIB of the picture's rows and then its mask's
        width = (uint64_t)std::abs((int64_t)(int32_t)ReadNumber(image + 4, 4, false));
        height = (uint64_t)std::abs((int64_t)(int32_t)ReadNumber(image + 8, 4, false)) / 2;
    }
    return width * height * 4 <= kMostSectionBytes;
}

const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

std::vector<BYTE> ReadTiffDirectories(FILE* file)
{
    BYTE header[8];
    if (!ReadAt(file, 0, header, sizeof header)
        || (std::memcmp(header, "II*\0", 4) != 0 && std::memcmp(header, "MM\0*", 4) != 0))
        return {};
    const bool motorola = header[0] == 'M';
    std::vector<BYTE> tiff(header, header + 8);
    WriteNumber(&tiff[4], 8, 4, motorola);
    if (!CopyDirectory(file, ReadNumber(header + 4, 4, motorola), motorola, true, tiff))
        return {};
    return tiff;
}

std::vector<BYTE> ReadPngExif(FILE* file)
{
    uint64_t at = sizeof kPngSignature;
    for (int chunk = 0; chunk < kMostChunks; ++chunk) {
        BYTE head[8];
        if (!ReadAt(file, at, head, sizeof head))
            return {};
        const uint32_t length = ReadNumber(head, 4, true);
        // The chunk comes before the pixels, which are not read through.
        if (std::memcmp(head + 4, "IDAT", 4) == 0 || std::memcmp(head + 4, "IEND", 4) == 0)
            return {};
        if (std::memcmp(head + 4, "eXIf", 4) == 0) {
            std::vector<BYTE> data(length <= kMostExifBytes ? length : 0);
            return !data.empty() && ReadAt(file, at + 8, data.data(), data.size()) ? data : std::vector<BYTE>{};
        }
        at += 12 + (uint64_t)length;  // length, type, data and CRC
    }
    return {};
}

FileLook LookAtFile(FILE* file)
{
    FileLook look;
    BYTE header[24];
    if (ReadAt(file, 0, header, 8)) {
        if (std::memcmp(header, "II*\0", 4) == 0 || std::memcmp(header, "MM\0*", 4) == 0) {
            // Wine's own directory reader takes seconds over some damaged
            // directories and reads through one it could not open.
            std::vector<BYTE> segment = {'E', 'x', 'i', 'f', 0, 0};
            const std::vector<BYTE> tiff = ReadTiffDirectories(file);
            segment.insert(segment.end(), tiff.begin(), tiff.end());
            const int orientation = ExifOrientation(segment.data(), segment.size());
            look.tiffOrientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
            look.facts = TiffPhotoFacts(tiff.data(), tiff.size());
        } else if (std::memcmp(header, kPngSignature, 8) == 0) {
            look.png = true;
            if (ReadAt(file, 0, header, sizeof header) && std::memcmp(header + 12, "IHDR", 4) == 0) {
                const uint32_t width = ReadNumber(header + 16, 4, true), height = ReadNumber(header + 20, 4, true);
                if (width <= INT_MAX && height <= INT_MAX)
                    look.pngSize = SIZE{(LONG)width, (LONG)height};
            }
            const std::vector<BYTE> exif = ReadPngExif(file);
            look.facts = TiffPhotoFacts(exif.data(), exif.size());
        } else if (std::memcmp(header, "\0\0\1\0", 4) == 0) {
            look.refused = !IconWithinLimits(file);
        }
    }
    // The decoder reads through the same handle, from its start.
    ::_fseeki64(file, 0, SEEK_SET);
    return look;
}
