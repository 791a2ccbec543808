// One session of the real program as a user would have it: Home, a folder
// opened through Favorites, hovering, a picture opened and turned, back, the
// slideshow played and paused, Home again; the thumbnails' progress and a
// drive about to be removed. Screenshots of each page go to the build
// tree's artifacts folder.
#include <gtest/gtest.h>


#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>

#include "app_driver.h"
#include "cache_layout.h"
#include "colours.h"
#include "display_scale.h"
#include "jpeg_files.h"
#include "jpeg_maker.h"
#include "open_handles.h"
#include "picture_files.h"
#include "program_data.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "shortcuts.h"
#include "temp_folder.h"
#include "user_input.h"
#include "window_driving.h"

namespace {

// Colours as a solid JPEG decodes: near the pure ones.
constexpr int kSolid = 39;
bool IsRed(DWORD p) { return Near(p, CapturedRgb(255, 0, 0), kSolid); }
bool IsGreen(DWORD p) { return Near(p, CapturedRgb(0, 255, 0), kSolid); }
bool IsBlue(DWORD p) { return Near(p, CapturedRgb(0, 0, 255), kSolid); }
bool IsYellow(DWORD p) { return Near(p, CapturedRgb(255, 255, 0), kSolid); }
bool IsMagenta(DWORD p) { return Near(p, CapturedRgb(255, 0, 255), kSolid); }

// The smallest rectangle holding every pixel that is not black.
RECT LitBounds(const Capture& shot)
{
    RECT bounds{shot.width, shot.height, 0, 0};
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (shot.At(x, y) != 0) {
                bounds.left = std::min(bounds.left, (LONG)x);
                bounds.top = std::min(bounds.top, (LONG)y);
                bounds.right = std::max(bounds.right, (LONG)x + 1);
                bounds.bottom = std::max(bounds.bottom, (LONG)y + 1);
            }
    return bounds;
}

std::vector<DWORD> Area(const Capture& shot, const RECT& r)
{
    std::vector<DWORD> pixels;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            pixels.push_back(shot.At(x, y));
    return pixels;
}

// What GDI paints of text given as UTF-16: silver on black in a box the
// size of rect, in a bitmap like the screen's. Pixels as Capture holds them.
std::vector<DWORD> Drawn(HFONT font, const RECT& rect, UINT format, const std::wstring* wide,
                         const std::string* bytes = nullptr)
{
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    HGDIOBJ oldFont = ::SelectObject(dc, font);
    RECT box{0, 0, width, height};
    ::FillRect(dc, &box, (HBRUSH)::GetStockObject(BLACK_BRUSH));
    ::SetTextColor(dc, RGB(192, 192, 192));
    ::SetBkMode(dc, TRANSPARENT);
    if (wide)
        ::DrawTextW(dc, wide->c_str(), (int)wide->size(), &box, format);
    else
        ::DrawTextA(dc, bytes->c_str(), (int)bytes->size(), &box, format);
    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldBitmap);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels((size_t)width * height);
    ::GetDIBits(dc, bitmap, 0, (UINT)height, pixels.data(), &info, DIB_RGB_COLORS);
    for (DWORD& pixel : pixels)
        pixel &= 0xFFFFFF;
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// Types text as the keyboard does for characters it has no key for, one
// UTF-16 unit at a time (so a character beyond the BMP comes as two).
void Type(const std::wstring& text)
{
    for (wchar_t unit : text) {
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wScan = input[1].ki.wScan = unit;
        input[0].ki.dwFlags = KEYEVENTF_UNICODE;
        input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        ::SendInput(2, input, sizeof(INPUT));
    }
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesW(AfxWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The text of the item selected in a tree view of another process.
std::string SelectedTreeItem(DWORD processId, HWND tree)
{
    const LPARAM item = ::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    RemoteBuffer remote(processId, sizeof(TVITEMA) + MAX_PATH);
    if (!item || !remote.Valid())
        return "";
    TVITEMA query{};
    query.mask = TVIF_TEXT;
    query.hItem = (HTREEITEM)item;
    query.pszText = (LPSTR)remote.At(sizeof query);
    query.cchTextMax = MAX_PATH;
    char text[MAX_PATH] = "";
    if (!remote.Write(&query, sizeof query) || !::SendMessageA(tree, TVM_GETITEMA, 0, remote.At())
        || !remote.Read(text, sizeof text, sizeof query))
        return "";
    text[MAX_PATH - 1] = '\0';
    return text;
}

// A user's session: the program's registry values and application-data
// folder made for it, a Favorites shortcut to a folder of pictures.
class Walkthrough : public testing::Test {
protected:
    Walkthrough()
    {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
        SetDword("UserInit", 1);
        SetDword("Delay", 400);
        SetDword("CmdShow", SW_SHOWNORMAL);
        SetDword("MainWndLeft", 0);
        SetDword("MainWndTop", 0);
        SetDword("MainWndRight", 900);
        SetDword("MainWndBottom", 700);
        RemoveTree(AppDataVemoly());
        for (const char* folder : {"", "\\History", "\\Favorites", "\\Cache"})
            ::CreateDirectoryA((AppDataVemoly() + folder).c_str(), nullptr);

        holiday = temp.MakeFolder("Holiday");
        temp.WriteFile("Holiday\\a-red.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 0, 0)));
        temp.WriteFile("Holiday\\b-green.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 255, 0)));
        temp.WriteFile("Holiday\\c-blue.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 0, 255)));
        temp.MakeFolder("Holiday\\Trip");
        temp.WriteFile("Holiday\\Trip\\p.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 255, 0)));
        temp.WriteFile("Holiday\\Trip\\q.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 0, 255)));
        WriteShortcut(AppDataVemoly() + "\\Favorites\\Holiday.lnk", holiday);

        artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
        ::CreateDirectoryA(artifacts.c_str(), nullptr);
    }
    // The next program of the prefix starts as on a first run, not with this session's values.
    ~Walkthrough() override
    {
        if (app.IsRunning())
            app.Close();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
        RemoveTree(AppDataVemoly());
    }

    HWND View() const { return app.View(); }
    HWND ToolBar() const { return ::GetDlgItem(::GetDlgItem(app.MainWindow(), 0xE804), 0xE800); }
    HWND StatusBar() const { return ::GetDlgItem(app.MainWindow(), 0xE801); }
    HWND Counter() const
    {
        return ::GetDlgItem(::GetDlgItem(::GetDlgItem(app.MainWindow(), 0xE804), 0xE805), IDC_COUNTER);
    }

    // Lengths of the 96-DPI design at the display scale the program started with.
    int Px(int length) const { return ::MulDiv(length, dpi, 96); }

    // The cell of the index-th entry of a folder page, in view coordinates.
    RECT Cell(int index) const
    {
        RECT client;
        ::GetClientRect(View(), &client);
        const int columns = std::max(1, (int)(client.right - Px(20)) / Px(130));
        const int left = Px(10) + Px(130) * (index % columns);
        const int top = Px(42) + Px(150) * (index / columns);
        return RECT{left, top, left + Px(120), top + Px(140)};
    }
    POINT ThumbnailMiddle(const RECT& cell) const { return POINT{cell.left + Px(60), cell.top + Px(66)}; }
    RECT Badge(const RECT& cell) const
    {
        return RECT{cell.right - Px(24), cell.top + Px(12), cell.right, cell.top + Px(36)};
    }

    // The view's pixels. Read through the main window: a child window of
    // another process reads back black under Wine.
    Capture ViewShot() const
    {
        const Capture whole = CaptureClient(app.MainWindow());
        RECT client;
        ::GetClientRect(View(), &client);
        POINT origin{0, 0};
        ::MapWindowPoints(View(), app.MainWindow(), &origin, 1);
        Capture view;
        view.width = client.right;
        view.height = client.bottom;
        for (int y = 0; y < view.height; ++y)
            for (int x = 0; x < view.width; ++x)
                view.pixels.push_back(whole.At(origin.x + x, origin.y + y));
        return view;
    }
    DWORD ViewPixel(POINT point) const { return ViewShot().At(point.x, point.y); }

    void PointAt(POINT client)
    {
        ::ClientToScreen(View(), &client);
        ::SetCursorPos(client.x, client.y);
    }

    void ClickAt(POINT client, bool right = false)
    {
        ::ClientToScreen(View(), &client);
        ::ClickAt(client, right);
    }

    // The program started with folder as its only favorite, and that
    // favorite opened from the Favorites menu.
    bool OpenThroughFavorites(const std::string& folder)
    {
        WriteShortcut(AppDataVemoly() + "\\Favorites\\Holiday.lnk", folder);
        if (!app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))) || !app.WaitForMainWindow("Home Page - Orlivane"))
            return false;
        ::SetForegroundWindow(app.MainWindow());
        PointAt(POINT{5, 5});
        app.Command(ID_FAVORITE_FIRST);
        return true;
    }

    void Screenshot(const char* name)
    {
        EXPECT_TRUE(CaptureWindow(app.MainWindow()).SaveBmp(artifacts + "\\" + name)) << name;
    }

    TempFolder temp;
    std::string holiday;
    std::string artifacts;
    int dpi = 96;
    AppUnderTest app;
};

TEST_F(Walkthrough, HomeFolderPictureTurnBackSlideshowPauseHome)
{
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    ::SetForegroundWindow(app.MainWindow());
    PointAt(POINT{5, 5});

    // Home: the one favorite's cell shows the folder's picture.
    const POINT favorite = ThumbnailMiddle(Cell(0));
    EXPECT_TRUE(Eventually([&] { return ViewPixel(favorite) != 0; })) << "the favorite's thumbnail";
    Screenshot("home.bmp");

    // The folder, through the Favorites menu's first entry.
    app.Command(ID_FAVORITE_FIRST);
    EXPECT_EQ(app.Caption(), "Holiday - Orlivane");
    // Trip first (folders first), then the pictures by name.
    const RECT trip = Cell(0), red = Cell(1), green = Cell(2), blue = Cell(3);
    EXPECT_TRUE(Eventually([&] {
        const Capture shot = ViewShot();
        auto at = [&](const RECT& cell) { return shot.At(cell.left + 60, cell.top + 66); };
        return IsRed(at(red)) && IsGreen(at(green)) && IsBlue(at(blue))
            && (IsYellow(at(trip)) || IsMagenta(at(trip)));
    })) << "every thumbnail made";
    Screenshot("folder.bmp");

    // Hovering Trip shows its badge; resting on the badge shows its pictures in turn.
    const std::vector<DWORD> plainBadge = Area(ViewShot(), Badge(trip));
    PointAt(POINT{trip.left + 30, trip.top + 100});
    EXPECT_TRUE(Eventually([&] { return Area(ViewShot(), Badge(trip)) != plainBadge; }, 3000))
        << "the badge on hover";
    PointAt(POINT{trip.right - 12, trip.top + 24});
    bool yellow = false, magenta = false;
    EXPECT_TRUE(Eventually([&] {
        const DWORD shown = ViewPixel(ThumbnailMiddle(trip));
        yellow |= IsYellow(shown);
        magenta |= IsMagenta(shown);
        return yellow && magenta;
    }, 5000)) << "the peek: yellow " << yellow << ", magenta " << magenta;

    // A click opens the red picture, shown whole and landscape.
    ClickAt(POINT{red.left + 30, red.top + 100});
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "a-red.jpg - Orlivane"; }));
    PointAt(POINT{5, 5});
    RECT before{};
    EXPECT_TRUE(Eventually([&] {
        const Capture shot = ViewShot();
        before = LitBounds(shot);
        return IsRed(shot.At(shot.width / 2, shot.height / 2)) && before.right - before.left == 320;
    })) << before.left << "," << before.top << "," << before.right << "," << before.bottom;
    EXPECT_EQ(before.bottom - before.top, 240);
    Screenshot("picture.bmp");

    // Turned a quarter: the file and the page are portrait.
    app.Command(ID_ROTATE_90);
    const JpegContent turned = ReadJpeg(ReadWholeFile(holiday + "\\a-red.jpg"), false);
    EXPECT_EQ(turned.width, 240);
    EXPECT_EQ(turned.height, 320);
    RECT after{};
    EXPECT_TRUE(Eventually([&] {
        after = LitBounds(ViewShot());
        return after.right - after.left == 240 && after.bottom - after.top == 320;
    })) << after.left << "," << after.top << "," << after.right << "," << after.bottom;

    app.Command(ID_GO_BACK);
    EXPECT_EQ(app.Caption(), "Holiday - Orlivane");

    // The slideshow of the folder: Trip, then the three pictures, in turn.
    app.Command(ID_PLAY);
    EXPECT_EQ(app.Caption(), "Holiday - Orlivane");
    bool sawRed = false, sawGreen = false, sawBlue = false;
    RECT client;
    ::GetClientRect(View(), &client);
    const POINT middle{client.right / 2, client.bottom / 2};
    EXPECT_TRUE(Eventually([&] {
        const DWORD shown = ViewPixel(middle);
        sawRed |= IsRed(shown);
        sawGreen |= IsGreen(shown);
        sawBlue |= IsBlue(shown);
        return sawRed && sawGreen && sawBlue;
    })) << "red " << sawRed << ", green " << sawGreen << ", blue " << sawBlue;
    EXPECT_TRUE(Eventually([&] { return ViewPixel(middle) != 0; }));
    Screenshot("slideshow.bmp");
    EXPECT_NE(Text(Counter()).find(" of 4"), std::string::npos) << Text(Counter());

    // Paused as from the toolbar: Play comes back, the picture and counter stay.
    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_PAUSE, 0);
    HWND toolbar = ToolBar();
    EXPECT_TRUE(Eventually([&] {
        return ::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_PLAY, 0)
            && !::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_PAUSE, 0);
    }));
    const DWORD paused = ViewPixel(middle);
    const std::string counter = Text(Counter());
    ::Sleep(1300);
    EXPECT_EQ(ViewPixel(middle), paused) << "three delays later";
    EXPECT_EQ(Text(Counter()), counter);

    app.Command(ID_GO_HOME);
    EXPECT_EQ(app.Caption(), "Home Page - Orlivane");
    EXPECT_TRUE(Eventually([&] { return ViewPixel(favorite) != 0; }));

    EXPECT_EQ(app.Close(), 0);
}

