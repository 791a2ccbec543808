// The main frame of the real program, driven from outside: its bars, its
// placement across runs, File Open through the real folder dialog, the
// slideshow speed, full screen, help and device changes.
#include <gtest/gtest.h>

#include <oleacc.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "app_driver.h"
#include "com_apartment.h"
#include "jpeg_maker.h"
#include "program_data.h"
#include "res/resource.h"
#include "shell_command.h"
#include "temp_folder.h"
#include "user_input.h"
#include "window_driving.h"

namespace {

const char kHome[] = "Home Page - Orlivane";

int GetDword(const char* name)
{
    DWORD value = 0xDEADBEEF, size = sizeof value;
    ::RegGetValueA(HKEY_CURRENT_USER, kProgramKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return (int)value;
}

void SetString(const char* name, const std::string& value)
{
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kProgramKey, name, REG_SZ, value.c_str(), (DWORD)value.size() + 1);
}

std::string GetString(const char* name)
{
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    if (::RegGetValueA(HKEY_CURRENT_USER, kProgramKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "<missing>";
    return value;
}

void StorePlacement(int cmdShow, const RECT& rect)
{
    SetDword("CmdShow", cmdShow);
    SetDword("MainWndLeft", rect.left);
    SetDword("MainWndTop", rect.top);
    SetDword("MainWndRight", rect.right);
    SetDword("MainWndBottom", rect.bottom);
}

RECT StoredRect()
{
    return RECT{GetDword("MainWndLeft"), GetDword("MainWndTop"), GetDword("MainWndRight"),
                GetDword("MainWndBottom")};
}

RECT WindowRect(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

std::string RectText(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + ","
         + std::to_string(r.bottom);
}

std::string HistoryFolder()
{
    char path[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path);
    return std::string(path) + "\\Vemoly\\History";
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = (char)::tolower((unsigned char)c);
    return text;
}

struct Button {
    int id;
    bool separator;
    std::string text;
};

std::vector<Button> ReadToolBar(DWORD processId, HWND toolbar)
{
    std::vector<Button> buttons;
    RemoteBuffer remote(processId, 1024);
    if (!remote.Valid())
        return buttons;
    const int count = (int)::SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        TBBUTTON tb{};
        if (!::SendMessageA(toolbar, TB_GETBUTTON, i, remote.At()) || !remote.Read(&tb, sizeof tb))
            break;
        Button button{tb.idCommand, (tb.fsStyle & TBSTYLE_SEP) != 0, {}};
        if (!button.separator) {
            char text[256] = "";
            remote.Write(text, sizeof text, 512);
            ::SendMessageA(toolbar, TB_GETBUTTONTEXTA, tb.idCommand, remote.At(512));
            remote.Read(text, sizeof text - 1, 512);
            button.text = text;
        }
        buttons.push_back(button);
    }
    return buttons;
}

struct Band {
    HWND child;
    UINT id;
    std::string text;
};

std::vector<Band> ReadBands(DWORD processId, HWND rebar)
{
    std::vector<Band> bands;
    RemoteBuffer remote(processId, 1024);
    const int count = (int)::SendMessageA(rebar, RB_GETBANDCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        const char empty[256] = "";
        remote.Write(empty, sizeof empty, 512);
        REBARBANDINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = RBBIM_CHILD | RBBIM_ID | RBBIM_TEXT;
        info.lpText = reinterpret_cast<char*>(remote.At(512));
        info.cch = 255;
        remote.Write(&info, sizeof info);
        if (!::SendMessageA(rebar, RB_GETBANDINFOA, i, remote.At()))
            break;
        remote.Read(&info, sizeof info);
        char text[256] = "";
        remote.Read(text, 255, 512);
        bands.push_back(Band{info.hwndChild, info.wID, text});
    }
    return bands;
}

class FrameGui : public testing::Test {
protected:
    void SetUp() override
    {
        StorePlacement(10, RECT{0, 0, 0, 0});
        SetDword("Delay", 2000);
    }

    HWND Start(const std::string& exe = WindowsPath(TestSetting("ORLIVANE_EXE")))
    {
        if (!app.Start(exe))
            return nullptr;
        return app.WaitForMainWindow(kHome);
    }

    HWND ReBar() const { return ::GetDlgItem(app.MainWindow(), 0xE804); }
    HWND ToolBar() const { return ::GetDlgItem(ReBar(), 0xE800); }
    HWND SlideshowBar() const { return ::GetDlgItem(ReBar(), 0xE805); }
    HWND StatusBar() const { return ::GetDlgItem(app.MainWindow(), 0xE801); }

    // The placement a run with the given stored values comes up with.
    RECT RectOfRunWith(int cmdShow, const RECT& stored)
    {
        StorePlacement(cmdShow, stored);
        AppUnderTest run;
        EXPECT_TRUE(run.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
        HWND main = run.WaitForMainWindow(kHome);
        EXPECT_NE(main, nullptr);
        const RECT rect = WindowRect(main);
        EXPECT_EQ(run.Close(), 0);
        return rect;
    }

    AppUnderTest app;
};

TEST_F(FrameGui, ShowsTheToolBarRebarStatusBarAndSlideshowBar)
{
    ASSERT_NE(Start(), nullptr);
    HWND main = app.MainWindow();

    const std::vector<Button> buttons = ReadToolBar(app.ProcessId(), ToolBar());
    const int ids[] = {ID_GO_BACK, ID_GO_FORWARD, 0, ID_GO_HOME, 0, ID_ADD_FAVORITE, 0,
                       ID_PLAY, ID_PAUSE, 0, ID_ROTATE_90};
    const char* const captions[] = {"Back", "Forward", "", "Home", "", "Add Favorite", "",
                                    "Play", "Pause", "", "Rotate"};
    ASSERT_EQ(buttons.size(), std::size(ids));
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i].separator, ids[i] == 0) << i;
        if (ids[i]) {
            EXPECT_EQ(buttons[i].id, ids[i]) << i;
            EXPECT_EQ(buttons[i].text, captions[i]) << i;
        }
    }
    // The Home page can go nowhere back or forward; Home itself always works.
    // The first idle time after start-up sets that.
    HWND toolbar = ToolBar();
    EXPECT_TRUE(Eventually([&] { return !::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_GO_BACK, 0); }));
    EXPECT_FALSE(::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_GO_FORWARD, 0));
    EXPECT_TRUE(::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_GO_HOME, 0));

    const std::vector<Band> bands = ReadBands(app.ProcessId(), ReBar());
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0].child, ToolBar());
    EXPECT_EQ(bands[0].text, "");
    EXPECT_EQ(bands[1].child, SlideshowBar());
    EXPECT_EQ(bands[1].text, "Slideshow");

    HWND status = StatusBar();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(::SendMessageA(status, SB_GETPARTS, 0, 0), 6);
    EXPECT_EQ(Text(status), "Ready");

    // Bars above the view, the status bar below it.
    const RECT rebar = WindowRect(ReBar()), view = WindowRect(app.View()), bar = WindowRect(status);
    EXPECT_GE(rebar.bottom - rebar.top, 36);
    EXPECT_EQ(view.top, rebar.bottom);
    EXPECT_EQ(view.bottom, bar.top);

    HWND speed = ::GetDlgItem(SlideshowBar(), IDC_SPEED);
    HWND position = ::GetDlgItem(SlideshowBar(), IDC_POSITION);
    HWND counter = ::GetDlgItem(SlideshowBar(), IDC_COUNTER);
    EXPECT_EQ(::SendMessageA(speed, TBM_GETRANGEMIN, 0, 0), 100);
    EXPECT_EQ(::SendMessageA(speed, TBM_GETRANGEMAX, 0, 0), 10000);
    EXPECT_EQ(::SendMessageA(speed, TBM_GETPOS, 0, 0), 2000);
    EXPECT_TRUE(::IsWindowEnabled(speed));
    EXPECT_FALSE(::IsWindowEnabled(position));
    EXPECT_FALSE(::IsWindowEnabled(counter));
    EXPECT_EQ(Text(counter), "1 of 1");

    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    const Capture shot = CaptureWindow(main);
    ASSERT_GT(shot.width, 0);
    EXPECT_TRUE(shot.SaveBmp(artifacts + "\\main-frame.bmp"));
    // The toolbar row is drawn (not the view's black).
    POINT toolbarCentre{(rebar.left + rebar.right) / 2, (rebar.top + rebar.bottom) / 2};
    RECT window = WindowRect(main);
    EXPECT_NE(shot.At(toolbarCentre.x - window.left, toolbarCentre.y - window.top), 0u);

    EXPECT_EQ(app.Close(), 0);
}

