// The folder watcher: which changes raise the flag, that it always stops,
// and that stopped it leaves the folder free.
#include <gtest/gtest.h>

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

class WatcherTest : public testing::Test {
protected:
    WatcherTest() : folder(temp.MakeFolder("watched")), catalog(EntryOf(folder))
    {
        ::Sleep(100);  // let the watcher arm itself
    }

    TempFolder temp;
    std::string folder;
    CWatchedCatalog catalog;
};

TEST_F(WatcherTest, ChangesInTheFolderRaiseTheFlag)
{
    EXPECT_FALSE(FlagRaised(catalog, 200)) << "nothing changed yet";

    temp.WriteFile("watched\\new.jpg", "jpeg");
    EXPECT_TRUE(FlagRaised(catalog)) << "a new file";
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
    catalog.StopWatching();
    EXPECT_FALSE(catalog.IsWatching());
    EXPECT_FALSE(HoldsHandleOn(folder)) << "closed before StopWatching returns";
    temp.WriteFile("watched\\unseen.jpg", "jpeg");
    EXPECT_FALSE(FlagRaised(catalog, 300));

    catalog.Watch();
    EXPECT_TRUE(catalog.IsWatching());
    ::Sleep(100);
    temp.WriteFile("watched\\seen.jpg", "jpeg");
    EXPECT_TRUE(FlagRaised(catalog));
    EXPECT_TRUE(HoldsHandleOn(folder));
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