// Whether the quadrants of a w by h picture drawn with its top left at
// (left, top) show the Quadrants pattern upright.
bool QuadrantsUpright(const Capture& shot, int left, int top, int w, int h)
{
    const auto at = [&](int x, int y) { return ColourOf(shot.At(left + x, top + y)); };
    return ShowsQuadrants(at, w, h, JpegQuadrants().colour, kSolid);
}

// Phone photos stored sideways or mirrored with an EXIF Orientation stand
// upright in their thumbnails, on their page and in the slideshow; a zone
// plate's thumbnail shows no rings that are not in the picture.
TEST_F(Walkthrough, PhotosStandUprightAndShrinkSmoothly)
{
    const std::string phone = temp.MakeFolder("Phone");
    for (int orientation = 1; orientation <= 8; ++orientation) {
        JpegRecipe recipe;
        recipe.width = 240;
        recipe.height = 320;  // portrait, as a phone held upright takes it
        recipe.pattern = JpegPattern::Quadrants;
        recipe.orientation = orientation;
        recipe.exifBigEndian = orientation % 2 == 0;
        temp.WriteFile("Phone\\IMG_" + std::to_string(orientation) + ".jpg", MakeJpeg(recipe));
    }
    WriteJpeg(temp, "Phone\\zones.jpg", ZonePlateRecipe());
    ASSERT_TRUE(OpenThroughFavorites(phone));
    EXPECT_EQ(app.Caption(), "Phone - Orlivane");

    // Thumbnails: 68 by 90 in the middle of the 90 by 90 box.
    for (int i = 0; i < 8; ++i) {
        const POINT middle = ThumbnailMiddle(Cell(i));
        EXPECT_TRUE(Eventually([&] { return QuadrantsUpright(ViewShot(), middle.x - 34, middle.y - 45, 68, 90); }, 5000))
            << "the thumbnail of IMG_" << i + 1;
    }
    const POINT zonesMiddle = ThumbnailMiddle(Cell(8));
    EXPECT_TRUE(Eventually([&] { return ViewPixel(zonesMiddle) != 0; }));
    const Capture folder = ViewShot();
    const RECT box{zonesMiddle.x - 45, zonesMiddle.y - 45, zonesMiddle.x + 45, zonesMiddle.y + 45};
    const GreyStray stray = StrayFromGrey([&](int x, int y) { return (int)((folder.At(x, y) >> 8) & 0xFF); }, box,
                                          zonesMiddle.x, zonesMiddle.y, 22, 1e9);
    EXPECT_LT(stray.most, 20) << "false rings in the zone plate's thumbnail";
    Screenshot("upright-folder.bmp");

    // Each picture opened: upright on its page, 240 by 320 in the middle.
    for (int i = 0; i < 8; ++i) {
        const RECT cell = Cell(i);
        ClickAt(POINT{cell.left + 30, cell.top + 100});
        const std::string name = "IMG_" + std::to_string(i + 1) + ".jpg";
        EXPECT_TRUE(Eventually([&] { return app.Caption() == name + " - Orlivane"; })) << name;
        PointAt(POINT{5, 5});
        RECT shown{};
        EXPECT_TRUE(Eventually([&] {
            const Capture shot = ViewShot();
            shown = LitBounds(shot);
            return shown.right - shown.left == 240 && shown.bottom - shown.top == 320
                && QuadrantsUpright(shot, shown.left, shown.top, 240, 320);
        })) << name << " at " << shown.left << "," << shown.top << "," << shown.right << "," << shown.bottom;
        if (i == 5)
            Screenshot("upright-picture.bmp");
        app.Command(ID_GO_BACK);
    }

    // The slideshow shows them upright too.
    app.Command(ID_PLAY);
    int upright = 0;
    EXPECT_TRUE(Eventually([&] {
        const Capture shot = ViewShot();
        const RECT lit = LitBounds(shot);
        if (lit.right - lit.left == 240 && QuadrantsUpright(shot, lit.left, lit.top, 240, 320))
            ++upright;
        return upright >= 3;
    })) << "upright slides seen: " << upright;
    EXPECT_EQ(app.Close(), 0);
}

