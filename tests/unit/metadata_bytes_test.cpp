// The EXIF and ICC byte readers against damaged segments. Every mutant lies
// in GuardedBytes, so a read or write past its end faults, and what the
// readers give is compared with an independent walk of the same bytes.
// Needs no Windows: built natively with the sanitizers too.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "guarded_bytes.h"
#include "imaging/filelook.h"
#include "imaging/metadata.h"
#include "imaging/photofacts.h"
#include "jpeg_maker.h"

namespace {

// ---------------------------------------------------------------- EXIF

// A TIFF directory entry: tag, type, count and the four value bytes.
struct Entry {
    unsigned tag, type, count;
    unsigned value;  // a SHORT in the first two bytes, the rest zero
};

// An APP1 segment whose first directory holds the entries, then a second
// directory of one Orientation that must not count.
std::string ExifSegment(const std::vector<Entry>& entries, bool bigEndian)
{
    std::string tiff = bigEndian ? std::string("MM\0\x2A", 4) : std::string("II\x2A\0", 4);
    auto put = [&](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tiff += (char)(value >> 8 * (bigEndian ? bytes - 1 - i : i));
    };
    put(8, 4);
    put((unsigned)entries.size(), 2);
    for (const Entry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        if (e.type == 3) {
            put(e.value, 2);
            put(0, 2);
        } else {
            put(e.value, 4);
        }
    }
    put((unsigned)tiff.size() + 4, 4);
    put(1, 2);
    put(0x0112, 2);
    put(3, 2);
    put(1, 4);
    put(7, 2);
    put(0, 2);
    put(0, 4);
    return std::string("Exif\0\0", 6) + tiff;
}

// The orientation fields of the first directory, walked apart from the
// program's reader: offset of each value and its width.
struct ExifWalk {
    bool exif = false;
    std::vector<std::pair<size_t, int>> fields;
};

ExifWalk WalkExif(const std::string& segment)
{
    ExifWalk walk;
    if (segment.size() < 14 || segment.compare(0, 5, std::string("Exif\0", 5)) != 0)
        return walk;
    const std::string tiff = segment.substr(6);
    const bool motorola = tiff.compare(0, 2, "MM") == 0;
    if (!motorola && tiff.compare(0, 2, "II") != 0)
        return walk;
    walk.exif = true;
    auto number = [&](size_t at, int bytes) -> std::optional<unsigned long long> {
        if (at > tiff.size() || tiff.size() - at < (size_t)bytes)
            return std::nullopt;
        unsigned long long value = 0;
        for (int i = 0; i < bytes; ++i) {
            const unsigned long long byte = (unsigned char)tiff[at + (motorola ? i : bytes - 1 - i)];
            value = value << 8 | byte;
        }
        return value;
    };
    const auto directory = number(4, 4);
    const auto count = number(*directory, 2);
    if (!count)
        return walk;
    for (unsigned long long i = 0; i < *count; ++i) {
        const size_t entry = (size_t)(*directory + 2 + 12 * i);
        if (!number(entry + 8, 4))  // the entry's last bytes
            break;
        if (*number(entry, 2) != 0x0112 || *number(entry + 4, 4) != 1)
            continue;
        const unsigned long long type = *number(entry + 2, 2);
        if (type == 3 || type == 4)
            walk.fields.push_back({6 + entry + 8, type == 3 ? 2 : 4});
    }
    return walk;
}

unsigned FieldValue(const std::string& segment, std::pair<size_t, int> field)
{
    const bool motorola = segment[6] == 'M';
    unsigned value = 0;
    for (int i = 0; i < field.second; ++i)
        value = value << 8 | (unsigned char)segment[field.first + (motorola ? i : field.second - 1 - i)];
    return value;
}

TEST(MetadataBytes, MutatedExifIsReadAndResetOnlyInsideAndAsAnIndependentWalkFindsIt)
{
    std::vector<std::string> bases;
    for (bool bigEndian : {false, true}) {
        for (unsigned type : {3u, 4u})
            bases.push_back(ExifSegment({{0x0112, type, 1, 6}}, bigEndian));
        // Another tag first, one of the wrong count, then the real one.
        bases.push_back(ExifSegment({{0x010F, 2, 4, 0x006E6143}, {0x0112, 3, 2, 3}, {0x0112, 4, 1, 8},
                                     {0x0112, 3, 1, 5}},
                                    bigEndian));
    }
    // A thumbnail in the second directory, after its own entries.
    bases.push_back(ExifThumbnailSegment(6, std::string(40, 't')));
    // The unmutated bases, read to the values they were written with.
    const int written[] = {6, 6, 8, 6, 6, 8, 6};
    for (size_t i = 0; i < bases.size(); ++i) {
        GuardedBytes bytes(bases[i]);
        EXPECT_EQ(ExifOrientation(bytes.data(), bytes.size()), written[i]) << "base " << i;
    }

    std::mt19937 random(20261208);
    int read = 0, reset = 0, thumbnails = 0;
    for (int mutation = 0; mutation < 20000; ++mutation) {
        SCOPED_TRACE("mutation " + std::to_string(mutation));
        std::string exif = bases[random() % bases.size()];
        for (int flips = 1 + (int)(random() % 4); flips > 0; --flips) {
            const size_t at = random() % exif.size();
            // Small values make offsets and counts that still point inside.
            exif[at] = random() % 2 ? (char)(random() % 32) : (char)random();
        }
        if (random() % 3 == 0)
            exif.resize(random() % exif.size());
        const ExifWalk walk = WalkExif(exif);

        GuardedBytes bytes(exif);
        const int orientation = ExifOrientation(bytes.data(), bytes.size());
        ASSERT_EQ(orientation, walk.fields.empty() ? 0 : (int)FieldValue(exif, walk.fields[0]));
        read += orientation != 0;
        size_t offset = 0, length = 0;
        if (ExifThumbnail(bytes.data(), bytes.size(), &offset, &length)) {
            ASSERT_LE(offset + length, bytes.size()) << "a thumbnail beyond its segment";
            ++thumbnails;
        }

        ASSERT_EQ(SetExifOrientation(bytes.data(), bytes.size(), 1), !walk.fields.empty());
        // Each field now holds 1 in all four of its bytes' order; nothing else changed.
        std::string expected = exif;
        for (const auto& [at, width] : walk.fields) {
            for (int i = 0; i < 4; ++i)
                expected[at + i] = 0;
            expected[at + (exif[6] == 'M' ? width - 1 : 0)] = 1;
        }
        ASSERT_EQ(bytes.str(), expected);
        reset += !walk.fields.empty();
    }
    std::printf("%d mutations read an orientation, %d were reset, %d held a thumbnail\n", read, reset, thumbnails);
    EXPECT_GT(read, 1000);
    EXPECT_GT(thumbnails, 100);
}

// ---------------------------------------------------------------- Photo facts

// A TIFF structure of a primary, an Exif and a GPS directory, each entry
// (tag, type, count, value bytes) followed by the values that do not fit.
// With loop, the Exif directory is the primary and each names the primary
// as the next: a reader following offsets blindly would never end.
std::string FactsTiff(bool bigEndian, bool loop)
{
    auto number = [&](unsigned value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out += (char)(value >> 8 * (bigEndian ? bytes - 1 - i : i));
        return out;
    };
    const std::string latitude = number(33, 4) + number(1, 4) + number(51, 4) + number(1, 4) + number(2448, 4)
                               + number(100, 4);
    using Tags = std::vector<std::tuple<unsigned, unsigned, unsigned, std::string>>;
    const Tags exif = {{0x829A, 5, 1, number(1, 4) + number(250, 4)}, {0x8827, 3, 1, number(400, 2) + "xx"},
                       {0x9003, 2, 20, std::string("2023:07:14 18:30:05", 20)},
                       {0x9011, 2, 7, std::string("-07:00", 7)},
                       {0x9291, 2, 3, std::string("25", 3)}, {0xA434, 2, 12, std::string("EF35mm f/2 ", 12)}};
    const Tags gps = {{1, 2, 2, std::string("S", 2)}, {2, 5, 3, latitude}, {5, 1, 1, "\1xxx"},
                      {6, 5, 1, number(12, 4) + number(2, 4)}};
    const size_t exifAt = 200, gpsAt = 400;
    const Tags primary = {{0x010F, 2, 6, std::string("Canon", 6)},
                          {0x0132, 2, 20, std::string("2023:07:15 09:00:00", 20)},
                          {0x8769, 4, 1, number(loop ? 8 : exifAt, 4)}, {0x8825, 4, 1, number(gpsAt, 4)}};

    std::string tiff = (bigEndian ? std::string("MM\0\x2A", 4) : std::string("II\x2A\0", 4)) + number(8, 4);
    for (const auto& [tags, at] : {std::pair{&primary, (size_t)8}, {&exif, exifAt}, {&gps, gpsAt}}) {
        tiff.resize(at, '\0');
        std::string values;
        tiff += number((unsigned)tags->size(), 2);
        for (const auto& [tag, type, count, value] : *tags) {
            tiff += number(tag, 2) + number(type, 2) + number(count, 4);
            const size_t valueAt = at + 2 + 12 * tags->size() + 4 + values.size();
            tiff += value.size() <= 4 ? value + std::string(4 - value.size(), '\0') : number((unsigned)valueAt, 4);
            values += value.size() <= 4 ? "" : value;
        }
        tiff += number(loop ? 8 : 0, 4) + values;
    }
    return tiff;
}

TEST(MetadataBytes, MutatedPhotoFactsAreReadOnlyFromInsideAndEndEvenWhenDirectoriesLoop)
{
    std::vector<std::string> bases;
    for (bool bigEndian : {false, true}) {
        for (bool loop : {false, true}) {
            bases.push_back(FactsTiff(bigEndian, loop));
            GuardedBytes bytes(std::string("Exif\0\0", 6) + bases.back());
            const PhotoFacts facts = ExifPhotoFacts(bytes.data(), bytes.size());
            // Looped, the Exif directory is the primary: its date is the only one.
            EXPECT_EQ(facts.taken.value_or(CameraTime{}).day, loop ? 15 : 14);
            EXPECT_EQ(facts.lens, loop ? "" : "EF35mm f/2");
            EXPECT_NEAR(facts.latitude.value_or(0), -(33 + 51 / 60.0 + 24.48 / 3600), 1e-9);
            EXPECT_EQ(facts.altitude, -6.0);
        }
    }

    std::mt19937 random(20261210);
    int dated = 0, placed = 0;
    for (int mutation = 0; mutation < 20000; ++mutation) {
        SCOPED_TRACE("mutation " + std::to_string(mutation));
        std::string tiff = bases[random() % bases.size()];
        for (int flips = 1 + (int)(random() % 4); flips > 0; --flips)
            tiff[random() % tiff.size()] = random() % 2 ? (char)(random() % 32) : (char)random();
        if (random() % 3 == 0)
            tiff.resize(random() % tiff.size());
        // Bare, as other formats hand it over.
        GuardedBytes bytes(tiff);
        const PhotoFacts facts = TiffPhotoFacts(bytes.data(), bytes.size());
        for (const std::string* text : {&facts.make, &facts.model, &facts.lens})
            ASSERT_EQ(text->find('\0'), std::string::npos);
        dated += facts.taken.has_value();
        placed += facts.latitude.has_value();
    }
    std::printf("%d mutations read a date, %d a position\n", dated, placed);
    EXPECT_GT(dated, 5000);
    EXPECT_GT(placed, 5000);
}

// A TIFF file's directories are copied out of it, its values wherever they
// lie, and a PNG's eXIf chunk found among its chunks: mutated, both read
// from inside what they copied what the TIFF structure read whole says.
TEST(MetadataBytes, MutatedTiffAndPngFilesGiveWhatTheirStructureSays)
{
    const auto summary = [](const PhotoFacts& f) {
        return f.make + "|" + f.lens + "|" + std::to_string(f.taken.value_or(CameraTime{}).second) + "|"
            + std::to_string(f.latitude.value_or(0)) + "|" + std::to_string(f.iso.value_or(0));
    };
    const auto look = [](const std::string& bytes) {
        std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), &std::fclose);
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
        // The copy in bytes of its own, so that a read past it faults.
        const std::vector<BYTE> copied = ReadTiffDirectories(file.get());
        const GuardedBytes copy(std::string(copied.begin(), copied.end()));
        return std::pair{LookAtFile(file.get()), TiffPhotoFacts(copy.data(), copy.size())};
    };
    const auto chunk = [](const char* type, const std::string& data) {
        const size_t n = data.size();
        return std::string{(char)(n >> 24), (char)(n >> 16), (char)(n >> 8), (char)n} + type + data + "crc!";
    };
    std::vector<std::string> bases = {FactsTiff(false, false), FactsTiff(true, false), FactsTiff(true, true)};
    bases.push_back(std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", std::string("\0\0\1\0\0\0\0\x80", 8))
                    + chunk("tEXt", "Comment") + chunk("eXIf", bases[0]) + chunk("IDAT", "") + chunk("IEND", ""));
    EXPECT_EQ(summary(look(bases[3]).first.facts), "Canon|EF35mm f/2|5|-33.856800|400");
    EXPECT_EQ(look(bases[3]).first.pngSize.cy, 128);

    std::mt19937 random(20261208);
    int dated = 0;
    for (int mutation = 0; mutation < 4000; ++mutation) {
        SCOPED_TRACE("mutation " + std::to_string(mutation));
        std::string bytes = bases[random() % bases.size()];
        for (int flips = 1 + (int)(random() % 4); flips > 0; --flips)
            bytes[random() % bytes.size()] = random() % 2 ? (char)(random() % 32) : (char)random();
        if (random() % 3 == 0)
            bytes.resize(random() % bytes.size());
        const auto [file, copied] = look(bytes);
        GuardedBytes whole(bytes);
        if (!file.png && bytes.size() >= 8 && (bytes[4] | bytes[5] | bytes[6] | bytes[7]) != 0) {
            ASSERT_EQ(summary(copied), summary(file.facts));
            EXPECT_EQ(summary(file.facts), summary(TiffPhotoFacts(whole.data(), whole.size())));
        }
        dated += file.facts.taken.has_value();
    }
    EXPECT_GT(dated, 2000);
}

