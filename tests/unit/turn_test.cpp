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

#include "jerror.h"
#include "jpeg_files.h"
#include "jpeglib.h"

#include "afxpath.h"
#include "app_driver.h"
#include "imaging/losslessturn.h"
#include "jpeg_maker.h"
#include "temp_folder.h"

namespace {

struct CloseHandle {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using HandlePtr = std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandle>;

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

// The picture with JFIF revision 3.01, which the library warns of and
// otherwise ignores.
std::string UnknownJfifRevision(std::string jpeg)
{
    EXPECT_EQ(jpeg.compare(6, 5, std::string("JFIF\0", 5)), 0);
    jpeg[11] = 3;
    return jpeg;
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
    // At a path of 294 characters, in a folder of 199.
    TempFolder folder;
    const std::string deep = PathOfLength(folder.MakeFolderOfLength(199), 294);
    const std::set<std::string> temporaries = TurnTemporaries();
    for (const Case& c : cases) {
        SCOPED_TRACE("turn " + std::to_string(c.turn) + " sampling " + std::to_string(c.hSampling)
                     + "x" + std::to_string(c.vSampling));
        const std::string original = MakeJpeg(MarkedRecipe(100, 75, c.hSampling, c.vSampling));
        const std::string path = folder.WriteFile(deep.substr(folder.Path().size() + 1), original);
        ASSERT_EQ(ReadWholeFile(path), original);
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

// The user turns what is shown: a picture stored in any orientation, shown
// upright, turns to the upright picture turned, with Orientation 1. Whole
// blocks: nothing is trimmed.
TEST(Turning, TaggedPictureTurnsAsShown)
{
    TempFolder folder;
    JpegRecipe recipe;
    recipe.width = 96;
    recipe.height = 64;
    const JpegContent shown = ReadJpeg(MakeJpeg(recipe));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (int turn : {Turn90, Turn180, Turn270}) {
            SCOPED_TRACE("orientation " + std::to_string(orientation) + " turn " + std::to_string(turn));
            recipe.orientation = orientation;
            const std::string path = folder.WriteFile("tagged.jpg", MakeJpeg(recipe));
            RotatePictureFile(path, turn);
            const JpegContent turned = ReadJpeg(ReadWholeFile(path));
            ASSERT_TRUE(turned.Find(JPEG_APP0 + 1));
            EXPECT_EQ(turned.Find(JPEG_APP0 + 1)->data, ExifOrientationSegment(1));
            const bool across = turn != Turn180;
            EXPECT_LT(MeanDifference(turned.rgb, TurnPixels(shown, turn, across ? 64 : 96, across ? 96 : 64)), 4.0);
        }
    }
}

// A turn that undoes the tag finds the stored pixels upright already.
TEST(Turning, TurnThatUndoesTheTagChangesOnlyTheTag)
{
    TempFolder folder;
    const struct {
        int orientation, turn;
    } cases[] = {{8, Turn90}, {3, Turn180}, {6, Turn270}};
    for (const auto& c : cases) {
        SCOPED_TRACE("orientation " + std::to_string(c.orientation));
        JpegRecipe recipe = MarkedRecipe(100, 75, 2, 2);  // partial edge blocks, none trimmed
        recipe.orientation = c.orientation;
        const std::string original = MakeJpeg(recipe);
        const std::string path = folder.WriteFile("upright.jpg", original);
        RotatePictureFile(path, c.turn);
        const std::string turned = ReadWholeFile(path);
        EXPECT_EQ(ReadCoefficients(turned), ReadCoefficients(original));
        const JpegContent content = ReadJpeg(turned, false);
        ASSERT_TRUE(content.Find(JPEG_APP0 + 1));
        EXPECT_EQ(content.Find(JPEG_APP0 + 1)->data, ExifOrientationSegment(1));
    }
}

// Warnings about the header leave the image data whole: such pictures turn
// as their clean selves do.
TEST(Turning, HeaderWarningsDoNotStopATurn)
{
    TempFolder folder;
    const std::string clean = MakeJpeg(MarkedRecipe(100, 75, 2, 2));
    const std::string cleanPath = folder.WriteFile("clean.jpg", clean);
    RotatePictureFile(cleanPath, Turn90);
    std::string junk = clean;
    junk.insert(20, "junk");  // between the 16-byte JFIF segment and the next
    for (const std::string& warned : {UnknownJfifRevision(clean), junk}) {
        const std::string path = folder.WriteFile("warned.jpg", warned);
        EXPECT_NO_THROW(RotatePictureFile(path, Turn90));
        EXPECT_TRUE(ReadWholeFile(path) == ReadWholeFile(cleanPath));
    }
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
    const std::string video = std::string("\0\0\0\x18" "ftypmp42 motion photo video \xFF\xD9", 34);
    struct Case {
        int turn;
        const char* transform;  // jpegtran's options for the one transform expected
        bool progressive;
        int orientation;  // 0: no EXIF
        bool bigEndian, asLong;
        std::string trailing;
    } cases[] = {
        {Turn90, "-rotate 90", false, 1, true, false, video},
        {Turn180, "-rotate 180", false, 1, false, false, ""},
        {Turn270, "-rotate 270", true, 0, true, false, video},
        // Shown mirrored about the main diagonal, then turned right: mirrored left and right.
        {Turn90, "-flip horizontal", false, 5, false, true, ""},
        // Shown mirrored left and right, then turned right: mirrored about the other diagonal.
        {Turn90, "-transverse", true, 2, true, false, video},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.transform) + " of orientation " + std::to_string(c.orientation));
        JpegRecipe recipe = MarkedRecipe(100, 75, 2, 2);
        recipe.progressive = c.progressive;
        recipe.orientation = c.orientation;
        recipe.exifBigEndian = c.bigEndian;
        recipe.orientationAsLong = c.asLong;
        const std::string path = folder.WriteFile("ours.jpg", MakeJpeg(recipe) + c.trailing);
        const std::string theirs = folder / "theirs.jpg";
        const std::string command = "\"" + jpegtran + "\" " + c.transform
                                  + " -trim -copy all -outfile \"" + theirs + "\" \"" + path + "\"";
        ASSERT_EQ(RunProgram(command), 0) << command;
        RotatePictureFile(path, c.turn);
        const std::string ours = ReadWholeFile(path);
        EXPECT_GT(ours.size(), 500u);

        // Orientation becomes 1 in its own byte order and size; nothing else changes.
        std::string expected = ReadWholeFile(theirs);
        if (c.orientation) {
            const std::string exif = ExifOrientationSegment(c.orientation, c.bigEndian, c.asLong);
            const size_t at = expected.find(exif);
            ASSERT_NE(at, std::string::npos);
            expected.replace(at, exif.size(), ExifOrientationSegment(1, c.bigEndian, c.asLong));
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
    // The library's message code a quarter turn throws, 0 for none.
    int TurnMessageCode()
    {
        try {
            RotatePictureFile(path, Turn90);
        } catch (int code) {
            return code;
        }
        return 0;
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
// would make that permanent. The refusal names the first damage, even after
// a harmless header warning.
TEST_F(FailedTurn, PictureReadWithCorruptDataWarnings)
{
    const std::string warned = UnknownJfifRevision(original);
    std::string extraneous = warned;
    extraneous.insert(extraneous.size() - 2, "garbage");
    // 64 one bits amid the scan: no Huffman code is all ones.
    std::string badCode = warned;
    const size_t scan = badCode.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    const std::string ones("\xFF\0\xFF\0\xFF\0\xFF\0\xFF\0\xFF\0\xFF\0\xFF\0", 16);
    badCode.replace((scan + badCode.size()) / 2, ones.size(), ones);
    const struct {
        std::string bytes;
        int code;
    } cases[] = {{warned.substr(0, warned.size() * 2 / 3), JWRN_JPEG_EOF},
                 {extraneous, JWRN_EXTRANEOUS_DATA},
                 {badCode, JWRN_HUFF_BAD_CODE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        original = c.bytes;
        folder.WriteFile("picture.jpg", original);
        EXPECT_EQ(TurnMessageCode(), c.code);
        ExpectUntouched();
    }
}

// An 8 by 8 grey picture whose one DC value, 32640, needs 15 bits. The
// library reads it without a warning, but writes it with standard tables
// that have no code for that size, and without a word: the copy's first
// bits read as a code for 11 bits, and its data ends early.
std::string OversizedDcPicture()
{
    return std::string("\xFF\xD8\xFF\xDB\x00\x43\x00", 7) + std::string(64, '\x01')  // quantiser 1
         + std::string("\xFF\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 13)  // 8x8 grey
         + std::string("\xFF\xC4\x00\x14\x00\x01", 6) + std::string(15, '\0') + '\x0F'  // DC: size 15 is "0"
         + std::string("\xFF\xC4\x00\x14\x10\x01", 6) + std::string(15, '\0') + '\0'  // AC: end of block is "0"
         + std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10)
         + std::string("\x7F\x80\x7F", 3)  // "0", 111111110000000, "0", ones to the byte
         + std::string("\xFF\xD9", 2);
}

// Only reading the turned copy back shows such damage.
TEST_F(FailedTurn, CopyThatReadsWithANewWarning)
{
    original = OversizedDcPicture();
    folder.WriteFile("picture.jpg", original);
    ASSERT_EQ(ReadJpeg(original).width, 8);
    EXPECT_EQ(TurnMessageCode(), JWRN_HIT_MARKER);
    ExpectUntouched();
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
    // 294 characters deep, in a folder too long for GetTempFileName's names.
    std::string deep = folder;
    while (deep.size() < 260) {
        deep += "\\" + std::string(std::min<size_t>(100, 260 - deep.size() - 1), 'd');
        ::CreateDirectoryW(DiskPath(deep).c_str(), nullptr);
    }
    const std::string path = PathOfLength(deep, 294);
    const std::string jpeg = MakeJpeg(MarkedRecipe(100, 75, 2, 2));
    const HANDLE file = ::CreateFileW(DiskPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, jpeg.data(), (DWORD)jpeg.size(), &written, nullptr);
    ::CloseHandle(file);
    const std::set<std::string> before = TurnTemporaries();

    RotatePictureFile(path, Turn90);
    const JpegContent turned = ReadJpeg(ReadWholeFile(path), false);
    EXPECT_EQ(turned.width, 64);
    EXPECT_EQ(turned.height, 100);
    EXPECT_EQ(TurnTemporaries(), before);
    EXPECT_TRUE(TurnTemporaries(deep).empty());
}

}  // namespace
