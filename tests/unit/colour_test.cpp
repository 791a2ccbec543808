// Colour management through Little CMS, checked against Little CMS's own
// transicc, which the build ran on the colours listed in
// ORLIVANE_COLOUR_DATA. transicc computes each colour exactly in floating
// point; the program's 8-bit transforms precalculate.
#include <gtest/gtest.h>

#include <windows.h>
#include <icm.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "afxbase.h"
#include "app_driver.h"
#include "catalog/folderentry.h"
#include "imaging/colour.h"
#include "jpeg_maker.h"
#include "temp_folder.h"

namespace {

// The profile a test setting names.
std::vector<BYTE> Profile(const char* setting)
{
    const std::string bytes = SettingFile(setting);
    return {bytes.begin(), bytes.end()};
}

// A cross build requires transicc and the profiles (scripts/setup installs
// them); a native build may go without.
class Colour : public testing::Test {
    void SetUp() override
    {
        if (TestSetting("ORLIVANE_COLOUR_DATA").empty())
            GTEST_SKIP() << "no transicc and ICC profiles in this build";
    }
};

// The numbers of a file of the colour data, count to a line.
std::vector<std::vector<double>> ReadColours(const char* name, int count)
{
    std::ifstream file(WindowsPath(TestSetting("ORLIVANE_COLOUR_DATA") + "/" + name));
    std::vector<std::vector<double>> colours;
    std::vector<double> colour(count);
    while (true) {
        for (double& value : colour)
            file >> value;
        if (!file)
            return colours;
        colours.push_back(colour);
    }
}

// 24-bit rows with bytes past each row, which a conversion must keep.
struct Rows {
    int width;
    int height;
    size_t stride = width * 3 + 5;
    std::vector<BYTE> bits = std::vector<BYTE>(stride * height, 0xA5);

    BYTE* Pixel(size_t i) { return &bits[stride * (i / width) + 3 * (i % width)]; }
    bool PaddingKept() const
    {
        for (size_t i = 0; i < bits.size(); ++i) {
            if (i % stride >= (size_t)width * 3 && bits[i] != 0xA5)
                return false;
        }
        return true;
    }
};

// Where the data of a profile's tag starts.
size_t TagData(const std::vector<BYTE>& profile, const char* signature)
{
    auto read = [&](size_t at) {
        return (size_t)profile[at] << 24 | profile[at + 1] << 16 | profile[at + 2] << 8 | profile[at + 3];
    };
    for (size_t i = 0; i < read(128); ++i) {
        if (std::equal(signature, signature + 4, &profile[132 + 12 * i]))
            return read(132 + 12 * i + 4);
    }
    ADD_FAILURE() << "no tag " << signature;
    return 0;
}

void ExpectNearReference(Rows& rows, const std::vector<std::vector<double>>& reference, int tolerance,
                         const char* what)
{
    for (size_t i = 0; i < reference.size(); ++i) {
        const BYTE* p = rows.Pixel(i);
        for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(p[2 - c], reference[i][c], tolerance) << what << ", colour " << i << ", channel " << c;
    }
    EXPECT_TRUE(rows.PaddingKept()) << what;
}

TEST_F(Colour, AdobeRgbMatchesLittleCms)
{
    const std::vector<BYTE> profile = Profile("ORLIVANE_ADOBE_RGB");
    const auto input = ReadColours("rgb.txt", 3), reference = ReadColours("rgb_reference.txt", 3);
    ASSERT_EQ(input.size(), 729u);
    ASSERT_EQ(reference.size(), input.size());
    // Under Wine the display's profile is sRGB: both targets give one result.
    // Curves and matrices precalculated for 8-bit pixels round at most one
    // level differently.
    for (ColourTarget target : {ColourTarget::Srgb, ColourTarget::Display}) {
        Rows rows{27, 27};
        for (size_t i = 0; i < input.size(); ++i) {
            for (int c = 0; c < 3; ++c)
                rows.Pixel(i)[2 - c] = (BYTE)input[i][c];
        }
        ASSERT_TRUE(ConvertRgbPixels(profile, rows.bits.data(), rows.stride, rows.width, rows.height, target));
        ExpectNearReference(rows, reference, 1, target == ColourTarget::Srgb ? "sRGB" : "display");
    }
}

// A camera's Adobe RGB picture: its thumbnail, made the worker's way and
// kept in sRGB, shows the colour the reference conversion gives, which
// differs visibly from the stored values shown as they are.
TEST_F(Colour, AProfileTaggedPicturesThumbnailShowsItsColours)
{
    const std::vector<BYTE> profile = Profile("ORLIVANE_ADOBE_RGB");
    const auto input = ReadColours("rgb.txt", 3), reference = ReadColours("rgb_reference.txt", 3);
    const std::vector<double> green{90, 170, 90};
    const size_t at = (size_t)(std::find(input.begin(), input.end(), green) - input.begin());
    ASSERT_LT(at, input.size());

    TempFolder folder;
    JpegRecipe recipe = SolidRecipe(320, 240, 90, 170, 90);
    recipe.hSampling = recipe.vSampling = 1;
    recipe.quality = 100;
    recipe.iccProfile.assign(profile.begin(), profile.end());
    const std::string path = folder.WriteFile("adobe.jpg", MakeJpeg(recipe));
    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.m_picturePath = path;
    CThumbnail thumbnail;
    thumbnail.LoadBitmap(entry);
    ASSERT_TRUE(thumbnail.Bitmap());
    const BYTE* shown = thumbnail.Bitmap()->Row(30) + 3 * 45;
    double furthest = 0;
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(shown[2 - c], reference[at][c], 4) << "channel " << c;
        furthest = std::max(furthest, std::abs(reference[at][c] - green[c]));
    }
    EXPECT_GT(furthest, 8) << "the profile changes this colour visibly";
}

