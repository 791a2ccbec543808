// The Home page: how it divides the view between Favorites and History, and
// what it passes on to them.
#include <gtest/gtest.h>

#include <objbase.h>

#include "com_apartment.h"
#include "file_times.h"
#include "folder_entries.h"
#include "pages/homepage.h"
#include "res/resource.h"
#include "shell/settings.h"
#include "shortcuts.h"
#include "temp_folder.h"

namespace {

int FolderFilesCount(const std::string& folder)
{
    int count = 0;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "\\*.lnk").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++count;
    while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return count;
}

class HomePageTest : public testing::Test {
protected:
    HomePageTest() : history(temp.MakeFolder("History")), favorites(temp.MakeFolder("Favorites")) {}
    ~HomePageTest() override { g_settings.HistoryCount = savedCount; }

    // History shortcuts to folders visited at minutes 0..count-1.
    void Visit(int count)
    {
        for (int i = 0; i < count; ++i) {
            const std::string place = "place" + std::to_string(i);
            SetWriteTime(WriteShortcut(history + "\\" + place + ".lnk", temp.MakeFolder(place)), TimeAt(i));
        }
    }

    std::vector<std::string> HistoryNames(CHomePage& home)
    {
        std::vector<std::string> names;
        for (const CFolderEntry& entry : home.HistoryPane().Catalog().m_entries)
            names.push_back(entry.m_displayName);
        return names;
    }

    const ComApartment com;
    TempFolder temp;
    std::string history;
    std::string favorites;
    const int savedCount = g_settings.HistoryCount;
};

TEST_F(HomePageTest, FavoritesTakeTwoThirdsAndAtLeast150Pixels)
{
    CHomePage home(EntryOf(history), EntryOf(favorites));
    home.Load();
    const struct {
        int width, favoritesRight;
    } cases[] = {{600, 400}, {200, 150}, {100, 150}};
    for (const auto& c : cases) {
        const CRect area(0, 0, c.width, 300);
        const CSize extent = home.Layout(&area);
        EXPECT_EQ(CRect(home.FavoritesArea()), CRect(0, 0, c.favoritesRight, 300)) << c.width;
        EXPECT_EQ(CRect(home.HistoryArea()), CRect(c.favoritesRight, 0, c.width, 300)) << c.width;
        EXPECT_EQ(extent, CSize(c.width, 300));
    }
}

TEST_F(HomePageTest, ColumnsReachAsFarAsTheLongerPane)
{
    for (int i = 0; i < 20; ++i)
        temp.WriteFile("Favorites\\p" + std::to_string(i) + ".jpg", "jpeg");
    CHomePage home(EntryOf(history), EntryOf(favorites));
    home.Load();
    const CRect area(0, 0, 600, 300);
    const CSize extent = home.Layout(&area);
    // 400 wide: 2 columns of cells, 10 rows.
    EXPECT_EQ(extent.cy, 42 + 150 * 10);
    EXPECT_EQ(home.FavoritesArea().bottom, extent.cy);
    EXPECT_EQ(home.HistoryArea().bottom, extent.cy);
}

TEST_F(HomePageTest, TheKeysWalkTheFavoritesThenTabTakesThemToTheHistoryAndOutOfThePage)
{
    for (int i = 0; i < 3; ++i)
        temp.WriteFile("Favorites\\p" + std::to_string(i) + ".jpg", "jpeg");
    Visit(2);
    CHomePage home(EntryOf(history), EntryOf(favorites));
    home.Load();
    const CRect area(0, 0, 600, 300);
    home.Layout(&area);
    ASSERT_EQ(home.GetItemCount(), 5);
    PageItem item;
    for (int index = 0; index < 5; ++index) {
        ASSERT_TRUE(home.GetItem(index, &item));
        const POINT centre{(item.bounds.left + item.bounds.right) / 2, (item.bounds.top + item.bounds.bottom) / 2};
        EXPECT_EQ(home.ItemAt(centre), index) << "found where it is, in either pane";
    }
    EXPECT_EQ(home.GetFocusedItem(), 0);
    EXPECT_TRUE(home.OnKey(VK_RIGHT, false));
    EXPECT_TRUE(home.OnKey(VK_DOWN, false));  // two columns: p2 below p0, p1 has none below
    EXPECT_EQ(home.GetFocusedItem(), 2);
    EXPECT_TRUE(home.OnKey(VK_TAB, false));
    EXPECT_EQ(home.GetFocusedItem(), 3) << "the History's first cell, after the Favorites' three";
    ASSERT_TRUE(home.GetItem(3, &item));
    EXPECT_TRUE(item.focused);
    EXPECT_EQ(item.name, HistoryNames(home)[0]);
    EXPECT_FALSE(home.OnKey(VK_F6, false)) << "beyond the History the focus leaves the page";
    EXPECT_TRUE(home.OnKey(VK_TAB, true));
    EXPECT_EQ(home.GetFocusedItem(), 2) << "back where it was in the Favorites";
}

TEST_F(HomePageTest, HistoryShowsTheNewestUpToTheCountAndFollowsItsChange)
{
    Visit(12);
    g_settings.HistoryCount = 10;
    CHomePage home(EntryOf(history), EntryOf(favorites));
    home.Load();
    ASSERT_EQ(HistoryNames(home).size(), 10u);
    EXPECT_EQ(HistoryNames(home).front(), "place11");
    EXPECT_EQ(HistoryNames(home).back(), "place2");

    g_settings.HistoryCount = 5;
    EXPECT_TRUE(home.Refresh());
    EXPECT_EQ(HistoryNames(home), (std::vector<std::string>{"place11", "place10", "place9", "place8", "place7"}));
    EXPECT_EQ(FolderFilesCount(history), 12) << "the shortcuts themselves stay";
}

TEST_F(HomePageTest, PlayAndAddFavoriteAreGreyedTitleIsHomePage)
{
    CHomePage home(EntryOf(history), EntryOf(favorites));
    struct Probe : CCmdUI {
        int enabled = -1;
        void Enable(BOOL on) override
        {
            enabled = on;
            m_bEnableChanged = TRUE;
        }
    };
    for (UINT id : {ID_PLAY, ID_ADD_FAVORITE}) {
        Probe ui;
        ui.m_nID = id;
        EXPECT_TRUE(home.OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &ui, nullptr));
        EXPECT_EQ(ui.enabled, 0) << id;
    }
    EXPECT_EQ(home.GetTitle(), "Home Page");
}

} // namespace
