// One session of the real program as a user would have it: Home, a folder
// opened through Favorites, hovering, a picture opened and turned, back, the
// slideshow played and paused, Home again. Screenshots of each page go to
// the build tree's artifacts folder.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include "app_driver.h"
#include "favorites/shortcutlink.h"
#include "jpeg_maker.h"
#include "res/resource.h"
#include "temp_folder.h"

namespace {

const char kKey[] = "Software\\Vemoly";

void SetDword(const char* name, int value)
{
    const DWORD data = (DWORD)value;
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &data, sizeof data);
}

std::string AppDataVemoly()
{
    char path[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path);
    return std::string(path) + "\\Vemoly";
}

std::string SolidJpeg(unsigned char red, unsigned char green, unsigned char blue)
{
    JpegRecipe recipe;
    recipe.width = 320;
    recipe.height = 240;
    recipe.pattern = JpegPattern::Solid;
    recipe.solid[0] = red;
    recipe.solid[1] = green;
    recipe.solid[2] = blue;
    return MakeJpeg(recipe);
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(50);
    }
    return true;
}

// Colours as a solid JPEG decodes: near the pure ones.
bool Near(DWORD pixel, int red, int green, int blue)
{
    const int r = (int)((pixel >> 16) & 0xFF), g = (int)((pixel >> 8) & 0xFF), b = (int)(pixel & 0xFF);
    return std::abs(r - red) < 40 && std::abs(g - green) < 40 && std::abs(b - blue) < 40;
}
bool IsRed(DWORD p) { return Near(p, 255, 0, 0); }
bool IsGreen(DWORD p) { return Near(p, 0, 255, 0); }
bool IsBlue(DWORD p) { return Near(p, 0, 0, 255); }
bool IsYellow(DWORD p) { return Near(p, 255, 255, 0); }
bool IsMagenta(DWORD p) { return Near(p, 255, 0, 255); }

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

