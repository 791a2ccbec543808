// The Preferences dialog opened by the view's command in the running
// application, worked from a second thread as a user would: the History count
// it refuses and accepts, what the Home page then shows, and Clear Cache.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/vemolyapp.h"
#include "catalog/thumbnailcache.h"
#include "core/navigator.h"
#include "file_times.h"
#include "folder_pages.h"
#include "jpeg_maker.h"
#include "pages/homepage.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "running_app.h"
#include "shell/settings.h"
#include "shortcuts.h"
#include "temp_folder.h"
#include "view/vemolyview.h"
#include "window_driving.h"

namespace {

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

// ---------------------------------------------------------------- driving windows from the second thread

void SetText(HWND dialog, int id, const std::string& text)
{
    ::SendMessageA(::GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

// Posted, so that a message box the click opens does not hold up this thread.
void Click(HWND dialog, int id)
{
    ::PostMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Chooses View > Preferences through the view's command, so that the dialog
// runs modally here while script works it.
void RunPreferences(const std::function<void(DWORD)>& script)
{
    RunModal([] { return (INT_PTR)CVemolyView::GetActive()->SendMessage(WM_COMMAND, ID_PREFERENCES); }, script);
}

std::vector<std::string> CacheFiles()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((g_settings.CacheFolder + "\\*.tnc").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(data.cFileName);
    while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}

// Pixels of the view's rectangle that are not black on the screen.
int LitPixels(const RECT& area)
{
    HWND view = CVemolyView::GetActive()->m_hWnd;
    HDC dc = ::GetDC(view);
    int lit = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            lit += ::GetPixel(dc, x, y) != 0;
    ::ReleaseDC(view, dc);
    return lit;
}

// Names of the test's own, so that it never mistakes the prefix's files for them.
std::string Own(const std::string& what)
{
    return "orlivane-prefs-" + std::to_string(::GetCurrentProcessId()) + "-" + what;
}

class Preferences : public testing::Test {
protected:
    Preferences() : m_savedCount(g_settings.HistoryCount)
    {
        g_settings.HistoryCount = 10;
        home = dynamic_cast<CHomePage*>(g_navigator.GetPage(0));
        BackToHome();
        HWND main = theApp.m_pMainWnd->m_hWnd;
        ::ShowWindow(main, SW_RESTORE);
        ::SetWindowPos(main, HWND_TOP, 0, 0, 900, 700, SWP_SHOWWINDOW);
        ::SetForegroundWindow(main);
    }
    ~Preferences() override
    {
        for (const std::string& path : m_files)
            ::DeleteFileA(path.c_str());
        g_settings.HistoryCount = m_savedCount;
        BackToHome();
        PumpMessages();
    }

    std::string Remember(const std::string& path)
    {
        m_files.push_back(path);
        return path;
    }

    TempFolder temp;
    CHomePage* home = nullptr;

private:
    int m_savedCount;
    std::vector<std::string> m_files;
};

TEST_F(Preferences, RefusedCountsKeepTheDialogOpenAndThreeShowsTheThreeNewestVisits)
{
    ASSERT_NE(home, nullptr);
    // Five visits in the prefix's History, newer than anything it holds.
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    std::vector<std::string> visits;
    for (int i = 0; i < 5; ++i) {
        const std::string link = Remember(g_settings.HistoryFolder + "\\" + Own(std::to_string(i)) + ".lnk");
        WriteShortcut(link, temp.MakeFolder("visit" + std::to_string(i)));
        ULARGE_INTEGER later{{now.dwLowDateTime, now.dwHighDateTime}};
        later.QuadPart += (i + 1) * 3600ULL * 10000000ULL;
        ASSERT_TRUE(SetWriteTime(link, FILETIME{later.LowPart, later.HighPart}));
        visits.push_back(link);
    }
    auto shown = [&] {
        std::vector<std::string> links;
        for (const CFolderEntry& entry : home->HistoryPane().Catalog().m_entries)
            links.push_back(entry.m_linkPath);
        return links;
    };
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<std::string> links = shown();
        return links.size() >= 5 && std::vector<std::string>(links.begin(), links.begin() + 5)
                                        == std::vector<std::string>(visits.rbegin(), visits.rend());
    })) << "the Home page lists the visits, newest first";

    // Where the fourth visit is shown, in view coordinates (no scrolling on Home).
    RECT fourth{};
    for (const CFolderEntry& entry : home->HistoryPane().Catalog().m_entries)
        if (entry.m_linkPath == visits[1])
            fourth = entry.m_thumbnail->m_cell;
    // The list may change a moment before the view has painted it.
    ASSERT_TRUE(WaitUntil([&] { return LitPixels(fourth) > 100; }, 5000)) << "shown before";

    std::string loaded;
    std::vector<std::string> said;
    bool stayedOpen = true;
    bool closed = false;
    RunPreferences([&](DWORD ui) {
        HWND dialog = WaitForShown(ui, "#32770", "Preferences");
        if (!dialog)
            return;
        loaded = Text(::GetDlgItem(dialog, IDC_HISTORY_COUNT));
        for (const char* typed : {"0", "101", "abc"}) {
            SetText(dialog, IDC_HISTORY_COUNT, typed);
            Click(dialog, IDOK);
            said.push_back(AnswerMessageBox(ui));
            stayedOpen = stayedOpen && ::IsWindowVisible(dialog);
        }
        SetText(dialog, IDC_HISTORY_COUNT, "3");
        Click(dialog, IDOK);
        closed = Eventually([&] { return !::IsWindow(dialog); });
    });

    EXPECT_EQ(loaded, "10");
    EXPECT_EQ(said, (std::vector<std::string>{"Please enter an integer between 1 and 100.",
                                              "Please enter an integer between 1 and 100.",
                                              "Please enter an integer."}));
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(closed);
    EXPECT_EQ(g_settings.HistoryCount, 3);
    EXPECT_EQ(shown(), (std::vector<std::string>{visits[4], visits[3], visits[2]})) << "at once, no tick needed";
    EXPECT_TRUE(WaitUntil([&] { return LitPixels(fourth) == 0; }, 3000)) << "gone from the screen too";
    for (const CFolderEntry& entry : home->HistoryPane().Catalog().m_entries)
        EXPECT_TRUE(::PtInRect(&home->HistoryArea(), POINT{entry.m_thumbnail->m_cell.left,
                                                             entry.m_thumbnail->m_cell.top}))
            << "laid out in the History column";
}

TEST_F(Preferences, ClearCacheEmptiesTheCacheAtOnceAndCancelKeepsTheCount)
{
    // A visited folder leaves its cache file behind.
    JpegRecipe recipe;
    temp.WriteFile("p1.jpg", MakeJpeg(recipe));
    temp.WriteFile("p2.jpg", MakeJpeg(recipe));
    const std::string visitedCache = CacheFileName(temp.Path());
    OpenFolderPage(temp.Path());
    ASSERT_TRUE(WaitUntil([&] { return FileExists(visitedCache); }));
    BackToHome();

    const std::string other = Remember(g_settings.CacheFolder + "\\" + Own("other.tnc"));
    std::ofstream(other) << "cache";
    const std::string notCache = Remember(g_settings.CacheFolder + "\\" + Own("notes.txt"));
    std::ofstream(notCache) << "notes";
    const std::string folderNamedLikeCache = g_settings.CacheFolder + "\\" + Own("folder.tnc");
    ASSERT_TRUE(::CreateDirectoryA(folderNamedLikeCache.c_str(), nullptr));
    ASSERT_GE(CacheFiles().size(), 2u);

    bool emptiedWhileOpen = false;
    bool closed = false;
    RunPreferences([&](DWORD ui) {
        HWND dialog = WaitForShown(ui, "#32770", "Preferences");
        if (!dialog)
            return;
        SetText(dialog, IDC_HISTORY_COUNT, "7");
        Click(dialog, IDC_CLEAR_CACHE);
        emptiedWhileOpen = Eventually([&] { return CacheFiles().empty(); }, 5000) && ::IsWindowVisible(dialog);
        Click(dialog, IDCANCEL);
        closed = Eventually([&] { return !::IsWindow(dialog); });
    });

    EXPECT_TRUE(emptiedWhileOpen);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(CacheFiles().empty());
    EXPECT_TRUE(FolderExists(folderNamedLikeCache)) << "folders are not cache files";
    EXPECT_TRUE(FileExists(notCache));
    EXPECT_EQ(g_settings.HistoryCount, 10) << "Cancel keeps the count";
    ::RemoveDirectoryA(folderNamedLikeCache.c_str());
}

} // namespace
