// Listing real folders: what a catalog shows, in which order, and what a
// refresh keeps.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "catalog/foldercatalog.h"
#include "catalog/picturekinds.h"
#include "com_apartment.h"
#include "file_times.h"
#include "folder_entries.h"
#include "freed_memory_trap.h"
#include "imaging/picturefacts.h"
#include "imaging/pictureformats.h"
#include "jpeg_maker.h"
#include "shortcuts.h"
#include "temp_folder.h"
#include "winapp.h"
#include "wnd.h"

namespace {

ULONGLONG Ticks(const FILETIME& time)
{
    return (ULONGLONG)time.dwHighDateTime << 32 | time.dwLowDateTime;
}

std::string DisplayNameOf(const std::string& path)
{
    const char* name = ::PathFindFileNameA(path.c_str());
    const char* extension = ::PathFindExtensionA(name);
    return std::string(name, extension);
}

class CatalogTest : public testing::Test {
protected:
    std::string Picture(const std::string& relative) { return temp.WriteFile(relative, "\xFF\xD8 not decoded here"); }

    static std::vector<std::string> Names(const CFolderCatalog& catalog)
    {
        std::vector<std::string> names;
        for (const CFolderEntry& entry : catalog.m_entries)
            names.push_back(entry.m_displayName);
        return names;
    }

    static void GiveBitmaps(CFolderCatalog& catalog)
    {
        for (CFolderEntry& entry : catalog.m_entries) {
            entry.m_thumbnail = std::make_unique<CThumbnail>();
            entry.m_thumbnail->ReplaceBitmap(std::make_unique<CPixels>(2, 2));
        }
    }

