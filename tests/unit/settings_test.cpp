// Settings in the registry of the test prefix and the application-data folders.
#include <gtest/gtest.h>


#include <algorithm>
#include <vector>

#include "com_apartment.h"
#include "program_data.h"
#include "shell/settings.h"
#include "shell/shortcutlink.h"
#include "temp_folder.h"

namespace {

void DeleteSettingsKey()
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey);
}

// The raw stored value: its type and 32-bit data, or type REG_NONE when absent.
std::pair<DWORD, DWORD> StoredDword(const char* name)
{
    HKEY key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {REG_NONE, 0};
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    if (::RegQueryValueExA(key, name, nullptr, &type, (BYTE*)&value, &size) != ERROR_SUCCESS)
        type = REG_NONE;
    ::RegCloseKey(key);
    return {type, value};
}

void StoreRaw(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, name, 0, type, (const BYTE*)data, size);
    ::RegCloseKey(key);
}

class SettingsTest : public testing::Test {
protected:
    SettingsTest()
    {
        DeleteSettingsKey();
        RemoveTree(AppDataVemoly());
    }
    ~SettingsTest() override
    {
        DeleteSettingsKey();
        g_settings = CSettings();
    }

    // The process-wide record, as start-up loads it.
    static CSettings& Fresh()
    {
        g_settings = CSettings();
        return g_settings;
    }

    const ComApartment com;
};

const char* const kNames[] = {"UserInit", "Delay", "Loop", "HistoryCount", "CmdShow",
                              "MainWndLeft", "MainWndTop", "MainWndRight", "MainWndBottom"};

TEST_F(SettingsTest, FirstRunWritesAllNineValuesWithTheirDefaults)
{
    CSettings& settings = Fresh();
    settings.Load();
    settings.Save();

    const DWORD expected[] = {1, 2000, 0, 10, 10, 0, 0, 0, 0};
    for (size_t i = 0; i < std::size(kNames); ++i) {
        const auto [type, value] = StoredDword(kNames[i]);
        EXPECT_EQ(type, (DWORD)REG_DWORD) << kNames[i];
        EXPECT_EQ(value, expected[i]) << kNames[i];
    }
}

TEST_F(SettingsTest, FirstRunCreatesTheFourFolders)
{
    CSettings& settings = Fresh();
    settings.Load();
    const std::string root = AppDataVemoly();
    EXPECT_EQ(settings.AppDataFolder, root);
    EXPECT_EQ(settings.HistoryFolder, root + "\\History");
    EXPECT_EQ(settings.FavoritesFolder, root + "\\Favorites");
    EXPECT_EQ(settings.CacheFolder, root + "\\Cache");
    for (const std::string& folder : {settings.AppDataFolder, settings.HistoryFolder,
                                      settings.FavoritesFolder, settings.CacheFolder})
        EXPECT_TRUE(FolderExists(folder)) << folder;
}

TEST_F(SettingsTest, StoredFlagsComeBackAsZeroOrOneAndUserInitAsOne)
{
    WriteDword("UserInit", 0);
    WriteDword("Loop", 5);
    WriteDword("Delay", 750);
    CSettings& settings = Fresh();
    settings.Load();
    EXPECT_TRUE(settings.UserInit);
    EXPECT_TRUE(settings.Loop);
    EXPECT_EQ(settings.Delay, 750);
    settings.Save();
    EXPECT_EQ(StoredDword("UserInit").second, 1u);
    EXPECT_EQ(StoredDword("Loop").second, 1u);
    EXPECT_EQ(StoredDword("Delay").second, 750u);
}

TEST_F(SettingsTest, MissingOrMalformedValuesKeepTheirDefaults)
{
    WriteDword("HistoryCount", 25);
    StoreRaw("CmdShow", REG_SZ, "3", 2);
    const unsigned long long wide = 7;
    StoreRaw("Delay", REG_QWORD, &wide, sizeof wide);
    CSettings& settings = Fresh();
    settings.Load();
    EXPECT_EQ(settings.HistoryCount, 25);
    EXPECT_EQ(settings.CmdShow, 10);
    EXPECT_EQ(settings.Delay, 2000);
    EXPECT_EQ(settings.MainWndLeft, 0);
    EXPECT_EQ(settings.MainWndBottom, 0);
    EXPECT_FALSE(settings.Loop);
}

TEST_F(SettingsTest, SignedValuesRoundTrip)
{
    CSettings& settings = Fresh();
    settings.MainWndLeft = -8;
    settings.MainWndTop = 1200;
    settings.Save();
    CSettings& loaded = Fresh();
    loaded.Load();
    EXPECT_EQ(loaded.MainWndLeft, -8);
    EXPECT_EQ(loaded.MainWndTop, 1200);
}

TEST_F(SettingsTest, SlideShowDirRoundTripsAtAnyLengthAndOtherThanTextReadsAsDefault)
{
    EXPECT_EQ(ReadString("SlideShowDir", ""), "");
    EXPECT_EQ(WriteString("SlideShowDir", "C:\\Photos\\2002"), ERROR_SUCCESS);
    EXPECT_EQ(ReadString("SlideShowDir", ""), "C:\\Photos\\2002");

    // A folder's path may be far past MAX_PATH, in any script.
    const std::string deep = "C:\\" + std::string(300, 'x') + "\\東京 Tōkyō";
    WriteString("SlideShowDir", deep.c_str());
    EXPECT_EQ(ReadString("SlideShowDir", "default"), deep);

    const DWORD number = 5;
    StoreRaw("SlideShowDir", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(ReadString("SlideShowDir", "default"), "default");
}

TEST_F(SettingsTest, WritingCreatesTheKey)
{
    EXPECT_EQ(ReadDword("Delay", 42), 42);
    EXPECT_EQ(WriteDword("Delay", 300), ERROR_SUCCESS);
    EXPECT_EQ(ReadDword("Delay", 42), 300);
}

std::vector<std::string> FolderFiles(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.emplace_back(data.cFileName);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(SettingsTest, ANewFavoritesFolderGetsTheDefaultFavorites)
{
    const std::vector<std::string> targets = DefaultFavoriteTargets();
    ASSERT_GE(targets.size(), 3u) << "documents, pictures and at least one drive";
    EXPECT_EQ(targets[2].size(), 3u) << "drive roots follow the two folders";

    CSettings& settings = Fresh();
    settings.Load();
    std::vector<std::string> expected;
    for (const std::string& target : targets)
        expected.push_back(DefaultShortcutName(target) + ".lnk");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderFiles(settings.FavoritesFolder), expected);

    CShortcutLink drive(settings.FavoritesFolder + "\\" + DefaultShortcutName(targets[2]) + ".lnk");
    ASSERT_TRUE(drive.ResolveLink());
    EXPECT_EQ(drive.m_targetPath, targets[2]);
}

TEST_F(SettingsTest, DefaultFavoritesComeBackOnlyWhenTheFolderIsGone)
{
    CSettings& first = Fresh();
    first.Load();
    for (const std::string& name : FolderFiles(first.FavoritesFolder))
        ::DeleteFileA((first.FavoritesFolder + "\\" + name).c_str());

    CSettings& second = Fresh();
    second.Load();
    EXPECT_TRUE(FolderFiles(second.FavoritesFolder).empty()) << "an empty folder stays empty";

    ASSERT_TRUE(RemoveTree(second.FavoritesFolder));
    CSettings& third = Fresh();
    third.Load();
    EXPECT_EQ(FolderFiles(third.FavoritesFolder).size(), DefaultFavoriteTargets().size());
}

} // namespace
