#include "imaging/photofacts.h"

#include <cstdint>
#include <cstring>

namespace {

enum : unsigned { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

constexpr size_t kExifHeader = 6;  // "Exif" and two bytes of padding

// Primary directory
constexpr unsigned kMake = 0x010F, kModel = 0x0110, kDateTime = 0x0132;
constexpr unsigned kExifDirectory = 0x8769, kGpsDirectory = 0x8825;
// Exif directory
constexpr unsigned kExposureTime = 0x829A, kFNumber = 0x829D, kIso = 0x8827;
constexpr unsigned kDateTimeOriginal = 0x9003, kDateTimeDigitized = 0x9004;
constexpr unsigned kOffsetTime = 0x9010, kOffsetTimeOriginal = 0x9011, kOffsetTimeDigitized = 0x9012;
constexpr unsigned kSubSecTime = 0x9290, kSubSecTimeOriginal = 0x9291, kSubSecTimeDigitized = 0x9292;
constexpr unsigned kFlash = 0x9209, kFocalLength = 0x920A, kFocalLength35mm = 0xA405, kLensModel = 0xA434;
// GPS directory
constexpr unsigned kLatitudeRef = 1, kLatitude = 2, kLongitudeRef = 3, kLongitude = 4;
constexpr unsigned kAltitudeRef = 5, kAltitude = 6;

// One directory entry whose values lie wholly inside the structure.
struct Field {
    unsigned type = 0;
    uint32_t count = 0;
    size_t at = 0;  // of the first value
};

class TiffFields {
public:
    TiffFields(const BYTE* tiff, size_t size) : m_tiff(tiff), m_size(size)
    {
        if (size < 8)
            return;
        m_motorola = tiff[0] == 'M' && tiff[1] == 'M';
        m_valid = (m_motorola || (tiff[0] == 'I' && tiff[1] == 'I')) && Number(2, 2) == 42;
    }
    bool Valid() const { return m_valid; }
    size_t FirstDirectory() const { return Number(4, 4); }

    // Calls visit(tag, field) for each entry of the directory at offset
    // whose values lie inside; stops at the structure's end.
    template <class Visit>
    void ForEachField(size_t directory, Visit&& visit) const
    {
        if (directory >= m_size || m_size - directory < 2)
            return;
        const size_t count = Number(directory, 2);
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = directory + 2 + 12 * i;
            if (entry + 12 > m_size)
                return;
            Field field{Number(entry + 2, 2), Number(entry + 4, 4), entry + 8};
            const uint64_t bytes = (uint64_t)field.count * TypeSize(field.type);
            if (bytes == 0)
                continue;
            if (bytes > 4) {
                field.at = Number(entry + 8, 4);
                if (field.at > m_size || bytes > m_size - field.at)
                    continue;
            }
            visit(Number(entry, 2), field);
        }
    }

    // Callers keep index below the field's count and the type one of these.
    unsigned Unsigned(const Field& field, uint32_t index = 0) const
    {
        const int bytes = TypeSize(field.type);
        return Number(field.at + (size_t)index * bytes, bytes);
    }
    std::optional<ExifRational> Rational(const Field& field, uint32_t index = 0) const
    {
        if (field.type != kRational || index >= field.count)
            return std::nullopt;
        const size_t at = field.at + 8 * (size_t)index;
        const ExifRational value{Number(at, 4), Number(at + 4, 4)};
        if (value.denominator == 0)
            return std::nullopt;
        return value;
    }
    std::optional<unsigned> Integer(const Field& field) const
    {
        if (field.type != kShort && field.type != kLong)
            return std::nullopt;
        return Unsigned(field);
    }
    std::string Text(const Field& field) const
    {
        if (field.type != kAscii)
            return {};
        const char* text = reinterpret_cast<const char*>(m_tiff + field.at);
        size_t length = 0;
        while (length < field.count && text[length])
            ++length;
        while (length && text[length - 1] == ' ')
            --length;
        return std::string(text, length);
    }

private:
    static int TypeSize(unsigned type)
    {
        switch (type) {
        case kByte: case kAscii: case 6: case 7: return 1;  // and SBYTE, UNDEFINED
        case kShort: case 8: return 2;
        case kLong: case 9: case 11: case 13: return 4;  // 13: a directory offset
        case kRational: case 10: case 12: return 8;
        default: return 0;  // unknown: skipped
        }
    }
    // Callers check that at + bytes lies inside.
    unsigned Number(size_t at, int bytes) const
    {
        unsigned value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= (unsigned)m_tiff[at + i] << 8 * (m_motorola ? bytes - 1 - i : i);
        return value;
    }