    ComApartment com;
    TempFolder temp;
};

TEST_F(CatalogTest, FoldersFirstThenPicturesOfEveryKindInExplorersOrder)
{
    for (const char* name : {"photo 10.jpg", "IMG_10.jpg", "dunes.jfIF", "Cliffs.Jpe", "beach.JPEG", "photo 9.jpg",
                             "IMG_2.jpg", "Glacier.TIF", "forest.png", "Alps.jPg"})
        Picture(name);
    temp.MakeFolder("2019");
    temp.MakeFolder("sub");
    temp.MakeFolder("10 days");
    temp.WriteFile("notes.txt", "text");
    temp.WriteFile("broken.lnk", "not a shortcut");

    CFolderCatalog catalog(EntryOf(temp.Path()));
    EXPECT_TRUE(catalog.Refresh());
    EXPECT_EQ(Names(catalog), (std::vector<std::string>{"10 days", "2019", "sub", "Alps", "beach", "Cliffs", "dunes",
                                                        "forest", "Glacier", "IMG_2", "IMG_10", "photo 9",
                                                        "photo 10"}));
    auto it = catalog.m_entries.begin();
    EXPECT_EQ(it->m_kind, (unsigned)EntryFolder);
    EXPECT_TRUE(it->m_picturePath.empty());
    std::advance(it, 3);
    EXPECT_EQ(it->m_kind, (unsigned)EntryFile);
    EXPECT_EQ(it->m_picturePath, temp / "Alps.jPg");
    EXPECT_EQ(it->m_owner, &catalog);
}

// Each key both ways over real files: dates taken from their EXIF (one
// picture without falls back to its time written), sizes as written, types
// by extension, case ignored; ties by name, folders first going up and last
// going down, by name either way.
TEST_F(CatalogTest, EveryKeyBothWaysWithFoldersAtTheStartOrTheEndAndTiesByName)
{
    // Name, EXIF date or none, minutes written after 2020 began, comment bytes (the sizes follow).
    const std::tuple<const char*, const char*, int, size_t> pictures[] = {
        {"IMG_2.jpg", "2020:01:01 00:25:00", 50, 3000},  {"IMG_10.JPG", "2019:12:31 23:00:00", 10, 1000},
        {"beach.jpeg", nullptr, 30, 4000},                {"cliff.jfif", "2020:01:01 01:00:00", 20, 5000},
        {"dunes.jpe", "2020:01:01 00:25:00", 40, 3000},   {"forest.jpg", "2020:01:01 00:05:00", 40, 2000}};
    for (const auto& [name, taken, written, padding] : pictures) {
        JpegRecipe recipe = SolidRecipe(16, 16, 90, 90, 90);
        if (taken)
            recipe.markers.push_back({0xE1, ExifDateSegment(taken)});
        recipe.comment = std::string(padding, 'x');
        ASSERT_TRUE(SetWriteTime(temp.WriteFile(name, MakeJpeg(recipe)), TimeAt(written)));
    }
    temp.MakeFolder("Zed");
    temp.MakeFolder("alps");

    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    // The facts as the makers give them, read from the headers.
    for (CFolderEntry& entry : catalog.m_entries) {
        entry.m_thumbnail = std::make_shared<CThumbnail>();
        if (entry.IsFile())
            entry.m_thumbnail->SetFacts(HeaderFacts{TakenFileTime(ReadPictureFacts(entry.m_path).photo), {16, 16}});
    }

    const std::tuple<int, bool, std::vector<std::string>> orders[] = {
        {SortByName, false, {"alps", "Zed", "beach", "cliff", "dunes", "forest", "IMG_2", "IMG_10"}},
        {SortByName, true, {"IMG_10", "IMG_2", "forest", "dunes", "cliff", "beach", "alps", "Zed"}},
        {SortByDateTaken, true, {"cliff", "beach", "dunes", "IMG_2", "forest", "IMG_10", "alps", "Zed"}},
        {SortByDateTaken, false, {"alps", "Zed", "IMG_10", "forest", "dunes", "IMG_2", "beach", "cliff"}},
        {SortByDateModified, false, {"alps", "Zed", "IMG_10", "cliff", "beach", "dunes", "forest", "IMG_2"}},
        {SortByDateModified, true, {"IMG_2", "dunes", "forest", "beach", "cliff", "IMG_10", "alps", "Zed"}},
        {SortBySize, true, {"cliff", "beach", "dunes", "IMG_2", "forest", "IMG_10", "alps", "Zed"}},
        {SortBySize, false, {"alps", "Zed", "IMG_10", "forest", "dunes", "IMG_2", "beach", "cliff"}},
        {SortByType, false, {"alps", "Zed", "cliff", "dunes", "beach", "forest", "IMG_2", "IMG_10"}},
        {SortByType, true, {"forest", "IMG_2", "IMG_10", "beach", "dunes", "cliff", "alps", "Zed"}},
    };
    for (const auto& [order, descending, names] : orders) {
        catalog.m_sortOrder = order;
        catalog.m_descending = descending;
        catalog.Refresh();  // nothing changed on disk: the order alone
        EXPECT_EQ(Names(catalog), names) << "order " << order << (descending ? " down" : " up");
        for (auto it = catalog.m_entries.begin(); std::next(it) != catalog.m_entries.end(); ++it)
            EXPECT_GT(CompareEntries(*it, *std::next(it)), 0) << it->m_displayName << " before the next";
    }
}

TEST_F(CatalogTest, DisplayNamesCutOnlyARealExtension)
{
    temp.MakeFolder("Trip.2002");
    temp.MakeFolder("Notes. draft");
    Picture("IMG_0001.JPG");
    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    EXPECT_EQ(Names(catalog), (std::vector<std::string>{"Notes. draft", "Trip", "IMG_0001"}));
}

TEST_F(CatalogTest, ShortcutToAPictureIsListedUnderItsOwnNameUntilTheTargetGoes)
{
    TempFolder elsewhere;
    const std::string target = elsewhere.WriteFile("x.jpg", "jpeg");
    SetWriteTime(target, TimeAt(5));
    const std::string link = WriteShortcut(temp / "Holiday.lnk", target);
    SetWriteTime(link, TimeAt(1));

    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    ASSERT_EQ(catalog.m_entries.size(), 1u);
    const CFolderEntry& entry = catalog.m_entries.front();
    EXPECT_EQ(entry.m_kind, (unsigned)(EntryShortcut | EntryFile));
    EXPECT_EQ(entry.m_path, target);
    EXPECT_EQ(entry.m_linkPath, link);
    EXPECT_EQ(entry.m_picturePath, target);
    EXPECT_EQ(entry.m_displayName, "Holiday");
    EXPECT_EQ(entry.Time(), Ticks(TimeAt(5))) << "the target's time";

    // A replaced target is made again, though the shortcut itself is unchanged.
    GiveBitmaps(catalog);
    ASSERT_TRUE(SetWriteTime(target, TimeAt(6)));
    EXPECT_TRUE(catalog.Refresh());
    EXPECT_EQ(catalog.m_entries.front().Time(), Ticks(TimeAt(6)));
    EXPECT_EQ(catalog.m_entries.front().m_thumbnail->Bitmap(), nullptr);

    ASSERT_TRUE(::DeleteFileA(target.c_str()));
    EXPECT_TRUE(catalog.Refresh());
    EXPECT_TRUE(catalog.m_entries.empty()) << "a missing target on a fixed disk is not listed";
}

TEST_F(CatalogTest, TargetsOnAnAbsentMediumAreOffline)
{
    ASSERT_EQ(::GetDriveTypeA("R:\\"), (UINT)DRIVE_CDROM) << "the test environment maps R: to an empty drive";
    WriteShortcut(temp / "Photo.lnk", "R:\\Photos\\x.png");
    WriteShortcut(temp / "Album.lnk", "R:\\Photos");
    WriteShortcut(temp / "Notes.lnk", "R:\\Photos\\notes.txt");
    TempFolder gone;
    WriteShortcut(temp / "Gone.lnk", gone / "missing.jpg");

    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    ASSERT_EQ(Names(catalog), (std::vector<std::string>{"Album", "Photo"}));
    EXPECT_EQ(catalog.m_entries.front().m_kind, 0x32u);
    EXPECT_EQ(catalog.m_entries.back().m_kind, 0x31u);
    EXPECT_TRUE(catalog.m_entries.back().m_picturePath.empty());

    CFolderEntry notes = EntryOf(temp / "Notes.lnk");
    EXPECT_EQ(notes.m_kind, 0x31u);
    EXPECT_FALSE(notes.m_listed);
    CFolderEntry missing = EntryOf(temp / "Gone.lnk");
    EXPECT_EQ(missing.m_kind, 0x14u);
    EXPECT_FALSE(missing.m_listed);
}

TEST_F(CatalogTest, RefreshKeepsBitmapsOfUnchangedEntriesOnly)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        SetWriteTime(Picture(name), TimeAt(1));
    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    GiveBitmaps(catalog);

