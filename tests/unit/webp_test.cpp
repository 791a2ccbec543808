// WebP pictures and AVIF sequences made by their formats' own tools when
// the build ran, decoded as the reference decoders (dwebp, avifdec) decode
// them, and a WebP animation's frames against the pictures it was made from.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app_driver.h"
#include "afxbase.h"
#include "imaging/animation.h"
#include "imaging/colour.h"
#include "imaging/nclxprofile.h"
#include "imaging/picture.h"
#include "imaging/picturefacts.h"
#include "temp_folder.h"

namespace {

// A PAM file's pixels: red, green, blue (and alpha), top row first, each
// sample running to most.
struct Pam {
    int width = 0;
    int height = 0;
    int depth = 0;
    unsigned most = 255;
    std::vector<uint16_t> samples;

    const uint16_t* At(int x, int y) const { return samples.data() + ((size_t)y * width + x) * depth; }
};

Pam ReadPam(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    Pam pam;
    for (std::string word; file >> word && word != "ENDHDR";) {
        if (word == "WIDTH")
            file >> pam.width;
        else if (word == "HEIGHT")
            file >> pam.height;
        else if (word == "DEPTH")
            file >> pam.depth;
        else if (word == "MAXVAL")
            file >> pam.most;
    }
    file.get();
    const int bytes = pam.most > 255 ? 2 : 1;
    std::vector<BYTE> stored((size_t)pam.width * pam.height * pam.depth * bytes);
    file.read(reinterpret_cast<char*>(stored.data()), (std::streamsize)stored.size());
    if (!file)
        return {};
    pam.samples.resize(stored.size() / bytes);
    for (size_t i = 0; i < pam.samples.size(); ++i)
        pam.samples[i] = bytes == 2 ? (uint16_t)(stored[2 * i] << 8 | stored[2 * i + 1]) : stored[i];
    return pam;
}

std::string DataFile(const std::string& name)
{
    return WindowsPath(TestSetting("ORLIVANE_WEBP_DATA") + "/" + name);
}

// The reference laid over black as 24-bit rows, converted from profile to
// sRGB at its own precision when there is one: what the program is to show
// of it.
CPixels Expected(const Pam& pam, const std::vector<BYTE>& profile = {})
{
    const bool sixteen = pam.most > 255;
    std::vector<uint16_t> words((size_t)pam.width * pam.height * 3);
    std::vector<BYTE> bytes(words.size());
    for (int y = 0, i = 0; y < pam.height; ++y) {
        for (int x = 0; x < pam.width; ++x) {
            const uint16_t* in = pam.At(x, y);
            const unsigned alpha = pam.depth == 4 ? in[3] : pam.most;
            for (int c = 0; c < 3; ++c, ++i) {
                words[i] = (uint16_t)((in[c] * alpha + pam.most / 2) / pam.most);
                bytes[i] = (BYTE)((words[i] * 255u + pam.most / 2) / pam.most);
            }
        }
    }
    CPixels pixels(pam.width, pam.height);
    if (!profile.empty()) {
        ConvertRgbRows(profile, sixteen, sixteen ? (const void*)words.data() : bytes.data(),
                       (size_t)pam.width * 3 * (sixteen ? 2 : 1), pixels.Row(0), pixels.Stride(), pam.width,
                       pam.height, ColourTarget::Srgb);
        return pixels;
    }
    for (int y = 0; y < pam.height; ++y) {
        for (int x = 0; x < pam.width * 3; ++x)
            pixels.Row(y)[x / 3 * 3 + 2 - x % 3] = bytes[(size_t)y * pam.width * 3 + x];
    }
    return pixels;
}

// Whether every channel of shown lies within tolerance of expected; names
// the first pixel that does not.
testing::AssertionResult SamePixels(const CPixels& shown, const CPixels& expected, int tolerance)
{
    if (shown.Width() != expected.Width() || shown.Height() != expected.Height())
        return testing::AssertionFailure() << "size " << shown.Width() << "x" << shown.Height() << ", expected "
                                           << expected.Width() << "x" << expected.Height();
    for (int y = 0; y < shown.Height(); ++y) {
        for (int x = 0; x < shown.Width() * 3; ++x) {
            if (std::abs(shown.Row(y)[x] - expected.Row(y)[x]) > tolerance)
                return testing::AssertionFailure() << "pixel " << x / 3 << "," << y << " channel " << 2 - x % 3
                                                   << ": " << (int)shown.Row(y)[x] << ", expected "
                                                   << (int)expected.Row(y)[x];
        }
    }
    return testing::AssertionSuccess();
}

std::unique_ptr<CPixels> Decode(const std::string& name)
{
    CPictureBitmap picture;
    picture.LoadFromFile(DataFile(name), {}, {0, 0}, ColourTarget::Srgb);
    return picture.m_hBitmap ? CopyPixels(picture.m_hBitmap) : nullptr;
}

// The big-endian word at at, plus add, written back.
uint32_t AddBigEndian32(std::string& bytes, size_t at, uint32_t add = 0)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | (BYTE)bytes[at + i];
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = (char)((value + add) >> (24 - 8 * i));
    return value + add;
}