TEST_F(FrameGui, PointerOverAButtonShowsItsPromptAndTooltip)
{
    ASSERT_NE(Start(), nullptr);
    ::SetForegroundWindow(app.MainWindow());
    RemoteBuffer remote(app.ProcessId(), sizeof(RECT));
    ASSERT_TRUE(::SendMessageA(ToolBar(), TB_GETITEMRECT, 3, remote.At()));  // Home
    RECT home{};
    remote.Read(&home, sizeof home);
    ::MapWindowPoints(ToolBar(), nullptr, reinterpret_cast<POINT*>(&home), 2);

    MovePointerTo(POINT{(home.left + home.right) / 2, (home.top + home.bottom) / 2});
    EXPECT_TRUE(Eventually([&] { return Text(StatusBar()) == "Go to the home page."; }))
        << Text(StatusBar());
    HWND tip = WaitForProcessWindow(app.ProcessId(), TOOLTIPS_CLASSA);
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(Eventually([&] { return Text(tip) == "Home"; })) << Text(tip);

    const RECT view = WindowRect(app.View());
    MovePointerTo(POINT{(view.left + view.right) / 2, (view.top + view.bottom) / 2});
    EXPECT_TRUE(Eventually([&] { return Text(StatusBar()) == "Ready"; })) << Text(StatusBar());
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(FrameGui, AHighlightedMenuItemShowsItsPromptUntilTheMenuCloses)
{
    ASSERT_NE(Start(), nullptr);
    ::SetForegroundWindow(app.MainWindow());
    // Keys go to the window in front: under load it may not be yet.
    ASSERT_TRUE(Eventually([&] { return ::GetForegroundWindow() == app.MainWindow(); }));
    // F10 enters the menu bar, Down opens File on its first item, Open.
    PressKeys({VK_F10, VK_DOWN});
    EXPECT_TRUE(Eventually([&] { return Text(StatusBar()) == "Open a directory for browsing"; }))
        << Text(StatusBar());
    PressKeys({VK_DOWN});
    EXPECT_TRUE(Eventually([&] { return Text(StatusBar()) == "Print the current page"; }))
        << Text(StatusBar());
    // Right: the Edit menu, next to File, opens on Cut.
    PressKeys({VK_RIGHT});
    EXPECT_TRUE(Eventually([&] { return Text(StatusBar()) == "Move the selected items to the Clipboard, to be moved when pasted"; }))
        << Text(StatusBar());
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    // Painted once the menu's colour shows below its last item. The popup is
    // looked for each time: File's may not have gone yet.
    const COLORREF menu = ::GetSysColor(COLOR_MENU);
    const DWORD background = (DWORD)GetRValue(menu) << 16 | GetGValue(menu) << 8 | GetBValue(menu);
    Capture shot;
    EXPECT_TRUE(Eventually([&] {
        HWND popup = FindProcessWindow(app.ProcessId(), "#32768");
        if (!popup)
            return false;
        shot = CaptureWindow(popup);
        return shot.width > 8 && shot.At(shot.width / 2, shot.height - 4) == background;
    }));
    EXPECT_TRUE(shot.SaveBmp(artifacts + "\\edit-menu.bmp"));
    PressKeys({VK_ESCAPE, VK_ESCAPE, VK_ESCAPE});
    EXPECT_TRUE(Eventually([&] { return Text(StatusBar()) == "Ready"; })) << Text(StatusBar());
    EXPECT_EQ(app.Close(), 0);
}

// However narrow the window, the slideshow bar gets a row of its own below
// the toolbar instead of being laid out behind it.
TEST_F(FrameGui, TheSlideshowBandWrapsToASecondRowInNarrowWindows)
{
    for (int width : {700, 800, 850}) {
        StorePlacement(SW_SHOWNORMAL, RECT{0, 0, width, 600});
        ASSERT_NE(Start(), nullptr) << width;
        EXPECT_TRUE(Eventually([&] { return ::SendMessageA(ReBar(), RB_GETROWCOUNT, 0, 0) == 2; }))
            << width << ": " << ::SendMessageA(ReBar(), RB_GETROWCOUNT, 0, 0) << " rows";
        const RECT toolbar = WindowRect(ToolBar()), rebar = WindowRect(ReBar());
        for (UINT id : {IDC_POSITION, IDC_COUNTER}) {
            const RECT part = WindowRect(::GetDlgItem(SlideshowBar(), id));
            RECT overlap{};
            EXPECT_FALSE(::IntersectRect(&overlap, &part, &toolbar)) << width << ": " << RectText(part);
            EXPECT_GE(part.top, toolbar.bottom) << width << ": " << RectText(part);
            EXPECT_LE(part.bottom, rebar.bottom) << width << ": " << RectText(part);
            EXPECT_GE(part.left, rebar.left) << width;
            EXPECT_LE(part.right, rebar.right) << width << ": " << RectText(part);
        }
        EXPECT_EQ(app.Close(), 0);
    }
}

TEST_F(FrameGui, AValidStoredRectangleIsUsedAndTheNewOneWrittenBack)
{
    StorePlacement(1, RECT{120, 90, 760, 570});
    ASSERT_NE(Start(), nullptr);
    HWND main = app.MainWindow();
    EXPECT_EQ(RectText(WindowRect(main)), "120,90,760,570");
    EXPECT_FALSE(::IsZoomed(main));

    ::SetWindowPos(main, nullptr, 150, 100, 650, 450, SWP_NOZORDER | SWP_NOACTIVATE);
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kProgramKey, "CmdShow");
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(GetDword("CmdShow"), SW_SHOWNORMAL);
    EXPECT_EQ(RectText(StoredRect()), "150,100,800,550");
}

