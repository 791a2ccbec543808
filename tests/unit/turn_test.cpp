// Lossless turns of JPEG files made with the library, under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "jpeglib.h"

#include "app_driver.h"
#include "imaging/losslessturn.h"
#include "jpeg_maker.h"
#include "temp_folder.h"

namespace {

struct CloseHandle {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using HandlePtr = std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandle>;

std::string WriteJpeg(const TempFolder& folder, const std::string& name, const JpegRecipe& recipe)
{
    return folder.WriteFile(name, MakeJpeg(recipe));
}

// dest(x, y) taken from the source pixel a clockwise turn brings there.
std::vector<unsigned char> TurnPixels(const JpegContent& source, int turn, int width, int height)
{
    std::vector<unsigned char> out((size_t)width * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int sx = x, sy = y;
            switch (turn) {
            case Turn90: sx = y; sy = width - 1 - x; break;
            case Turn180: sx = width - 1 - x; sy = height - 1 - y; break;
            case Turn270: sx = height - 1 - y; sy = x; break;
            }
            const unsigned char* p = &source.rgb[(size_t)(sy * source.width + sx) * 3];
            std::copy(p, p + 3, &out[(size_t)(y * width + x) * 3]);
        }
    }
    return out;
}

TEST(Turning, TurnsClockwiseAndTrimsPartialBlocks)
{
    struct Case {
        int turn, hSampling, vSampling, width, height;
    } cases[] = {
        {Turn90, 2, 2, 64, 100},  // the bottom 11 rows fill no 16-row block
        {Turn90, 2, 1, 72, 100},  {Turn90, 1, 1, 72, 100},
        {Turn180, 2, 2, 96, 64},  {Turn270, 2, 2, 75, 96},
        {7, 2, 2, 100, 75},       // not a turn
    };
    TempFolder folder;
    const std::set<std::string> temporaries = TurnTemporaries();
    for (const Case& c : cases) {
        SCOPED_TRACE("turn " + std::to_string(c.turn) + " sampling " + std::to_string(c.hSampling)
                     + "x" + std::to_string(c.vSampling));
        const std::string original = MakeJpeg(MarkedRecipe(100, 75, c.hSampling, c.vSampling));
        const std::string path = folder.WriteFile("turn.jpg", original);
        RotatePictureFile(path, c.turn);
        const JpegContent turned = ReadJpeg(ReadWholeFile(path));
        EXPECT_EQ(turned.width, c.width);
        EXPECT_EQ(turned.height, c.height);
        if (turned.width != c.width || turned.height != c.height)
            continue;
        const std::vector<unsigned char> expected =
            TurnPixels(ReadJpeg(original), c.turn, c.width, c.height);
        EXPECT_LT(MeanDifference(turned.rgb, expected), 4.0);
    }
    EXPECT_EQ(TurnTemporaries(), temporaries);
}

TEST(Turning, KeepsEveryMarker)
{
    TempFolder folder;
    JpegRecipe recipe = MarkedRecipe(64, 48, 2, 2);
    const std::string path = WriteJpeg(folder, "marked.jpg", recipe);
    RotatePictureFile(path, Turn270);
    const JpegContent turned = ReadJpeg(ReadWholeFile(path), false);
    const JpegMarker* comment = turned.Find(JPEG_COM);
    const JpegMarker* app = turned.Find(JPEG_APP0 + 1);
    ASSERT_TRUE(comment);
    ASSERT_TRUE(app);
    EXPECT_EQ(comment->data, recipe.comment);
    EXPECT_EQ(app->data, recipe.appData);
}

TEST(Turning, HalfTurnTwiceRestoresTheCoefficientsExactly)
{
    TempFolder folder;
    for (bool progressive : {false, true}) {
        JpegRecipe recipe = MarkedRecipe(64, 48, 2, 2);
        recipe.progressive = progressive;
        const std::string original = MakeJpeg(recipe);
        const std::string path = folder.WriteFile("half.jpg", original);
        RotatePictureFile(path, Turn180);
        const std::string once = ReadWholeFile(path);
        RotatePictureFile(path, Turn180);
        EXPECT_NE(ReadCoefficients(once), ReadCoefficients(original));
        EXPECT_EQ(ReadCoefficients(ReadWholeFile(path)), ReadCoefficients(original));
    }
}

// Runs a program and waits for it; returns its exit code, or -1.
int RunProgram(const std::string& commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process))
        return -1;
    HandlePtr processHandle(process.hProcess), thread(process.hThread);
    if (::WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    return (int)code;
}