// The sequence as avifenc wrote it (ftyp, meta, moov of version 1 track
// headers, then mdat) with an edit list in its picture track: its one
// segment of 7 units marked to repeat, in a track of duration units.
std::string WithEditList(std::string bytes, uint64_t duration)
{
    const std::string edts("\0\0\0\x24" "edts" "\0\0\0\x1c" "elst" "\0\0\0\x01" "\0\0\0\x01" "\0\0\0\x07"
                           "\0\0\0\0" "\0\x01\0\0", 36);
    size_t moov = 0;
    while (bytes.compare(moov + 4, 4, "moov") != 0)
        moov += AddBigEndian32(bytes, moov);
    const size_t trak = moov + 8 + AddBigEndian32(bytes, moov + 8), tkhd = trak + 8;
    EXPECT_EQ(bytes.compare(tkhd + 4, 5, "tkhd\x01"), 0) << "a trak's first box, of version 1";
    for (int i = 0; i < 8; ++i)
        bytes[tkhd + 36 + i] = (char)(duration >> (56 - 8 * i));
    const size_t moovEnd = moov + AddBigEndian32(bytes, moov, 36) - 36;
    AddBigEndian32(bytes, trak, 36);
    // The frames' data lies after moov: every chunk offset moves on.
    for (size_t at = bytes.find("stco", moov); at < moovEnd; at = bytes.find("stco", at + 4)) {
        for (uint32_t i = 0, count = AddBigEndian32(bytes, at + 8); i < count; ++i)
            AddBigEndian32(bytes, at + 12 + 4 * i, 36);
    }
    bytes.insert(tkhd + AddBigEndian32(bytes, tkhd), edts);
    return bytes;
}

class WebpPictures : public testing::Test {
protected:
    void SetUp() override
    {
        if (TestSetting("ORLIVANE_WEBP_DATA").empty())
            GTEST_SKIP() << "no WebP tools in this build";
    }
};

}  // namespace