TEST_F(FrameGui, AnInvalidStoredRectangleIsIgnoredWhole)
{
    const int width = ::GetSystemMetrics(SM_CXFULLSCREEN);
    const int height = ::GetSystemMetrics(SM_CYFULLSCREEN);
    const RECT byDefault = RectOfRunWith(1, RECT{0, 0, 0, 0});
    ASSERT_NE(RectText(byDefault), "0,0,0,0");

    const RECT invalid[] = {
        {300, 100, 300, 500},              // right = left
        {300, 100, 200, 500},              // right < left
        {-5, 100, 600, 500},               // negative left
        {100, -1, 600, 500},               // negative top
        {100, 100, width + 1, 500},        // beyond the right
        {100, 100, 600, height + 1},       // beyond the bottom
    };
    for (const RECT& stored : invalid)
        EXPECT_EQ(RectText(RectOfRunWith(1, stored)), RectText(byDefault)) << RectText(stored);
    // The largest valid rectangle is the full-screen client area itself.
    EXPECT_EQ(RectText(RectOfRunWith(1, RECT{0, 0, width, height})),
              "0,0," + std::to_string(width) + "," + std::to_string(height));
}

TEST_F(FrameGui, StoredMaximisedStartsMaximisedAndIsStoredWithItsRestoredRectangle)
{
    StorePlacement(3, RECT{100, 80, 700, 520});
    ASSERT_NE(Start(), nullptr);
    EXPECT_TRUE(::IsZoomed(app.MainWindow()));
    StorePlacement(10, RECT{0, 0, 0, 0});
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(GetDword("CmdShow"), SW_SHOWMAXIMIZED);
    EXPECT_EQ(RectText(StoredRect()), "100,80,700,520");
}