// A collection in every kind of picture file, numbered as cameras and
// scanners number them: every cell in Explorer's order and in its colour,
// a PNG's page without Rotate, a .jpeg's with it, and the slideshow counts
// them all.
TEST_F(Walkthrough, EveryKindOfPictureInExplorersOrder)
{
    const std::string kinds = temp.MakeFolder("Kinds");
    temp.MakeFolder("Kinds\\2019");
    temp.MakeFolder("Kinds\\10 days");
    struct Kind {
        const char* name;
        COLORREF colour;
    };
    const Kind pictures[] = {
        {"anim.gif", RGB(0, 230, 230)},   {"icon.ico", RGB(0, 120, 250)},     {"IMG_2.jpg", RGB(250, 0, 0)},
        {"IMG_10.jpeg", RGB(0, 250, 0)},  {"old.bmp", RGB(250, 130, 0)},     {"page.tif", RGB(130, 0, 250)},
        {"photo 9.JPE", RGB(0, 0, 250)},  {"photo 10.jfif", RGB(250, 250, 0)}, {"scan.png", RGB(250, 0, 250)},
    };
    for (const Kind& kind : pictures) {
        const std::string name = kind.name;
        const std::string extension = name.substr(name.rfind('.'));
        Quadrants q;
        for (COLORREF& colour : q.colour)
            colour = kind.colour;
        std::string bytes;
        if (extension == ".gif")
            bytes = Gif(64, 48, q, {QuadrantIndices(64, 48, q)});
        else if (extension == ".ico")
            bytes = Ico(48, 48, q);
        else if (extension == ".bmp")
            bytes = Encode(GUID_ContainerFormatBmp, GUID_WICPixelFormat24bppBGR, 64, 48, {QuadrantPixels(64, 48, q, false)});
        else if (extension == ".tif")
            bytes = Tiff(64, 48, q, 1);
        else if (extension == ".png")
            bytes = Encode(GUID_ContainerFormatPng, GUID_WICPixelFormat24bppBGR, 64, 48, {QuadrantPixels(64, 48, q, false)});
        else
            bytes = MakeJpeg(SolidRecipe(64, 48, GetRValue(kind.colour), GetGValue(kind.colour), GetBValue(kind.colour)));
        ASSERT_FALSE(bytes.empty()) << name;
        temp.WriteFile("Kinds\\" + name, bytes);
    }
    temp.WriteFile("Kinds\\notes.txt", "not a picture");
    ASSERT_TRUE(OpenThroughFavorites(kinds));
    EXPECT_EQ(app.Caption(), "Kinds - Orlivane");

    // Folders first, "10 days" before "2019"; then the pictures by name as
    // Explorer compares them, whatever their kind.
    for (size_t i = 0; i < std::size(pictures); ++i) {
        const POINT middle = ThumbnailMiddle(Cell((int)i + 2));
        const COLORREF c = pictures[i].colour;
        EXPECT_TRUE(Eventually([&] { return Near(ViewPixel(middle), CapturedRgb(GetRValue(c), GetGValue(c), GetBValue(c)), kSolid); }, 5000))
            << pictures[i].name << " in cell " << i + 2 << " shows " << std::hex << ViewPixel(middle);
    }
    Screenshot("kinds-folder.bmp");

    // The PNG's page: its colour, and no Rotate; the .jpeg's: Rotate.
    HWND toolbar = ToolBar();
    const RECT scan = Cell(10);
    ClickAt(POINT{scan.left + 30, scan.top + 100});
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "scan.png - Orlivane"; })) << app.Caption();
    PointAt(POINT{5, 5});
    RECT client;
    ::GetClientRect(View(), &client);
    const POINT middle{client.right / 2, client.bottom / 2};
    EXPECT_TRUE(Eventually([&] { return IsMagenta(ViewPixel(middle)); }));
    EXPECT_TRUE(Eventually([&] { return !::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_ROTATE_90, 0); }));
    app.Command(ID_GO_BACK);
    const RECT ten = Cell(5);
    ClickAt(POINT{ten.left + 30, ten.top + 100});
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "IMG_10.jpeg - Orlivane"; })) << app.Caption();
    EXPECT_TRUE(Eventually([&] { return ::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_ROTATE_90, 0) != 0; }));
    app.Command(ID_GO_BACK);

    // The slideshow: both folders and every picture, not the text file.
    app.Command(ID_PLAY);
    EXPECT_TRUE(Eventually([&] { return Text(Counter()).find(" of 11") != std::string::npos; })) << Text(Counter());
    EXPECT_EQ(app.Close(), 0);
}