TEST_F(WebpPictures, StillsShowAsTheReferenceDecodesThemOverBlackInTheirProfile)
{
    const std::string profileFile = SettingFile("ORLIVANE_ADOBE_RGB");
    const std::vector<BYTE> profile(profileFile.begin(), profileFile.end());
    ASSERT_FALSE(profile.empty());
    const struct {
        const char* name;
        const char* reference;
        bool profiled;
    } stills[] = {
        {"lossy.webp", "lossy.pam", false},
        {"alpha.webp", "alpha.pam", false},
        {"lossyalpha.webp", "lossyalpha.pam", false},
        {"profiled.webp", "profiled.pam", true},
        // An animation's still is its first frame.
        {"anim.webp", "frame1.pam", false},
    };
    for (const auto& still : stills) {
        const Pam reference = ReadPam(DataFile(still.reference));
        ASSERT_GT(reference.width, 0) << still.reference;
        const auto shown = Decode(still.name);
        ASSERT_TRUE(shown) << still.name;
        EXPECT_TRUE(SamePixels(*shown, Expected(reference, still.profiled ? profile : std::vector<BYTE>{}), 1))
            << still.name;
        const PictureFacts facts = ReadPictureFacts(DataFile(still.name));
        EXPECT_EQ(CSize(facts.size), CSize(reference.width, reference.height)) << still.name;
    }

    // Fitted into a box a quarter its size, each pixel the average of the
    // four by four it stands for (libwebp's own shrinking strays by up to 15
    // levels at coloured edges); the picture keeps its own size.
    const Pam reference = ReadPam(DataFile("lossy.pam"));
    const CPixels whole = Expected(reference);
    CPixels averaged(whole.Width() / 4, whole.Height() / 4);
    for (int y = 0; y < averaged.Height(); ++y) {
        for (int x = 0; x < averaged.Width() * 3; ++x) {
            int sum = 0;
            for (int i = 0; i < 16; ++i)
                sum += whole.Row(y * 4 + i / 4)[(x / 3 * 4 + i % 4) * 3 + x % 3];
            averaged.Row(y)[x] = (BYTE)((sum + 8) / 16);
        }
    }
    CPictureBitmap picture;
    picture.LoadFromFile(DataFile("lossy.webp"), {}, SIZE{averaged.Width(), averaged.Width()}, ColourTarget::Srgb);
    ASSERT_TRUE(picture.m_hBitmap);
    EXPECT_EQ(CSize(picture.m_width, picture.m_height), CSize(reference.width, reference.height));
    EXPECT_TRUE(SamePixels(*CopyPixels(picture.m_hBitmap), averaged, 1));
}

TEST_F(WebpPictures, FactsComeFromTheExifChunk)
{
    const PictureFacts facts = ReadPictureFacts(DataFile("exif.webp"));
    EXPECT_EQ(CSize(facts.size), CSize(96, 64));
    EXPECT_EQ(facts.photo.make, "Canon");
    EXPECT_EQ(facts.photo.model, "Canon EOS 5D");
    ASSERT_TRUE(facts.photo.taken);
    EXPECT_EQ(facts.photo.taken->year, 2023);
    EXPECT_EQ(facts.photo.taken->second, 5);
    CPictureBitmap picture;
    picture.LoadFromFile(DataFile("exif.webp"));
    EXPECT_EQ(picture.m_facts.model, "Canon EOS 5D");
}

TEST_F(WebpPictures, AnimationPlaysItsFramesInOrderWithTheirDelaysAndLoops)
{
    // webpmux's account: "Loop Count : 3", then a line a frame whose
    // seventh column is its duration.
    std::ifstream info(DataFile("anim.txt"));
    int loops = -1;
    std::vector<int> durations;
    for (std::string line; std::getline(info, line);) {
        if (const size_t at = line.find("Loop Count : "); at != std::string::npos)
            loops = std::atoi(line.c_str() + at + 13);
        std::istringstream words(line);
        std::string number, column;
        if (words >> number && number.size() > 1 && number.back() == ':' && std::isdigit((BYTE)number[0])) {
            for (int i = 0; i < 6; ++i)
                words >> column;
            durations.push_back(std::atoi(column.c_str()));
        }
    }
    ASSERT_EQ(durations.size(), 6u);

    const auto reader = OpenAnimation(DataFile("anim.webp"), ColourTarget::Srgb);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->FrameCount(), 6);
    EXPECT_EQ(reader->LoopCount(), loops);
    EXPECT_EQ(CSize(reader->Size()), CSize(64, 48));
    // Once round, and into the second time.
    for (int i = 0; i < 8; ++i) {
        const int index = i % 6;
        const Pam reference = ReadPam(DataFile("frame" + std::to_string(index + 1) + ".pam"));
        AnimationFrame frame;
        ASSERT_TRUE(reader->Next(frame)) << "frame " << i;
        ASSERT_TRUE(frame.pixels);
        EXPECT_TRUE(SamePixels(*frame.pixels, Expected(reference), 1)) << "frame " << i;
        EXPECT_EQ(frame.delay, durations[index]) << "frame " << i;
    }
    // A still is no animation.
    EXPECT_FALSE(OpenAnimation(DataFile("alpha.webp"), ColourTarget::Srgb));
}


