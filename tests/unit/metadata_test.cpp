// The EXIF and ICC readers take their bytes from any file on the user's
// disks: damaged lengths, offsets and chunk counts must end in the defaults
// (upright, no profile), never in a read or write outside the segment.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app_driver.h"
#include "catalog/folderentry.h"
#include "colours.h"
#include "imaging/embeddedthumbnail.h"
#include "imaging/metadata.h"
#include "imaging/photofacts.h"
#include "imaging/picture.h"
#include "imaging/picturefacts.h"
#include "jpeg_maker.h"
#include "temp_folder.h"

namespace {

// An APP2 "ICC_PROFILE" chunk: number and count, then the payload.
std::string IccChunk(int number, int count, const std::string& payload)
{
    return std::string("ICC_PROFILE\0", 12) + (char)number + (char)count + payload;
}

// The marker list the library would make of these segments, in order.
struct MarkerList {
    std::vector<std::string> data;
    std::vector<jpeg_marker_struct> markers;

    MarkerList(std::vector<std::pair<int, std::string>> segments)
    {
        for (auto& [code, bytes] : segments)
            data.push_back(bytes);
        markers.resize(segments.size());
        for (size_t i = 0; i < segments.size(); ++i) {
            markers[i].marker = (UINT8)segments[i].first;
            markers[i].data = reinterpret_cast<JOCTET*>(data[i].data());
            markers[i].data_length = markers[i].original_length = (unsigned)data[i].size();
            markers[i].next = i + 1 < segments.size() ? &markers[i + 1] : nullptr;
        }
    }
    jpeg_saved_marker_ptr First() { return markers.empty() ? nullptr : &markers[0]; }
};

std::string Joined(const std::vector<BYTE>& profile)
{
    return std::string(profile.begin(), profile.end());
}

TEST(Metadata, ProfileChunksAreJoinedInTheirOrderOrRefusedWhenTheyDoNotAddUp)
{
    const int app2 = JPEG_APP0 + 2;
    MarkerList shuffled({{app2, IccChunk(2, 3, "bb")}, {JPEG_APP0 + 1, "Exif"}, {app2, IccChunk(3, 3, "c")},
                         {app2, IccChunk(1, 3, "aaa")}});
    EXPECT_EQ(Joined(ReadIccProfile(shuffled.First())), "aaabbc");

    const std::vector<std::vector<std::pair<int, std::string>>> refused = {
        {{app2, IccChunk(1, 2, "a")}},                              // one missing
        {{app2, IccChunk(1, 2, "a")}, {app2, IccChunk(1, 2, "a")}},  // numbered twice
        {{app2, IccChunk(1, 2, "a")}, {app2, IccChunk(2, 3, "b")}},  // counts disagree
        {{app2, IccChunk(0, 1, "a")}},                              // numbered from 1
        {{app2, IccChunk(2, 1, "a")}},                              // beyond the count
        {{app2, std::string("ICC_PROFILE\0\1", 13)}},               // header cut short
    };
    for (const auto& segments : refused) {
        MarkerList list(segments);
        EXPECT_TRUE(ReadIccProfile(list.First()).empty()) << &segments - refused.data();
    }
}

TEST(Metadata, SeededMutationsOfExifAndProfilesNeverReadOrWriteOutside)
{
    // The readers alone meet their mutants in metadata_bytes_test.cpp; here
    // whole pictures carry them through the decoder.
    TempFolder folder;
    std::vector<std::string> exifs;
    for (bool bigEndian : {false, true})
        for (bool asLong : {false, true})
            exifs.push_back(ExifOrientationSegment(6, bigEndian, asLong));
    const std::string payload(300, 'p');

    std::mt19937 random(20261208);
    for (int iterations = 0; iterations < 400; ++iterations) {
        std::string exif = exifs[random() % exifs.size()];
        for (int flips = 1 + (int)(random() % 4); flips > 0; --flips)
            exif[random() % exif.size()] = (char)random();
        if (random() % 3 == 0)
            exif.resize(random() % exif.size());

        // A picture with the segment and chunks whose numbers and counts
        // are mutated too.
        JpegRecipe recipe;
        recipe.width = 48;
        recipe.height = 32;
        recipe.hSampling = recipe.vSampling = 1;
        recipe.markers.push_back({JPEG_APP0 + 1, exif});
        const int count = 1 + (int)(random() % 3);
        for (int n = 1; n <= count; ++n) {
            std::string chunk = IccChunk(n, count, payload);
            if (random() % 2)
                chunk[12 + random() % 2] = (char)random();
            recipe.markers.push_back({JPEG_APP0 + 2, chunk.substr(0, random() % 4 ? chunk.size() : random() % 16)});
        }
        const std::string path = folder.WriteFile("mutant.jpg", MakeJpeg(recipe));
        CPictureBitmap picture;
        picture.LoadFromFile(path);
        ASSERT_TRUE(picture.m_hBitmap) << "mutation " << iterations;
        const SIZE upright{picture.m_width, picture.m_height};
        EXPECT_TRUE((upright.cx == 48 && upright.cy == 32) || (upright.cx == 32 && upright.cy == 48))
            << "mutation " << iterations;
        EXPECT_EQ(picture.BitmapSize().cx, upright.cx);
    }
}

// A camera's EXIF thumbnail shows, turned upright as its picture is, only
// when it shows the whole picture.
TEST(Metadata, AnExifThumbnailIsShownUprightOnlyWhenItIsThePicturesShape)
{
    TempFolder folder;
    JpegRecipe small{120, 160};  // quadrants, stored sideways as the picture is
    small.pattern = JpegPattern::Quadrants;
    small.orientation = OrientTurned90;
    JpegRecipe photo{640, 480};
    photo.markers = {{JPEG_APP0 + 1, ExifThumbnailSegment(OrientTurned90, MakeJpeg(small))}};
    const std::unique_ptr<CPixels> shown = ReadEmbeddedThumbnail(folder.WriteFile("a.jpg", MakeJpeg(photo)), 90);
    ASSERT_NE(shown, nullptr);
    EXPECT_NEAR(shown->Width(), 67.5, 1);
    const BYTE* topLeft = shown->Row(10) + 3 * 10;
    const unsigned char* red = kQuadrantColours[0];
    EXPECT_TRUE(Near(RGB(topLeft[2], topLeft[1], topLeft[0]), RGB(red[0], red[1], red[2]), 24));

    small.width = small.height = 160;
    photo.markers = {{JPEG_APP0 + 1, ExifThumbnailSegment(OrientTurned90, MakeJpeg(small))}};
    EXPECT_EQ(ReadEmbeddedThumbnail(folder.WriteFile("square.jpg", MakeJpeg(photo)), 90), nullptr);
}

template <class... Values>
std::string Printed(const char* format, Values... values)
{
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// The facts as exif_photos.sh writes exiftool's, "-" for each one absent.
std::string FactsLine(const PhotoFacts& f)
{
    std::string line;
    auto add = [&](bool present, const std::string& value) { line += '|' + (present ? value : "-"); };
    const CameraTime t = f.taken.value_or(CameraTime{});
    add(f.taken.has_value(),
        Printed("%04d:%02d:%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second));
    add(f.takenMillisecond.has_value(), Printed("%03d", f.takenMillisecond.value_or(0)));
    const int offset = std::abs(f.takenOffsetMinutes.value_or(0));
    add(f.takenOffsetMinutes.has_value(),
        Printed("%c%02d:%02d", f.takenOffsetMinutes.value_or(0) < 0 ? '-' : '+', offset / 60, offset % 60));
    for (const std::string* text : {&f.make, &f.model, &f.lens})
        add(!text->empty(), *text);
    for (const auto* rational : {&f.exposureTime, &f.fNumber, &f.focalLength})
        add(rational->has_value(), Printed("%.10g", rational->value_or(ExifRational{}).Value()));
    for (const auto* number : {&f.iso, &f.focalLength35mm, &f.flash})
        add(number->has_value(), std::to_string(number->value_or(0)));
    for (const auto* degrees : {&f.latitude, &f.longitude, &f.altitude})
        add(degrees->has_value(), Printed("%.10g", degrees->value_or(0)));
    return line;
}

TEST(Metadata, PhotoFactsAreWhatExiftoolReads)
{
    // Photos exiftool wrote and read back when the build ran: JPEGs, and a
    // turned TIFF and a PNG read through the header of the system's decoders.
    const std::string folder = TestSetting("ORLIVANE_EXIF_DATA");
    if (folder.empty())
        GTEST_SKIP() << "no exiftool in this build";
    std::ifstream reference(WindowsPath(folder + "/reference.txt"));
    int photos = 0;
    for (std::string line; std::getline(reference, line); ++photos) {
        const std::string name = line.substr(0, line.find('|'));
        const std::string path = folder + "/" + name;
        const PictureFacts read = ReadPictureFacts(path);
        EXPECT_EQ(name + Printed("|%ldx%ld", read.size.cx, read.size.cy) + FactsLine(read.photo), line);
        if (name.ends_with(".jpg")) {
            std::ifstream file(WindowsPath(path), std::ios::binary);
            std::vector<std::pair<int, std::string>> segments;
            for (const JpegMarker& marker : ReadJpeg({std::istreambuf_iterator<char>(file), {}}, false).markers)
                segments.push_back({marker.code, marker.data});
            MarkerList markers(segments);
            const size_t size = line.find('|', name.size() + 1);
            EXPECT_EQ(name + FactsLine(ReadPhotoFacts(markers.First())), name + line.substr(size));
        }
    }
    EXPECT_EQ(photos, 5);
}

}  // namespace