// The order chosen under View > Sort By, largest file first, after the
// program started again, played by the slideshow; then the cameras' dates.
TEST_F(Walkthrough, TheChosenOrderComesBackAfterARestart)
{
    const std::string folder = temp.MakeFolder("Sizes");
    temp.MakeFolder("Sizes\\Sub");
    // Name, width (larger pictures of one colour make larger files), colour, date taken.
    const std::tuple<const char*, int, COLORREF, const char*> pictures[] = {
        {"a-red.jpg", 64, RGB(255, 0, 0), "2023:03:03 10:00:00"},
        {"b-green.jpg", 320, RGB(0, 255, 0), "2021:01:01 10:00:00"},
        {"c-blue.jpg", 160, RGB(0, 0, 255), "2022:02:02 10:00:00"},
        {"d-yellow.jpg", 640, RGB(255, 255, 0), "2020:12:31 10:00:00"}};
    for (const auto& [name, width, c, taken] : pictures) {
        JpegRecipe recipe = SolidRecipe(width, width * 3 / 4, GetRValue(c), GetGValue(c), GetBValue(c));
        recipe.markers.push_back({0xE1, ExifDateSegment(taken)});
        temp.WriteFile("Sizes\\" + std::string(name), MakeJpeg(recipe));
    }
    const auto shows = [&](std::initializer_list<bool (*)(DWORD)> colours, int cell, const char* when) {
        for (bool (*colour)(DWORD) : colours) {
            const POINT middle = ThumbnailMiddle(Cell(cell++));
            EXPECT_TRUE(Eventually([&] { return colour(ViewPixel(middle)); }, 5000))
                << when << ": cell " << cell - 1 << " shows " << std::hex << ViewPixel(middle);
        }
    };

    ASSERT_TRUE(OpenThroughFavorites(folder));
    app.Command(ID_SORT_BY_SIZE);
    app.Command(ID_SORT_DESCENDING);
    shows({IsYellow, IsGreen, IsBlue, IsRed}, 0, "chosen");
    EXPECT_EQ(app.Close(), 0);
    ASSERT_TRUE(OpenThroughFavorites(folder));
    shows({IsYellow, IsGreen, IsBlue, IsRed}, 0, "after the restart");

    app.Command(ID_PLAY);
    RECT client;
    ::GetClientRect(View(), &client);
    DWORD first = 0;
    EXPECT_TRUE(Eventually([&] { return (first = ViewPixel(POINT{client.right / 2, client.bottom / 2})) != 0; }));
    EXPECT_TRUE(IsYellow(first)) << "the slideshow's first picture: " << std::hex << first;
    app.Command(ID_GO_BACK);
    app.Command(ID_SORT_BY_DATE_TAKEN);
    shows({IsRed, IsBlue, IsGreen, IsYellow}, 0, "by date, the latest first");
    EXPECT_EQ(app.Close(), 0);
}

// Names beyond any old code page, through the window: File Open, the
// thumbnail and its cache record, the picture turned, Favorites and History.
TEST_F(Walkthrough, AFolderNamedInJapaneseFromFileOpenToFavoritesAndHistory)
{
    const std::string tokyo = temp.MakeFolder("Tōkyō 東京");
    const std::string summer = temp.WriteFile("Tōkyō 東京\\夏.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 0, 0)));
    const std::string parent = temp.Path();
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kProgramKey, "SlideShowDir", REG_SZ, parent.c_str(), (DWORD)parent.size() + 1);
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    ::SetForegroundWindow(app.MainWindow());
    PointAt(POINT{5, 5});

    // File Open: the dialog starts in the folder last chosen, where the name
    // typed is that of its subfolder.
    EXPECT_EQ(ChooseInFileOpen(app, "Tōkyō 東京", "Open a directory for browsing"), "");
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "Tōkyō 東京 - Orlivane"; })) << app.Caption();
    EXPECT_TRUE(Eventually([&] { return ShortcutTarget(AppDataVemoly() + "\\History\\Tōkyō 東京.lnk") == tokyo; }));

    // The picture's thumbnail, and its record in the folder's cache file.
    const RECT cell = Cell(0);
    EXPECT_TRUE(Eventually([&] { return IsRed(ViewPixel(ThumbnailMiddle(cell))); })) << "the thumbnail";
    // Its cache file is named after the folder's path.
    std::string cacheFile;
    EXPECT_TRUE(Eventually([&] {
        WIN32_FIND_DATAA found{};
        HANDLE find = ::FindFirstFileA((AppDataVemoly() + "\\Cache\\*_Tōkyō 東京.tnc").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        ::FindClose(find);
        cacheFile = AppDataVemoly() + "\\Cache\\" + found.cFileName;
        return !StreamInCacheFile(cacheFile, summer).empty();
    })) << "a cache record of " << summer;
    const JpegContent thumbnail = ReadJpeg(StreamInCacheFile(cacheFile, summer), false);
    EXPECT_EQ(thumbnail.width, 90);
    EXPECT_EQ(thumbnail.height, 67);

    // Add to Favorites from the picture's context menu (its second item's key).
    // The page follows the pointer only with its window in front, which the
    // file dialog had until it went.
    ::SetForegroundWindow(app.MainWindow());
    EXPECT_TRUE(Eventually([&] { return ::GetForegroundWindow() == app.MainWindow(); }, 3000));
    // Under Wine the first right-click after the file dialog is now and then
    // lost before it reaches the window (with earlier builds too): a user
    // would click again.
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 3 && !menu; ++attempt) {
        ClickAt(POINT{cell.left + 30, cell.top + 100}, true);
        menu = WaitForProcessWindow(app.ProcessId(), "#32768", nullptr, 2000);
    }
    ASSERT_NE(menu, nullptr) << "the context menu";
    PressKeys({'A'});
    EXPECT_TRUE(Eventually([&] { return ShortcutTarget(AppDataVemoly() + "\\Favorites\\夏.jpg.lnk") == summer; }));

    // The folder itself through Add Favorite, named after it.
    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_ADD_FAVORITE, 0);
    HWND dialog = WaitForProcessWindow(app.ProcessId(), "#32770");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Text(::GetDlgItem(dialog, IDC_NAME)), "Tōkyō 東京");
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(dialog, IDOK));
    EXPECT_TRUE(Eventually([&] { return ShortcutTarget(AppDataVemoly() + "\\Favorites\\Tōkyō 東京.lnk") == tokyo; }));

    // The picture, opened and turned a quarter.
    ClickAt(POINT{cell.left + 30, cell.top + 100});
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "夏.jpg - Orlivane"; })) << app.Caption();
    PointAt(POINT{5, 5});
    RECT shown{};
    EXPECT_TRUE(Eventually([&] {
        shown = LitBounds(ViewShot());
        return shown.right - shown.left == 320 && shown.bottom - shown.top == 240;
    }));
    app.Command(ID_ROTATE_90);
    const JpegContent turned = ReadJpeg(ReadWholeFile(summer), false);
    EXPECT_EQ(turned.width, 240);
    EXPECT_EQ(turned.height, 320);
    EXPECT_TRUE(Eventually([&] {
        shown = LitBounds(ViewShot());
        return shown.right - shown.left == 240 && shown.bottom - shown.top == 320;
    }));

    // Back on the folder page, the cache comes to hold the turned thumbnail.
    app.Command(ID_GO_BACK);
    EXPECT_EQ(app.Caption(), "Tōkyō 東京 - Orlivane");
    EXPECT_TRUE(Eventually([&] {
        const std::string record = StreamInCacheFile(cacheFile, summer);
        return !record.empty() && ReadJpeg(record, false).height == 90;
    })) << "the turned thumbnail cached";

    // Home: History, the right third, shows the folder by its picture.
    app.Command(ID_GO_HOME);
    EXPECT_EQ(app.Caption(), "Home Page - Orlivane");
    EXPECT_TRUE(Eventually([&] {
        const Capture shot = ViewShot();
        for (int y = 0; y < shot.height; ++y)
            for (int x = shot.width * 2 / 3; x < shot.width; ++x)
                if (IsRed(shot.At(x, y)))
                    return true;
        return false;
    })) << "the History pane's thumbnail";
    EXPECT_EQ(app.Close(), 0);
}