// ---------------------------------------------------------------- ICC

std::string IccChunk(int number, int count, const std::string& payload)
{
    return std::string("ICC_PROFILE\0", 12) + (char)number + (char)count + payload;
}

// Markers whose data each lie in their own guarded bytes.
class GuardedMarkers {
public:
    explicit GuardedMarkers(const std::vector<std::pair<int, std::string>>& segments)
        : m_markers(segments.size())
    {
        for (size_t i = 0; i < segments.size(); ++i) {
            m_bytes.push_back(std::make_unique<GuardedBytes>(segments[i].second));
            m_markers[i].marker = (UINT8)segments[i].first;
            m_markers[i].data = m_bytes[i]->data();
            m_markers[i].data_length = m_markers[i].original_length = (unsigned)m_bytes[i]->size();
            m_markers[i].next = i + 1 < segments.size() ? &m_markers[i + 1] : nullptr;
        }
    }
    jpeg_saved_marker_ptr First() { return m_markers.empty() ? nullptr : &m_markers[0]; }

private:
    std::vector<std::unique_ptr<GuardedBytes>> m_bytes;
    std::vector<jpeg_marker_struct> m_markers;
};

// The profile the segments carry, joined apart from the program's reader:
// every chunk numbered once from 1 to the count they all give, or nothing.
std::string JoinChunks(const std::vector<std::pair<int, std::string>>& segments)
{
    std::vector<const std::string*> chunks;
    std::set<int> counts;
    for (const auto& [code, data] : segments) {
        if (code != 0xE2 || data.size() < 14 || data.compare(0, 12, std::string("ICC_PROFILE\0", 12)) != 0)
            continue;
        const int number = (unsigned char)data[12], count = (unsigned char)data[13];
        counts.insert(count);
        if (counts.size() > 1 || number < 1 || number > count)
            return "";
        chunks.resize(count);
        if (chunks[number - 1])
            return "";
        chunks[number - 1] = &data;
    }
    std::string profile;
    for (const std::string* chunk : chunks) {
        if (!chunk)
            return "";
        profile += chunk->substr(14);
    }
    return profile;
}

