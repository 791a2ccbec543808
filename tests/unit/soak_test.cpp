// Long use: hundreds of folder pages made, left and discarded must give back
// every thread and GDI object they took.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "app/vemolyapp.h"
#include "core/navigator.h"
#include "file_times.h"
#include "folder_pages.h"
#include "folderpage/folderpage.h"
#include "jpeg_maker.h"
#include "process_counts.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "running_app.h"
#include "temp_folder.h"
#include "view/vemolyview.h"

namespace {

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

TEST(Soak, FiveHundredPagesGiveBackTheirThreadsAndGdiObjects)
{
    TempFolder temp;
    JpegRecipe recipe;
    for (int i = 0; i < 4; ++i) {
        recipe.seed = (unsigned)i + 1;
        temp.WriteFile("p" + std::to_string(i) + ".jpg", MakeJpeg(recipe));
    }
    temp.MakeFolder("sub");
    temp.WriteFile("sub\\inner.jpg", MakeJpeg(recipe));
    const std::string folders[] = {temp.Path(), temp / "sub"};

    // One visit first, so that lazily made process-wide objects exist.
    OpenFolderPage(folders[0]);
    WaitUntil([] { return false; }, 300);
    BackToHome();
    WaitUntil([] { return false; }, 300);
    const int threads = ThreadCount();
    const int gdi = GdiObjectCount();

    int made = 0;
    while (made < 500) {
        OpenFolderPage(folders[made % 2]);
        ++made;
        if (made % 5 == 0) {
            g_navigator.Back();
            g_navigator.Forward();
            g_navigator.Back();  // the next navigation discards the page after this one
        }
        if (made % 50 == 0) {
            PumpMessages();
            BackToHome();
        }
        PumpMessages();
    }
    BackToHome();

    EXPECT_EQ(g_navigator.GetCount(), 1);
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() == threads; }))
        << ThreadCount() << " threads for " << threads << ": every watcher and worker joined";
    EXPECT_TRUE(WaitUntil([&] { return GdiObjectCount() == gdi; }))
        << GdiObjectCount() << " GDI objects for " << gdi << ": every thumbnail bitmap and DC released";
}

// The names a listing of folder shows: subfolders and pictures.
std::set<std::string> NamesOnDisk(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = data.cFileName;
        const bool folderEntry = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..";
        if (folderEntry || (name.size() > 4 && name.substr(name.size() - 4) == ".jpg"))
            names.insert(name);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}

std::set<std::string> NamesShown(CFolderPage& page)
{
    std::set<std::string> names;
    for (const CFolderEntry& entry : page.Catalog().m_entries)
        names.insert(::PathFindFileNameA(entry.ListedPath().c_str()));
    return names;
}

// Clicks the middle of the first entry that passes test; false when none does.
template <class Test>
bool ClickFirst(CFolderPage& page, Test test, bool onBadge = false)
{
    for (const CFolderEntry& entry : page.Catalog().m_entries) {
        if (!entry.m_thumbnail || !test(entry))
            continue;
        const RECT& cell = entry.m_thumbnail->m_cell;
        const POINT point = onBadge ? POINT{cell.right - 12, cell.top + 24} : POINT{cell.left + 60, cell.top + 66};
        page.OnClick(point, false);
        page.OnClick(point, true);
        return true;
    }
    return false;
}

TEST(Soak, AnotherProgramChangingTheFolderWhileThePageIsOpenedPlayedAndLeft)
{
    TempFolder temp;
    const JpegRecipe recipe = PhotoRecipe(640, 480);
    const std::string picture = MakeJpeg(recipe);
    for (int i = 0; i < 6; ++i)
        temp.WriteFile("p" + std::to_string(i) + ".jpg", picture);
    for (int i = 0; i < 3; ++i) {
        temp.MakeFolder("sub" + std::to_string(i));
        temp.WriteFile("sub" + std::to_string(i) + "\\in.jpg", picture);
    }
    const int threads = ThreadCount();

    // Another program: adds, touches, renames and deletes pictures, here and
    // in the subfolders whose pictures the worker looks for.
    std::atomic<bool> stop{false};
    std::atomic<int> refused{0};  // renames and deletes the program's open files refused
    std::thread other([&] {
        for (unsigned n = 0; !stop; ++n) {
            const std::string added = temp / ("c" + std::to_string(n % 10) + ".jpg");
            const std::string renamed = temp / ("r" + std::to_string(n % 10) + ".jpg");
            switch (n % 5) {
            case 0: temp.WriteFile("c" + std::to_string(n % 10) + ".jpg", picture); break;
            case 1: SetWriteTime(temp / ("p" + std::to_string(n % 6) + ".jpg"), TimeAt((int)n)); break;
            case 2:
                if (!::MoveFileA(added.c_str(), renamed.c_str()))
                    refused += ::GetLastError() == ERROR_SHARING_VIOLATION;
                break;
            case 3:
                if (!::DeleteFileA(renamed.c_str()))
                    refused += ::GetLastError() == ERROR_SHARING_VIOLATION;
                break;
            case 4: temp.WriteFile("sub" + std::to_string(n % 3) + "\\in.jpg", picture); break;
            }
            ::Sleep(3);
        }
    });

    CVemolyView* view = CVemolyView::GetActive();
    ASSERT_NE(view, nullptr);
    auto ticks = [&](int count) {
        for (int i = 0; i < count; ++i) {
            ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
            view->SendMessage(WM_TIMER, CVemolyView::kTickTimer);
            PumpMessages();
            ::Sleep(10);
        }
    };
    auto isFolder = [](const CFolderEntry& entry) { return entry.IsFolder(); };
    auto isPicture = [](const CFolderEntry& entry) { return entry.IsFile(); };
    int rounds = 0;
    // Three seconds of rounds, and at least four however slow the machine.
    for (const DWORD start = ::GetTickCount(); rounds < 4 || ::GetTickCount() - start < 3000; ++rounds) {
        CFolderPage* page = OpenFolderPage(temp.Path());
        // Opened while its worker looks for the folders' pictures.
        if (ClickFirst(*page, isFolder))
            g_navigator.Back();
        ticks(3);
        if (ClickFirst(*page, isPicture)) {
            ticks(2);
            g_navigator.Back();
        }
        if (ClickFirst(*page, isFolder, true)) {  // the badge plays the folder
            ticks(3);
            g_navigator.Back();
        }
        theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_PLAY);
        ticks(3);
        g_navigator.Home();
        if (rounds % 3 == 2)
            g_navigator.DiscardFrom(1);
    }
    stop = true;
    other.join();

    // Once the other program stops, the page shows exactly what is there.
    CFolderPage* page = OpenFolderPage(temp.Path());
    const bool settled = WaitUntil([&] {
        ticks(1);
        return NamesShown(*page) == NamesOnDisk(temp.Path());
    }, 5000);
    EXPECT_TRUE(settled) << NamesShown(*page).size() << " shown, " << NamesOnDisk(temp.Path()).size() << " on disk";
    EXPECT_EQ(refused, 0) << "pictures being read can still be renamed and deleted";
    BackToHome();
    // A thread that was ending when the count was first taken may be gone.
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threads; }))
        << ThreadCount() << " threads for " << threads << ": every watcher and worker joined";
}

} // namespace