TEST(Turning, IsIdenticalToJpegtranOfTheSameLibrary)
{
    const std::string jpegtran = WindowsPath(TestSetting("ORLIVANE_JPEGTRAN"));
    ASSERT_FALSE(jpegtran.empty()) << "ORLIVANE_JPEGTRAN is not set";
    ASSERT_TRUE(FileExists(jpegtran)) << jpegtran;
    TempFolder folder;
    // EXIF with the Orientation tag (6, turned right) and a Software tag, in
    // both byte orders; the turn sets Orientation to 1 and changes nothing else.
    const std::string motorolaTag("\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00", 12);
    const std::string intelTag("\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00", 12);
    const std::string motorola = std::string("Exif\0\0MM\0*\0\0\0\x08\0\x02", 16) + motorolaTag
                               + std::string("\x01\x31\x00\x02\x00\x00\x00\x04Orl\0\0\0\0\0", 16);
    const std::string intel = std::string("Exif\0\0II*\0\x08\0\0\0\x02\0", 16) + intelTag
                            + std::string("\x31\x01\x02\x00\x04\x00\x00\x00Orl\0\0\0\0\0", 16);
    const std::string video = std::string("\0\0\0\x18" "ftypmp42 motion photo video \xFF\xD9", 34);
    struct Case {
        int turn;
        const char* option;
        bool progressive;
        std::string exif, tag, trailing;
    } cases[] = {{Turn90, "90", false, motorola, motorolaTag, video},
                 {Turn180, "180", false, intel, intelTag, ""},
                 {Turn270, "270", true, "", "", video}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        JpegRecipe recipe = MarkedRecipe(100, 75, 2, 2);
        recipe.progressive = c.progressive;
        if (!c.exif.empty())
            recipe.appData = c.exif;
        const std::string path = folder.WriteFile("ours.jpg", MakeJpeg(recipe) + c.trailing);
        const std::string theirs = folder / "theirs.jpg";
        const std::string command = "\"" + jpegtran + "\" -rotate " + c.option
                                  + " -trim -copy all -outfile \"" + theirs + "\" \"" + path + "\"";
        ASSERT_EQ(RunProgram(command), 0) << command;
        RotatePictureFile(path, c.turn);
        const std::string ours = ReadWholeFile(path);
        EXPECT_GT(ours.size(), 500u);

        std::string expected = ReadWholeFile(theirs);
        if (!c.tag.empty()) {
            const size_t at = expected.find(c.tag);
            ASSERT_NE(at, std::string::npos);
            expected[at + 8] = c.tag[0] == 1 ? 0 : 1;  // Orientation 1 in either byte order
            expected[at + 9] = c.tag[0] == 1 ? 1 : 0;
        }
        expected += c.trailing;
        EXPECT_TRUE(ours == expected);
    }
}

// Every failure of a turn: the picture byte for byte as it was, no
// temporary file left behind.
class FailedTurn : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path;
    std::string original;
    std::set<std::string> temporaries;

    void SetUp() override
    {
        original = MakeJpeg(MarkedRecipe(100, 75, 2, 2));
        path = folder.WriteFile("picture.jpg", original);
        temporaries = TurnTemporaries();
    }
    void ExpectUntouched()
    {
        EXPECT_TRUE(ReadWholeFile(path) == original);
        EXPECT_EQ(TurnTemporaries(), temporaries);
    }
};

TEST_F(FailedTurn, ReadOnlyPicture)
{
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_THROW(RotatePictureFile(path, Turn90), DWORD);
    ExpectUntouched();
    EXPECT_TRUE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(FailedTurn, MissingPicture)
{
    const std::string missing = folder / "missing.jpg";
    DWORD thrown = 0;
    try {
        RotatePictureFile(missing, Turn90);
    } catch (DWORD error) {
        thrown = error;
    }
    EXPECT_EQ(thrown, (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(FileExists(missing));
    ExpectUntouched();
}

TEST_F(FailedTurn, PictureHeldOpenWithoutDeleteSharing)
{
    HandlePtr held(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    EXPECT_THROW(RotatePictureFile(path, Turn90), DWORD);
    held.reset();
    ExpectUntouched();
}

TEST_F(FailedTurn, LibraryErrorOnDamagedPicture)
{
    for (const std::string& damaged :
         {std::string("GIF89a, not a JPEG"), original.substr(0, 120), std::string()}) {
        original = damaged;
        folder.WriteFile("picture.jpg", damaged);
        EXPECT_THROW(RotatePictureFile(path, Turn90), int);
        ExpectUntouched();
        EXPECT_TRUE(::DeleteFileA(path.c_str())) << "the picture stays open";
    }
}

// The library reads such pictures with the gaps filled in grey; a turn
// would make that permanent.
TEST_F(FailedTurn, PictureReadWithCorruptDataWarnings)
{
    std::string extraneous = original;
    extraneous.insert(extraneous.size() - 2, "garbage");
    for (const std::string& damaged : {original.substr(0, original.size() * 2 / 3), extraneous}) {
        original = damaged;
        folder.WriteFile("picture.jpg", damaged);
        EXPECT_THROW(RotatePictureFile(path, Turn90), int);
        ExpectUntouched();
    }
}

// A picture on another volume than the temporary folder: a plain move would
// copy over the picture, so the copy is staged beside it.
TEST(Turning, PictureOnAnotherVolume)
{
    const std::string folder =
        "Z:\\dev\\shm\\orlivane-imaging-" + std::to_string(::GetCurrentProcessId());
    if (!::CreateDirectoryA(folder.c_str(), nullptr))
        GTEST_SKIP() << "no second volume at " << folder;
    struct Remove {
        std::string path;
        ~Remove() { RemoveTree(path); }
    } remove{folder};
    {
        TempFolder temp;
        const std::string probe = temp.WriteFile("probe", "x");
        if (::MoveFileExA(probe.c_str(), (folder + "\\probe").c_str(), 0)
            || ::GetLastError() != ERROR_NOT_SAME_DEVICE)
            GTEST_SKIP() << folder << " is on the temporary folder's volume";
    }
    const std::string path = folder + "\\picture.jpg";
    std::ofstream(path, std::ios::binary) << MakeJpeg(MarkedRecipe(100, 75, 2, 2));
    const std::set<std::string> before = TurnTemporaries();

    RotatePictureFile(path, Turn90);
    const JpegContent turned = ReadJpeg(ReadWholeFile(path), false);
    EXPECT_EQ(turned.width, 64);
    EXPECT_EQ(turned.height, 100);
    EXPECT_EQ(TurnTemporaries(), before);
    EXPECT_TRUE(TurnTemporaries(folder).empty());
}

}  // namespace