TEST_F(FrameGui, HiddenOrMinimisedShowCommandsStartNormally)
{
    for (int cmdShow : {SW_HIDE, SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE}) {
        StorePlacement(cmdShow, RECT{100, 80, 700, 520});
        AppUnderTest run;
        ASSERT_TRUE(run.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
        HWND main = run.WaitForMainWindow(kHome);
        ASSERT_NE(main, nullptr) << cmdShow;
        EXPECT_TRUE(::IsWindowVisible(main)) << cmdShow;
        EXPECT_FALSE(::IsIconic(main)) << cmdShow;
        EXPECT_FALSE(::IsZoomed(main)) << cmdShow;
        EXPECT_EQ(RectText(WindowRect(main)), "100,80,700,520") << cmdShow;
        EXPECT_EQ(run.Close(), 0);
        EXPECT_EQ(GetDword("CmdShow"), SW_SHOWNORMAL) << cmdShow;
    }
}

class FileOpenGui : public FrameGui {
protected:
    // Runs File Open, types typed into the folder dialog and presses Open
    // (Cancel when typed is empty).
    void Choose(const std::string& typed)
    {
        EXPECT_EQ(ChooseInFileOpen(app, typed, "Open a directory for browsing"), "") << typed;
    }
};

TEST_F(FileOpenGui, OpensTheChosenFolderAndRecordsItInHistory)
{
    TempFolder temp;
    const std::string folder = temp.MakeFolder("Frame Trip");
    temp.WriteFile("Frame Trip\\IMG_0001.jpg", MakeJpeg(JpegRecipe{}));
    const std::string shortcut = HistoryFolder() + "\\Frame Trip.lnk";
    ::DeleteFileA(shortcut.c_str());
    ASSERT_NE(Start(), nullptr);

    // Cancel changes nothing.
    SetString("SlideShowDir", temp.Path());
    Choose("");
    EXPECT_EQ(app.Caption(), kHome);
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_EQ(GetString("SlideShowDir"), temp.Path());

    // The dialog starts in the folder last chosen: a name typed there is its subfolder's.
    Choose("Frame Trip");
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "Frame Trip - Orlivane"; })) << app.Caption();
    EXPECT_EQ(Lower(GetString("SlideShowDir")), Lower(folder));
    // History comes after the page is shown.
    EXPECT_TRUE(Eventually([&] { return FileExists(shortcut); }));

    // A drive root goes to History under the drive's name.
    const std::string drive = HistoryFolder() + "\\Drive C.lnk";
    ::DeleteFileA(drive.c_str());
    Choose("C:\\");
    EXPECT_TRUE(Eventually([&] { return FileExists(drive); }));
    EXPECT_EQ(GetString("SlideShowDir"), "C:\\");
    EXPECT_NE(app.Caption(), "Frame Trip - Orlivane");

    EXPECT_EQ(app.Close(), 0);
    ::DeleteFileA(shortcut.c_str());
    ::DeleteFileA(drive.c_str());
}

