// Decoding, encoding, fitting and drawing of pictures, and damaged input to
// every reader, on JPEG files made with the library, under Wine. Turning has
// its own test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <tuple>
#include <type_traits>

#include "jerror.h"
#include "jpeg_files.h"
#include "jpeglib.h"

#include "app_driver.h"
#include "catalog/folderentry.h"
#include "colours.h"
#include "dc.h"
#include "gdi.h"
#include "imaging/drawing.h"
#include "imaging/losslessturn.h"
#include "imaging/picture.h"
#include "jpeg_maker.h"
#include "picture_files.h"
#include "temp_folder.h"

namespace {

struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, CloseFile>;

struct DeleteBitmap {
    void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
};
using BitmapPtr = std::unique_ptr<std::remove_pointer_t<HBITMAP>, DeleteBitmap>;

// The rows of a 24-bit DIB section as they lie in memory.
struct DibView {
    int width = 0;
    int height = 0;
    ptrdiff_t stride = 0;
    const BYTE* bits = nullptr;

    const BYTE* At(int x, int y) const { return bits + stride * y + 3 * x; }
    COLORREF Color(int x, int y) const
    {
        const BYTE* p = At(x, y);
        return RGB(p[2], p[1], p[0]);
    }
};

DibView ViewDib(HBITMAP bitmap)
{
    ::GdiFlush();
    DIBSECTION section{};
    DibView view;
    if (::GetObjectA(bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmHeight)
        return view;
    view.width = section.dsBm.bmWidth;
    view.height = section.dsBm.bmHeight;
    view.stride = (ptrdiff_t)(section.dsBmih.biSizeImage / section.dsBm.bmHeight);
    view.bits = static_cast<const BYTE*>(section.dsBm.bmBits);
    return view;
}

DibView ViewPixels(const CPixels& pixels)
{
    DibView view;
    view.width = pixels.Width();
    view.height = pixels.Height();
    view.stride = (ptrdiff_t)pixels.Stride();
    view.bits = pixels.Bits();
    return view;
}

HBITMAP DecodeFile(const std::string& path, bool exchangeRedBlue, SIZE* size)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    return file ? DecodeJpeg(file.get(), exchangeRedBlue, size) : nullptr;
}

// A memory DC drawing into a picture DIB pre-filled with a colour no
// drawing here produces.
constexpr COLORREF kSentinel = RGB(255, 0, 255);

class Canvas {
public:
    CDC dc;

