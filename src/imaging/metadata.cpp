#include "imaging/metadata.h"

#include <cstring>

namespace {

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kThumbnailOffsetTag = 0x0201;
constexpr unsigned kThumbnailLengthTag = 0x0202;
constexpr unsigned kShortType = 3;
constexpr unsigned kLongType = 4;
constexpr size_t kExifHeader = 6;  // "Exif" and two bytes of padding
constexpr char kIccSignature[] = "ICC_PROFILE";  // with its NUL: 12 bytes
constexpr size_t kIccHeader = sizeof kIccSignature + 2;  // then number and count

// The TIFF structure of an EXIF segment, read in its own byte order.
class TiffReader {
public:
    TiffReader(BYTE* data, size_t size) : m_tiff(data + kExifHeader), m_size(size - kExifHeader)
    {
        m_motorola = m_tiff[0] == 'M' && m_tiff[1] == 'M';
        m_valid = m_motorola || (m_tiff[0] == 'I' && m_tiff[1] == 'I');
    }
    static bool IsExif(const BYTE* data, size_t size)
    {
        return size >= kExifHeader + 8 && std::memcmp(data, "Exif\0", 5) == 0;
    }

    bool Valid() const { return m_valid; }
    size_t Size() const { return m_size; }
    // Callers check that at + bytes lies inside.
    unsigned Read(size_t at, int bytes) const
    {
        unsigned value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= (unsigned)m_tiff[at + i] << 8 * (m_motorola ? bytes - 1 - i : i);
        return value;
    }
    void Write(size_t at, int bytes, unsigned value)
    {
        for (int i = 0; i < bytes; ++i)
            m_tiff[at + i] = (BYTE)(value >> 8 * (m_motorola ? bytes - 1 - i : i));
    }

    // Calls visit(entry offset, value bytes) for each Orientation tag of the
    // first directory, the primary picture's, that lies wholly inside.
    template <class Visit>
    void ForEachOrientation(Visit&& visit) const
    {
        const size_t directory = Read(4, 4);
        if (directory >= m_size || m_size - directory < 2)
            return;
        const size_t count = Read(directory, 2);
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = directory + 2 + 12 * i;
            if (entry + 12 > m_size)
                break;
            if (Read(entry, 2) != kOrientationTag || Read(entry + 4, 4) != 1)
                continue;
            const unsigned type = Read(entry + 2, 2);
            if (type == kShortType)
                visit(entry, 2);
            else if (type == kLongType)
                visit(entry, 4);
        }
    }

    // The offset of the directory after the one at directory, 0 when none.
    size_t NextDirectory(size_t directory) const
    {
        if (directory >= m_size || m_size - directory < 2)
            return 0;
        const size_t link = directory + 2 + 12 * (size_t)Read(directory, 2);
        return link + 4 <= m_size ? Read(link, 4) : 0;
    }
    // The value of a SHORT or LONG tag of the directory; 0 when absent.
    unsigned Value(size_t directory, unsigned tag) const
    {
        if (directory < 8 || directory >= m_size || m_size - directory < 2)
            return 0;
        const size_t count = Read(directory, 2);
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = directory + 2 + 12 * i;
            if (entry + 12 > m_size)
                break;
            if (Read(entry, 2) != tag || Read(entry + 4, 4) != 1)
                continue;
            const unsigned type = Read(entry + 2, 2);
            return type == kShortType ? Read(entry + 8, 2) : type == kLongType ? Read(entry + 8, 4) : 0;
        }
        return 0;
    }

private:
    BYTE* m_tiff;
    size_t m_size;
    bool m_motorola = false;
    bool m_valid = false;
};

bool IsExifMarker(const jpeg_marker_struct& marker)
{
    return marker.marker == JPEG_APP0 + 1 && TiffReader::IsExif(marker.data, marker.data_length);
}

bool IsIccMarker(const jpeg_marker_struct& marker)
{
    return marker.marker == JPEG_APP0 + 2 && marker.data_length >= kIccHeader
        && std::memcmp(marker.data, kIccSignature, sizeof kIccSignature) == 0;
}

}  // namespace

int ExifOrientation(const BYTE* data, size_t size)
{
    if (!data || !TiffReader::IsExif(data, size))
        return 0;
    // Only read: the cast lets reading and writing share one walker.
    const TiffReader tiff(const_cast<BYTE*>(data), size);
    if (!tiff.Valid())
        return 0;
    // The first tag counts, even when it holds 0.
    int orientation = 0;
    bool found = false;
    tiff.ForEachOrientation([&](size_t entry, int bytes) {
        if (!found)
            orientation = (int)tiff.Read(entry + 8, bytes);
        found = true;
    });
    return orientation;
}

bool SetExifOrientation(BYTE* data, size_t size, int value)
{
    if (!data || !TiffReader::IsExif(data, size))
        return false;
    TiffReader tiff(data, size);
    if (!tiff.Valid())
        return false;
    bool found = false;
    tiff.ForEachOrientation([&](size_t entry, int bytes) {
        tiff.Write(entry + 8, 4, 0);  // the unused bytes of a SHORT stay zero
        tiff.Write(entry + 8, bytes, (unsigned)value);
        found = true;
    });
    return found;
}

bool ExifThumbnail(const BYTE* data, size_t size, size_t* offset, size_t* length)
{
    if (!data || !TiffReader::IsExif(data, size))
        return false;
    const TiffReader tiff(const_cast<BYTE*>(data), size);
    if (!tiff.Valid())
        return false;
    const size_t second = tiff.NextDirectory(tiff.Read(4, 4));
    const size_t at = tiff.Value(second, kThumbnailOffsetTag);
    const size_t bytes = tiff.Value(second, kThumbnailLengthTag);
    if (at == 0 || bytes == 0 || at > tiff.Size() || bytes > tiff.Size() - at)
        return false;
    *offset = kExifHeader + at;
    *length = bytes;
    return true;
}

void SaveMetadataMarkers(jpeg_decompress_struct& info)
{
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
}

int ReadOrientation(jpeg_saved_marker_ptr markers)
{
    for (jpeg_saved_marker_ptr marker = markers; marker; marker = marker->next) {
        if (!IsExifMarker(*marker))
            continue;
        const int orientation = ExifOrientation(marker->data, marker->data_length);
        return orientation >= OrientNormal && orientation <= OrientTurned270 ? orientation : OrientNormal;
    }
    return OrientNormal;
}

std::vector<BYTE> ReadIccProfile(jpeg_saved_marker_ptr markers)
{
    // Chunks are numbered from 1; at most 255 of them.
    const jpeg_marker_struct* chunks[256] = {};
    int count = 0;
    for (jpeg_saved_marker_ptr marker = markers; marker; marker = marker->next) {
        if (!IsIccMarker(*marker))
            continue;
        const int number = marker->data[kIccHeader - 2];
        const int total = marker->data[kIccHeader - 1];
        if (total == 0 || number == 0 || number > total || (count && total != count) || chunks[number])
            return {};
        count = total;
        chunks[number] = marker;
    }
    std::vector<BYTE> profile;
    for (int number = 1; number <= count; ++number) {
        if (!chunks[number])
            return {};
        const BYTE* payload = chunks[number]->data + kIccHeader;
        profile.insert(profile.end(), payload, payload + (chunks[number]->data_length - kIccHeader));
    }
    return profile;
}