// What the user reads: the Home page's caption of a favorite, a folder
// page's title and its cells' captions, each pixel for pixel the text
// drawn as Unicode in the program's fonts.
TEST_F(Walkthrough, NamesInAnyScriptArePaintedAsTheyAreWritten)
{
    const std::string tokyo = temp.MakeFolder("Tōkyō 東京");
    temp.MakeFolder("Tōkyō 東京\\Ünïcödé");
    for (const char* name : {"夏.jpg", "Straße.jpg", "Café.jpg", "IMG_20240501_1015.jpg",
                             "PXL_20240501_101500123.PORTRAIT.jpg", "Ein sehr langer Name für ein Bild vom Strand.jpg"})
        temp.WriteFile(std::string("Tōkyō 東京\\") + name, MakeJpeg(SolidRecipe(160, 120, 0, 0, 255)));
    WriteShortcut(AppDataVemoly() + "\\Favorites\\Tōkyō 東京.lnk", tokyo);
    CDrawingResources fonts;
    ASSERT_TRUE(fonts.Create());
    const HFONT cellFont = (HFONT)fonts.GetCellFont().GetSafeHandle();
    const HFONT titleFont = (HFONT)fonts.GetTitleFont().GetSafeHandle();
    const UINT captionFormat = DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_PATH_ELLIPSIS;
    const auto caption = [](const RECT& cell) { return RECT{cell.left, cell.bottom - 20, cell.right, cell.bottom}; };

    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    PointAt(POINT{5, 5});

    // The Home page: Holiday, then Tōkyō 東京 in the Favorites pane.
    const std::wstring tokyoText = L"T\u014Dky\u014D \u6771\u4EAC";
    const std::vector<DWORD> tokyoCaption = Drawn(cellFont, caption(Cell(1)), captionFormat, &tokyoText);
    const std::string bytes = AfxUtf8(tokyoText);
    ASSERT_NE(tokyoCaption, Drawn(cellFont, caption(Cell(1)), captionFormat, nullptr, &bytes))
        << "the same bytes drawn through the code page look different";
    EXPECT_TRUE(Eventually([&] { return Area(ViewShot(), caption(Cell(1))) == tokyoCaption; }))
        << "the favorite's caption on the Home page";

    app.Command(ID_FAVORITE_FIRST + 1);
    ASSERT_EQ(app.Caption(), "Tōkyō 東京 - Orlivane");
    RECT client{};
    ::GetClientRect(View(), &client);
    const RECT title{52, 5, client.right - 10, 37};
    const std::vector<DWORD> titleText = Drawn(titleFont, title, DT_SINGLELINE | DT_BOTTOM | DT_PATH_ELLIPSIS, &tokyoText);
    EXPECT_TRUE(Eventually([&] { return Area(ViewShot(), title) == titleText; })) << "the page's title";
    // Ünïcödé first (folders first), then the pictures in the catalog's order.
    for (const std::wstring& name : {std::wstring(L"\u00DCn\u00EFc\u00F6d\u00E9"), std::wstring(L"Caf\u00E9"),
                                     std::wstring(L"IMG_20240501_1015"), std::wstring(L"Stra\u00DFe"),
                                     std::wstring(L"\u590F")}) {
        EXPECT_TRUE(Eventually([&] {
            const Capture shot = ViewShot();
            for (int index = 0; index < 7; ++index)
                if (Area(shot, caption(Cell(index))) == Drawn(cellFont, caption(Cell(index)), captionFormat, &name))
                    return true;
            return false;
        })) << "a caption reading " << AfxUtf8(name);
    }
    Screenshot("names.bmp");

    // Played, the status bar shows the path of the entry on screen.
    app.Command(ID_PLAY);
    HWND status = ::GetDlgItem(app.MainWindow(), 0xE801);
    EXPECT_TRUE(Eventually([&] { return Text(status) == tokyo + "\\Ünïcödé"; })) << Text(status);
    EXPECT_EQ(app.Close(), 0);
}