    EXPECT_FALSE(catalog.Refresh());
    for (const CFolderEntry& entry : catalog.m_entries)
        EXPECT_NE(entry.m_thumbnail->Bitmap(), nullptr) << entry.m_path;

    SetWriteTime(temp / "b.jpg", TimeAt(2));
    EXPECT_TRUE(catalog.Refresh());
    for (const CFolderEntry& entry : catalog.m_entries) {
        ASSERT_NE(entry.m_thumbnail, nullptr) << "the thumbnail object stays";
        EXPECT_EQ(entry.m_thumbnail->Bitmap() == nullptr, entry.m_displayName == "b") << entry.m_path;
    }
    EXPECT_EQ(catalog.m_entries.size(), 3u);
}

TEST_F(CatalogTest, RefreshAddsAndRemovesEntries)
{
    Picture("a.jpg");
    Picture("c.jpg");
    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    GiveBitmaps(catalog);

    Picture("b.jpg");
    ::DeleteFileA((temp / "c.jpg").c_str());
    temp.MakeFolder("z");
    EXPECT_TRUE(catalog.Refresh());
    EXPECT_EQ(Names(catalog), (std::vector<std::string>{"z", "a", "b"}));
    EXPECT_NE(std::next(catalog.m_entries.begin())->m_thumbnail->Bitmap(), nullptr) << "a kept its bitmap";
    EXPECT_EQ(catalog.m_entries.back().m_thumbnail, nullptr) << "b is new";
}