TEST_F(Colour, CmykThroughProfileMatchesLittleCms)
{
    const std::vector<BYTE> profile = Profile("ORLIVANE_CMYK_PROFILE");
    const auto input = ReadColours("cmyk.txt", 4), reference = ReadColours("cmyk_reference.txt", 3);
    ASSERT_EQ(input.size(), 1296u);
    ASSERT_EQ(reference.size(), input.size());
    // Little CMS precalculates CMYK into a grid of 17 points a channel. This
    // profile's own grid has 5, and next to colours that sRGB clips the
    // precalculated ones lie up to 21 levels from exact; most within 2. An
    // ink missed, swapped or not inverted is off by far more.
    for (bool inverted : {false, true}) {
        const int width = 36, height = 36;
        std::vector<BYTE> cmyk(width * 4 * height);
        for (size_t i = 0; i < input.size(); ++i) {
            for (int c = 0; c < 4; ++c) {
                const BYTE ink = (BYTE)(input[i][c] * 255 / 100);  // percentages in fifths: exact
                cmyk[4 * i + c] = inverted ? 255 - ink : ink;
            }
        }
        Rows rows{width, height};
        ConvertCmykPixels(profile, inverted, cmyk.data(), width * 4, rows.bits.data(), rows.stride, width, height,
                          ColourTarget::Srgb);
        ExpectNearReference(rows, reference, 21, inverted ? "inverted" : "not inverted");
    }
}

TEST_F(Colour, CmykWithoutProfileIsPlainConversion)
{
    // C, M, Y, K and the red, green, blue they make.
    const std::vector<std::vector<int>> cases = {
        {0, 0, 0, 0, 255, 255, 255}, {255, 0, 0, 0, 0, 255, 255}, {0, 128, 0, 0, 255, 127, 255},
        {0, 0, 255, 0, 255, 255, 0}, {0, 0, 0, 255, 0, 0, 0},     {64, 0, 128, 128, 95, 127, 63}};
    const int count = (int)cases.size();
    for (bool inverted : {false, true}) {
        std::vector<BYTE> cmyk;
        for (const auto& c : cases)
            std::transform(c.begin(), c.begin() + 4, std::back_inserter(cmyk),
                           [&](int ink) { return (BYTE)(inverted ? 255 - ink : ink); });
        Rows rows{count, 1};
        ConvertCmykPixels({}, inverted, cmyk.data(), cmyk.size(), rows.bits.data(), rows.stride, count, 1,
                          ColourTarget::Display);
        for (int i = 0; i < count; ++i) {
            const BYTE* p = rows.Pixel(i);
            EXPECT_EQ((std::vector<int>{p[2], p[1], p[0]}), std::vector<int>(cases[i].begin() + 4, cases[i].end()))
                << "case " << i << (inverted ? ", inverted" : "");
        }
        EXPECT_TRUE(rows.PaddingKept());
    }
}

