// The real program under Xvfb: start-up, the Home page, navigation commands,
// and the settings it leaves behind at exit.
#include <gtest/gtest.h>


#include "app_driver.h"
#include "jpeg_maker.h"
#include "program_data.h"
#include "res/resource.h"
#include "temp_folder.h"
#include "window_driving.h"

namespace {

DWORD StoredDword(const char* name, DWORD* type)
{
    DWORD value = 0, size = sizeof value;
    *type = REG_NONE;
    if (::RegGetValueA(HKEY_CURRENT_USER, kProgramKey, name, RRF_RT_ANY, type, &value, &size)
        != ERROR_SUCCESS)
        *type = REG_NONE;
    return value;
}

TEST(AppGui, FirstRunShowsTheHomePageNavigatesAndSavesItsSettings)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
    RemoveTree(AppDataVemoly());

    AppUnderTest app;
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr);
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_READ, &key), ERROR_SUCCESS)
        << "start-up makes the key";
    ::RegCloseKey(key);
    for (const char* folder : {"", "\\History", "\\Favorites", "\\Cache"})
        EXPECT_TRUE(FolderExists(AppDataVemoly() + folder)) << folder;
    HWND view = app.View();
    ASSERT_NE(view, nullptr);
    ::Sleep(500);

    // The Home page: Favorites on the left two thirds, History on the right,
    // silver on black.
    const Capture shot = CaptureClient(app.MainWindow());
    RECT client;
    ::GetClientRect(view, &client);
    POINT origin{0, 0};
    ::MapWindowPoints(view, app.MainWindow(), &origin, 1);
    auto litIn = [&](int left, int top, int right, int bottom) {
        int lit = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                lit += shot.At(origin.x + x, origin.y + y) != 0;
        return lit;
    };
    const int split = client.right * 2 / 3;
    EXPECT_GT(litIn(10, 8, 200, 40), 50) << "the Favorites title and icon";
    EXPECT_GT(litIn(split + 10, 8, split + 200, 40), 50) << "the History title and icon";
    EXPECT_GT(litIn(10, 42, 130, 182), 1000) << "a default favorite's cell";
    EXPECT_EQ(litIn(split + 10, 42, split + 130, 182), 0) << "no History yet";
    EXPECT_EQ(shot.At(origin.x + client.right - 3, origin.y + client.bottom - 3), 0u) << "black where nothing is";
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    EXPECT_TRUE(shot.SaveBmp(artifacts + "\\home-page.bmp"));

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
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kProgramKey, "Delay");
    ::PostMessageA(app.MainWindow(), WM_COMMAND, ID_APP_EXIT, 0);
    EXPECT_EQ(app.Wait(), 0);
    DWORD type;
    EXPECT_EQ(StoredDword("Delay", &type), 2000u) << "the settings are written at exit";
}

// A start-up that ends early, here for want of its drawing resources, has
// read no settings and so must not write the defaults over them.
TEST(AppGui, AFailedStartLeavesTheStoredSettingsAlone)
{
    TempFolder folder;
    const std::string exe = CopyProgram(folder.Path());
    ASSERT_FALSE(exe.empty());
    // The badge strip damaged beyond loading.
    char damaged[] = "not a bitmap";
    HANDLE update = ::BeginUpdateResourceA(exe.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(::UpdateResourceA(update, RT_BITMAP, MAKEINTRESOURCEA(IDB_BADGES),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), damaged, sizeof damaged));
    ASSERT_TRUE(::EndUpdateResourceA(update, FALSE));

    const std::pair<const char*, DWORD> stored[] = {
        {"Delay", 700}, {"HistoryCount", 33}, {"CmdShow", 3}, {"MainWndLeft", 40}, {"MainWndRight", 640}};
    for (const auto& [name, value] : stored)
        ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, kProgramKey, name, REG_DWORD, &value, sizeof value),
                  ERROR_SUCCESS);

    AppUnderTest app;
    ASSERT_TRUE(app.Start(exe));
    EXPECT_EQ(app.Wait(), 0) << "the program ends by itself";
    EXPECT_EQ(app.MainWindow(), nullptr);
    for (const auto& [name, value] : stored) {
        DWORD type;
        EXPECT_EQ(StoredDword(name, &type), value) << name;
    }
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
}

// As Explorer's "Open in" and "Open with" start it: the folder's or the
// picture's page after the Home page, and History as File Open keeps it.
TEST(AppGui, APathOnTheCommandLineOpensItsPageOrIsReportedMissing)
{
    TempFolder temp;
    const std::string folder = temp.MakeFolder("Paris, 2019");
    temp.WriteFile("Paris, 2019\\IMG_0001.jpg", MakeJpeg(JpegRecipe{}));
    const std::string picture = temp.WriteFile("IMG_0002.jpg", MakeJpeg(JpegRecipe{}));
    const std::string history = AppDataVemoly() + "\\History\\";
    const struct {
        std::string arguments;
        std::string caption;
        std::string shortcut;
    } opened[] = {
        {"\"" + folder + "\"", "Paris, 2019 - Orlivane", "Paris, 2019.lnk"},
        {picture, "IMG_0002.jpg - Orlivane", "IMG_0002.jpg.lnk"},  // unquoted: no spaces in it
    };
    for (const auto& [arguments, caption, shortcut] : opened) {
        ::DeleteFileA((history + shortcut).c_str());
        AppUnderTest app;
        ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE")), arguments));
        ASSERT_NE(app.WaitForMainWindow(caption), nullptr) << arguments << ": " << app.Caption();
        EXPECT_TRUE(Eventually([&] { return FileExists(history + shortcut); })) << shortcut;
        app.Command(ID_GO_BACK);
        EXPECT_EQ(app.Caption(), "Home Page - Orlivane");
        EXPECT_EQ(app.Close(), 0);
        ::DeleteFileA((history + shortcut).c_str());
    }

    // Nothing at the path, or a file that is no picture: reported alike, no page, History as it was.
    const auto historyNames = [&] {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = ::FindFirstFileA((history + "*").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found))
            names.push_back(found.cFileName);
        if (search != INVALID_HANDLE_VALUE)
            ::FindClose(search);
        return names;
    };
    for (const std::string& reported : {temp / "Rome, 2020", temp.WriteFile("notes.txt", "Not a picture.")}) {
        const std::vector<std::string> historyBefore = historyNames();
        AppUnderTest app;
        ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE")), "\"" + reported + "\""));
        HWND box = WaitForProcessWindow(app.ProcessId(), "#32770");
        ASSERT_NE(box, nullptr) << reported;
        EXPECT_NE(Text(::GetDlgItem(box, 0xFFFF)).find("\"" + reported + "\""), std::string::npos)
            << Text(::GetDlgItem(box, 0xFFFF));
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr) << app.Caption();
        EXPECT_EQ(app.Close(), 0);
        EXPECT_EQ(historyNames(), historyBefore) << reported;
    }
}

} // namespace