// A folder named like a shortcut, replaced by a shortcut: the refresh gives
// its entry the target's path, then looks up the paths listed after it
// among those of the last listing. Y.txt is no entry's: its path, as long
// as the folder's was, is compared with every one of them.
TEST_F(CatalogTest, ARefreshThatGivesAnEntryAnotherPathReadsNoFreedMemory)
{
    FreedMemoryTrap trap;
    TempFolder elsewhere;
    const std::string target = elsewhere.WriteFile(std::string(100, 't') + ".jpg", "jpeg");
    temp.MakeFolder("X.lnk");
    for (const char* name : {"a.jpg", "b.jpg", "Z.jpg"})
        Picture(name);
    temp.WriteFile("Y.txt", "text");
    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    ASSERT_EQ(Names(catalog), (std::vector<std::string>{"X", "a", "b", "Z"}));

    ASSERT_TRUE(RemoveTree(temp / "X.lnk"));
    WriteShortcut(temp / "X.lnk", target);
    EXPECT_TRUE(catalog.Refresh());
    EXPECT_EQ(trap.Accesses(), 0) << "a key of the last listing pointed into the folder's old path";
    EXPECT_EQ(catalog.m_entries.size(), 4u);
    const auto shortcut = std::find_if(catalog.m_entries.begin(), catalog.m_entries.end(),
                                       [](const CFolderEntry& entry) { return entry.m_displayName == "X"; });
    ASSERT_NE(shortcut, catalog.m_entries.end());
    EXPECT_EQ(shortcut->m_path, target);
}

// The peek lists a folder of shortcuts on its own thread, and the frame
// deletes the main window at close while it may still be listing. Here the
// window is already gone, its pointer not yet cleared.
TEST_F(CatalogTest, ShortcutsResolveOnAWorkerWithoutTouchingTheMainWindow)
{
    TempFolder elsewhere;
    const std::string target = elsewhere.WriteFile("x.jpg", "jpeg");
    WriteShortcut(temp / "Holiday.lnk", target);
    CWinApp* app = AfxGetApp();
    ASSERT_NE(app, nullptr);
    struct Restore {
        CWinApp* app;
        CWnd* main;
        ~Restore() { app->m_pMainWnd = main; }
    } restore{app, app->m_pMainWnd};

    FreedMemoryTrap trap;
    auto* closed = new CWnd;
    app->m_pMainWnd = closed;
    delete closed;
    std::string listed;
    std::thread([&] {
        ComApartment workerCom;
        CFolderCatalog catalog(EntryOf(temp.Path()));
        catalog.Refresh();
        if (!catalog.m_entries.empty())
            listed = catalog.m_entries.front().m_path;
    }).join();
    EXPECT_EQ(trap.Accesses(), 0) << "the worker read the deleted main window";
    EXPECT_EQ(listed, target);
}