// Names typed with the keyboard, characters beyond the BMP included, name
// the folder and the shortcut on disk exactly.
TEST_F(Walkthrough, NamesTypedInAnyScriptNameTheNewFolderAndTheFavorite)
{
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    app.Command(ID_FAVORITE_FIRST);
    ASSERT_EQ(app.Caption(), "Holiday - Orlivane");

    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_ADD_FAVORITE, 0);
    HWND dialog = WaitForProcessWindow(app.ProcessId(), "#32770");
    ASSERT_NE(dialog, nullptr);
    ::SetForegroundWindow(dialog);
    HWND name = ::GetDlgItem(dialog, IDC_NAME);
    ::SendMessageA(name, EM_SETSEL, 0, -1);
    const std::string favorite = "Café 夏 😀";
    Type(AfxWide(favorite));
    EXPECT_TRUE(Eventually([&] { return Text(name) == favorite; })) << Text(name);

    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_NEW_FOLDER, BN_CLICKED), (LPARAM)::GetDlgItem(dialog, IDC_NEW_FOLDER));
    HWND newFolder = WaitForProcessWindow(app.ProcessId(), "#32770", dialog);
    ASSERT_NE(newFolder, nullptr);
    ::SetForegroundWindow(newFolder);
    const std::string folder = "Ünïcödé 東京 😀";
    Type(AfxWide(folder));
    HWND folderName = ::GetDlgItem(newFolder, IDC_NAME);
    EXPECT_TRUE(Eventually([&] { return Text(folderName) == folder; })) << Text(folderName);
    ::Sleep(300);  // painted
    EXPECT_TRUE(CaptureWindow(newFolder).SaveBmp(artifacts + "\\new-folder.bmp"));
    ::PostMessageA(newFolder, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(newFolder, IDOK));
    const std::string created = AppDataVemoly() + "\\Favorites\\" + folder;
    EXPECT_TRUE(Eventually([&] { return Exists(created); })) << created;
    HWND tree = ::GetDlgItem(dialog, IDC_FOLDER_TREE);
    EXPECT_TRUE(Eventually([&] { return SelectedTreeItem(app.ProcessId(), tree) == folder; }))
        << "the tree shows the new folder: " << SelectedTreeItem(app.ProcessId(), tree);
    EXPECT_TRUE(CaptureWindow(dialog).SaveBmp(artifacts + "\\add-favorite.bmp"));

    // The new folder is selected: the favorite goes into it.
    EXPECT_TRUE(Eventually([&] { return !::IsWindow(newFolder); }));
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)::GetDlgItem(dialog, IDOK));
    EXPECT_TRUE(Eventually([&] { return ShortcutTarget(created + "\\" + favorite + ".lnk") == holiday; }))
        << "the shortcut " << favorite;
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(Walkthrough, ClosingWithFiftyPagesHeldFinishesWithinTwoSeconds)
{
    AppUnderTest session;
    ASSERT_TRUE(session.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(session.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    // Each folder page brings its watcher and, while it lasts, its worker.
    for (int i = 0; i < 50; ++i)
        session.Command(ID_FAVORITE_FIRST);
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(session.Close(), 0);
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_LT(elapsed, 2000u) << "fifty pages stop and join their threads at once";
}

// The text of a pane of the program's status bar.
std::string PaneText(DWORD processId, HWND bar, int pane)
{
    RemoteBuffer remote(processId, 512);
    const char empty[512] = "";
    remote.Write(empty, sizeof empty);
    ::SendMessageA(bar, SB_GETTEXTA, (WPARAM)pane, remote.At());
    char text[512] = "";
    remote.Read(text, sizeof text - 1);
    return text;
}

TEST_F(Walkthrough, TheStatusBarCountsTheThumbnailsWhileTheyAreMadeAndThenClears)
{
    const std::string folder = temp.MakeFolder("Many");
    JpegRecipe slow = PhotoRecipe(1600, 1200);
    slow.progressive = true;  // no shortcut through the coefficients: slow to decode
    const std::string picture = MakeJpeg(slow);
    constexpr int kPictures = 30;
    for (int i = 0; i < kPictures; ++i)
        temp.WriteFile("Many\\IMG_" + std::to_string(100 + i) + ".jpg", picture);
    ASSERT_TRUE(OpenThroughFavorites(folder));
    ASSERT_EQ(app.Caption(), "Many - Orlivane");

    HWND status = StatusBar();
    std::vector<std::string> shown;
    // The Home page's text may stay until the program's next idle time.
    ASSERT_TRUE(Eventually([&] {
        return PaneText(app.ProcessId(), status, 1).find(" of " + std::to_string(kPictures)) != std::string::npos;
    }));
    const bool cleared = Eventually([&] {
        const std::string text = PaneText(app.ProcessId(), status, 1);
        if (!text.empty() && (shown.empty() || shown.back() != text))
            shown.push_back(text);
        return !shown.empty() && text.empty();
    }, 60000);
    EXPECT_TRUE(cleared) << (shown.empty() ? "nothing shown" : shown.back());
    ASSERT_FALSE(shown.empty());
    int last = -1;
    for (const std::string& text : shown) {
        int done = -1, total = -1;
        char rest = 0;
        EXPECT_EQ(std::sscanf(text.c_str(), "Thumbnails %d of %d%c", &done, &total, &rest), 2) << text;
        EXPECT_EQ(total, kPictures) << text;
        EXPECT_GE(done, last) << text;
        EXPECT_LT(done, kPictures) << text;
        last = done;
    }
    EXPECT_EQ(Text(status), "Ready") << "the message pane keeps its own text";
    app.Command(ID_GO_HOME);
    ::Sleep(500);
    EXPECT_EQ(PaneText(app.ProcessId(), status, 1), "") << "the Home page's thumbnails are made";
    EXPECT_EQ(app.Close(), 0);
}

// Without the mouse: the arrow keys, Home and End move the focus, drawn as
// a dotted frame once a key was pressed; Enter opens; the arrow keys walk
// the pictures of the folder; Backspace comes back with the focus on the
// picture last shown; typing finds a name; Shift+F10 opens the focused
// cell's menu at the cell.
TEST_F(Walkthrough, TheKeyboardAloneMovesOpensWalksAndComesBack)
{
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE")), "\"" + WindowsPath(holiday) + "\""));
    ASSERT_NE(app.WaitForMainWindow("Holiday - Orlivane"), nullptr);
    ::SetForegroundWindow(app.MainWindow());
    PointAt(POINT{5, 5});
    const auto shows = [&](const std::string& name) {
        return Eventually([&] { return app.Caption() == name + " - Orlivane"; }, 5000);
    };
    // The focus frame: silver dots along the cell's top edge.
    const auto framed = [&](const RECT& cell) {
        const Capture shot = ViewShot();
        int silver = 0;
        for (int x = cell.left; x < cell.right; ++x)
            silver += shot.At(x, cell.top) == 0xC0C0C0;
        return silver >= (cell.right - cell.left) / 3;
    };
    ASSERT_TRUE(Eventually([&] { return IsRed(ViewPixel(ThumbnailMiddle(Cell(1)))); }));
    EXPECT_FALSE(framed(Cell(0))) << "no focus shown before a key";

    PressKeys({VK_HOME, VK_RIGHT});
    EXPECT_TRUE(Eventually([&] { return framed(Cell(1)); })) << "the focus on the second cell";
    EXPECT_FALSE(framed(Cell(0)));
    Screenshot("keyboard-focus.bmp");
    PressKeys({VK_RETURN});
    EXPECT_TRUE(shows("a-red.jpg"));
    PressKeys({VK_RIGHT});
    EXPECT_TRUE(shows("b-green.jpg"));
    PressKeys({VK_NEXT});
    EXPECT_TRUE(shows("c-blue.jpg"));
    PressKeys({VK_RIGHT});
    ::Sleep(300);
    EXPECT_EQ(app.Caption(), "c-blue.jpg - Orlivane") << "no wrapping at the end";
    PressKeys({VK_LEFT});
    EXPECT_TRUE(shows("b-green.jpg"));
    PressKeys({VK_BACK});
    EXPECT_TRUE(shows("Holiday")) << "the walk took one place in the history";
    EXPECT_TRUE(Eventually([&] { return framed(Cell(2)); })) << "the focus on the picture last shown";

    PressKeys({VK_END, VK_RETURN});
    EXPECT_TRUE(shows("c-blue.jpg"));
    PressKeys({VK_BACK});
    EXPECT_TRUE(shows("Holiday"));
    PressKeys({'T'});
    EXPECT_TRUE(Eventually([&] { return framed(Cell(0)); })) << "typed, the focus on Trip";
    ::Sleep(1100);
    PressKeys({'A', VK_RETURN});
    EXPECT_TRUE(shows("a-red.jpg")) << "a new search after a pause finds a-red";

    PressKeys({VK_BACK});
    EXPECT_TRUE(shows("Holiday"));
    PressKeys({VK_F10}, true);
    HWND menu = WaitForProcessWindow(app.ProcessId(), "#32768");
    ASSERT_NE(menu, nullptr) << "Shift+F10 opens the focused cell's menu";
    RECT shown{}, cell = Cell(1);
    ::GetWindowRect(menu, &shown);
    ::MapWindowPoints(View(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    EXPECT_TRUE(::PtInRect(&cell, POINT{shown.left, shown.top})) << "at the cell";
    // Its Open acts on the focused cell, not on what lies under the pointer.
    PressKeys({'O'});
    EXPECT_TRUE(shows("a-red.jpg"));

    // Tab goes round the page, the toolbar and the slideshow bar.
    const auto focused = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(app.MainWindow(), nullptr), &info);
        return info.hwndFocus;
    };
    const HWND slideshowBar = ::GetDlgItem(::GetDlgItem(app.MainWindow(), 0xE804), 0xE805);
    PressKeys({VK_TAB});
    EXPECT_TRUE(Eventually([&] { return focused() == ToolBar(); }, 2000)) << "the toolbar";
    PressKeys({VK_TAB});
    EXPECT_TRUE(Eventually([&] { return ::IsChild(slideshowBar, focused()) != FALSE; }, 2000)) << "the slideshow bar";
    PressKeys({VK_F6});
    EXPECT_TRUE(Eventually([&] { return focused() == View(); }, 2000)) << "the page again";
    EXPECT_EQ(app.Close(), 0);
}