std::string WindowText(HWND window)
{
    char text[256] = "";
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

// A user's session: the program's registry values and application-data
// folder made for it, a Favorites shortcut to a folder of pictures.
class Walkthrough : public testing::Test {
protected:
    Walkthrough()
    {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
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
        temp.WriteFile("Holiday\\a-red.jpg", SolidJpeg(255, 0, 0));
        temp.WriteFile("Holiday\\b-green.jpg", SolidJpeg(0, 255, 0));
        temp.WriteFile("Holiday\\c-blue.jpg", SolidJpeg(0, 0, 255));
        temp.MakeFolder("Holiday\\Trip");
        temp.WriteFile("Holiday\\Trip\\p.jpg", SolidJpeg(255, 255, 0));
        temp.WriteFile("Holiday\\Trip\\q.jpg", SolidJpeg(255, 0, 255));
        ::CoInitialize(nullptr);
        CShortcutLink link;
        link.m_targetPath = holiday;
        link.SaveLink(AppDataVemoly() + "\\Favorites\\Holiday.lnk");
        ::CoUninitialize();

        artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
        ::CreateDirectoryA(artifacts.c_str(), nullptr);
    }
    // The next program of the prefix starts as on a first run, not with this session's values.
    ~Walkthrough() override
    {
        if (app.IsRunning())
            app.Close();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        RemoveTree(AppDataVemoly());
    }

    HWND View() const { return app.View(); }
    HWND ToolBar() const { return ::GetDlgItem(::GetDlgItem(app.MainWindow(), 0xE804), 0xE800); }
    HWND Counter() const
    {
        return ::GetDlgItem(::GetDlgItem(::GetDlgItem(app.MainWindow(), 0xE804), 0xE805), IDC_COUNTER);
    }

    // The cell of the index-th entry of a folder page, in view coordinates.
    RECT Cell(int index) const
    {
        RECT client;
        ::GetClientRect(View(), &client);
        const int columns = std::max(1, (int)(client.right - 20) / 130);
        const int left = 10 + 130 * (index % columns);
        const int top = 42 + 150 * (index / columns);
        return RECT{left, top, left + 120, top + 140};
    }
    static POINT ThumbnailMiddle(const RECT& cell) { return POINT{cell.left + 60, cell.top + 66}; }
    static RECT Badge(const RECT& cell) { return RECT{cell.right - 24, cell.top + 12, cell.right, cell.top + 36}; }

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

    void ClickAt(POINT client)
    {
        PointAt(client);
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ::SendInput(2, input, sizeof(INPUT));
    }

    void Screenshot(const char* name)
    {
        EXPECT_TRUE(CaptureWindow(app.MainWindow()).SaveBmp(artifacts + "\\" + name)) << name;
    }

    TempFolder temp;
    std::string holiday;
    std::string artifacts;
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
    EXPECT_TRUE(WaitFor([&] { return ViewPixel(favorite) != 0; })) << "the favorite's thumbnail";
    Screenshot("home.bmp");

    // The folder, through the Favorites menu's first entry.
    app.Command(ID_FAVORITE_FIRST);
    EXPECT_EQ(app.Caption(), "Holiday - Orlivane");
    // Trip first (folders first), then the pictures by name.
    const RECT trip = Cell(0), red = Cell(1), green = Cell(2), blue = Cell(3);
    EXPECT_TRUE(WaitFor([&] {
        const Capture shot = ViewShot();
        auto at = [&](const RECT& cell) { return shot.At(cell.left + 60, cell.top + 66); };
        return IsRed(at(red)) && IsGreen(at(green)) && IsBlue(at(blue))
            && (IsYellow(at(trip)) || IsMagenta(at(trip)));
    })) << "every thumbnail made";
    Screenshot("folder.bmp");

    // Hovering Trip shows its badge; resting on the badge shows its pictures in turn.
    const std::vector<DWORD> plainBadge = Area(ViewShot(), Badge(trip));
    PointAt(POINT{trip.left + 30, trip.top + 100});
    EXPECT_TRUE(WaitFor([&] { return Area(ViewShot(), Badge(trip)) != plainBadge; }, 3000))
        << "the badge on hover";
    PointAt(POINT{trip.right - 12, trip.top + 24});
    bool yellow = false, magenta = false;
    EXPECT_TRUE(WaitFor([&] {
        const DWORD shown = ViewPixel(ThumbnailMiddle(trip));
        yellow |= IsYellow(shown);
        magenta |= IsMagenta(shown);
        return yellow && magenta;
    }, 5000)) << "the peek: yellow " << yellow << ", magenta " << magenta;

    // A click opens the red picture, shown whole and landscape.
    ClickAt(POINT{red.left + 30, red.top + 100});
    EXPECT_TRUE(WaitFor([&] { return app.Caption() == "a-red.jpg - Orlivane"; }));
    PointAt(POINT{5, 5});
    RECT before{};
    EXPECT_TRUE(WaitFor([&] {
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
    EXPECT_TRUE(WaitFor([&] {
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
    EXPECT_TRUE(WaitFor([&] {
        const DWORD shown = ViewPixel(middle);
        sawRed |= IsRed(shown);
        sawGreen |= IsGreen(shown);
        sawBlue |= IsBlue(shown);
        return sawRed && sawGreen && sawBlue;
    })) << "red " << sawRed << ", green " << sawGreen << ", blue " << sawBlue;
    EXPECT_TRUE(WaitFor([&] { return ViewPixel(middle) != 0; }));
    Screenshot("slideshow.bmp");
    EXPECT_NE(WindowText(Counter()).find(" of 4"), std::string::npos) << WindowText(Counter());

    // Paused as from the toolbar: Play comes back, the picture and counter stay.
    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_PAUSE, 0);
    HWND toolbar = ToolBar();
    EXPECT_TRUE(WaitFor([&] {
        return ::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_PLAY, 0)
            && !::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_PAUSE, 0);
    }));
    const DWORD paused = ViewPixel(middle);
    const std::string counter = WindowText(Counter());
    ::Sleep(1300);
    EXPECT_EQ(ViewPixel(middle), paused) << "three delays later";
    EXPECT_EQ(WindowText(Counter()), counter);

    app.Command(ID_GO_HOME);
    EXPECT_EQ(app.Caption(), "Home Page - Orlivane");
    EXPECT_TRUE(WaitFor([&] { return ViewPixel(favorite) != 0; }));

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

} // namespace