TEST_F(CatalogTest, OrderAndMatchingAgreeWithTheLogicalComparison)
{
    const char* const names[] = {"a.jpg", "B.jpg", "co-op.jpg", "coop.jpg", "co'op.jpg", "É.jpg",
                                 "e.jpg", "f.jpg", "Z.jpg", "_x.jpg", "ä.jpg", "ß.jpg", "10.jpg",
                                 "9.jpg", "Ærø.jpg", "東京.jpg", "ｆ.jpg"};
    for (const char* name : names)
        Picture(name);
    temp.MakeFolder("Ö");
    temp.MakeFolder("o");

    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    GiveBitmaps(catalog);

    // The reference: the listing sorted by comparing the names shown themselves.
    auto wide = [](const std::string& text) {
        std::wstring result(text.size() + 1, L'\0');
        result.resize(::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, result.data(), (int)result.size()) - 1);
        return result;
    };
    std::vector<const CFolderEntry*> expected;
    for (const CFolderEntry& entry : catalog.m_entries)
        expected.push_back(&entry);
    std::stable_sort(expected.begin(), expected.end(), [&](const CFolderEntry* x, const CFolderEntry* y) {
        if (x->IsFolder() != y->IsFolder())
            return x->IsFolder();
        return ::StrCmpLogicalW(wide(x->m_displayName).c_str(), wide(y->m_displayName).c_str()) < 0;
    });
    std::vector<const CFolderEntry*> actual;
    for (const CFolderEntry& entry : catalog.m_entries)
        actual.push_back(&entry);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(catalog.m_entries.size(), std::size(names) + 2);

    EXPECT_FALSE(catalog.Refresh()) << "every entry is found again";
    for (const CFolderEntry& entry : catalog.m_entries)
        EXPECT_NE(entry.m_thumbnail->Bitmap(), nullptr) << entry.m_path;
}

TEST_F(CatalogTest, EveryFileAndEveryShortcutHasItsOwnEntry)
{
    ASSERT_EQ(::lstrcmpiA("Straße.jpg", "Strasse.jpg"), 0) << "the sorting comparison finds these equal";
    const char* const names[] = {"Straße.jpg", "Strasse.jpg", "æble.jpg", "aeble.jpg", "co\xC2\xADop.jpg",
                                 "coop.jpg"};
    for (const char* name : names)
        Picture(name);
    const std::string target = Picture("p.jpg");
    WriteShortcut(temp / "x.lnk", target);
    WriteShortcut(temp / "y.lnk", target);

    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    std::vector<std::string> listed = Names(catalog);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Strasse", "Straße", "aeble", "coop", "co\xC2\xADop", "p", "x",
                                                "y", "æble"}));
    GiveBitmaps(catalog);
    EXPECT_FALSE(catalog.Refresh()) << "each file finds its own entry again";
    for (const CFolderEntry& entry : catalog.m_entries) {
        EXPECT_NE(entry.m_thumbnail->Bitmap(), nullptr) << entry.m_displayName;
        EXPECT_EQ(entry.m_displayName, DisplayNameOf(entry.ListedPath()));
    }
}

TEST(NameKey, EqualExactlyWhenTheFileSystemComparisonIsEqual)
{
    // Every character against its upper and lower case, as the locale sees them.
    auto utf8 = [](wchar_t c) {
        char text[8] = "";
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, &c, 1, text, sizeof text, nullptr, nullptr);
        return std::string(text, (size_t)std::max(n, 0));
    };
    int checked = 0;
    for (unsigned code = 1; code <= 0xFFFF; ++code) {
        const wchar_t c = (wchar_t)code;
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        for (const wchar_t other : {(wchar_t)(ULONG_PTR)::CharUpperW((LPWSTR)(ULONG_PTR)c),
                                    (wchar_t)(ULONG_PTR)::CharLowerW((LPWSTR)(ULONG_PTR)c)}) {
            if (other >= 0xD800 && other <= 0xDFFF)
                continue;
            const bool same = ::CompareStringOrdinal(&c, 1, &other, 1, TRUE) == CSTR_EQUAL;
            EXPECT_EQ(NameKey(utf8(c)) == NameKey(utf8(other)), same) << std::hex << code << " " << (int)other;
            ++checked;
        }
    }
    EXPECT_GT(checked, 100000);
    EXPECT_NE(NameKey("Straße.jpg"), NameKey("STRASSE.JPG"));
    EXPECT_EQ(NameKey("C:\\Fotos\\Ærø.JPG"), NameKey("c:\\fotos\\ærø.jpg"));
}