// At 150 % and 200 % the grid, the thumbnails' box and the badges grow with
// the display, the thumbnails are made for the bigger box (not stretched),
// and the pointer finds the cells where they are drawn.
TEST_F(Walkthrough, AtHigherDisplayScalesTheGridAndItsThumbnailsGrowSharp)
{
    const std::string folder = temp.MakeFolder("Wide");
    temp.MakeFolder("Wide\\Trip");
    temp.WriteFile("Wide\\Trip\\p.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 0, 255)));
    temp.WriteFile("Wide\\a-wide.jpg", MakeJpeg(SolidRecipe(480, 320, 255, 0, 0)));
    temp.WriteFile("Wide\\b.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 255, 0)));
    temp.WriteFile("Wide\\c.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 0, 255)));
    temp.WriteFile("Wide\\d.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 255, 0)));
    temp.WriteFile("Wide\\e-yellow.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 255, 0)));
    SetDword("MainWndRight", 1260);
    SetDword("MainWndBottom", 1000);
    for (const int scale : {144, 192}) {
        SCOPED_TRACE(scale);
        dpi = scale;
        {
            const DisplayScale display(dpi);
            ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE")), "\"" + WindowsPath(folder) + "\""));
            ASSERT_NE(app.WaitForMainWindow("Wide - Orlivane"), nullptr);
        }
        ::SetForegroundWindow(app.MainWindow());
        PointAt(POINT{5, 5});

        // 480 by 320 fills the box: 135 by 90 at 150 %, made at that size.
        const RECT wide = Cell(1);
        RECT lit{};
        EXPECT_TRUE(Eventually([&] {
            const Capture shot = ViewShot();
            lit = RECT{wide.right, wide.bottom, wide.left, wide.top};
            for (int y = wide.top; y < wide.bottom; ++y)
                for (int x = wide.left; x < wide.right; ++x)
                    if (IsRed(shot.At(x, y)))
                        lit = RECT{std::min(lit.left, (LONG)x), std::min(lit.top, (LONG)y),
                                   std::max(lit.right, (LONG)x + 1), std::max(lit.bottom, (LONG)y + 1)};
            return lit.right - lit.left == Px(90) && lit.bottom - lit.top == Px(60);
        })) << lit.right - lit.left << " by " << lit.bottom - lit.top;
        Screenshot(scale == 144 ? "folder-150.bmp" : "folder-200.bmp");

        // The folder's badge shows where the scaled cell has it.
        const RECT trip = Cell(0);
        const std::vector<DWORD> plainBadge = Area(ViewShot(), Badge(trip));
        PointAt(POINT{trip.left + Px(30), trip.top + Px(100)});
        EXPECT_TRUE(Eventually([&] { return Area(ViewShot(), Badge(trip)) != plainBadge; }, 3000))
            << "the badge on hover";

        // A click where the scaled grid puts the last cell opens its picture.
        ClickAt(ThumbnailMiddle(Cell(5)));
        EXPECT_TRUE(Eventually([&] { return app.Caption() == "e-yellow.jpg - Orlivane"; })) << app.Caption();
        EXPECT_EQ(app.Close(), 0);
    }
}

TEST_F(Walkthrough, AFolderOnADriveAboutToBeRemovedLetsItGoUntilTheDriveSettles)
{
    ASSERT_TRUE(OpenThroughFavorites(holiday));
    ASSERT_EQ(app.Caption(), "Holiday - Orlivane");
    const auto send = [&](WPARAM event, DWORD drives) {
        DEV_BROADCAST_VOLUME volume{sizeof volume, DBT_DEVTYP_VOLUME, 0, drives, 0};
        DWORD_PTR result = 0;
        EXPECT_TRUE(::SendMessageTimeoutA(app.MainWindow(), WM_DEVICECHANGE, event, (LPARAM)&volume,
                                          SMTO_ABORTIFHUNG, 5000, &result));
        return result;
    };
    const DWORD drive = 1u << (::toupper((unsigned char)holiday[0]) - 'A');
    ASSERT_TRUE(Eventually([&] { return HoldsHandleOn(holiday, app.ProcessId()); })) << "watched";
    EXPECT_EQ(send(DBT_DEVICEQUERYREMOVE, drive << 1 | drive >> 1), (DWORD_PTR)TRUE);
    EXPECT_TRUE(HoldsHandleOn(holiday, app.ProcessId())) << "other drives leave it alone";

    EXPECT_EQ(send(DBT_DEVICEQUERYREMOVE, drive), (DWORD_PTR)TRUE);
    EXPECT_FALSE(HoldsHandleOn(holiday, app.ProcessId())) << "free when the answer comes";
    ::Sleep(1000);
    EXPECT_FALSE(HoldsHandleOn(holiday, app.ProcessId())) << "and while the drive goes";
    EXPECT_EQ(app.Caption(), "Holiday - Orlivane");

    // The removal was refused elsewhere: the page stays and is watched again.
    EXPECT_EQ(send(DBT_DEVICEQUERYREMOVEFAILED, drive), (DWORD_PTR)TRUE);
    EXPECT_TRUE(Eventually([&] { return HoldsHandleOn(holiday, app.ProcessId()); }, 2000));
    EXPECT_EQ(app.Close(), 0);
}

} // namespace

// A photograph looked at closely, with the real mouse and keyboard: the
// double click that opened it leaves it fitted; "1" shows its own pixels;
// the wheel and "+" zoom on to square pixels; the arrows move it while it
// is larger than the window and walk the folder once "0" fitted it again.
TEST_F(Walkthrough, APhotoOpenedByADoubleClickZoomsAndPansWithTheMouseAndKeys)
{
    const std::string folder = temp.MakeFolder("Close");
    const std::string photo = MakeJpeg(PhotoRecipe(3000, 2000, 7));
    temp.WriteFile("Close\\IMG_2041.jpg", photo);
    temp.WriteFile("Close\\IMG_2042.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 0, 255)));
    ASSERT_TRUE(OpenThroughFavorites(folder));
    ASSERT_EQ(app.Caption(), "Close - Orlivane");
    const RECT cell = Cell(0);
    EXPECT_TRUE(Eventually([&] { return ViewPixel(ThumbnailMiddle(cell)) != 0; }));
    RECT client;
    ::GetClientRect(View(), &client);
    const double fit = std::min(client.right / 3000.0, client.bottom / 2000.0);
    const auto percent = [](double scale) { return std::to_string(std::lround(scale * 100)) + " %"; };
    HWND status = StatusBar();
    const auto zoomShown = [&](const std::string& text) {
        return Eventually([&] { return PaneText(app.ProcessId(), status, 2) == text; }, 5000);
    };

    PointAt(POINT{cell.left + 30, cell.top + 100});
    INPUT clicks[4]{};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    }
    ::SendInput(4, clicks, sizeof(INPUT));
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "IMG_2041.jpg - Orlivane"; }));
    // The zoom is shown once the picture is decoded, off the window's thread.
    EXPECT_TRUE(Eventually([&] { return !PaneText(app.ProcessId(), status, 2).empty(); }));
    // "-" after the double click: from the fit, unless the double click zoomed.
    PressKeys({VK_SUBTRACT});
    EXPECT_TRUE(zoomShown(percent(fit / 1.25))) << PaneText(app.ProcessId(), status, 2);
    PressKeys({'0'});
    EXPECT_TRUE(zoomShown(percent(fit)));
    PointAt(POINT{5, 5});
    Screenshot("zoom-fit.bmp");

    // Actual size about the centre: the photograph's own pixels.
    PressKeys({'1'});
    EXPECT_TRUE(zoomShown("100 %"));
    const JpegContent reference = ReadJpeg(photo);
    const POINT middle{client.right / 2, client.bottom / 2};
    const auto closest = [&](const Capture& shot) {
        double best = 1e9;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                double sum = 0;
                for (int y = -20; y < 20; ++y)
                    for (int x = -20; x < 20; ++x) {
                        const DWORD pixel = shot.At(middle.x + x, middle.y + y);
                        const unsigned char* rgb = &reference.rgb[3 * ((size_t)(1000 + y + dy) * 3000 + 1500 + x + dx)];
                        sum += std::abs((int)(pixel >> 16) - rgb[0]) + std::abs((int)((pixel >> 8) & 0xFF) - rgb[1])
                             + std::abs((int)(pixel & 0xFF) - rgb[2]);
                    }
                best = std::min(best, sum / (40 * 40 * 3));
            }
        return best;
    };
    double difference = 1e9;
    EXPECT_TRUE(Eventually([&] { return (difference = closest(ViewShot())) < 2; })) << difference;
    Screenshot("zoom-100.bmp");

    // Three notches of the wheel, then "+" (both keys) to beyond 800 %.
    PointAt(middle);
    INPUT wheel{};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = WHEEL_DELTA;
    for (int notch = 0; notch < 3; ++notch)
        ::SendInput(1, &wheel, sizeof(INPUT));
    EXPECT_TRUE(zoomShown("195 %"));
    PressKeys({VK_ADD, VK_ADD, VK_ADD, VK_OEM_PLUS, VK_ADD, VK_ADD, VK_ADD});
    EXPECT_TRUE(zoomShown("931 %"));
    PointAt(POINT{5, 5});
    Capture squares;
    EXPECT_TRUE(Eventually([&] {
        // Square pixels: every 9-pixel block one colour, at least away from its edges.
        squares = ViewShot();
        int runs = 0;
        for (int x = 1; x < squares.width; ++x)
            runs += squares.At(x, middle.y) != squares.At(x - 1, middle.y);
        return runs > 0 && runs < squares.width / 8;
    }));
    Screenshot("zoom-931.bmp");

    // The arrows move it; once fitted they walk.
    PressKeys({VK_RIGHT});
    EXPECT_TRUE(Eventually([&] { return ViewShot().pixels != squares.pixels; })) << "moved by Right";
    EXPECT_EQ(app.Caption(), "IMG_2041.jpg - Orlivane");
    PressKeys({'0', VK_RIGHT});
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "IMG_2042.jpg - Orlivane"; }));
    app.Command(ID_GO_BACK);
    EXPECT_TRUE(zoomShown("")) << "no zoom on a folder page";
    EXPECT_EQ(app.Close(), 0);
}