    Canvas(int width, int height) : m_bitmap(CreatePictureDib(width, height))
    {
        dc.CreateCompatibleDC(nullptr);
        m_old = dc.SelectObject(m_bitmap);
        const RECT all{0, 0, width, height};
        dc.FillSolidRect(&all, kSentinel);
    }
    ~Canvas()
    {
        dc.SelectObject(m_old);
        ::DeleteObject(m_bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    COLORREF Pixel(int x, int y) const { return ViewDib(m_bitmap).Color(x, y); }

private:
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

// ---------------------------------------------------------------- bitmaps

TEST(PictureDib, IsTopDown24BitWithPaddedRowsAndScreenResolution)
{
    BitmapPtr bitmap(CreatePictureDib(33, 7));
    ASSERT_TRUE(bitmap);
    DIBSECTION section{};
    ASSERT_EQ(::GetObjectA(bitmap.get(), sizeof section, &section), (int)sizeof section);
    EXPECT_EQ(section.dsBmih.biBitCount, 24);
    EXPECT_EQ(section.dsBmih.biCompression, (DWORD)BI_RGB);
    EXPECT_EQ(section.dsBmih.biPlanes, 1);
    EXPECT_EQ(section.dsBm.bmWidth, 33);
    EXPECT_EQ(section.dsBm.bmHeight, 7);
    EXPECT_EQ(section.dsBmih.biSizeImage / 7, 100u);  // 99 bytes padded to 4

    // Top-down: the first row in memory is the top row on the DC.
    BYTE* bits = static_cast<BYTE*>(section.dsBm.bmBits);
    bits[0] = 0x30;  // blue, green, red
    bits[1] = 0x20;
    bits[2] = 0x10;
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CSelectObject select(&dc, bitmap.get());
    EXPECT_EQ(::GetPixel(dc.m_hDC, 0, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(::GetPixel(dc.m_hDC, 0, 6), RGB(0, 0, 0));

    CDC screen;
    ASSERT_TRUE(screen.CreateCompatibleDC(nullptr));
    EXPECT_EQ(section.dsBmih.biXPelsPerMeter, screen.GetDeviceCaps(LOGPIXELSX));
    EXPECT_EQ(section.dsBmih.biYPelsPerMeter, screen.GetDeviceCaps(LOGPIXELSY));
}

TEST(PictureDib, RefusesEmptyAndOversizedPictures)
{
    EXPECT_EQ(CreatePictureDib(0, 10), nullptr);
    EXPECT_EQ(CreatePictureDib(10, 0), nullptr);
    EXPECT_EQ(CreatePictureDib(-5, 10), nullptr);
    // Over 2 GB, as a damaged header can ask: Wine would grant 2.7 GB.
    EXPECT_EQ(CreatePictureDib(30000, 30000), nullptr);
    EXPECT_EQ(CreatePictureDib(65500, 65500), nullptr);
}

// ---------------------------------------------------------------- decoding

TEST(Decoding, GivesTheLibraryPixelsInBitmapOrderRowByRow)
{
    TempFolder folder;
    JpegRecipe recipe;
    recipe.width = 33;  // rows padded by 1 byte
    recipe.height = 21;
    recipe.hSampling = 2;
    recipe.vSampling = 1;
    const std::string path = WriteJpeg(folder, "odd.jpg", recipe);
    const JpegContent expected = ReadJpeg(ReadWholeFile(path));

    for (bool exchange : {true, false}) {
        SCOPED_TRACE(exchange ? "exchanged" : "as stored");
        SIZE size{};
        BitmapPtr bitmap(DecodeFile(path, exchange, &size));
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(size.cx, 33);
        EXPECT_EQ(size.cy, 21);
        const DibView view = ViewDib(bitmap.get());
        ASSERT_EQ(view.width, 33);
        ASSERT_EQ(view.height, 21);
        int mismatches = 0;
        for (int y = 0; y < 21; ++y) {
            for (int x = 0; x < 33; ++x) {
                const unsigned char* rgb = &expected.rgb[(size_t)(y * 33 + x) * 3];
                const BYTE* p = view.At(x, y);
                const bool same = exchange
                    ? p[0] == rgb[2] && p[1] == rgb[1] && p[2] == rgb[0]
                    : p[0] == rgb[0] && p[1] == rgb[1] && p[2] == rgb[2];
                mismatches += !same;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(Decoding, GrayscaleBecomesGreyPictureOfTheRightSize)
{
    TempFolder folder;
    JpegRecipe recipe;
    recipe.kind = JpegKind::Gray;
    recipe.width = 40;
    recipe.height = 30;
    CPictureBitmap picture;
    picture.LoadFromFile(WriteJpeg(folder, "gray.jpg", recipe));
    ASSERT_TRUE(picture.m_hBitmap);
    EXPECT_EQ(picture.m_width, 40);
    EXPECT_EQ(picture.m_height, 30);
    const DibView view = ViewDib(picture.m_hBitmap);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const BYTE* p = view.At(x, y);
            unsigned char grey[3];
            RecipePixel(recipe, x, y, grey);
            ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
            ASSERT_NEAR(p[0], grey[0], 12) << x << "," << y;
        }
    }
}

// A JPEG whose frame header claims width by height.
std::string WithClaimedSize(std::string bytes, int width, int height)
{
    const size_t frame = bytes.find("\xFF\xC0");
    if (frame != std::string::npos) {
        bytes[frame + 5] = (char)(height >> 8);
        bytes[frame + 6] = (char)height;
        bytes[frame + 7] = (char)(width >> 8);
        bytes[frame + 8] = (char)width;
    }
    return bytes;
}

TEST(Decoding, RejectedPictureKeepsHeaderSizeButNoBitmapAndInkShowsInColour)
{
    TempFolder folder;
    JpegRecipe cmyk = SolidRecipe(48, 40, 0, 0, 0);
    cmyk.kind = JpegKind::Cmyk;
    const std::string cmykPath = WriteJpeg(folder, "cmyk.jpg", cmyk);

    // Cache streams are never ink: the plain decoder refuses it.
    SIZE size{};
    EXPECT_EQ(DecodeFile(cmykPath, true, &size), nullptr);
    EXPECT_EQ(size.cx, 48);
    EXPECT_EQ(size.cy, 40);

    // A picture's ink (Adobe's inverted kind, as the library writes it) is
    // shown: stored 0 is full ink, so this one is nearly black but not quite.
    CPictureBitmap picture;
    picture.LoadFromFile(cmykPath);
    ASSERT_TRUE(picture.m_hBitmap);
    const COLORREF shown = ViewDib(picture.m_hBitmap).Color(20, 20);
    cmyk.solid[0] = 255;  // no cyan: red shows
    picture.LoadFromFile(WriteJpeg(folder, "red.jpg", cmyk));
    ASSERT_TRUE(picture.m_hBitmap);
    const COLORREF red = ViewDib(picture.m_hBitmap).Color(20, 20);
    EXPECT_GT(GetRValue(red), GetRValue(shown) + 10) << std::hex << red << " " << shown;
    EXPECT_GT(GetRValue(red), GetGValue(red) + 10);

    // The previous picture goes; the header's size stays.
    const std::string hugePath =
        folder.WriteFile("huge.jpg", WithClaimedSize(MakeJpeg(JpegRecipe{}), 60000, 50000));
    picture.LoadFromFile(hugePath);
    EXPECT_EQ(picture.m_hBitmap, nullptr);
    EXPECT_EQ(picture.m_width, 60000);
    EXPECT_EQ(picture.m_height, 50000);
    EXPECT_TRUE(::DeleteFileA(hugePath.c_str())) << "the file stays open";
}

// Whether the quadrants of rows show the Quadrants pattern's colours.
::testing::AssertionResult ShowsQuadrantsUpright(const DibView& rows)
{
    return ShowsQuadrants([&](int x, int y) { return rows.Color(x, y); }, rows.width, rows.height,
                          JpegQuadrants().colour, 16);
}

TEST(Orientation, EveryTagShowsThePictureUprightOnThePageAndInItsThumbnail)
{
    TempFolder folder;
    struct Case {
        int orientation;
        bool bigEndian, asLong;
        std::string appData;
    } cases[] = {
        {1, false, false, ""}, {2, true, false, ""}, {3, false, true, ""}, {4, true, false, ""},
        {5, false, false, ""}, {6, true, true, ""},  {7, false, false, ""}, {8, true, false, ""},
        {9, false, false, ""},  // out of range: shown as stored
        {0, false, false, ExifOrientationSegment(6).substr(0, 22)},  // directory cut off
        {0, false, false, ExifOrientationSegment(6, true).replace(10, 4, "\x7F\xFF\xFF\xF0")},  // offset far out
    };
    for (const Case& c : cases) {
        JpegRecipe recipe;
        recipe.width = 160;
        recipe.height = 96;
        recipe.pattern = JpegPattern::Quadrants;
        recipe.orientation = c.orientation;
        recipe.exifBigEndian = c.bigEndian;
        recipe.orientationAsLong = c.asLong;
        recipe.appData = c.appData;
        const std::string path = WriteJpeg(folder, "o" + std::to_string(&c - cases) + ".jpg", recipe);
        SCOPED_TRACE(path);

        CPictureBitmap picture;
        picture.LoadFromFile(path);
        ASSERT_TRUE(picture.m_hBitmap);
        EXPECT_EQ(CSize(picture.m_width, picture.m_height), CSize(160, 96));
        EXPECT_TRUE(ShowsQuadrantsUpright(ViewDib(picture.m_hBitmap)));

        CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
        entry.m_picturePath = path;
        CThumbnail thumbnail;
        thumbnail.LoadBitmap(entry);
        ASSERT_TRUE(thumbnail.Bitmap());
        EXPECT_EQ(CSize(thumbnail.m_width, thumbnail.m_height), CSize(90, 54));
        EXPECT_TRUE(ShowsQuadrantsUpright(ViewPixels(*thumbnail.Bitmap())));
    }
}

TEST(Decoding, UnreadableHeaderKeepsThePreviousSize)
{
    TempFolder folder;
    const std::string garbage = folder.WriteFile("garbage.jpg", "GIF89a not a picture at all");
    const std::string empty = folder.WriteFile("empty.jpg", "");

    CPictureBitmap fresh;
    fresh.LoadFromFile(garbage);
    EXPECT_EQ(fresh.m_hBitmap, nullptr);
    EXPECT_EQ(fresh.m_width, 0);
    EXPECT_EQ(fresh.m_height, 0);

    CPictureBitmap picture;
    picture.LoadFromFile(WriteJpeg(folder, "good.jpg", JpegRecipe{}));
    for (const std::string& path : {garbage, empty}) {
        picture.LoadFromFile(path);
        EXPECT_EQ(picture.m_hBitmap, nullptr);
        EXPECT_EQ(picture.m_width, 64);
        EXPECT_EQ(picture.m_height, 48);
    }
}

TEST(Decoding, MissingFileThrowsWin32CodeAndKeepsThePicture)
{
    TempFolder folder;
    CPictureBitmap picture;
    picture.LoadFromFile(WriteJpeg(folder, "good.jpg", JpegRecipe{}));
    const HBITMAP before = picture.m_hBitmap;

    DWORD thrown = 0;
    try {
        picture.LoadFromFile(folder / "missing.jpg");
    } catch (DWORD error) {
        thrown = error;
    }
    EXPECT_EQ(thrown, (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(picture.m_hBitmap, before);
    EXPECT_EQ(picture.m_width, 64);
    EXPECT_EQ(picture.m_height, 48);
    BITMAP still{};
    EXPECT_EQ(::GetObjectA(picture.m_hBitmap, sizeof still, &still), (int)sizeof still);
}

TEST(Decoding, FileThatEndsEarlyStillShowsWithTheRestFilledIn)
{
    TempFolder folder;
    JpegRecipe recipe;
    recipe.width = 64;
    recipe.height = 64;
    recipe.hSampling = recipe.vSampling = 1;
    const std::string whole = MakeJpeg(recipe);
    const JpegContent expected = ReadJpeg(whole);

    CPictureBitmap picture;
    picture.LoadFromFile(folder.WriteFile("cut.jpg", whole.substr(0, whole.size() * 6 / 10)));
    ASSERT_TRUE(picture.m_hBitmap);
    ASSERT_EQ(picture.m_width, 64);
    ASSERT_EQ(picture.m_height, 64);
    const DibView view = ViewDib(picture.m_hBitmap);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 64; ++x) {
            const unsigned char* rgb = &expected.rgb[(size_t)(y * 64 + x) * 3];
            ASSERT_EQ(view.Color(x, y), RGB(rgb[0], rgb[1], rgb[2])) << x << "," << y;
        }
    }
    // The library fills what is missing with flat grey.
    for (int x = 0; x < 64; ++x)
        ASSERT_TRUE(Near(view.Color(x, 63), RGB(128, 128, 128), 2)) << x;
}

// ---------------------------------------------------------------- encoding

TEST(Encoding, RoundTripKeepsByteOrderAndExchangeSwapsRedAndBlue)
{
    TempFolder folder;
    BitmapPtr original(CreatePictureDib(48, 32));
    ASSERT_TRUE(original);
    DibView source = ViewDib(original.get());
    for (int y = 0; y < 32; ++y) {
        BYTE* row = const_cast<BYTE*>(source.At(0, y));
        for (int x = 0; x < 48; ++x) {
            row[3 * x] = (BYTE)(200 - x * 2);  // high first byte
            row[3 * x + 1] = (BYTE)(100 + y);
            row[3 * x + 2] = (BYTE)(20 + x);  // low third byte
        }
    }
    const std::string path = folder / "thumb.jpg";
    {
        FilePtr file(std::fopen(path.c_str(), "wb"));
        ASSERT_TRUE(file);
        EncodeJpeg(original.get(), file.get());
    }

    // Library defaults: quality 75 tables, colour halved both ways.
    const JpegContent stream = ReadJpeg(ReadWholeFile(path));
    EXPECT_EQ(stream.width, 48);
    EXPECT_EQ(stream.height, 32);
    EXPECT_EQ(stream.lumaQuant0, 8);
    EXPECT_EQ(stream.chromaQuant0, 9);
    EXPECT_EQ(stream.hSampling, 2);
    EXPECT_EQ(stream.vSampling, 2);
    // Other readers see the bitmap's first byte as red.
    EXPECT_NEAR(stream.rgb[0], 200, 6);
    EXPECT_NEAR(stream.rgb[2], 20, 6);

    for (bool exchange : {false, true}) {
        SCOPED_TRACE(exchange ? "exchanged" : "as stored");
        SIZE size{};
        BitmapPtr decoded(DecodeFile(path, exchange, &size));
        ASSERT_TRUE(decoded);
        const DibView back = ViewDib(decoded.get());
        double error = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 48; ++x) {
                const BYTE* a = source.At(x, y);
                const BYTE* b = back.At(x, y);
                for (int c = 0; c < 3; ++c)
                    error += std::abs(a[exchange ? 2 - c : c] - b[c]);
            }
        }
        EXPECT_LT(error / (48 * 32 * 3), 3.0);
    }
}

TEST(Encoding, WritesNothingForAnythingButA24BitSection)
{
    TempFolder folder;
    BitmapPtr device(::CreateBitmap(8, 8, 1, 32, nullptr));
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = 8;
    header.bmiHeader.biHeight = -8;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 1;  // rows of 1 byte: 3 bytes a pixel would overrun
    void* bits = nullptr;
    BitmapPtr mono(::CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(device && mono);

    for (HBITMAP bitmap : {device.get(), mono.get()}) {
        FilePtr file(std::fopen((folder / "none.jpg").c_str(), "wb"));
        ASSERT_TRUE(file);
        EncodeJpeg(bitmap, file.get());
        EXPECT_EQ(std::ftell(file.get()), 0L);
    }
}

TEST(Encoding, LibraryErrorsAreThrownAsTheirMessageCode)
{
    TempFolder folder;
    BitmapPtr bitmap(CreatePictureDib(16, 16));
    const std::string path = folder.WriteFile("existing.jpg", "x");
    FilePtr readOnly(std::fopen(path.c_str(), "rb"));
    ASSERT_TRUE(readOnly);
    int code = -1;
    try {
        EncodeJpeg(bitmap.get(), readOnly.get());
    } catch (int thrown) {
        code = thrown;
    }
    EXPECT_EQ(code, JERR_FILE_WRITE);

    FilePtr garbage(std::fopen(path.c_str(), "rb"));
    FilePtr out(std::fopen((folder / "out.jpg").c_str(), "wb"));
    code = -1;
    try {
        TransformJpeg(garbage.get(), out.get(), Turn90);
    } catch (int thrown) {
        code = thrown;
    }
    EXPECT_EQ(code, JERR_NO_SOI);
}

// ---------------------------------------------------------------- fitting

TEST(Fitting, ThumbnailKeepsTheAspectAndFillsTheLongerSide)
{
    struct Case {
        int width, height, fitWidth, fitHeight;
    } cases[] = {
        {100, 50, 90, 45}, {50, 100, 45, 90}, {64, 64, 90, 90},
        {4000, 3000, 90, 67}, {7, 1000, 1, 90},  // truncated toward zero, but never below a pixel
        {65000, 16, 90, 1},   {0, 0, 0, 0},      // header never read: no thumbnail
    };
    for (const Case& c : cases) {
        CPictureBitmap picture;
        picture.m_width = c.width;
        picture.m_height = c.height;
        const SIZE fit = FitPictureInBox(picture, 90, 90);
        EXPECT_EQ(fit.cx, c.fitWidth) << c.width << "x" << c.height;
        EXPECT_EQ(fit.cy, c.fitHeight) << c.width << "x" << c.height;
    }
}

// Expects the picture colour just inside the edges of drawn and the colour
// outside just beyond them, within area.
void ExpectDrawnAt(const Canvas& canvas, const RECT& area, const RECT& drawn, COLORREF color,
                   COLORREF outside)
{
    struct Probe {
        int x, y;
        bool inside;
    } probes[] = {
        {drawn.left, drawn.top, true},          {drawn.right - 1, drawn.bottom - 1, true},
        {drawn.left, drawn.bottom - 1, true},   {drawn.right - 1, drawn.top, true},
        {drawn.left - 1, drawn.top, false},     {drawn.left, drawn.top - 1, false},
        {drawn.right, drawn.bottom - 1, false}, {drawn.right - 1, drawn.bottom, false},
    };
    for (const Probe& p : probes) {
        if (!::PtInRect(&area, POINT{p.x, p.y}))
            continue;
        const COLORREF pixel = canvas.Pixel(p.x, p.y);
        if (p.inside)
            EXPECT_TRUE(Near(pixel, color, 6)) << p.x << "," << p.y << " " << std::hex << pixel;
        else
            EXPECT_EQ(pixel, outside) << p.x << "," << p.y;
    }
}

TEST(Fitting, LargePictureShrinksToTheAreaAndIsCentred)
{
    TempFolder folder;
    CPictureBitmap picture;
    picture.LoadFromFile(WriteJpeg(folder, "big.jpg", SolidRecipe(1600, 1200, 200, 60, 20)));
    ASSERT_TRUE(picture.m_hBitmap);
    Canvas canvas(800, 800);
    DrawPictureFitted(&canvas.dc, RECT{0, 0, 800, 800}, picture, 0, 0);
    // Red stays red on screen: pictures are decoded into blue, green, red.
    ExpectDrawnAt(canvas, RECT{0, 0, 800, 800}, RECT{0, 100, 800, 700}, RGB(200, 60, 20),
                  RGB(0, 0, 0));
    EXPECT_EQ(canvas.Pixel(400, 50), RGB(0, 0, 0));
    EXPECT_EQ(canvas.Pixel(400, 750), RGB(0, 0, 0));
}

TEST(Fitting, ASliverOfAPictureIsStillDrawnOnePixelHigh)
{
    TempFolder folder;
    CPictureBitmap picture;
    picture.LoadFromFile(WriteJpeg(folder, "sliver.jpg", SolidRecipe(65000, 16, 200, 60, 20)));
    ASSERT_TRUE(picture.m_hBitmap);
    Canvas canvas(800, 800);
    DrawPictureFitted(&canvas.dc, RECT{0, 0, 800, 800}, picture, 0, 0);
    ExpectDrawnAt(canvas, RECT{0, 0, 800, 800}, RECT{0, 399, 800, 400}, RGB(200, 60, 20),
                  RGB(0, 0, 0));
}

// The pixels of a bitmap of the screen's own format, read back as 32 bits.
std::vector<DWORD> ScreenPixels(HBITMAP bitmap, int width, int height)
{
    BITMAPINFO info = PictureInfo(width, height);
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels((size_t)width * height);
    const HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// The mean of every source sample each target pixel covers, weighted by
// the share it covers: the reference for any shrink that claims to average.
std::vector<double> AreaAverage(const DibView& source, int width, int height)
{
    std::vector<double> out((size_t)width * height * 3);
    const double sx = (double)source.width / width, sy = (double)source.height / height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0}, total = 0;
            for (int j = (int)(y * sy); j < source.height && j < (y + 1) * sy; ++j) {
                const double wy = std::min<double>(j + 1, (y + 1) * sy) - std::max<double>(j, y * sy);
                for (int i = (int)(x * sx); i < source.width && i < (x + 1) * sx; ++i) {
                    const double w = wy * (std::min<double>(i + 1, (x + 1) * sx) - std::max<double>(i, x * sx));
                    for (int c = 0; c < 3; ++c)
                        sum[c] += w * source.At(i, j)[c];
                    total += w;
                }
            }
            for (int c = 0; c < 3; ++c)
                out[((size_t)y * width + x) * 3 + c] = sum[c] / total;
        }
    }
    return out;
}

// Largest and mean difference of 24-bit rows from a reference.
std::pair<double, double> Deviation(const DibView& rows, const std::vector<double>& reference)
{
    double most = 0, sum = 0;
    for (int y = 0; y < rows.height; ++y) {
        for (int x = 0; x < rows.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const double d = std::abs(rows.At(x, y)[c] - reference[((size_t)y * rows.width + x) * 3 + c]);
                most = std::max(most, d);
                sum += d;
            }
        }
    }
    return {most, sum / (3.0 * rows.width * rows.height)};
}

TEST(Fitting, ShrunkPicturesAreTheAreaAverageOfTheirPixels)
{
    TempFolder folder;
    const std::string path = WriteJpeg(folder, "photo.jpg", PhotoRecipe(1001, 703));
    CPictureBitmap picture;
    picture.LoadFromFile(path);
    ASSERT_TRUE(picture.m_hBitmap);
    const DibView full = ViewDib(picture.m_hBitmap);

    // Onto the screen: 333 / 1001 is the smaller scale, 333 by 233 centred
    // from y = 9, the black bands kept.
    Canvas canvas(333, 251);
    DrawPictureFitted(&canvas.dc, RECT{0, 0, 333, 251}, picture, 0, 0);
    const CPixels* shrunk = picture.Shrunk(333, 233);
    ASSERT_TRUE(shrunk);
    const auto [most, mean] = Deviation(ViewPixels(*shrunk), AreaAverage(full, 333, 233));
    EXPECT_LE(most, 1.0);
    EXPECT_LT(mean, 0.6);
    EXPECT_EQ(canvas.Pixel(100, 4), RGB(0, 0, 0));
    const BYTE* drawn = ViewPixels(*shrunk).At(100, 50);
    EXPECT_EQ(canvas.Pixel(100, 59), RGB(drawn[2], drawn[1], drawn[0]));

    // A zone plate's rings finer than the thumbnail's pixels average out to
    // grey; picking pixels would show rings that are not in the picture.
    CFolderEntry entry = MakeEntry(WriteJpeg(folder, "zones.jpg", ZonePlateRecipe()), nullptr, nullptr);
    entry.m_picturePath = entry.m_path;
    CThumbnail thumbnail;
    thumbnail.LoadBitmap(entry);
    ASSERT_TRUE(thumbnail.Bitmap());
    const DibView rings = ViewPixels(*thumbnail.Bitmap());
    ASSERT_EQ(rings.width, 90);
    // Within 22 pixels of the middle lie rings a thumbnail can still show.
    const GreyStray stray = StrayFromGrey([&](int x, int y) { return rings.At(x, y)[1]; }, RECT{0, 0, 90, 90}, 44.5,
                                          44.5, 22, 1e9);
    EXPECT_LT(stray.most, 16) << "false rings";
    EXPECT_LT(stray.mean, 4.0) << "false rings";
}

TEST(Fitting, SmallPictureIsDrawnAtItsOwnSizeInTheMiddle)
{
    TempFolder folder;
    CPictureBitmap picture;
    picture.LoadFromFile(WriteJpeg(folder, "small.jpg", SolidRecipe(300, 200, 30, 90, 210)));
    Canvas canvas(800, 800);
    DrawPictureFitted(&canvas.dc, RECT{0, 0, 800, 800}, picture, 0, 0);
    ExpectDrawnAt(canvas, RECT{0, 0, 800, 800}, RECT{250, 300, 550, 500}, RGB(30, 90, 210),
                  RGB(0, 0, 0));
    EXPECT_EQ(canvas.Pixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(canvas.Pixel(799, 799), RGB(0, 0, 0));
}

TEST(Fitting, GivenSizePrinterAndMissingBitmap)
{
    TempFolder folder;
    CPictureBitmap picture;
    picture.LoadFromFile(WriteJpeg(folder, "wide.jpg", SolidRecipe(100, 50, 20, 200, 60)));

    {  // a thumbnail: stretched to the size asked for
        Canvas canvas(800, 800);
        DrawPictureFitted(&canvas.dc, RECT{0, 0, 90, 90}, picture, 90, 45);
        ExpectDrawnAt(canvas, RECT{0, 0, 90, 90}, RECT{0, 22, 90, 67}, RGB(20, 200, 60),
                      RGB(0, 0, 0));
        EXPECT_EQ(canvas.Pixel(90, 0), kSentinel);  // nothing outside the area
    }
    {  // paper keeps its own background
        Canvas canvas(800, 800);
        canvas.dc.m_bPrinting = TRUE;
        DrawPictureFitted(&canvas.dc, RECT{0, 0, 800, 800}, picture, 0, 0);
        ExpectDrawnAt(canvas, RECT{0, 0, 800, 800}, RECT{350, 375, 450, 425}, RGB(20, 200, 60),
                      kSentinel);
    }
    {  // a picture libjpeg rejected: only the black background
        CPictureBitmap rejected;
        rejected.m_width = 300;
        rejected.m_height = 200;
        Canvas canvas(800, 800);
        DrawPictureFitted(&canvas.dc, RECT{0, 0, 800, 800}, rejected, 0, 0);
        EXPECT_EQ(canvas.Pixel(400, 400), RGB(0, 0, 0));
        EXPECT_EQ(canvas.Pixel(0, 0), RGB(0, 0, 0));
    }
}

// A 16 by 16 blue icon whose right half is transparent.
HICON MakeHalfIcon()
{
    BitmapPtr color(CreatePictureDib(16, 16));
    BitmapPtr mask(::CreateBitmap(16, 16, 1, 1, nullptr));
    if (!color || !mask)
        return nullptr;
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc.SelectObject(color.get());
    const RECT left{0, 0, 8, 16}, right{8, 0, 16, 16};
    dc.FillSolidRect(&left, RGB(0, 0, 255));
    dc.FillSolidRect(&right, RGB(0, 0, 0));
    dc.SelectObject(mask.get());
    dc.FillSolidRect(&left, RGB(0, 0, 0));
    dc.FillSolidRect(&right, RGB(255, 255, 255));
    dc.SelectObject(old);
    ICONINFO info{TRUE, 0, 0, mask.get(), color.get()};
    return ::CreateIconIndirect(&info);
}

TEST(Thumbnails, DecodedAtAFractionTheyMatchTheAverageOfEveryPixel)
{
    TempFolder folder;
    std::vector<std::string> paths;
    for (const auto& [width, height, seed] : {std::tuple{1600, 1200, 1u}, {1600, 1200, 2u}, {700, 933, 3u},
                                              {33, 17, 4u}, {4000, 3000, 5u}})
        paths.push_back(WriteJpeg(folder, "p" + std::to_string(seed) + ".jpg", PhotoRecipe(width, height, seed)));
    paths.push_back(folder.WriteFile("garbage.jpg", "not a picture"));

    CPictureBitmap scratch;
    HBITMAP first = nullptr;
    for (const std::string& path : paths) {
        CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
        entry.m_picturePath = path;
        CThumbnail thumbnail;
        ASSERT_TRUE(thumbnail.LoadBitmap(entry, &scratch, [] { return false; }));
        if (!first)
            first = scratch.m_hBitmap;
        if (path == paths[1])
            EXPECT_EQ(scratch.m_hBitmap, first) << "a picture of the same size reuses the section";
        if (path == paths.back()) {
            EXPECT_EQ(thumbnail.Bitmap(), nullptr) << "no header, no thumbnail";
            continue;
        }
        ASSERT_NE(thumbnail.Bitmap(), nullptr) << path;
        SIZE full{};
        BitmapPtr plain(DecodeFile(path, true, &full));
        EXPECT_TRUE(scratch.BitmapSize().cx * 4 <= full.cx || full.cx < 360) << "decoded at 1/8 or 1/4";
        CPictureBitmap header;
        header.m_width = full.cx;
        header.m_height = full.cy;
        const SIZE fitted = FitPictureInBox(header, 90, 90);
        EXPECT_EQ(CSize(thumbnail.m_width, thumbnail.m_height), CSize(fitted)) << path;
        if (full.cx < 90)
            continue;  // enlarged, as before
        // The library's reduced decoding averages blocks a little otherwise.
        const auto [most, mean] = Deviation(ViewPixels(*thumbnail.Bitmap()),
                                            AreaAverage(ViewDib(plain.get()), fitted.cx, fitted.cy));
        EXPECT_LE(most, 10.0) << path;
        EXPECT_LT(mean, 1.5) << path;
    }
}

TEST(Thumbnails, StopRequestGivesTheDecodingUpAndLeavesNoThumbnail)
{
    TempFolder folder;
    JpegRecipe recipe;
    recipe.width = 320;
    recipe.height = 2000;
    const std::string path = WriteJpeg(folder, "tall.jpg", recipe);
    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.m_picturePath = path;

    int asked = 0;
    CPictureBitmap scratch;
    CThumbnail thumbnail;
    EXPECT_FALSE(thumbnail.LoadBitmap(entry, &scratch, [&] { return ++asked > 3; }));
    EXPECT_EQ(thumbnail.Bitmap(), nullptr);
    EXPECT_EQ(scratch.m_hBitmap, nullptr);
    EXPECT_EQ(asked, 4) << "asked between batches of rows, given up at once";
    EXPECT_TRUE(thumbnail.LoadBitmap(entry, &scratch, [] { return false; }));
    EXPECT_NE(thumbnail.Bitmap(), nullptr);
}

TEST(IconOutput, PrinterGetsTheIconFlattenedOnWhiteWithoutMask)
{
    struct DestroyIcon {
        void operator()(HICON icon) const { ::DestroyIcon(icon); }
    };
    std::unique_ptr<std::remove_pointer_t<HICON>, DestroyIcon> icon(MakeHalfIcon());
    ASSERT_TRUE(icon);
    for (bool printing : {false, true}) {
        SCOPED_TRACE(printing ? "printer" : "screen");
        Canvas canvas(64, 64);
        canvas.dc.m_bPrinting = printing;
        DrawIconOnOutput(&canvas.dc, icon.get(), 10, 20);
        EXPECT_EQ(canvas.Pixel(10, 20), RGB(0, 0, 255));
        EXPECT_EQ(canvas.Pixel(17, 35), RGB(0, 0, 255));
        EXPECT_EQ(canvas.Pixel(18, 20), printing ? RGB(255, 255, 255) : kSentinel);
        EXPECT_EQ(canvas.Pixel(25, 35), printing ? RGB(255, 255, 255) : kSentinel);
        EXPECT_EQ(canvas.Pixel(26, 20), kSentinel);
        EXPECT_EQ(canvas.Pixel(10, 36), kSentinel);
    }
}

// ---------------------------------------------------------------- damaged input

// Keeps libjpeg's messages about thousands of damaged files off the log.
class QuietStderr {
public:
    QuietStderr()
    {
        std::fflush(stderr);
        m_saved = _dup(2);
        const int nul = _open("NUL", _O_WRONLY);
        if (nul >= 0) {
            _dup2(nul, 2);
            _close(nul);
        }
    }
    ~QuietStderr()
    {
        std::fflush(stderr);
        if (m_saved >= 0) {
            _dup2(m_saved, 2);
            _close(m_saved);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int m_saved = -1;
};

TEST(DamagedInput, SeededMutationsNeverCrashOrHang)
{
    TempFolder folder;
    std::vector<std::string> bases;
    {
        JpegRecipe marked = MarkedRecipe(48, 40, 2, 2);
        bases.push_back(MakeJpeg(marked));
        JpegRecipe gray;
        gray.kind = JpegKind::Gray;
        gray.width = 33;
        gray.height = 17;
        bases.push_back(MakeJpeg(gray));
        JpegRecipe progressive;
        progressive.width = progressive.height = 40;
        progressive.hSampling = progressive.vSampling = 1;
        progressive.progressive = true;
        bases.push_back(MakeJpeg(progressive));
        JpegRecipe cmyk;
        cmyk.kind = JpegKind::Cmyk;
        cmyk.width = cmyk.height = 24;
        bases.push_back(MakeJpeg(cmyk));
    }
    const std::string path = folder / "mutant.jpg";
    const std::string turnedPath = folder / "turned.jpg";

    const unsigned seed = 20240611;
    std::mt19937 random(seed);
    const auto start = std::chrono::steady_clock::now();
    const auto budget = std::chrono::seconds(3);
    int iterations = 0, decoded = 0, turned = 0;
    const std::set<std::string> temporaries = TurnTemporaries();
    {
        QuietStderr quiet;
        for (; iterations < 20000 && std::chrono::steady_clock::now() - start < budget;
             ++iterations) {
            std::string bytes = bases[random() % bases.size()];
            const int flips = 1 + (int)(random() % 6);
            for (int i = 0; i < flips; ++i) {
                const size_t at = random() % bytes.size();
                if (random() % 2)
                    bytes[at] = (char)(bytes[at] ^ (1 << (random() % 8)));
                else
                    bytes[at] = (char)random();
            }
            if (random() % 4 == 0)
                bytes.resize(random() % bytes.size());
            folder.WriteFile("mutant.jpg", bytes);

            const auto caseStart = std::chrono::steady_clock::now();
            SIZE size{};
            BitmapPtr bitmap(DecodeFile(path, random() % 2 != 0, &size));
            if (bitmap) {
                ++decoded;
                const DibView view = ViewDib(bitmap.get());
                ASSERT_EQ(view.width, size.cx) << "mutation " << iterations;
                ASSERT_EQ(view.height, size.cy) << "mutation " << iterations;
            }
            CFolderEntry entry(path, nullptr, nullptr);
            entry.m_picturePath = path;
            CThumbnail thumbnail;
            thumbnail.LoadBitmap(entry);
            if (thumbnail.Bitmap()) {
                ASSERT_GE(thumbnail.m_width, 1) << "mutation " << iterations;
                ASSERT_GE(thumbnail.m_height, 1) << "mutation " << iterations;
            }
            // A turn either succeeds or leaves the picture exactly as it was.
            folder.WriteFile("turned.jpg", bytes);
            try {
                RotatePictureFile(turnedPath, iterations % 3);
                ++turned;
            } catch (int) {
                ASSERT_TRUE(ReadWholeFile(turnedPath) == bytes) << "mutation " << iterations;
            }
            // A hang runs into the test's time limit; a crawl fails here.
            const auto elapsed = std::chrono::steady_clock::now() - caseStart;
            ASSERT_LT(elapsed, std::chrono::seconds(2)) << "mutation " << iterations;
        }
    }
    std::printf("%d mutations of seed %u, %d decoded to a bitmap, %d turned\n", iterations, seed,
                decoded, turned);
    EXPECT_GT(iterations, 200);
    EXPECT_GT(decoded, 0);
    EXPECT_GT(turned, 0);
    EXPECT_EQ(TurnTemporaries(), temporaries);
}

}  // namespace
