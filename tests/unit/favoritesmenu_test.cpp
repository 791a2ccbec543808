// The Favorites popup built from a real Favorites folder of shortcuts.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "com_apartment.h"
#include "folder_entries.h"
#include "frame/favoritesmenu.h"
#include "res/resource.h"
#include "shortcuts.h"
#include "temp_folder.h"

namespace {

struct Item {
    std::string text;
    UINT id;
    bool submenu;
    bool checked;
};

std::vector<Item> Items(HMENU menu)
{
    std::vector<Item> items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        char text[256] = "";
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STATE | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ::GetMenuItemInfoA(menu, (UINT)i, TRUE, &info);
        items.push_back({(info.fType & MFT_SEPARATOR) ? "-" : text, info.wID, info.hSubMenu != nullptr,
                         (info.fState & MFS_CHECKED) != 0});
    }
    return items;
}

class FavoritesMenuTest : public testing::Test {
protected:
    FavoritesMenuTest() : favorites(temp.MakeFolder("Favorites")) { bar.LoadMenu(IDR_MAINFRAME); }

    void Shortcut(const std::string& relative, const std::string& target)
    {
        WriteShortcut(favorites + "\\" + relative + ".lnk", target);
    }

    std::unique_ptr<CFavoritesMenu> Build(UINT last = 20000)
    {
        auto menu = std::make_unique<CFavoritesMenu>(EntryOf(favorites), 10000, last);
        // The popup belongs to the menu bar until the Favorites menu takes it over.
        menu->Attach(::GetSubMenu(bar.m_hMenu, 3));
        ::RemoveMenu(bar.m_hMenu, 3, MF_BYPOSITION);
        menu->BuildMenu();
        return menu;
    }

    const ComApartment com;
    TempFolder temp;
    std::string favorites;
    CMenu bar;
};

TEST_F(FavoritesMenuTest, AnEmptyFolderLeavesTheFixedEntries)
{
    auto menu = Build();
    const std::vector<Item> items = Items(menu->m_hMenu);
    ASSERT_EQ(items.size(), 3u) << "the placeholder is gone";
    EXPECT_EQ(items[0].text, "&Add to Favorites...");
    EXPECT_EQ(items[1].text, "&Manage Favorites...");
    EXPECT_EQ(items[2].text, "-");
}

TEST_F(FavoritesMenuTest, EntriesSubmenusNumbersAndGlyphStates)
{
    const std::string album = temp.MakeFolder("Beach");
    Shortcut("Beach", album);
    temp.MakeFolder("Favorites\\Trips");
    Shortcut("Trips\\Rome", temp.MakeFolder("Rome"));
    Shortcut("Trips\\Paris", temp.MakeFolder("Paris"));
    temp.MakeFolder("Favorites\\Zempty");
    temp.WriteFile("Favorites\\IMG_0042.jpg", "jpeg");
    Shortcut("IMG_0042.jpg", temp.WriteFile("IMG_0042.jpg", "jpeg"));

    auto menu = Build();
    const std::vector<Item> items = Items(menu->m_hMenu);
    // Catalog order: folders first (Trips, Zempty, the folder shortcut Beach
    // too), then the pictures.
    ASSERT_EQ(items.size(), 3u + 5u);
    EXPECT_EQ(items[3].text, "Beach");
    EXPECT_EQ(items[3].id, 10000u);
    EXPECT_TRUE(items[3].checked) << "a shortcut to a folder shows the folder glyph";
    EXPECT_FALSE(items[3].submenu);
    EXPECT_EQ(items[4].text, "Trips");
    EXPECT_TRUE(items[4].submenu);
    EXPECT_EQ(items[5].text, "Zempty");
    EXPECT_TRUE(items[5].submenu);
    EXPECT_EQ(items[6].text, "IMG_0042") << "a picture in the folder";
    EXPECT_FALSE(items[6].checked);
    EXPECT_EQ(items[7].text, "IMG_0042.jpg") << "a shortcut to a picture: only .lnk is cut";

    const std::vector<Item> trips = Items(::GetSubMenu(menu->m_hMenu, 4));
    ASSERT_EQ(trips.size(), 2u);
    EXPECT_EQ(trips[0].text, "Paris");
    EXPECT_EQ(trips[0].id, 10001u);
    EXPECT_EQ(trips[1].id, 10002u);
    EXPECT_TRUE(Items(::GetSubMenu(menu->m_hMenu, 5)).empty());
    EXPECT_EQ(items[6].id, 10005u) << "each subfolder uses a number after its contents";

    const CFolderEntry* rome = menu->LookupItem(10002);
    ASSERT_NE(rome, nullptr);
    EXPECT_EQ(rome->m_path, temp / "Rome");
    EXPECT_EQ(rome->Kind(), (unsigned)EntryFolder);
    EXPECT_EQ(menu->LookupItem(10003), nullptr) << "a submenu has no entry of its own";
    EXPECT_EQ(menu->LookupItem(ID_MANAGE_FAVORITES), nullptr);
}

TEST_F(FavoritesMenuTest, RebuildsOnlyAfterTheFolderChanged)
{
    Shortcut("Beach", temp.MakeFolder("Beach"));
    Shortcut("Dunes", temp.MakeFolder("Dunes"));
    auto menu = Build();
    ASSERT_EQ(Items(menu->m_hMenu).size(), 5u);

    menu->RefreshIfChanged();
    EXPECT_EQ(Items(menu->m_hMenu).size(), 5u);

    ASSERT_TRUE(::DeleteFileA((favorites + "\\Beach.lnk").c_str()));
    const DWORD start = ::GetTickCount();
    while (!menu->Catalog().m_needsRefresh && ::GetTickCount() - start < 2000)
        ::Sleep(10);
    menu->RefreshIfChanged();
    const std::vector<Item> items = Items(menu->m_hMenu);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[3].text, "Dunes");
    EXPECT_EQ(items[3].id, 10000u);
    EXPECT_FALSE(menu->Catalog().m_needsRefresh);
}

TEST_F(FavoritesMenuTest, EntriesBeyondTheRangeAreLeftOut)
{
    for (const char* name : {"a", "b", "c", "d", "e"})
        Shortcut(name, temp.MakeFolder(name));
    auto menu = Build(10002);
    const std::vector<Item> items = Items(menu->m_hMenu);
    ASSERT_EQ(items.size(), 3u + 3u);
    EXPECT_EQ(items.back().id, 10002u);
}

} // namespace