// The README's screenshots, of real photographs with their cameras' EXIF:
// Home with their folder among Favorites and one in History, the folder,
// one on its page with its status line and the Details pane, and the
// slideshow.
TEST_F(Walkthrough, PhotographsForTheReadme)
{
    const std::string made = TestSetting("ORLIVANE_README_PHOTOS");
    const std::vector<std::string> names = made.empty() ? std::vector<std::string>{} : NamesOnDisk(WindowsPath(made));
    if (names.empty())
        GTEST_SKIP() << "no photographs: Debian's mate-backgrounds is not installed";
    const std::string photographs = temp.MakeFolder("Photographs");
    for (const std::string& name : names)
        ASSERT_TRUE(::CopyFileW(DiskPath(WindowsPath(made) + "\\" + name).c_str(),
                                DiskPath(photographs + "\\" + name).c_str(), FALSE)) << name;
    ::DeleteFileA((AppDataVemoly() + "\\Favorites\\Holiday.lnk").c_str());
    WriteShortcut(AppDataVemoly() + "\\Favorites\\Photographs.lnk", photographs);
    WriteShortcut(AppDataVemoly() + "\\History\\" + names[1] + ".lnk", photographs + "\\" + names[1]);
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    ::SetForegroundWindow(app.MainWindow());
    PointAt(POINT{5, 5});
    EXPECT_TRUE(Eventually([&] { return ViewPixel(ThumbnailMiddle(Cell(0))) != 0; })) << "the favorite's thumbnail";
    Screenshot("readme-home.bmp");

    app.Command(ID_FAVORITE_FIRST);
    EXPECT_EQ(app.Caption(), "Photographs - Orlivane");
    const HWND status = StatusBar();
    EXPECT_TRUE(Eventually([&] {
        const Capture shot = ViewShot();
        for (size_t i = 0; i < names.size(); ++i) {
            const POINT middle = ThumbnailMiddle(Cell((int)i));
            if (shot.At(middle.x, middle.y) == 0)
                return false;
        }
        return PaneText(app.ProcessId(), status, 1).empty();
    }, 30000)) << "every thumbnail made";
    Screenshot("readme-folder.bmp");

    // The first photograph: its size, date, camera and exposure below it.
    const RECT first = Cell(0);
    ClickAt(POINT{first.left + Px(60), first.top + Px(66)});
    EXPECT_TRUE(Eventually([&] { return app.Caption() == names[0] + " - Orlivane"; })) << app.Caption();
    PointAt(POINT{5, 5});
    RECT client;
    ::GetClientRect(View(), &client);
    const POINT middle{client.right / 2, client.bottom / 2};
    EXPECT_TRUE(Eventually([&] {
        return ViewPixel(middle) != 0
            && PaneText(app.ProcessId(), status, 0).find("Canon EOS 550D, 1/250 s f/5.6 ISO 200 100 mm")
                   != std::string::npos;
    })) << PaneText(app.ProcessId(), status, 0);
    // The Details pane beside it, then closed again for the slideshow.
    app.Command(ID_VIEW_DETAILS_PANE);
    const HWND pane = ::GetDlgItem(app.MainWindow(), IDC_DETAILS_PANE);
    EXPECT_TRUE(Eventually([&] { return ::IsWindowVisible(pane) && ViewPixel(middle) != 0; }));
    Screenshot("readme-picture.bmp");
    app.Command(ID_VIEW_DETAILS_PANE);

    app.Command(ID_GO_BACK);
    app.Command(ID_PLAY);
    EXPECT_TRUE(Eventually([&] { return ViewPixel(middle) != 0; }));
    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_PAUSE, 0);
    EXPECT_TRUE(Eventually([&] { return ::SendMessageA(ToolBar(), TB_ISBUTTONENABLED, ID_PLAY, 0) != 0; }));
    EXPECT_TRUE(Eventually([&] { return ViewPixel(middle) != 0; }));
    Screenshot("readme-slideshow.bmp");
    EXPECT_EQ(app.Close(), 0);
}
