// Long use: hundreds of folder pages made, left and discarded must give back
// every thread and GDI object they took.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include "app/globals.h"
#include "core/navigator.h"
#include "folder_entries.h"
#include "folderpage/folderpage.h"
#include "jpeg_maker.h"
#include "res/drawing_resources.h"
#include "running_app.h"
#include "temp_folder.h"

namespace {

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

int ThreadCount()
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    ::CloseHandle(snapshot);
    return count;
}

CFolderPage* NewPage(const std::string& folder)
{
    return new CFolderPage(EntryOf(folder), g_resources.GetFolderPageIcon());
}

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
    g_navigator.Navigate(NewPage(folders[0]));
    WaitUntil([] { return false; }, 300);
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    WaitUntil([] { return false; }, 300);
    const int threads = ThreadCount();
    const DWORD gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);

    int made = 0;
    while (made < 500) {
        g_navigator.Navigate(NewPage(folders[made % 2]));
        ++made;
        if (made % 5 == 0) {
            g_navigator.Back();
            g_navigator.Forward();
            g_navigator.Back();  // the next navigation discards the page after this one
        }
        if (made % 50 == 0) {
            PumpMessages();
            g_navigator.Home();
            g_navigator.DiscardFrom(1);
        }
        PumpMessages();
    }
    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    WaitUntil([] { return false; }, 500);

    EXPECT_EQ(g_navigator.GetCount(), 1);
    EXPECT_EQ(ThreadCount(), threads) << "every watcher and worker joined";
    // Where the system counts GDI objects (Wine does not), they come back too.
    const DWORD gdiAfter = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    EXPECT_EQ(gdiAfter, gdi) << "every thumbnail bitmap and DC released";
}

} // namespace