TEST_F(CatalogTest, AFolderThatCannotBeListedEmptiesTheCatalog)
{
    const std::string folder = temp.MakeFolder("gone");
    temp.WriteFile("gone\\a.jpg", "jpeg");
    CFolderCatalog catalog(EntryOf(folder));
    catalog.Refresh();
    ASSERT_EQ(catalog.m_entries.size(), 1u);
    RemoveTree(folder);
    EXPECT_TRUE(catalog.Refresh());
    EXPECT_TRUE(catalog.m_entries.empty());
    EXPECT_FALSE(catalog.Refresh());
}

TEST_F(CatalogTest, NewestFirstKeepsTheNewestUpToTheMaximum)
{
    TempFolder targets;
    for (int i = 0; i < 25; ++i) {
        const std::string target = targets.MakeFolder("folder" + std::to_string(i));
        // Written in a scrambled order so that listing order is not time order.
        const int minute = (i * 7) % 25;
        SetWriteTime(WriteShortcut(temp / ("folder" + std::to_string(i) + ".lnk"), target), TimeAt(minute));
    }
    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.m_sortOrder = SortNewestFirst;
    catalog.m_maxCount = 10;
    catalog.Refresh();

    auto expectNewestTen = [&] {
        ASSERT_EQ(catalog.m_entries.size(), 10u);
        int minute = 24;
        for (const CFolderEntry& entry : catalog.m_entries) {
            const FILETIME expected = TimeAt(minute--);
            EXPECT_EQ(entry.ListedTime(), (ULONGLONG)expected.dwHighDateTime << 32 | expected.dwLowDateTime)
                << "the shortcuts' own times order them, not their targets'";
        }
    };
    expectNewestTen();
    // The shortcuts cut off are listed again (and cut again) by every refresh.
    catalog.Refresh();
    expectNewestTen();
}

// Damaged shortcuts, seeded: listing, resolving and looking into them never
// crash or hang, and whatever is listed is a kind the pages know.
TEST_F(CatalogTest, MutatedShortcutsNeverCrashOrHang)
{
    Picture("album\\a.jpg");
    TempFolder made;
    const std::string originals[] = {
        ReadWholeFile(WriteShortcut(made / "folder.lnk", temp / "album")),
        ReadWholeFile(WriteShortcut(made / "picture.lnk", temp / "album\\a.jpg")),
        ReadWholeFile(WriteShortcut(made / "drive.lnk", "C:\\")),
    };
    const std::string listed = temp.MakeFolder("listed");
    std::mt19937 random(20250316);
    const DWORD start = ::GetTickCount();
    int rounds = 0;
    while (::GetTickCount() - start < 2000) {
        for (int i = 0; i < 4; ++i) {
            std::string bytes = originals[random() % 3];
            const int flips = 1 + (int)(random() % 8);
            for (int f = 0; f < flips; ++f)
                bytes[random() % bytes.size()] = (char)random();
            if (random() % 4 == 0)
                bytes.resize(random() % bytes.size());
            temp.WriteFile("listed\\" + std::to_string(i) + ".lnk", bytes);
        }
        CFolderCatalog catalog(EntryOf(listed));
        catalog.Refresh();
        for (CFolderEntry& entry : catalog.m_entries) {
            entry.FindFolderPicture();
            EXPECT_TRUE(entry.IsFile() || entry.IsFolder()) << "round " << rounds << " " << entry.m_path;
        }
        ++rounds;
    }
    EXPECT_GT(rounds, 10);
}

// Thumbnail workers still test names while the program's static objects
// are destroyed, so picture kinds are still told then. This check is made
// before the lists' first use below, hence destroyed after them, and fails
// the process; the lists are made with the trap set, so a freed one is seen.
struct PictureKindsToldAtExit {
    ~PictureKindsToldAtExit()
    {
        FreedMemoryTrap trap;
        const bool told = IsPicture("C:\\x.png") && IsPicture("C:\\x.JPEG") && !IsPicture("C:\\x.txt");
        if (!told || trap.Accesses()) {
            std::fputs("picture kinds are not told once static objects are destroyed\n", stderr);
            std::_Exit(1);
        }
    }
} g_pictureKindsToldAtExit;

