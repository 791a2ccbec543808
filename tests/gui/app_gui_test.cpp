// The real program under Xvfb: start-up, the Home page, navigation commands,
// and the settings it leaves behind at exit.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "app_driver.h"
#include "res/resource.h"
#include "temp_folder.h"

namespace {

std::string AppDataVemoly()
{
    char path[MAX_PATH] = "";
    ::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path);
    return std::string(path) + "\\Vemoly";
}

DWORD StoredDword(const char* name, DWORD* type)
{
    DWORD value = 0, size = sizeof value;
    *type = REG_NONE;
    if (::RegGetValueA(HKEY_CURRENT_USER, "Software\\Vemoly", name, RRF_RT_ANY, type, &value, &size)
        != ERROR_SUCCESS)
        *type = REG_NONE;
    return value;
}

TEST(AppGui, FirstRunShowsTheHomePageNavigatesAndSavesItsSettings)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vemoly");
    RemoveTree(AppDataVemoly());

    AppUnderTest app;
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vemoly", 0, KEY_READ, &key), ERROR_SUCCESS)
        << "start-up makes the key";
    ::RegCloseKey(key);
    for (const char* folder : {"", "\\History", "\\Favorites", "\\Cache"})
        EXPECT_TRUE(FolderExists(AppDataVemoly() + folder)) << folder;
    HWND view = app.View();
    ASSERT_NE(view, nullptr);
    ::UpdateWindow(view);
    ::Sleep(300);

    const Capture shot = CaptureClient(view);
    ASSERT_GT(shot.width, 100);
    ASSERT_GT(shot.height, 100);
    size_t black = 0;
    for (DWORD p : shot.pixels)
        black += p == 0;
    EXPECT_EQ(black, shot.pixels.size()) << "the Home page stand-in leaves the view black";
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    EXPECT_TRUE(CaptureClient(app.MainWindow()).SaveBmp(artifacts + "\\home-page.bmp"));

    for (UINT id : {ID_GO_BACK, ID_GO_FORWARD, ID_GO_HOME}) {
        app.Command(id);
        EXPECT_EQ(app.Caption(), "Home Page - Orlivane") << id;
        EXPECT_TRUE(app.IsRunning());
    }

    EXPECT_EQ(app.Close(), 0);

    const char* const names[] = {"UserInit", "Delay", "Loop", "HistoryCount", "CmdShow",
                                 "MainWndLeft", "MainWndTop", "MainWndRight", "MainWndBottom"};
    for (const char* name : names) {
        DWORD type;
        StoredDword(name, &type);
        EXPECT_EQ(type, (DWORD)REG_DWORD) << name;
    }
    DWORD type;
    EXPECT_EQ(StoredDword("UserInit", &type), 1u);
    EXPECT_EQ(StoredDword("Delay", &type), 2000u);
    EXPECT_EQ(StoredDword("HistoryCount", &type), 10u);
}

TEST(AppGui, FileExitEndsTheProgramLikeClosingTheWindow)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Vemoly", "Delay");
    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_APP_EXIT, 0);
    EXPECT_EQ(app.Wait(), 0);
    DWORD type;
    EXPECT_EQ(StoredDword("Delay", &type), 2000u) << "the settings are written at exit";
}

} // namespace