TEST_F(Colour, DamagedProfileLeavesPixelsUntouched)
{
    const std::vector<BYTE> adobe = Profile("ORLIVANE_ADOBE_RGB"), cmyk = Profile("ORLIVANE_CMYK_PROFILE");
    ASSERT_GT(adobe.size(), 200u);
    std::mt19937 random(21);
    std::vector<BYTE> garbage(adobe.size());
    for (BYTE& b : garbage)
        b = (BYTE)random();
    std::vector<BYTE> gray = adobe, curves = adobe;
    std::copy_n("GRAY", 4, &gray[16]);
    for (const char* tag : {"rTRC", "gTRC", "bTRC"})
        std::copy_n("junk", 4, &curves[TagData(curves, tag)]);
    const std::vector<std::vector<BYTE>> damaged = {
        {}, garbage, gray, cmyk, curves, {adobe.begin(), adobe.begin() + 100},
        {adobe.begin(), adobe.begin() + 300}, {adobe.begin(), adobe.end() - 1}};
    Rows original{16, 4};
    for (size_t i = 0; i < original.bits.size(); ++i)
        original.bits[i] = (BYTE)(i * 37);
    for (size_t d = 0; d < damaged.size(); ++d) {
        Rows rows = original;
        EXPECT_FALSE(ConvertRgbPixels(damaged[d], rows.bits.data(), rows.stride, 16, 4, ColourTarget::Srgb)) << d;
        EXPECT_EQ(rows.bits, original.bits) << d;
    }
    // Some mutations still make a profile; the rest must change nothing.
    for (int i = 0; i < 300; ++i) {
        std::vector<BYTE> mutated = adobe;
        for (int n = 1 + random() % 4; n > 0; --n)
            mutated[random() % mutated.size()] = (BYTE)random();
        Rows rows = original;
        if (!ConvertRgbPixels(mutated, rows.bits.data(), rows.stride, 16, 4, ColourTarget::Srgb)) {
            ASSERT_EQ(rows.bits, original.bits) << "mutation " << i;
        }
    }
    // A CMYK picture with an unusable profile gets the plain conversion.
    const BYTE ink[4] = {0, 255, 255, 0};
    for (const auto& profile : {garbage, adobe, std::vector<BYTE>(cmyk.begin(), cmyk.begin() + 400)}) {
        BYTE bgr[3] = {};
        ConvertCmykPixels(profile, false, ink, 4, bgr, 3, 1, 1, ColourTarget::Srgb);
        EXPECT_TRUE(bgr[0] == 0 && bgr[1] == 0 && bgr[2] == 255);
    }
}

TEST_F(Colour, SrgbProfilesAreRecognised)
{
    WCHAR path[MAX_PATH] = L"";
    DWORD size = sizeof path;
    ASSERT_TRUE(GetStandardColorSpaceProfileW(nullptr, 0x73524742 /* LCS_sRGB */, path, &size));
    const std::string system = ReadWholeFile(AfxUtf8(path));
    const std::vector<BYTE> debian = Profile("ORLIVANE_SRGB_PROFILE"), adobe = Profile("ORLIVANE_ADOBE_RGB");
    EXPECT_TRUE(IsSrgbProfile({system.begin(), system.end()}));
    EXPECT_TRUE(IsSrgbProfile(debian));
    EXPECT_FALSE(IsSrgbProfile(adobe));
    // sRGB's primaries with Adobe RGB's curves are no sRGB either.
    std::vector<BYTE> primaries = adobe;
    for (const char* tag : {"rXYZ", "gXYZ", "bXYZ"})
        std::copy_n(&debian[TagData(debian, tag) + 8], 12, &primaries[TagData(primaries, tag) + 8]);
    EXPECT_FALSE(IsSrgbProfile(primaries));
}

}  // namespace