const bool g_pictureKindsUsed = [] {
    FreedMemoryTrap trap;
    return IsPicture("C:\\x.png");
}();

TEST(HasExtension, AgreesWithTheCaseInsensitiveComparison)
{
    // Every printable character in every place of ".jpg", and a few beyond ASCII.
    std::vector<std::string> extensions = {".jpg", ".JPG", ".jpeg", ".jp", "", ".jpg.", ".ｊｐｇ",
                                           ".jpǵ", ".JPĞ", ".jpg\xC2\xA0"};
    for (size_t place = 0; place < 4; ++place) {
        for (char c = 0x20; c < 0x7F; ++c) {
            std::string ext = ".jpg";
            ext[place] = c;
            extensions.push_back(ext);
        }
    }
    for (const std::string& ext : extensions) {
        const std::string path = "C:\\photos\\picture" + ext;
        EXPECT_EQ(HasExtension(path, ".jpg"), ::lstrcmpiA(::PathFindExtensionA(path.c_str()), ".jpg") == 0)
            << path;
    }

    // A picture kind is the same comparison with each of its extensions.
    const std::vector<std::string> jpeg = {".jpg", ".jpeg", ".jpe", ".jfif"};
    std::vector<std::string> all = jpeg;
    all.insert(all.end(), OtherPictureExtensions().begin(), OtherPictureExtensions().end());
    std::vector<std::string> names = {"picture", "picture.", "picture.jpeg.txt", "picture.JPEGJPEGJPEGJPEGJPEG",
                                      "picture.ｐｎｇ", "picture.JPĘG", "picture.png\xC2\xA0", "pic.ture\\x.tif"};
    for (const std::string& ext : all) {
        for (size_t place = 1; place < ext.size(); ++place) {
            for (char c = 0x20; c < 0x7F; ++c) {
                std::string mutated = ext;
                mutated[place] = c;
                names.push_back("picture" + mutated);
            }
        }
    }
    auto anyOf = [](const std::string& path, const std::vector<std::string>& extensions) {
        return std::any_of(extensions.begin(), extensions.end(),
                           [&](const std::string& ext) { return HasExtension(path, ext.c_str()); });
    };
    for (const std::string& name : names) {
        const std::string path = "C:\\photos\\" + name;
        EXPECT_EQ(IsJpegPicture(path), anyOf(path, jpeg)) << path;
        EXPECT_EQ(IsPicture(path), anyOf(path, all)) << path;
    }
}

TEST(CompareEntries, NamesNumbersKindsAndTimes)
{
    CFolderCatalog byName(MakeEntry("C:\\x", nullptr, nullptr));
    auto entry = [&](const char* path, unsigned kind, ULONGLONG time, CFolderCatalog* owner) {
        FILETIME ft{(DWORD)time, (DWORD)(time >> 32)};
        CFolderEntry e = MakeEntry(path, &ft, owner);
        e.m_kind = kind;
        return e;
    };
    const CFolderEntry folder = entry("C:\\b", EntryFolder, 0, &byName);
    const CFolderEntry picture = entry("C:\\a.jpg", EntryFile, 0, &byName);
    EXPECT_GT(CompareEntries(folder, picture), 0) << "folders first";
    EXPECT_LT(CompareEntries(picture, folder), 0);
    EXPECT_EQ(CompareEntries(entry("C:\\A.JPG", EntryFile, 1, &byName), picture), 0) << "case is ignored";
    EXPECT_GT(CompareEntries(entry("9 b", EntryFile, 0, &byName), entry("10 a", EntryFile, 0, &byName)), 0)
        << "numbers compare as numbers";
    EXPECT_GT(CompareEntries(entry("C:\\IMG_2.jpg", EntryFile, 0, &byName),
                             entry("C:\\IMG_10.jpg", EntryFile, 0, &byName)), 0)
        << "within names too";
    EXPECT_GT(CompareEntries(entry("7a", EntryFile, 0, &byName), entry("7b", EntryFile, 0, &byName)), 0);
    EXPECT_GT(CompareEntries(entry("C:\\z\\a.jpg", EntryFile, 0, &byName),
                             entry("C:\\a\\b.jpg", EntryFile, 0, &byName)), 0)
        << "names, not paths";

    CFolderCatalog byTime(MakeEntry("C:\\x", nullptr, nullptr));
    byTime.m_sortOrder = SortNewestFirst;
    const CFolderEntry old = entry("C:\\z", EntryFolder, 5, &byTime);
    const CFolderEntry recent = entry("C:\\a", EntryFile, 0x8000000000000000ULL, &byTime);
    EXPECT_GT(CompareEntries(recent, old), 0) << "times compare unsigned, whatever the kind";
    EXPECT_LT(CompareEntries(old, recent), 0);
}