TEST(MetadataBytes, MutatedProfileChunksAreJoinedOnlyFromInsideAndAsAnIndependentJoin)
{
    std::mt19937 random(20261209);
    int joined = 0;
    for (int mutation = 0; mutation < 5000; ++mutation) {
        SCOPED_TRACE("mutation " + std::to_string(mutation));
        std::vector<std::pair<int, std::string>> segments;
        const int count = 1 + (int)(random() % 4);
        for (int n = 1; n <= count; ++n) {
            std::string chunk = IccChunk(n, count, std::string(1 + random() % 40, (char)('a' + n)));
            if (random() % 4 == 0)
                chunk[random() % chunk.size()] = (char)(random() % 6);
            if (random() % 6 == 0)
                chunk.resize(random() % chunk.size());
            segments.push_back({random() % 8 ? 0xE2 : 0xE1, chunk});
        }
        for (size_t i = segments.size(); i > 1; --i)
            std::swap(segments[i - 1], segments[random() % i]);

        GuardedMarkers markers(segments);
        const std::vector<BYTE> profile = ReadIccProfile(markers.First());
        ASSERT_EQ(std::string(profile.begin(), profile.end()), JoinChunks(segments));
        joined += !profile.empty();
    }
    std::printf("%d mutations carried a profile\n", joined);
    EXPECT_GT(joined, 1000);
}

}  // namespace
