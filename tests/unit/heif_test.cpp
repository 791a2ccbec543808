// HEIF and AVIF pictures through the program's own decoder, compared with
// what Debian's reference decoders make of the same files.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "afxbase.h"
#include "app_driver.h"
#include "colours.h"
#include "catalog/folderentry.h"
#include "catalog/thumbnailcache.h"
#include "imaging/embeddedthumbnail.h"
#include "imaging/picture.h"
#include "imaging/picturefacts.h"

namespace {

std::string HeifData()
{
    return TestSetting("ORLIVANE_HEIF_DATA");
}

#define REQUIRE_HEIF_DATA() \
    if (HeifData().empty()) \
    GTEST_SKIP() << "no HEIF pictures in this build (heif-enc, avifenc, exiftool)"

// Every pixel of both sections in sRGB; the largest difference of a channel,
// or -1 when their sizes differ.
int LargestDifference(const CPictureBitmap& a, const CPictureBitmap& b)
{
    PixelRows one, other;
    if (!GetPictureRows(a.m_hBitmap, one) || !GetPictureRows(b.m_hBitmap, other) || one.width != other.width
        || one.height != other.height)
        return -1;
    int largest = 0;
    for (int y = 0; y < one.height; ++y)
        for (int x = 0; x < one.width * 3; ++x)
            largest = std::max(largest, std::abs(one.bits[one.stride * y + x] - other.bits[other.stride * y + x]));
    return largest;
}

void Load(CPictureBitmap& picture, const std::string& path)
{
    EXPECT_TRUE(picture.LoadFromFile(path, {}, {0, 0}, ColourTarget::Srgb)) << path;
    EXPECT_NE(picture.m_hBitmap, nullptr) << path;
}

COLORREF PixelAt(const std::string& path, int x, int y)
{
    CPictureBitmap picture;
    Load(picture, path);
    PixelRows rows;
    if (!GetPictureRows(picture.m_hBitmap, rows) || x >= rows.width || y >= rows.height)
        return CLR_INVALID;
    const BYTE* p = rows.bits + rows.stride * y + 3 * x;
    return RGB(p[2], p[1], p[0]);
}

TEST(HeifPictures, ShowAsTheReferenceDecodersDo)
{
    REQUIRE_HEIF_DATA();
    struct Case {
        const char* picture;
        const char* reference;
        SIZE upright;
    };
    // Turned and mirrored by their transform properties; 10 bits a channel;
    // transparency over black; a grid of four tiles.
    const Case cases[] = {
        {"photo.heic", "photo_heic_ref.png", {160, 128}}, {"photo.avif", "photo_ref.png", {160, 128}},
        {"irot.avif", "irot_ref.png", {128, 160}},         {"imir.avif", "imir_ref.png", {160, 128}},
        {"deep.avif", "deep_ref.png", {160, 128}},         {"alpha.avif", "alpha_ref.png", {160, 128}},
        {"grid.avif", "grid_ref.png", {160, 128}},
    };
    for (const Case& c : cases) {
        const std::string path = HeifData() + "/" + c.picture;
        CPictureBitmap picture, reference;
        Load(picture, path);
        Load(reference, HeifData() + "/" + c.reference);
        EXPECT_EQ(CSize(picture.m_width, picture.m_height), CSize(c.upright)) << c.picture;
        EXPECT_EQ(CSize(ReadPictureFacts(path).size), CSize(c.upright)) << c.picture << " by its header";
        // The decoders' conversions from YCbCr round apart by a level or two.
        const int difference = LargestDifference(picture, reference);
        EXPECT_GE(difference, 0) << c.picture;
        EXPECT_LE(difference, 3) << c.picture;
    }
}

TEST(HeifPictures, HeaderGivesTheExifFacts)
{
    REQUIRE_HEIF_DATA();
    const PictureFacts facts = ReadPictureFacts(HeifData() + "/thumb.heic");
    EXPECT_EQ(CSize(facts.size), CSize(160, 128));
    EXPECT_EQ(facts.photo.make, "Apple");
    EXPECT_EQ(facts.photo.model, "iPhone 12");
    ASSERT_TRUE(facts.photo.taken);
    EXPECT_EQ(facts.photo.taken->year, 2023);
    EXPECT_EQ(facts.photo.taken->second, 5);
}

TEST(HeifPictures, CodePointsOfWiderPrimariesConvertTheColours)
{
    REQUIRE_HEIF_DATA();
    // The same pixels said to be Display P3 are more saturated in sRGB: the
    // dull red block grows redder and less green.
    const COLORREF plain = PixelAt(HeifData() + "/photo.avif", 130, 104);
    const COLORREF wide = PixelAt(HeifData() + "/p3.avif", 130, 104);
    EXPECT_GT(GetRValue(wide), GetRValue(plain) + 8);
    EXPECT_LT(GetGValue(wide) + 4, GetGValue(plain));
}

TEST(HeifPictures, EmbeddedThumbnailShowsUntilTheRealOneIsMadeAndIsNeverCached)
{
    REQUIRE_HEIF_DATA();
    const std::string path = HeifData() + "/thumb.heic";
    EXPECT_EQ(ReadEmbeddedThumbnail(HeifData() + "/photo.heic", 90), nullptr) << "a file without one";
    std::unique_ptr<CPixels> embedded = ReadEmbeddedThumbnail(path, 90);
    ASSERT_NE(embedded, nullptr);
    ASSERT_EQ(CSize(embedded->Width(), embedded->Height()), CSize(90, 72));
    // Upright, and in the picture's colours: the green block of the top left.
    const BYTE* green = embedded->Row(6) + 3 * 6;
    EXPECT_TRUE(Near(RGB(green[2], green[1], green[0]), RGB(0x30, 0xC0, 0x30), 24));

    CThumbnail thumbnail;
    thumbnail.SetProvisional(std::move(embedded));
    EXPECT_FALSE(thumbnail.HasPicture());
    ASSERT_NE(thumbnail.Bitmap(), nullptr) << "drawn meanwhile";
    EXPECT_EQ(RecordOf(path, FILETIME{1, 1}, EntryFile, &thumbnail).jpeg, nullptr) << "never written to the cache";

    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.m_picturePath = path;
    ASSERT_TRUE(thumbnail.LoadBitmap(entry));
    EXPECT_TRUE(thumbnail.HasPicture()) << "the real one is made all the same";
    EXPECT_FALSE(thumbnail.HasProvisional());
    EXPECT_NE(RecordOf(path, FILETIME{1, 1}, EntryFile, &thumbnail).jpeg, nullptr);
}

} // namespace