    const BYTE* m_tiff;
    size_t m_size;
    bool m_motorola = false;
    bool m_valid = false;
};

bool Digits(const std::string& text, size_t at, size_t count, int& value)
{
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// "YYYY:MM:DD HH:MM:SS"; cameras without a set clock write spaces or zeros.
std::optional<CameraTime> ParseTime(const std::string& text)
{
    CameraTime time;
    if (text.size() < 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':'
        || text[16] != ':')
        return std::nullopt;
    if (!Digits(text, 0, 4, time.year) || !Digits(text, 5, 2, time.month) || !Digits(text, 8, 2, time.day)
        || !Digits(text, 11, 2, time.hour) || !Digits(text, 14, 2, time.minute)
        || !Digits(text, 17, 2, time.second))
        return std::nullopt;
    if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.hour > 23 || time.minute > 59
        || time.second > 60)
        return std::nullopt;
    return time;
}

// "+HH:MM" or "-HH:MM".
std::optional<int> ParseOffset(const std::string& text)
{
    int hours = 0, minutes = 0;
    if (text.size() < 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':' || !Digits(text, 1, 2, hours)
        || !Digits(text, 4, 2, minutes) || hours > 14 || minutes > 59)
        return std::nullopt;
    return (text[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
}

// Digits of a fraction of a second: "5" is half a second.
std::optional<int> ParseSubSecond(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    int millisecond = 0, digit = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (i < text.size() && !Digits(text, i, 1, digit))
            return std::nullopt;
        millisecond = millisecond * 10 + (i < text.size() ? digit : 0);
    }
    return millisecond;
}

// Degrees, minutes and seconds, signed by a reference letter.
std::optional<double> Coordinate(const TiffFields& tiff, const Field* value, const std::string& ref,
                                 char negative, char positive)
{
    if (!value || value->count < 3 || ref.size() != 1 || (ref[0] != negative && ref[0] != positive))
        return std::nullopt;
    double degrees = 0, unit = 1;
    for (uint32_t i = 0; i < 3; ++i, unit *= 60) {
        const auto part = tiff.Rational(*value, i);
        if (!part)
            return std::nullopt;
        degrees += part->Value() / unit;
    }
    return ref[0] == negative ? -degrees : degrees;
}

// The first entry of each tag counts, as elsewhere.
template <class T>
void First(std::optional<T>& fact, std::optional<T> value, bool& seen)
{
    if (!seen)
        fact = value;
    seen = true;
}

}  // namespace

PhotoFacts TiffPhotoFacts(const BYTE* data, size_t size)
{
    PhotoFacts facts;
    if (!data)
        return facts;
    const TiffFields tiff(data, size);
    if (!tiff.Valid())
        return facts;

    // Texts by tag, first entry only; the other facts straight into place.
    struct Texts {
        std::string make, model, lens, dateTime[3], subSecond[3], offset[3];
        bool seenMake = false, seenModel = false, seenLens = false;
        bool seenDate[3] = {}, seenSubSecond[3] = {}, seenOffset[3] = {};
    } texts;
    auto text = [&](std::string& into, bool& seen, const Field& field) {
        if (!seen)
            into = tiff.Text(field);
        seen = true;
    };
    std::optional<size_t> exif, gps;
    tiff.ForEachField(tiff.FirstDirectory(), [&](unsigned tag, const Field& field) {
        switch (tag) {
        case kMake: text(texts.make, texts.seenMake, field); break;
        case kModel: text(texts.model, texts.seenModel, field); break;
        case kDateTime: text(texts.dateTime[2], texts.seenDate[2], field); break;
        case kExifDirectory:
            if (!exif && field.count == 1 && (field.type == kLong || field.type == 13))
                exif = tiff.Unsigned(Field{kLong, 1, field.at});
            break;
        case kGpsDirectory:
            if (!gps && field.count == 1 && (field.type == kLong || field.type == 13))
                gps = tiff.Unsigned(Field{kLong, 1, field.at});
            break;
        }
    });

    // Sub-directories are followed from the primary one only, never from
    // each other: offsets that point back cannot make a loop.
    bool seen[8] = {};
    if (exif) {
        tiff.ForEachField(*exif, [&](unsigned tag, const Field& field) {
            switch (tag) {
            case kDateTimeOriginal: text(texts.dateTime[0], texts.seenDate[0], field); break;
            case kDateTimeDigitized: text(texts.dateTime[1], texts.seenDate[1], field); break;
            case kSubSecTimeOriginal: text(texts.subSecond[0], texts.seenSubSecond[0], field); break;
            case kSubSecTimeDigitized: text(texts.subSecond[1], texts.seenSubSecond[1], field); break;
            case kSubSecTime: text(texts.subSecond[2], texts.seenSubSecond[2], field); break;
            case kOffsetTimeOriginal: text(texts.offset[0], texts.seenOffset[0], field); break;
            case kOffsetTimeDigitized: text(texts.offset[1], texts.seenOffset[1], field); break;
            case kOffsetTime: text(texts.offset[2], texts.seenOffset[2], field); break;
            case kLensModel: text(texts.lens, texts.seenLens, field); break;
            case kExposureTime: First(facts.exposureTime, tiff.Rational(field), seen[0]); break;
            case kFNumber: First(facts.fNumber, tiff.Rational(field), seen[1]); break;
            case kFocalLength: First(facts.focalLength, tiff.Rational(field), seen[2]); break;
            case kIso: First(facts.iso, tiff.Integer(field), seen[3]); break;
            case kFocalLength35mm: First(facts.focalLength35mm, tiff.Integer(field), seen[4]); break;
            case kFlash: First(facts.flash, tiff.Integer(field), seen[5]); break;
            }
        });
    }
    if (gps) {
        std::string latitudeRef, longitudeRef;
        bool seenRef[2] = {}, seenValue[3] = {};
        std::optional<Field> latitude, longitude, altitude;
        std::optional<unsigned> altitudeRef;
        bool seenAltitudeRef = false;
        auto first = [](std::optional<Field>& into, bool& seen, const Field& field) {
            if (!seen)
                into = field;
            seen = true;
        };
        tiff.ForEachField(*gps, [&](unsigned tag, const Field& field) {
            switch (tag) {
            case kLatitudeRef: text(latitudeRef, seenRef[0], field); break;
            case kLongitudeRef: text(longitudeRef, seenRef[1], field); break;
            case kLatitude: first(latitude, seenValue[0], field); break;
            case kLongitude: first(longitude, seenValue[1], field); break;
            case kAltitude: first(altitude, seenValue[2], field); break;
            case kAltitudeRef:
                First(altitudeRef, field.type == kByte ? std::optional<unsigned>(tiff.Unsigned(field)) : std::nullopt,
                      seenAltitudeRef);
                break;
            }
        });
        facts.latitude = Coordinate(tiff, latitude ? &*latitude : nullptr, latitudeRef, 'S', 'N');
        facts.longitude = Coordinate(tiff, longitude ? &*longitude : nullptr, longitudeRef, 'W', 'E');
        if (altitude) {
            if (const auto metres = tiff.Rational(*altitude))
                facts.altitude = altitudeRef.value_or(0) ? -metres->Value() : metres->Value();
        }
    }

    facts.make = texts.make;
    facts.model = texts.model;
    facts.lens = texts.lens;
    // The first date that reads, with the sub-seconds and offset of its kind.
    for (int kind = 0; kind < 3 && !facts.taken; ++kind) {
        facts.taken = ParseTime(texts.dateTime[kind]);
        if (facts.taken) {
            facts.takenMillisecond = ParseSubSecond(texts.subSecond[kind]);
            facts.takenOffsetMinutes = ParseOffset(texts.offset[kind]);
        }
    }
    return facts;
}

PhotoFacts ExifPhotoFacts(const BYTE* data, size_t size)
{
    if (!data || size < kExifHeader || std::memcmp(data, "Exif\0", 5) != 0)
        return {};
    return TiffPhotoFacts(data + kExifHeader, size - kExifHeader);
}

PhotoFacts ReadPhotoFacts(jpeg_saved_marker_ptr markers)
{
    for (jpeg_saved_marker_ptr marker = markers; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= kExifHeader
            && std::memcmp(marker->data, "Exif\0", 5) == 0)
            return ExifPhotoFacts(marker->data, marker->data_length);
    }
    return {};
}
