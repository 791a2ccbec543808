// The folder watcher: which changes raise the flag, that it always stops,
// and that stopped it leaves the folder free.
#include <gtest/gtest.h>

#include "afxdevice.h"
#include "core/watchedcatalog.h"
#include "file_times.h"
#include "folder_entries.h"
#include "open_handles.h"
#include "temp_folder.h"

namespace {

// Waits up to a second for the flag; clears it when it came.
bool FlagRaised(CWatchedCatalog& catalog, DWORD timeoutMs = 1000)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        if (catalog.m_needsRefresh.exchange(false))
            return true;
        ::Sleep(5);
    }
    return false;
}

// The window the watchers register their folders with, as the frame's.
class DeviceWindow {
public:
    DeviceWindow()
        : m_window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
    {
        AfxSetDeviceWindow(m_window);
    }
    ~DeviceWindow()
    {
        AfxSetDeviceWindow(nullptr);
        ::DestroyWindow(m_window);
    }
    DeviceWindow(const DeviceWindow&) = delete;
    DeviceWindow& operator=(const DeviceWindow&) = delete;

private:
    HWND m_window;
};

// The drives a removal query for each of the process's handles on path
// would name: those of the registered ones.
DWORD DrivesQueriedThrough(const std::string& path)
{
    DWORD drives = 0;
    for (HANDLE handle : HandlesOn(path)) {
        const DEV_BROADCAST_HANDLE query = BroadcastFor(handle);
        drives |= AfxDeviceDrives(reinterpret_cast<const DEV_BROADCAST_HDR*>(&query));
    }
    return drives;
}

// No pause after the watcher starts: a change made as soon as it is
// constructed, or Watch returns, must be seen.
class WatcherTest : public testing::Test {
protected:
    WatcherTest() : folder(temp.MakeFolder("watched")), catalog(EntryOf(folder)) {}

    TempFolder temp;
    DeviceWindow window;
    std::string folder;
    CWatchedCatalog catalog;
};

TEST_F(WatcherTest, ChangesInTheFolderRaiseTheFlag)
{
    temp.WriteFile("watched\\new.jpg", "jpeg");
    EXPECT_TRUE(FlagRaised(catalog)) << "a new file, written as soon as the watcher was made";
    ::Sleep(50);
    catalog.m_needsRefresh = false;

    ASSERT_TRUE(::MoveFileA((folder + "\\new.jpg").c_str(), (folder + "\\renamed.jpg").c_str()));
    EXPECT_TRUE(FlagRaised(catalog)) << "a rename";
    ::Sleep(50);
    catalog.m_needsRefresh = false;

    ASSERT_TRUE(::SetFileAttributesA((folder + "\\renamed.jpg").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(FlagRaised(catalog)) << "an attribute";
    ::SetFileAttributesA((folder + "\\renamed.jpg").c_str(), FILE_ATTRIBUTE_NORMAL);
    ::Sleep(50);
    catalog.m_needsRefresh = false;

    // A turn rewrites a picture through a temporary file moved over it.
    const std::string scratch = temp.WriteFile("scratch.tmp", "turned");
    ASSERT_TRUE(::MoveFileExA(scratch.c_str(), (folder + "\\renamed.jpg").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(FlagRaised(catalog)) << "a replacement";
}

TEST_F(WatcherTest, ChangesInsideASubfolderDoNot)
{
    temp.MakeFolder("watched\\sub");
    EXPECT_TRUE(FlagRaised(catalog)) << "the subfolder itself is a change";
    ::Sleep(100);
    catalog.m_needsRefresh = false;
    temp.WriteFile("watched\\sub\\deep.jpg", "jpeg");
    EXPECT_FALSE(FlagRaised(catalog, 500));
}

TEST_F(WatcherTest, StoppedItHoldsNothingInTheFolderAndSeesNothingWatchingAgainFollowsIt)
{
    ASSERT_TRUE(HoldsHandleOn(folder)) << "the change notification";
    const DWORD drive = AfxDriveMask(folder);
    ASSERT_NE(drive, 0u);
    EXPECT_EQ(DrivesQueriedThrough(folder), drive) << "the folder is registered as a directory for removal queries";
    const std::vector<HANDLE> registered = HandlesOn(folder);
    EXPECT_TRUE(catalog.StopWatching(50)) << "ended within the time a removal query is answered in";
    EXPECT_FALSE(catalog.IsWatching());
    EXPECT_FALSE(HoldsHandleOn(folder)) << "closed before StopWatching returns";
    for (HANDLE handle : registered) {
        const DEV_BROADCAST_HANDLE query = BroadcastFor(handle);
        EXPECT_EQ(AfxDeviceDrives(reinterpret_cast<const DEV_BROADCAST_HDR*>(&query)), 0u) << "unregistered";
    }
    temp.WriteFile("watched\\unseen.jpg", "jpeg");
    EXPECT_FALSE(FlagRaised(catalog, 300));

    catalog.Watch();
    EXPECT_TRUE(catalog.IsWatching());
    temp.WriteFile("watched\\seen.jpg", "jpeg");
    EXPECT_TRUE(FlagRaised(catalog)) << "written as soon as Watch returned";
    EXPECT_TRUE(HoldsHandleOn(folder));
    EXPECT_EQ(DrivesQueriedThrough(folder), drive) << "registered again";
}

TEST(Watcher, StopsPromptlyAlsoWhenTheFolderCannotBeWatched)
{
    TempFolder temp;
    for (const std::string& path : {temp.Path(), temp / "missing", std::string()}) {
        const DWORD start = ::GetTickCount();
        {
            CWatchedCatalog catalog(EntryOf(path));
            ::Sleep(20);
        }
        EXPECT_LT(::GetTickCount() - start, 1000u) << path;
    }
    // Made and destroyed at once, before the watcher could arm itself.
    for (int i = 0; i < 50; ++i)
        CWatchedCatalog catalog(EntryOf(temp.Path()));
}

TEST(Watcher, AFolderThatGoesEndsTheWatchQuietly)
{
    TempFolder temp;
    const std::string folder = temp.MakeFolder("doomed");
    CWatchedCatalog catalog(EntryOf(folder));
    ::Sleep(100);
    ASSERT_TRUE(RemoveTree(folder));
    ::Sleep(200);
    catalog.m_needsRefresh = false;
    temp.MakeFolder("doomed");
    temp.WriteFile("doomed\\again.jpg", "jpeg");
    ::Sleep(200);
    SUCCEED() << "the destructor below must not hang";
}

} // namespace