TEST_F(FrameGui, TheSpeedSliderSetsTheDelayKeptAtExit)
{
    ASSERT_NE(Start(), nullptr);
    HWND speed = ::GetDlgItem(SlideshowBar(), IDC_SPEED);
    ASSERT_NE(speed, nullptr);
    ::SendMessageA(speed, WM_KEYDOWN, VK_HOME, 0);
    ::SendMessageA(speed, WM_KEYUP, VK_HOME, 0);
    EXPECT_EQ(::SendMessageA(speed, TBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(GetDword("Delay"), 100);
}

TEST_F(FrameGui, DeviceChangesAreAnsweredWithTrue)
{
    ASSERT_NE(Start(), nullptr);
    DWORD_PTR result = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(app.MainWindow(), WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */,
                                      0, SMTO_ABORTIFHUNG, 5000, &result));
    EXPECT_EQ(result, (DWORD_PTR)TRUE);
    EXPECT_EQ(app.Close(), 0);
}

class FullScreenGui : public FrameGui {
protected:
    // The program on picture (or folder) name of the temporary folder (or a
    // folder of it), in front.
    bool StartOn(const std::string& name, const RECT& placement, int cmdShow = SW_SHOWNORMAL)
    {
        StorePlacement(cmdShow, placement);
        if (!app.Start(WindowsPath(TestSetting("ORLIVANE_EXE")), "\"" + temp / name + "\"")
            || !app.WaitForMainWindow(name.substr(name.rfind('\\') + 1) + " - Orlivane"))
            return false;
        ::SetForegroundWindow(app.MainWindow());
        return Eventually([&] { return ::GetForegroundWindow() == app.MainWindow(); });
    }

    // What full screen takes from the window and must give back.
    std::string State() const
    {
        HWND main = app.MainWindow();
        return RectText(WindowRect(main)) + " view " + RectText(WindowRect(app.View())) + " styles "
             + std::to_string(::GetWindowLongPtrA(main, GWL_STYLE)) + " "
             + std::to_string(::GetWindowLongPtrA(app.View(), GWL_EXSTYLE)) + " zoomed " + std::to_string(::IsZoomed(main))
             + " bars " + std::to_string(::IsWindowVisible(ReBar())) + std::to_string(::IsWindowVisible(StatusBar()));
    }

    RECT Monitor() const
    {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        ::GetMonitorInfoA(::MonitorFromWindow(app.MainWindow(), MONITOR_DEFAULTTONEAREST), &info);
        return info.rcMonitor;
    }

    // The window covers its monitor with the view alone: no caption, frame,
    // menu or bars.
    bool IsFullScreen() const
    {
        RECT client{};
        ::GetClientRect(app.MainWindow(), &client);
        const RECT monitor = Monitor();
        ::OffsetRect(&client, monitor.left, monitor.top);
        return RectText(client) == RectText(monitor) && RectText(WindowRect(app.MainWindow())) == RectText(monitor)
            && RectText(WindowRect(app.View())) == RectText(monitor) && !::IsWindowVisible(ReBar())
            && !::IsWindowVisible(StatusBar());
    }

    TempFolder temp;
};

TEST_F(FullScreenGui, F11ShowsThePictureAloneOnItsMonitorAndF11OrEscGivesTheWindowBack)
{
    temp.WriteFile("wide.jpg", MakeJpeg(PhotoRecipe(640, 200)));
    ASSERT_TRUE(StartOn("wide.jpg", RECT{120, 90, 760, 570}));
    const std::string windowed = State();

    PressKeys({VK_F11});
    EXPECT_TRUE(Eventually([&] { return IsFullScreen(); })) << State();
    // The picture in the middle, black around it to the monitor's edges.
    Capture shot;
    const auto blackEdges = [&] {
        for (POINT edge : {POINT{0, 0}, POINT{shot.width / 2, 0}, POINT{shot.width - 1, shot.height / 2},
                           POINT{shot.width / 2, shot.height - 1}, POINT{0, shot.height - 1}})
            if (shot.At(edge.x, edge.y) != 0)
                return false;
        return true;
    };
    EXPECT_TRUE(Eventually([&] {
        shot = CaptureClient(app.MainWindow());
        return shot.width > 0 && shot.At(shot.width / 2, shot.height / 2) != 0 && blackEdges();
    }));
    EXPECT_EQ(RectText(RECT{0, 0, shot.width, shot.height}), RectText(Monitor()));
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    EXPECT_TRUE(shot.SaveBmp(artifacts + "\\full-screen.bmp"));

    PressKeys({VK_ESCAPE});
    EXPECT_TRUE(Eventually([&] { return State() == windowed; })) << State() << "\nnot " << windowed;
    PressKeys({VK_F11});
    EXPECT_TRUE(Eventually([&] { return IsFullScreen(); })) << State();
    PressKeys({VK_F11});
    EXPECT_TRUE(Eventually([&] { return State() == windowed; })) << State() << "\nnot " << windowed;

    // A hidden status bar stays hidden; a maximized window comes back maximized.
    app.Command(ID_VIEW_STATUS_BAR);
    ::SendMessageA(app.MainWindow(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    const std::string maximized = State();
    ASSERT_TRUE(::IsZoomed(app.MainWindow()) && !::IsWindowVisible(StatusBar())) << maximized;
    app.Command(ID_VIEW_FULL_SCREEN);
    EXPECT_TRUE(Eventually([&] { return IsFullScreen(); })) << State();
    app.Command(ID_VIEW_FULL_SCREEN);
    EXPECT_TRUE(Eventually([&] { return State() == maximized; })) << State() << "\nnot " << maximized;

    // Closed in full screen, the window's own placement is kept, not the monitor.
    ::SendMessageA(app.MainWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
    app.Command(ID_VIEW_FULL_SCREEN);
    EXPECT_TRUE(Eventually([&] { return IsFullScreen(); })) << State();
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(GetDword("CmdShow"), SW_SHOWNORMAL);
    EXPECT_EQ(RectText(StoredRect()), "120,90,760,570");
}

class RenameGui : public FullScreenGui {};

TEST_F(RenameGui, EveryKeyInTheRenameBoxEditsItsTextAndATakenNameKeepsItOpen)
{
    temp.MakeFolder("album");
    temp.WriteFile("album\\a.jpg", MakeJpeg(SolidRecipe(64, 48, 255, 0, 0)));
    temp.WriteFile("album\\b.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 255, 0)));
    ASSERT_TRUE(StartOn("album", RECT{120, 90, 760, 570}));
    PressKeys({VK_F2});
    HWND box = nullptr;
    ASSERT_TRUE(Eventually([&] { return (box = ::FindWindowExA(app.View(), nullptr, "Edit", nullptr)) != nullptr; }));
    // The box shows over the caption, white behind its text, not painted over by the page.
    RECT boxRect{};
    ::GetWindowRect(box, &boxRect);
    POINT inside{boxRect.right - 4, (boxRect.top + boxRect.bottom) / 2};
    ::ScreenToClient(app.MainWindow(), &inside);
    Capture shot;
    EXPECT_TRUE(Eventually([&] {
        shot = CaptureClient(app.MainWindow());
        return shot.width > inside.x && shot.At(inside.x, inside.y) == 0xFFFFFF;
    }));
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    EXPECT_TRUE(shot.SaveBmp(artifacts + "\\rename-box.bmp"));

    // Ctrl+A selects the box's text, not the cells; Backspace deletes it rather than going Back.
    PressKeysWith(VK_CONTROL, {'A'});
    PressKeys({VK_BACK});
    EXPECT_TRUE(Eventually([&] { return ::IsWindow(box) && Text(box).empty(); })) << Text(box);
    EXPECT_EQ(app.Caption(), "album - Orlivane");

    PressKeys({'B', VK_OEM_PERIOD, 'J', 'P', 'G', VK_RETURN});
    const DWORD ui = ::GetWindowThreadProcessId(app.MainWindow(), nullptr);
    EXPECT_EQ(AnswerMessageBox(ui), "There is already a file named \"b.jpg\" in this folder. Type another name.");
    EXPECT_TRUE(Eventually([&] { return FocusOf(ui) == box; })) << "the box has the keys again";
    EXPECT_TRUE(::IsWindowVisible(box));
    EXPECT_EQ(Text(box), "b.jpg");
    PressKeys({VK_ESCAPE});
    EXPECT_TRUE(Eventually([&] { return !::IsWindow(box); }));
    EXPECT_EQ(NamesOnDisk(temp / "album"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(FullScreenGui, LeavingThePictureEndsFullScreenWalkingItsFolderDoesNot)
{
    temp.WriteFile("a.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 0, 0)));
    temp.WriteFile("b.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 255, 0)));
    ASSERT_TRUE(StartOn("a.jpg", RECT{120, 90, 760, 570}));
    const std::string windowed = State();
    PressKeys({VK_F11});
    ASSERT_TRUE(Eventually([&] { return IsFullScreen(); })) << State();
    PressKeys({VK_NEXT});
    EXPECT_TRUE(Eventually([&] { return app.Caption() == "b.jpg - Orlivane"; })) << app.Caption();
    EXPECT_TRUE(IsFullScreen()) << State();
    PressKeys({VK_BACK});
    EXPECT_TRUE(Eventually([&] { return app.Caption() == kHome; })) << app.Caption();
    EXPECT_TRUE(Eventually([&] { return State() == windowed; })) << State() << "\nnot " << windowed;
    // Nor does F11 take the Home page there.
    PressKeys({VK_F11});
    app.Command(ID_VIEW_FULL_SCREEN);
    EXPECT_TRUE(State() == windowed) << State();
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(FullScreenGui, ThePointerHidesAtRestAndShowsWhenItMoves)
{
    temp.WriteFile("a.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 0, 0)));
    ASSERT_TRUE(StartOn("a.jpg", RECT{120, 90, 760, 570}));
    const auto showing = [] {
        CURSORINFO info{};
        info.cbSize = sizeof info;
        return ::GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING);
    };
    MovePointerTo(POINT{300, 300});
    ASSERT_TRUE(showing());
    PressKeys({VK_F11});
    ASSERT_TRUE(Eventually([&] { return IsFullScreen(); })) << State();
    EXPECT_TRUE(Eventually([&] { return !showing(); })) << "hidden after a rest";
    MovePointerTo(POINT{320, 310});
    EXPECT_TRUE(Eventually([&] { return showing(); })) << "shown on a move";
    EXPECT_TRUE(Eventually([&] { return !showing(); })) << "hidden again";
    PressKeys({VK_ESCAPE});
    EXPECT_TRUE(Eventually([&] { return showing(); })) << "shown with the window";
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(FullScreenGui, InAFullScreenSlideshowTheKeysDoTheSlideshowBarsWork)
{
    temp.MakeFolder("Show");
    temp.WriteFile("Show\\a-red.jpg", MakeJpeg(SolidRecipe(320, 240, 255, 0, 0)));
    temp.WriteFile("Show\\b-green.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 255, 0)));
    temp.WriteFile("Show\\c-blue.jpg", MakeJpeg(SolidRecipe(320, 240, 0, 0, 255)));
    // Slow enough that only the keys move it while the test looks.
    SetDword("Delay", 10000);
    ASSERT_TRUE(StartOn("Show", RECT{120, 90, 760, 570}));
    const std::string windowed = State();
    app.Command(ID_PLAY);
    HWND counter = ::GetDlgItem(SlideshowBar(), IDC_COUNTER);
    ASSERT_EQ(Text(counter), "1 of 3");
    PressKeys({VK_F11});
    ASSERT_TRUE(Eventually([&] { return IsFullScreen(); })) << State();
    // Paused by Space, walked by the arrows, round at the ends.
    PressKeys({VK_SPACE, VK_RIGHT});
    EXPECT_TRUE(Eventually([&] { return Text(counter) == "2 of 3"; })) << Text(counter);
    PressKeys({VK_LEFT, VK_LEFT});
    EXPECT_TRUE(Eventually([&] { return Text(counter) == "3 of 3"; })) << Text(counter);
    PressKeys({VK_DOWN});
    EXPECT_TRUE(Eventually([&] { return Text(counter) == "1 of 3"; })) << Text(counter);
    PressKeys({VK_ESCAPE});
    EXPECT_TRUE(Eventually([&] { return State() == windowed; })) << State() << "\nnot " << windowed;
    EXPECT_EQ(app.Caption(), "Show - Orlivane");
    HWND toolbar = ToolBar();
    EXPECT_TRUE(Eventually([&] {
        return ::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_PLAY, 0)
            && !::SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_PAUSE, 0);
    })) << "paused";
    EXPECT_EQ(app.Close(), 0);
}

struct TitledWindow {
    DWORD exceptProcess;
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM lParam)
{
    auto* query = reinterpret_cast<TitledWindow*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char text[256] = "";
    ::GetWindowTextA(window, text, sizeof text);
    if (owner != query->exceptProcess && ::IsWindowVisible(window) && lstrcmpA(text, query->title) == 0) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

// A folder of the temporary folder, as the user opens it.
using FolderGui = FullScreenGui;

TEST_F(FolderGui, CtrlASelectsEveryCellTheStatusBarCountsThemAndEscClears)
{
    temp.MakeFolder("Trip");
    for (const char* name : {"Trip\\a.jpg", "Trip\\b.jpg", "Trip\\c.jpg"})
        temp.WriteFile(name, MakeJpeg(SolidRecipe(64, 48, 0, 160, 0)));
    ASSERT_TRUE(StartOn("Trip", RECT{0, 0, 640, 400}));
    PressKeysWith(VK_CONTROL, {'A'});
    EXPECT_TRUE(Eventually([&] { return Text(StatusBar()) == "3 items selected"; })) << Text(StatusBar());
    PressKeys({VK_ESCAPE});
    EXPECT_TRUE(Eventually([&] { return Text(StatusBar()) == "Ready"; })) << Text(StatusBar());
    EXPECT_EQ(app.Close(), 0);
}

// One part of a window as a screen reader finds it among the window's children.
struct ReadPart {
    std::string name;
    RECT screen{0, 0, 0, 0};
};

std::string Utf8(const BSTR text)
{
    if (!text)
        return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, (int)::SysStringLen(text), nullptr, 0, nullptr, nullptr);
    std::string bytes((size_t)length, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, (int)::SysStringLen(text), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

// The shown children of window's accessible object, in the order a screen
// reader reads them.
std::vector<ReadPart> ReadAloud(HWND window)
{
    std::vector<ReadPart> parts;
    IAccessible* object = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, (void**)&object)))
        return parts;
    long count = 0;
    object->get_accChildCount(&count);
    std::vector<VARIANT> children((size_t)count);
    long got = 0;
    if (count > 0 && SUCCEEDED(::AccessibleChildren(object, 0, count, children.data(), &got))) {
        for (long i = 0; i < got; ++i) {
            VARIANT& child = children[(size_t)i];
            IAccessible* part = nullptr;
            VARIANT self{};
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            if (child.vt == VT_DISPATCH && child.pdispVal)
                child.pdispVal->QueryInterface(IID_IAccessible, (void**)&part);
            ::VariantClear(&child);
            if (!part)
                continue;
            // A window's own object names it as its client does.
            HWND childWindow = nullptr;
            IAccessible* client = nullptr;
            if (SUCCEEDED(::WindowFromAccessibleObject(part, &childWindow)) && childWindow
                && SUCCEEDED(::AccessibleObjectFromWindow(childWindow, OBJID_CLIENT, IID_IAccessible, (void**)&client))) {
                part->Release();
                part = client;
            }
            VARIANT state{};
            BSTR name = nullptr;
            ReadPart read;
            long x = 0, y = 0, cx = 0, cy = 0;
            if (SUCCEEDED(part->get_accState(self, &state)) && state.vt == VT_I4
                && !(state.lVal & STATE_SYSTEM_INVISIBLE) && SUCCEEDED(part->get_accName(self, &name))) {
                read.name = Utf8(name);
                part->accLocation(&x, &y, &cx, &cy, self);
                read.screen = RECT{x, y, x + cx, y + cy};
                parts.push_back(read);
            }
            ::SysFreeString(name);
            part->Release();
        }
    }
    object->Release();
    return parts;
}

// The pane's facts read aloud: each label ("Camera:") and the value after it.
std::map<std::string, std::string> FactsOf(const std::vector<ReadPart>& parts)
{
    std::map<std::string, std::string> facts;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (!parts[i].name.empty() && parts[i].name.back() == ':') {
            facts[parts[i].name] = parts[i + 1].name;
            ++i;
        }
    }
    return facts;
}

std::string FactsText(const std::map<std::string, std::string>& facts)
{
    std::string text;
    for (const auto& [label, value] : facts)
        text += label + " " + value + "\n";
    return text;
}

// The camera's clock as the user's locale writes it.
std::string LocalTaken(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME time{year, month, 0, day, hour, minute, second, 0};
    wchar_t date[128], clock[128];
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128, nullptr);
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, clock, 128);
    BSTR both = ::SysAllocString((std::wstring(date) + L" " + clock).c_str());
    const std::string text = Utf8(both);
    ::SysFreeString(both);
    return text;
}

using DetailsPaneGui = FullScreenGui;

TEST_F(DetailsPaneGui, AltShiftPShowsThePhotosFactsToScreenReadersAndTheChoiceIsKept)
{
    const ComApartment com;
    const std::string photos = WindowsPath(TestSetting("ORLIVANE_EXIF_DATA"));
    temp.MakeFolder("Trip");
    for (const char* name : {"all.jpg", "digitized.jpg"})
        ASSERT_TRUE(::CopyFileA((photos + "\\" + name).c_str(), (temp / "Trip" + "\\" + name).c_str(), FALSE));
    const auto pane = [&] { return ::GetDlgItem(app.MainWindow(), IDC_DETAILS_PANE); };
    const auto shown = [&] { return ::IsWindowVisible(pane()) != FALSE; };
    const ScopedDword closed("DetailsPane", 0);
    ASSERT_TRUE(StartOn("Trip\\all.jpg", RECT{0, 0, 900, 640}));
    ASSERT_FALSE(shown());

    PressKeysWith({VK_MENU, VK_SHIFT}, {'P'});
    ASSERT_TRUE(Eventually([&] { return shown(); }));
    // The view gives the pane its part of the window.
    RECT view{}, side{};
    EXPECT_TRUE(Eventually([&] {
        view = WindowRect(app.View());
        side = WindowRect(pane());
        return view.right == side.left && view.top == side.top && view.bottom == side.bottom;
    })) << RectText(view) << " beside " << RectText(side);
    EXPECT_EQ(side.right - side.left, 260);
    std::map<std::string, std::string> facts;
    EXPECT_TRUE(Eventually([&] { return (facts = FactsOf(ReadAloud(pane())))["Camera:"] != ""; }));
    WIN32_FILE_ATTRIBUTE_DATA file{};
    ::GetFileAttributesExA((temp / "Trip\\all.jpg").c_str(), GetFileExInfoStandard, &file);
    char size[64] = "";
    ::StrFormatByteSizeA(file.nFileSizeLow, size, sizeof size);
    SHFILEINFOA type{};
    ::SHGetFileInfoA(".jpg", FILE_ATTRIBUTE_NORMAL, &type, sizeof type, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    const std::map<std::string, std::string> expected{
        {"Name:", "all.jpg"},
        {"Folder:", temp / "Trip"},
        {"Size:", size},
        {"Type:", type.szTypeName},
        {"Dimensions:", "64 \u00D7 48"},
        {"Date taken:", LocalTaken(2024, 5, 1, 10, 15, 7)},
        {"Camera:", "Canon PowerShot S5 IS"},
        {"Lens:", "6.0-72.0 mm"},
        {"Exposure time:", "1/1000 s"},
        {"F-number:", "f/4.0"},
        {"ISO speed:", "80"},
        {"Focal length:", "6 mm (36 mm in 35 mm film)"},
        {"Flash:", "Did not fire"},
        {"Latitude:", "48.8584\u00B0 N"},
        {"Longitude:", "2.2945\u00B0 W"},
        {"Altitude:", "35.5 m below sea level"}};
    EXPECT_EQ(FactsText(facts), FactsText(expected));
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    EXPECT_TRUE(CaptureClient(app.MainWindow()).SaveBmp(artifacts + "\\details-pane.bmp"));

    // F6 goes from the picture to the pane's link; only its click opens the map.
    const std::string recorded = temp / "map.txt";
    {
        ReplacedShellCommand browser("https\\shell\\open\\command", RecordingCommand(recorded));
        const DWORD thread = ::GetWindowThreadProcessId(app.MainWindow(), nullptr);
        PressKeys({VK_F6});
        EXPECT_TRUE(Eventually([&] { return ::IsChild(pane(), FocusOf(thread)); }));
        EXPECT_TRUE(ReadWholeFile(recorded).empty());
        RECT link{};
        for (const ReadPart& part : ReadAloud(pane())) {
            if (part.name.find("Show on Map") != std::string::npos)
                link = part.screen;
        }
        ASSERT_GT(link.right, link.left);
        ClickAt(POINT{(link.left + link.right) / 2, (link.top + link.bottom) / 2});
        EXPECT_TRUE(Eventually([&] { return !ReadWholeFile(recorded).empty(); }));
        EXPECT_EQ(ReadWholeFile(recorded), "https://www.openstreetmap.org/?mlat=48.8584&mlon=-2.2945#map=15/48.8584/-2.2945");
    }

    // I on the picture hides and shows the pane; the choice outlives the program.
    ClickAt(POINT{(view.left + view.right) / 2, (view.top + view.bottom) / 2});
    EXPECT_TRUE(Eventually([&] { return FocusOf(::GetWindowThreadProcessId(app.MainWindow(), nullptr)) == app.View(); }));
    PressKeys({'I'});
    EXPECT_TRUE(Eventually([&] { return !shown(); }));
    EXPECT_TRUE(Eventually([&] { return WindowRect(app.View()).right == side.right; }));
    PressKeys({'I'});
    EXPECT_TRUE(Eventually([&] { return shown(); }));
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(GetDword("DetailsPane"), 1);

    // On the folder's page the pane follows the focus, not the pointer.
    ASSERT_TRUE(StartOn("Trip", RECT{0, 0, 900, 640}));
    ASSERT_TRUE(Eventually([&] { return shown(); }));
    EXPECT_TRUE(Eventually([&] { return FactsOf(ReadAloud(pane()))["Name:"] == "all.jpg"; }))
        << FactsText(FactsOf(ReadAloud(pane())));
    PressKeys({VK_RIGHT});
    EXPECT_TRUE(Eventually([&] { return FactsOf(ReadAloud(pane()))["Camera:"] == "NIKON D750"; }))
        << FactsText(FactsOf(ReadAloud(pane())));
    PressKeysWith({VK_MENU, VK_SHIFT}, {'P'});
    EXPECT_TRUE(Eventually([&] { return !shown(); }));
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(GetDword("DetailsPane"), 0);
}

TEST_F(FrameGui, ManageFavoritesShowsTheFavoritesFolderInTheFileBrowser)
{
    ASSERT_NE(Start(), nullptr);
    TitledWindow query{app.ProcessId(), "Favorites", nullptr};
    ::EnumWindows(&MatchTitle, reinterpret_cast<LPARAM>(&query));
    ASSERT_EQ(query.found, nullptr);
    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_MANAGE_FAVORITES, 0);
    EXPECT_TRUE(Eventually([&] {
        ::EnumWindows(&MatchTitle, reinterpret_cast<LPARAM>(&query));
        return query.found != nullptr;
    }));
    if (query.found)
        ::PostMessageA(query.found, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(FrameGui, EmailSupportOpensTheSupportMailLink)
{
    TempFolder temp;
    const std::string recorded = temp / "mailto.txt";
    ReplacedShellCommand handler("mailto\\shell\\open\\command", RecordingCommand(recorded));
    ASSERT_NE(Start(), nullptr);
    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_EMAIL_SUPPORT, 0);
    ASSERT_TRUE(Eventually([&] { return !ReadWholeFile(recorded).empty(); }));

    OSVERSIONINFOA os{};
    os.dwOSVersionInfoSize = sizeof os;
    ::GetVersionExA(&os);
    ASSERT_EQ(os.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
    const std::string system = std::to_string(os.dwMajorVersion) + "." + std::to_string(os.dwMinorVersion)
                             + "." + std::to_string((int)os.dwBuildNumber) + " " + os.szCSDVersion;
    EXPECT_EQ(ReadWholeFile(recorded),
              "mailto:support@orlivane.example?subject=Support for Orlivane 1.00 build 1"
              "&body=Essential Support Information: OS: Win NT/2000/XP " + system);
    EXPECT_EQ(app.Close(), 0);
}

// Each help command ends in the table of contents or, without the help
// file, in the framework's message.
void ExpectHelpMessage(AppUnderTest& app, UINT command)
{
    ::PostMessageA(app.MainWindow(), WM_COMMAND, command, 0);
    HWND box = WaitForProcessWindow(app.ProcessId(), "#32770");
    ASSERT_NE(box, nullptr) << command;
    EXPECT_EQ(Text(box), "Orlivane");
    EXPECT_EQ(Text(::GetDlgItem(box, 0xFFFF)), "Failed to launch help.") << command;
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Eventually([&] { return !::IsWindow(box) || !::IsWindowVisible(box); }));
}

TEST_F(FrameGui, HelpWithoutTheHelpFileSaysSo)
{
    TempFolder temp;
    const std::string exe = CopyProgram(temp.Path());
    ASSERT_FALSE(exe.empty());
    ASSERT_NE(Start(exe), nullptr);
    for (UINT command : {ID_HELP_FINDER, ID_DEFAULT_HELP, ID_HELP, ID_CONTEXT_HELP})
        ExpectHelpMessage(app, command);
    EXPECT_TRUE(app.IsRunning());
    EXPECT_EQ(app.Close(), 0);
}

TEST_F(FrameGui, HelpTopicsOpensTheHelpFileBesideTheProgram)
{
    const std::string exe = WindowsPath(TestSetting("ORLIVANE_EXE"));
    const std::string chm = exe.substr(0, exe.size() - 4) + ".chm";
    ASSERT_NE(Start(), nullptr);
    if (!FileExists(chm)) {
        ExpectHelpMessage(app, ID_HELP_FINDER);
    } else {
        ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_HELP_FINDER, 0);
        HWND help = WaitForProcessWindow(app.ProcessId(), nullptr, app.MainWindow());
        ASSERT_NE(help, nullptr);
        char name[64] = "";
        ::GetClassNameA(help, name, sizeof name);
        EXPECT_STRNE(name, "#32770") << "a help window, not a message";
        ::PostMessageA(help, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(app.Close(), 0);
}

} // namespace