TEST_F(WebpPictures, CanvasLargerThanTheLimitsIsRefusedBeforeItIsAllocated)
{
    // The animation's VP8X chunk claims a canvas of 20000 by 20000: its
    // frames still fit in it, so only the limits refuse it.
    std::string bytes = ReadWholeFile(DataFile("anim.webp"));
    ASSERT_EQ(bytes.compare(12, 4, "VP8X"), 0);
    for (int at : {24, 27}) {
        bytes[at] = (char)(19999 & 0xFF);
        bytes[at + 1] = (char)(19999 >> 8);
        bytes[at + 2] = 0;
    }
    TempFolder folder;
    const std::string path = folder.WriteFile("huge.webp", bytes);
    EXPECT_FALSE(OpenAnimation(path));
    EXPECT_EQ(CSize(ReadPictureFacts(path).size), CSize(0, 0));
    CPictureBitmap picture;
    picture.LoadFromFile(path);
    EXPECT_FALSE(picture.m_hBitmap);
    EXPECT_EQ(picture.m_width, 0);
}

TEST_F(WebpPictures, AvifSequencePlaysItsFramesAsTheReferenceDecodesThem)
{
    // 8 bits 4:2:0 in full range; 10 bits 4:4:4 in limited range with
    // another matrix and other primaries; with an alpha track.
    const std::pair<std::string, std::vector<BYTE>> sequences[] = {
        {"seq420", {}}, {"seq444", NclxProfile(12, 13)}, {"seqalpha", {}}};
    for (const auto& [name, profile] : sequences) {
        // avifdec's account: "[duration 0.30 (3 timescales)]" a frame.
        std::ifstream info(DataFile(name + ".txt"));
        std::vector<int> durations;
        for (std::string line; std::getline(info, line);) {
            if (const size_t at = line.find("[duration "); at != std::string::npos)
                durations.push_back((int)std::lround(std::atof(line.c_str() + at + 10) * 1000));
        }
        ASSERT_EQ(durations.size(), 3u) << name;

        const auto reader = OpenAnimation(DataFile(name + ".avif"), ColourTarget::Srgb);
        ASSERT_TRUE(reader) << name;
        EXPECT_EQ(reader->FrameCount(), 3) << name;
        EXPECT_EQ(reader->LoopCount(), 0) << name;
        EXPECT_EQ(CSize(reader->Size()), CSize(64, 48)) << name;
        for (int i = 0; i < 4; ++i) {
            const Pam reference = ReadPam(DataFile(name + "-" + std::to_string(i % 3) + ".pam"));
            AnimationFrame frame;
            ASSERT_TRUE(reader->Next(frame)) << name << " frame " << i;
            ASSERT_TRUE(frame.pixels);
            EXPECT_TRUE(SamePixels(*frame.pixels, Expected(reference, profile), 2)) << name << " frame " << i;
            EXPECT_EQ(frame.delay, durations[i % 3]) << name << " frame " << i;
        }
    }

    // An edit list that repeats the sequence's 7 units until 21 are filled
    // plays it three times; until an indefinite duration, for ever.
    const std::string bytes = ReadWholeFile(DataFile("seq420.avif"));
    TempFolder folder;
    const auto repeated = OpenAnimation(folder.WriteFile("thrice.avif", WithEditList(bytes, 21)));
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->LoopCount(), 3);
    AnimationFrame frame;
    EXPECT_TRUE(repeated->Next(frame));
    const auto endless = OpenAnimation(folder.WriteFile("endless.avif", WithEditList(bytes, UINT64_MAX)));
    ASSERT_TRUE(endless);
    EXPECT_EQ(endless->LoopCount(), 0);
}

TEST_F(WebpPictures, AvifSequenceCutShortDoesNotOpen)
{
    // Every box and every frame's data reads within the file, or the
    // sequence is no animation: a cut anywhere leaves one of them short.
    const std::string bytes = ReadWholeFile(DataFile("seq420.avif"));
    ASSERT_FALSE(bytes.empty());
    TempFolder folder;
    ASSERT_TRUE(OpenAnimation(folder.WriteFile("whole.avif", bytes)));
    for (size_t length = 0; length < bytes.size(); length += 5)
        EXPECT_FALSE(OpenAnimation(folder.WriteFile("cut.avif", bytes.substr(0, length)))) << length;
}