TEST_F(CatalogTest, FolderPictureIsFoundTwoLevelsDownButNotThree)
{
    const std::string shallow = temp.MakeFolder("near\\sub");
    temp.WriteFile("near\\sub\\notes.txt", "text");
    SetWriteTime(Picture("near\\sub\\p.TIFF"), TimeAt(42));
    temp.MakeFolder("far\\a\\b");
    Picture("far\\a\\b\\p.jpg");

    CFolderEntry nearEntry = EntryOf(temp / "near");
    nearEntry.FindFolderPicture();
    EXPECT_EQ(nearEntry.m_picturePath, shallow + "\\p.TIFF") << "pictures of any kind";
    EXPECT_EQ(nearEntry.Time(), (ULONGLONG)TimeAt(42).dwHighDateTime << 32 | TimeAt(42).dwLowDateTime);

    CFolderEntry farEntry = EntryOf(temp / "far");
    farEntry.FindFolderPicture();
    EXPECT_TRUE(farEntry.m_picturePath.empty());
}

TEST_F(CatalogTest, PictureFolderDecisionIsCachedAndNotCopied)
{
    const std::string folder = temp.MakeFolder("album");
    temp.MakeFolder("album\\old.jpg");
    temp.WriteFile("album\\notes.txt", "text");
    CFolderEntry entry = EntryOf(folder);
    entry.m_thumbnail = std::make_unique<CThumbnail>();
    EXPECT_FALSE(entry.HasPictures()) << "neither a folder nor another file is a picture";
    Picture("album\\new.Png");
    EXPECT_FALSE(entry.HasPictures()) << "asked once";

    CFolderEntry copy(entry);
    EXPECT_EQ(copy.m_thumbnail, nullptr);
    EXPECT_EQ(copy.m_picturePresence, -1);
    EXPECT_TRUE(copy.HasPictures());
    EXPECT_EQ(copy.m_path, entry.m_path);
    EXPECT_EQ(copy.m_kind, entry.m_kind);
}

TEST_F(CatalogTest, NamesBeyondTheOldCodePageKeepEveryCharacter)
{
    ASSERT_EQ(::GetACP(), 65001u) << "the program runs with the UTF-8 code page";
    const std::string folder = temp.MakeFolder("Tōkyō 東京");
    Picture("Tōkyō 東京\\夏.jpg");
    WriteShortcut(temp / "写真.lnk", folder + "\\夏.jpg");

    CFolderCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    ASSERT_EQ(Names(catalog), (std::vector<std::string>{"Tōkyō 東京", "写真"}));
    EXPECT_EQ(catalog.m_entries.back().m_path, folder + "\\夏.jpg");
    EXPECT_EQ(catalog.m_entries.back().m_kind, (unsigned)(EntryShortcut | EntryFile));

    CFolderCatalog inside(EntryOf(folder));
    inside.Refresh();
    EXPECT_EQ(Names(inside), (std::vector<std::string>{"夏"}));
    CFolderEntry tokyo = EntryOf(folder);
    tokyo.FindFolderPicture();
    EXPECT_EQ(tokyo.m_picturePath, folder + "\\夏.jpg");
}

} // namespace
