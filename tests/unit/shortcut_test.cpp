// Shortcut files written and read through the shell's link object.
#include <gtest/gtest.h>

#include <objbase.h>

#include "com_apartment.h"
#include "shell/settings.h"
#include "shell/shortcutlink.h"
#include "temp_folder.h"

namespace {

class ShortcutTest : public testing::Test {
protected:
    // Writes a shortcut to target and reads it back.
    CShortcutLink RoundTrip(const std::string& target)
    {
        CShortcutLink written;
        written.m_targetPath = target;
        written.SaveLink(temp / "link.lnk");
        EXPECT_TRUE(written.m_valid);
        EXPECT_TRUE(written.m_linkPath.empty()) << "saving does not change the link path";
        CShortcutLink read(temp / "link.lnk");
        read.ResolveLink();
        return read;
    }

    const ComApartment com;
    TempFolder temp;
};

TEST_F(ShortcutTest, FolderPictureAndDriveRootRoundTrip)
{
    const std::string folder = temp.MakeFolder("Album");
    const std::string picture = temp.WriteFile("Album\\p.jpg", "jpeg");
    for (const std::string& target : {folder, picture, std::string("C:\\")}) {
        CShortcutLink read = RoundTrip(target);
        EXPECT_TRUE(read.m_valid) << target;
        EXPECT_EQ(read.m_targetPath, target);
        EXPECT_EQ(read.m_description, "");
    }
}

TEST_F(ShortcutTest, AGoneTargetResolvesQuietlyWithoutSearching)
{
    TempFolder other;
    const std::string target = other.WriteFile("gone.jpg", "jpeg");
    CShortcutLink written;
    written.m_targetPath = target;
    written.SaveLink(temp / "gone.lnk");
    ASSERT_TRUE(::DeleteFileA(target.c_str()));

    CShortcutLink read(temp / "gone.lnk");
    const DWORD start = ::GetTickCount();
    // Either the stored path comes back or the shortcut is invalid; no dialog either way.
    if (read.ResolveLink()) {
        EXPECT_EQ(read.m_targetPath, target);
    }
    EXPECT_LT(::GetTickCount() - start, 3000u);
}

TEST_F(ShortcutTest, UnreadableShortcutsStayInvalid)
{
    CShortcutLink missing(temp / "none.lnk");
    EXPECT_FALSE(missing.ResolveLink());
    temp.WriteFile("garbage.lnk", std::string("L\0\0\0garbage", 11));
    CShortcutLink garbage(temp / "garbage.lnk");
    EXPECT_FALSE(garbage.ResolveLink());
    EXPECT_TRUE(garbage.m_targetPath.empty());
}

TEST_F(ShortcutTest, NamesComeFromTheTargetOrAreUsedVerbatim)
{
    EXPECT_EQ(DefaultShortcutName("C:\\"), "Drive C");
    EXPECT_EQ(DefaultShortcutName("e:\\"), "Drive e");
    EXPECT_EQ(DefaultShortcutName("D:\\Trips\\Paris"), "Paris");
    EXPECT_EQ(DefaultShortcutName("D:\\Trips\\IMG_0042.jpg"), "IMG_0042.jpg");

    CShortcutLink link;
    link.m_targetPath = temp.MakeFolder("Trips");
    const std::string name = "My trips";
    AddShortcut(&name, link, temp.Path());
    EXPECT_TRUE(FileExists(temp / "My trips.lnk"));
    AddShortcut(nullptr, link, temp.Path());
    EXPECT_TRUE(FileExists(temp / "Trips.lnk"));
}

TEST_F(ShortcutTest, NamesAFileCannotHoldFailSilently)
{
    CShortcutLink link;
    link.m_targetPath = temp.MakeFolder("x");
    for (const std::string name : {"what?", "a/b"}) {
        CShortcutLink attempt;
        attempt.m_targetPath = link.m_targetPath;
        AddShortcut(&name, attempt, temp.Path());
        EXPECT_FALSE(attempt.m_valid) << name;
    }
}

TEST_F(ShortcutTest, OpeningAFolderOfTheSameNameReplacesItsHistoryEntry)
{
    g_settings.HistoryFolder = temp.MakeFolder("History");
    CShortcutLink first;
    first.m_targetPath = temp.MakeFolder("D\\Trips\\Paris");
    AddToHistory(first);
    CShortcutLink second;
    second.m_targetPath = temp.MakeFolder("E\\Old\\Paris");
    AddToHistory(second);

    CShortcutLink read(g_settings.HistoryFolder + "\\Paris.lnk");
    ASSERT_TRUE(read.ResolveLink());
    EXPECT_EQ(read.m_targetPath, second.m_targetPath);
    g_settings.HistoryFolder.clear();
}

TEST_F(ShortcutTest, NamesBeyondTheOldCodePageRoundTrip)
{
    const std::string target = temp.MakeFolder("Tōkyō 東京");
    g_settings.FavoritesFolder = temp.MakeFolder("Favorites");
    CShortcutLink link;
    link.m_targetPath = target;
    AddToFavorites(link);
    CShortcutLink read(g_settings.FavoritesFolder + "\\Tōkyō 東京.lnk");
    ASSERT_TRUE(read.ResolveLink());
    EXPECT_EQ(read.m_targetPath, target);
    g_settings.FavoritesFolder.clear();
}

} // namespace
