// Thumbnail cache files: what is written, byte for byte, and what is taken
// back, also from damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <unordered_set>
#include <utility>
#include <vector>

#include "cache_layout.h"
#include "catalog/sortedlisting.h"
#include "catalog/thumbnailcache.h"
#include "afxpath.h"
#include "file_times.h"
#include "folderpage/thumbnailscheduler.h"
#include "folder_entries.h"
#include "guarded_bytes.h"
#include "imaging/picture.h"
#include "imaging/wicdecode.h"
#include "jpeg_maker.h"
#include "open_handles.h"
#include "running_app.h"
#include "shell/settings.h"
#include "shortcuts.h"
#include "temp_folder.h"

namespace {

// A thumbnail bitmap of the given size, filled with one colour (blue, green, red bytes).
std::unique_ptr<CPixels> Thumbnail(int width, int height, unsigned char b, unsigned char g, unsigned char r)
{
    auto bitmap = std::make_unique<CPixels>(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bitmap->Row(y)[x * 3] = b;
            bitmap->Row(y)[x * 3 + 1] = g;
            bitmap->Row(y)[x * 3 + 2] = r;
        }
    }
    return bitmap;
}

// The first pixel of a thumbnail's bitmap: blue, green, red.
std::array<int, 3> FirstPixel(const CThumbnail& thumbnail)
{
    const BYTE* bits = thumbnail.Bitmap()->Row(0);
    return {bits[0], bits[1], bits[2]};
}

class CacheTest : public testing::Test {
protected:
    CacheTest() { g_settings.CacheFolder = cacheFolder.Path(); }
    ~CacheTest() override { g_settings.CacheFolder.clear(); }

    std::string Picture(const std::string& name, int minute)
    {
        const std::string path = pictures.WriteFile(name, "\xFF\xD8 not decoded here");
        SetWriteTime(path, TimeAt(minute));
        return path;
    }

    // A listed catalog of a folder (the pictures folder unless told) with a
    // thumbnail object for each entry.
    std::unique_ptr<CCachedCatalog> Listed(const std::string& path = "")
    {
        auto catalog = std::make_unique<CCachedCatalog>(EntryOf(path.empty() ? pictures.Path() : path));
        catalog->Refresh();
        for (CFolderEntry& entry : catalog->m_entries)
            entry.m_thumbnail = std::make_unique<CThumbnail>();
        return catalog;
    }

    CFolderEntry& Entry(CCachedCatalog& catalog, const std::string& name)
    {
        for (CFolderEntry& entry : catalog.m_entries) {
            if (entry.m_displayName == name)
                return entry;
        }
        throw std::runtime_error("no entry " + name);
    }

    std::string CacheFile() { return CacheFileName(pictures.Path()); }

    // Writes the catalog's thumbnails as the makers do when they end.
    static void Save(const CCachedCatalog& catalog, int box = kDesignThumbnailBox)
    {
        std::vector<ThumbnailRecord> records;
        for (const CFolderEntry& entry : catalog.m_entries)
            records.push_back(RecordOf(entry.m_path, entry.m_time, entry.m_kind, entry.m_thumbnail.get()));
        WriteThumbnailCache(catalog.m_folder.m_path, records, box);
    }

    // What the thumbnail makers give the catalog's entries from the cache
    // (the pictures here do not decode: nothing else is made).
    static void TakeFromCache(CCachedCatalog& catalog, int box = kDesignThumbnailBox, bool factsFirst = false)
    {
        CThumbnailScheduler makers;
        makers.Schedule(catalog.m_folder.m_path, ThumbnailJobsOf(catalog.m_entries), box, factsFirst);
        int done = 0, total = 0;
        EXPECT_TRUE(WaitUntil([&] { return !makers.Progress(&done, &total) && makers.FactsKnown(); }))
            << done << " of " << total;
    }

    // Writes thumbnails for a.jpg (red, 90x60) and b.jpg (green, 45x90).
    void WriteTwo()
    {
        auto catalog = Listed();
        Entry(*catalog, "a").m_thumbnail->ReplaceBitmap(Thumbnail(90, 60, 0, 0, 255));
        Entry(*catalog, "b").m_thumbnail->ReplaceBitmap(Thumbnail(45, 90, 0, 255, 0));
        Save(*catalog);
    }

    TempFolder pictures;
    TempFolder cacheFolder;
};

TEST_F(CacheTest, ThumbnailsComeBackWithTheirSizesAndByteOrder)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    WriteTwo();

    auto catalog = Listed();
    TakeFromCache(*catalog);
    const CThumbnail& a = *Entry(*catalog, "a").m_thumbnail;
    const CThumbnail& b = *Entry(*catalog, "b").m_thumbnail;
    ASSERT_NE(a.Bitmap(), nullptr);
    ASSERT_NE(b.Bitmap(), nullptr);
    EXPECT_EQ(a.m_width, 90);
    EXPECT_EQ(a.m_height, 60);
    EXPECT_EQ(b.m_width, 45);
    EXPECT_EQ(b.m_height, 90);
    const auto red = FirstPixel(a);
    EXPECT_LT(red[0], 16);
    EXPECT_GT(red[2], 240) << "blue, green, red bytes come back in their own order";
    const auto green = FirstPixel(b);
    EXPECT_GT(green[1], 240);
    EXPECT_LT(green[2], 16);
}

TEST_F(CacheTest, WrittenFileFollowsTheLayout)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    Picture("c.jpg", 3);
    auto catalog = Listed();
    Entry(*catalog, "a").m_thumbnail->ReplaceBitmap(Thumbnail(90, 60, 0, 0, 255));
    Entry(*catalog, "a").m_thumbnail->SetFacts(HeaderFacts{0x01DA9B0C12345678ull, {4000, 3000}});
    Entry(*catalog, "c").m_thumbnail.reset();  // no thumbnail object at all
    Save(*catalog);

    const std::string bytes = ReadWholeFile(CacheFile());
    ASSERT_GE(bytes.size(), 64u + 3 * 256);
    EXPECT_EQ(bytes.substr(0, 4), "QVLM");
    EXPECT_EQ(CacheWord(bytes, 4), kCacheVersion);
    EXPECT_EQ(CacheWord(bytes, 8), 3u * 256);
    EXPECT_EQ(CacheWord(bytes, 12), 64u);
    EXPECT_EQ(bytes.substr(16, 48), std::string(48, '\0'));

    const size_t data = 64 + 3 * 256;
    // a: a stream right after the directory.
    EXPECT_EQ(CacheWord(bytes, 64 + 4), data);
    const unsigned aLength = CacheWord(bytes, 64);
    EXPECT_GT(aLength, 100u);
    EXPECT_EQ(bytes.substr(data, 2), "\xFF\xD8");
    EXPECT_EQ(CacheWord(bytes, 64 + 8), TimeAt(1).dwLowDateTime);
    EXPECT_EQ(CacheWord(bytes, 64 + 12), TimeAt(1).dwHighDateTime);
    const std::string path = pictures / "a.jpg";
    EXPECT_EQ(bytes.substr(64 + 16, path.size()), path);
    EXPECT_EQ(bytes.substr(64 + 16 + path.size(), kCachePathField - path.size()),
              std::string(kCachePathField - path.size(), '\0'));
    EXPECT_EQ(CacheWord(bytes, 64 + kCacheRecordFacts), 0x12345678u);
    EXPECT_EQ(CacheWord(bytes, 64 + kCacheRecordFacts + 4), 0x01DA9B0Cu);
    EXPECT_EQ(CacheWord(bytes, 64 + kCacheRecordFacts + 8), 4000u);
    EXPECT_EQ(CacheWord(bytes, 64 + kCacheRecordFacts + 12), 3000u);
    // b's facts are not known: all zero.
    EXPECT_EQ(bytes.substr(320 + kCacheRecordFacts, 16), std::string(16, '\0'));
    // b: a thumbnail object without a bitmap: an empty stream where it would start.
    EXPECT_EQ(CacheWord(bytes, 320), 0u);
    EXPECT_EQ(CacheWord(bytes, 320 + 4), data + aLength);
    // c: no thumbnail object: no stream at all.
    EXPECT_EQ(CacheWord(bytes, 576), 0u);
    EXPECT_EQ(CacheWord(bytes, 576 + 4), 0u);
    EXPECT_EQ(bytes.size(), data + aLength);
}

TEST_F(CacheTest, ChangedAndRenamedPicturesAreMadeAgain)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    WriteTwo();

    SetWriteTime(pictures / "a.jpg", TimeAt(5));
    ASSERT_TRUE(::MoveFileA((pictures / "b.jpg").c_str(), (pictures / "renamed.jpg").c_str()));
    auto catalog = Listed();
    TakeFromCache(*catalog);
    EXPECT_EQ(Entry(*catalog, "a").m_thumbnail->Bitmap(), nullptr) << "a newer picture is made again";
    EXPECT_EQ(Entry(*catalog, "renamed").m_thumbnail->Bitmap(), nullptr);

    // The next write drops the old record; paths match whatever their case.
    Save(*catalog);
    const std::string bytes = ReadWholeFile(CacheFile());
    EXPECT_EQ(CacheWord(bytes, 8), 2u * 256);
    EXPECT_EQ(bytes.find("b.jpg"), std::string::npos);
}

TEST_F(CacheTest, APictureTheProgramRenamedKeepsItsThumbnailOverAnOldRecordOfItsNewName)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    WriteTwo();

    // b takes the name of a, which went: a's record, first in the file, is stale.
    ASSERT_TRUE(::DeleteFileA((pictures / "a.jpg").c_str()));
    ASSERT_TRUE(::MoveFileA((pictures / "b.jpg").c_str(), (pictures / "a.jpg").c_str()));
    RenameThumbnailRecord(pictures.Path(), pictures / "b.jpg", pictures / "a.jpg");
    auto catalog = Listed();
    TakeFromCache(*catalog);
    const CThumbnail& renamed = *Entry(*catalog, "a").m_thumbnail;
    ASSERT_NE(renamed.Bitmap(), nullptr) << "served from the cache: the picture does not decode";
    EXPECT_GT(FirstPixel(renamed)[1], 240) << "b's green";
}

TEST_F(CacheTest, ThumbnailsOfAnotherBoxAreMadeAgainForTheCurrentOne)
{
    // Made at 150 % (a 135-pixel box), the file says so; at 96 DPI its
    // thumbnails are made again, and read at 150 % they serve.
    Picture("a.jpg", 1);
    auto catalog = Listed();
    Entry(*catalog, "a").m_thumbnail->ReplaceBitmap(Thumbnail(135, 90, 0, 0, 255));
    Save(*catalog, 135);
    EXPECT_EQ(CacheWord(ReadWholeFile(CacheFile()), 16), 135u);

    catalog = Listed();
    TakeFromCache(*catalog);
    EXPECT_EQ(Entry(*catalog, "a").m_thumbnail->Bitmap(), nullptr) << "a 90-pixel box takes no 135-pixel thumbnail";
    catalog = Listed();
    TakeFromCache(*catalog, 135);
    ASSERT_NE(Entry(*catalog, "a").m_thumbnail->Bitmap(), nullptr);
    EXPECT_EQ(Entry(*catalog, "a").m_thumbnail->m_width, 135);

    // Every scale's file is read back, up to 500 %.
    for (const int box : {405, 450}) {
        catalog = Listed();
        Entry(*catalog, "a").m_thumbnail->ReplaceBitmap(Thumbnail(box, box / 2, 0, 0, 255));
        Save(*catalog, box);
        catalog = Listed();
        TakeFromCache(*catalog, box);
        ASSERT_NE(Entry(*catalog, "a").m_thumbnail->Bitmap(), nullptr) << box;
        EXPECT_EQ(Entry(*catalog, "a").m_thumbnail->m_width, box);
    }
}

// A scale change while the makers read the cache: the page ends with
// thumbnails for the new box, and the cache is written for it.
TEST_F(CacheTest, AScaleChangeDuringTheCacheReadEndsWithTheNewBox)
{
    // A cache slow to read (large streams), and a real picture among its
    // entries: 480x320 fits the 90 box as 90x60 and the 135 box as 135x90.
    constexpr int kPictures = 2500;
    JpegRecipe padded = SolidRecipe(90, 60, 0, 0, 250);
    padded.comment = std::string(60000, 'x');
    const std::string jpeg = MakeJpeg(padded);
    const auto stream = std::make_shared<const ThumbnailBytes>(jpeg.begin(), jpeg.end());
    std::vector<ThumbnailRecord> records;
    for (int i = 0; i < kPictures; ++i)
        records.push_back({Picture("p" + std::to_string(i) + ".jpg", 1), TimeAt(1), stream});
    SetWriteTime(pictures.WriteFile("real.jpg", MakeJpeg(SolidRecipe(480, 320, 250, 0, 0))), TimeAt(1));
    records.push_back({pictures / "real.jpg", TimeAt(1), stream});
    WriteThumbnailCache(pictures.Path(), records, 90);
    auto catalog = Listed();

    CThumbnailScheduler makers;
    makers.Schedule(pictures.Path(), ThumbnailJobsOf(catalog->m_entries), 90);
    // Once the makers hold the file open, the scale changes as the page
    // changes it: every thumbnail is dropped and scheduled for the new box.
    ASSERT_TRUE(WaitUntil([&] { return HoldsHandleOn(CacheFile()); }, 5000));
    for (CFolderEntry& entry : catalog->m_entries)
        entry.m_thumbnail->DiscardBitmap();
    makers.Schedule(pictures.Path(), ThumbnailJobsOf(catalog->m_entries), 135);
    int done = 0, total = 0;
    ASSERT_TRUE(WaitUntil([&] { return !makers.Progress(&done, &total); }, 30000)) << done << " of " << total;
    const CThumbnail& real = *Entry(*catalog, "real").m_thumbnail;
    ASSERT_TRUE(real.HasPicture());
    EXPECT_EQ(real.m_width, 135);
    EXPECT_EQ(real.m_height, 90);
    const auto oldBox = std::count_if(catalog->m_entries.begin(), catalog->m_entries.end(),
                                      [](const CFolderEntry& entry) { return entry.m_thumbnail->HasPicture(); });
    EXPECT_EQ(oldBox, 1) << "none served from the old box's cache";
    // Read as the program reads, sharing the file with its writer.
    const std::unordered_set<std::wstring> wanted{NameKey(pictures / "real.jpg")};
    EXPECT_TRUE(WaitUntil([&] { return ReadThumbnailCache(pictures.Path(), wanted, 135).size() == 1; }))
        << "written for the new box";
}

// Shortcuts to a picture and a folder on a disk that is not there show what
// the cache holds for them, and the makers' next write of the folder keeps it.
TEST_F(CacheTest, OfflineShortcutsShowTheirCachedThumbnailsAndWritesKeepThem)
{
    ASSERT_EQ(::GetDriveTypeA("R:\\"), (UINT)DRIVE_CDROM) << "the test environment maps R: to an empty drive";
    const std::string photo = "R:\\Photos\\x.jpg", album = "R:\\Photos";
    const CComOnThread com;  // shortcuts are written and resolved through COM
    for (const auto& [link, target] : {std::pair{"Photo.lnk", photo}, std::pair{"Album.lnk", album}})
        WriteShortcut(pictures / link, target);
    pictures.WriteFile("here.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 0, 250)));
    // What the makers wrote while the disk was there.
    CThumbnail red, green;
    red.ReplaceBitmap(Thumbnail(90, 60, 0, 0, 255));
    green.ReplaceBitmap(Thumbnail(60, 90, 0, 255, 0));
    WriteThumbnailCache(pictures.Path(), {RecordOf(photo, TimeAt(1), EntryFile, &red),
                                          RecordOf(album, TimeAt(2), EntryFolder, &green)}, kDesignThumbnailBox);

    auto catalog = Listed();
    EXPECT_EQ(Entry(*catalog, "Photo").m_kind, EntryShortcut | EntryOffline | EntryFile);
    EXPECT_EQ(Entry(*catalog, "Album").m_kind, EntryShortcut | EntryOffline | EntryFolder);
    TakeFromCache(*catalog);
    for (const auto& [name, colour] : {std::pair{"Photo", 2}, std::pair{"Album", 1}}) {
        const CThumbnail& thumbnail = *Entry(*catalog, name).m_thumbnail;
        ASSERT_NE(thumbnail.Bitmap(), nullptr) << name;
        EXPECT_GT(FirstPixel(thumbnail)[colour], 240) << name;
    }

    // here.jpg was made, so the makers wrote the file: the offline records stay.
    const std::unordered_set<std::wstring> wanted{NameKey(photo), NameKey(album), NameKey(pictures / "here.jpg")};
    ASSERT_TRUE(WaitUntil([&] { return ReadThumbnailCache(pictures.Path(), wanted, kDesignThumbnailBox).count(NameKey(pictures / "here.jpg")); }));
    EXPECT_EQ(ReadThumbnailCache(pictures.Path(), wanted, kDesignThumbnailBox).size(), 3u);

    // A file as the version before wrote it (no facts, the path's field to
    // the record's end) still serves them; here.jpg is made again, not
    // taken from its green record, and that write replaces the file.
    CThumbnail stale;
    stale.ReplaceBitmap(Thumbnail(64, 48, 0, 255, 0));
    WriteThumbnailCache(pictures.Path(), {RecordOf(photo, TimeAt(1), EntryFile, &red),
                                          RecordOf(album, TimeAt(2), EntryFolder, &green),
                                          RecordOf(pictures / "here.jpg", Entry(*catalog, "here").m_time, EntryFile, &stale)},
                        kDesignThumbnailBox);
    std::string earlier = ReadWholeFile(CacheFile());
    PutCacheWord(earlier, 4, kCacheVersion - 1);
    for (size_t record = kCacheHeader; record < kCacheHeader + CacheWord(earlier, 8); record += kCacheRecord)
        earlier.replace(record + kCacheRecordFacts, kCacheRecord - kCacheRecordFacts, kCacheRecord - kCacheRecordFacts, '\0');
    cacheFolder.WriteFile(CacheFile().substr(cacheFolder.Path().size() + 1), earlier);
    catalog = Listed();
    TakeFromCache(*catalog);
    for (const auto& [name, colour] : {std::pair{"Photo", 2}, std::pair{"Album", 1}}) {
        const CThumbnail& thumbnail = *Entry(*catalog, name).m_thumbnail;
        ASSERT_NE(thumbnail.Bitmap(), nullptr) << name << " from the version before";
        EXPECT_GT(FirstPixel(thumbnail)[colour], 240) << name;
    }
    ASSERT_NE(Entry(*catalog, "here").m_thumbnail->Bitmap(), nullptr);
    EXPECT_GT(FirstPixel(*Entry(*catalog, "here").m_thumbnail)[0], 200) << "the blue picture's own";
    EXPECT_TRUE(WaitUntil([&] { return CacheWord(ReadWholeFile(CacheFile()), 4) == kCacheVersion; }))
        << "here.jpg made again and written";
    EXPECT_EQ(ReadThumbnailCache(pictures.Path(), wanted, kDesignThumbnailBox).size(), 3u);
}

// A picture that cannot be read (held by another program, a share gone) is
// no damaged picture: it keeps the system's error, nothing is cached for it,
// and the makers' next turn, once the file reads, heals it.
TEST_F(CacheTest, APictureThatCannotBeReadIsNeverCachedAndHealsOnceTheFileReads)
{
    pictures.WriteFile("good.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 0, 250)));
    const std::string path = pictures.WriteFile("held.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 250, 0)));
    const std::unordered_set<std::wstring> wanted{NameKey(pictures / "good.jpg"), NameKey(path)};
    const auto cached = [&] { return ReadThumbnailCache(pictures.Path(), wanted, kDesignThumbnailBox); };
    HANDLE holder = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    auto catalog = Listed();
    const CThumbnail& held = *Entry(*catalog, "held").m_thumbnail;
    TakeFromCache(*catalog);
    EXPECT_EQ(held.ReadFailure(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(held.Bitmap(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return cached().size() == 1; }));
    EXPECT_EQ(cached().count(NameKey(path)), 0u);

    ::CloseHandle(holder);
    TakeFromCache(*catalog);  // as a refresh schedules the makers again
    EXPECT_EQ(held.ReadFailure(), 0u);
    EXPECT_NE(held.Bitmap(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return cached().size() == 2; }));
}

// A picture's facts come back with its thumbnail, and at another scale,
// whose thumbnails are made again, they still hold. The pictures here do
// not decode: their facts can only come from the file.
TEST_F(CacheTest, FactsComeBackWithTheirThumbnailsAlsoForAnotherBox)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    const HeaderFacts dated{0x01DA9B0C12345678ull, {4000, 3000}}, undated{0, {3000, 4000}};
    auto catalog = Listed();
    Entry(*catalog, "a").m_thumbnail->ReplaceBitmap(Thumbnail(90, 60, 0, 0, 255));
    Entry(*catalog, "a").m_thumbnail->SetFacts(dated);
    Entry(*catalog, "b").m_thumbnail->ReplaceBitmap(Thumbnail(45, 90, 0, 255, 0));
    Entry(*catalog, "b").m_thumbnail->SetFacts(undated);
    Save(*catalog);

    // Read as a page ordered by date reads it, the directory's facts first.
    std::vector<std::pair<std::string, ULONGLONG>> directory;
    ReadCachedFacts(pictures.Path(), 2, [&](const std::vector<CachedFacts>& records) {
        for (const CachedFacts& record : records)
            directory.emplace_back(record.path, record.facts.taken);
    });
    EXPECT_EQ(directory, (std::vector<std::pair<std::string, ULONGLONG>>{{pictures / "a.jpg", dated.taken},
                                                                          {pictures / "b.jpg", 0}}));
    for (const int box : {kDesignThumbnailBox, 135}) {
        catalog = Listed();
        TakeFromCache(*catalog, box, box != kDesignThumbnailBox);
        for (const auto& [name, facts] : {std::pair{"a", dated}, std::pair{"b", undated}}) {
            const CThumbnail& thumbnail = *Entry(*catalog, name).m_thumbnail;
            EXPECT_EQ(thumbnail.HasPicture(), box == kDesignThumbnailBox) << name << box;
            const HeaderFacts read = thumbnail.Facts().value_or(HeaderFacts{1, {-1, -1}});
            EXPECT_EQ(read.taken, facts.taken) << name << box;
            EXPECT_EQ(read.size.cx, facts.size.cx) << name << box;
            EXPECT_EQ(read.size.cy, facts.size.cy) << name << box;
        }
    }
}

// A writer that made fewer thumbnails (a page that went early, beside its
// successor) never takes away what the other wrote.
TEST_F(CacheTest, AFolderSortedByDateTakenAwayFromItsPageTakesTheDatesItsCacheKeeps)
{
    // Dated the reverse of their names; "c" written again since.
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        Picture(name, 1);
    auto catalog = Listed();
    for (CFolderEntry& entry : catalog->m_entries) {
        entry.m_thumbnail->ReplaceBitmap(Thumbnail(16, 16, 0, 0, 255));
        entry.m_thumbnail->SetFacts(HeaderFacts{(ULONGLONG)(100 - entry.m_displayName[0]), {16, 16}});
    }
    Save(*catalog);
    SetWriteTime(pictures / "c.jpg", TimeAt(2));
    CFolderCatalog listed(EntryOf(pictures.Path()));
    ListSorted(listed, SortByDateTaken, false);
    std::vector<std::string> names;
    for (const CFolderEntry& entry : listed.m_entries)
        names.push_back(entry.m_displayName);
    EXPECT_EQ(names, (std::vector<std::string>{"b", "a", "c"})) << "c by its time written, the latest";
}

TEST_F(CacheTest, TwoWritersOfOneFolderKeepEachOthersThumbnails)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    WriteTwo();
    auto late = Listed();
    Entry(*late, "b").m_thumbnail->ReplaceBitmap(Thumbnail(45, 90, 255, 0, 0));
    Save(*late);
    auto catalog = Listed();
    TakeFromCache(*catalog);
    ASSERT_NE(Entry(*catalog, "a").m_thumbnail->Bitmap(), nullptr) << "the first writer's";
    ASSERT_NE(Entry(*catalog, "b").m_thumbnail->Bitmap(), nullptr);
    EXPECT_GT(FirstPixel(*Entry(*catalog, "b").m_thumbnail)[0], 240) << "the later writer's own";
}

TEST_F(CacheTest, PathsTooLongForARecordAreStoredAsAStandInAndFoundAgain)
{
    // A 294-character picture path in a folder of 199.
    const std::string deep = pictures.MakeFolderOfLength(199);
    const std::string picture = PathOfLength(deep, 294);
    ASSERT_EQ(picture.size(), 294u);
    ASSERT_TRUE(FileExists(pictures.WriteFile(picture.substr(pictures.Path().size() + 1), "jpeg")));

    const auto catalog = Listed(deep);
    ASSERT_EQ(catalog->m_entries.size(), 1u);
    catalog->m_entries.front().m_thumbnail->ReplaceBitmap(Thumbnail(10, 10, 1, 2, 3));
    Save(*catalog);
    const std::string bytes = ReadWholeFile(CacheFileName(deep));
    ASSERT_GE(bytes.size(), 64u + 256u);
    const std::string field = bytes.substr(64 + 16, 240);
    EXPECT_EQ(field.find('\0'), 17u) << "'|' and 16 hex digits";
    EXPECT_EQ(field[0], '|');

    catalog->m_entries.front().m_thumbnail->DiscardBitmap();
    TakeFromCache(*catalog);
    EXPECT_NE(catalog->m_entries.front().m_thumbnail->Bitmap(), nullptr);
}

TEST_F(CacheTest, CacheNamesTooLongForAFileNameAreShortenedWithAHashOthersStayAsTheyWere)
{
    // The name a folder always had stays, up to the last one that fitted.
    const std::string fitting = pictures.MakeFolderOfLength(pictures.Path().size() + 30);
    std::string plain = fitting;
    for (char& c : plain)
        c = c == ':' || c == '\\' ? '_' : c;
    const std::string name = CacheFileName(fitting);
    EXPECT_EQ(name.substr(name.size() - 4 - plain.size() + 2), plain.substr(2) + ".tnc");

    // 100 CJK characters in two folders (no file system here takes 300
    // bytes in one name): past MAX_PATH in UTF-8 and past a file name's
    // length once flattened.
    const std::string cjk = pictures.MakeFolder(CjkName(50) + "\\" + CjkName(50).substr(3) + "\xE5\x86\x99");
    ASSERT_TRUE(FolderExists(cjk));
    const std::string shortened = CacheFileName(cjk);
    ASSERT_EQ(shortened.compare(0, cacheFolder.Path().size() + 1, cacheFolder.Path() + "\\"), 0);
    const std::string fileName = shortened.substr(cacheFolder.Path().size() + 1);
    EXPECT_LE(fileName.size() + 19, 255u) << "room for the writer's suffix";
    EXPECT_EQ(shortened, CacheFileName(cjk)) << "the same on every call";
    EXPECT_NE(shortened, CacheFileName(cjk + "2")) << "a hash of the whole path";

    Picture(CjkName(50) + "\\" + CjkName(50).substr(3) + "\xE5\x86\x99\\a.jpg", 1);
    const auto catalog = Listed(cjk);
    ASSERT_EQ(catalog->m_entries.size(), 1u);
    catalog->m_entries.front().m_thumbnail->ReplaceBitmap(Thumbnail(10, 10, 1, 2, 3));
    Save(*catalog);
    EXPECT_TRUE(FileExists(shortened));
    catalog->m_entries.front().m_thumbnail->DiscardBitmap();
    TakeFromCache(*catalog);
    EXPECT_NE(catalog->m_entries.front().m_thumbnail->Bitmap(), nullptr);
    ClearCache();
    EXPECT_FALSE(FileExists(shortened));
}

TEST_F(CacheTest, DamagedHeadersGiveNothing)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    WriteTwo();
    const std::string good = ReadWholeFile(CacheFile());
    const std::string name = CacheFile().substr(cacheFolder.Path().size() + 1);

    std::string magic = good;
    magic[0] = 'X';
    std::string version = good;
    PutCacheWord(version, 4, kCacheVersion + 1);
    // Thumbnails of an earlier build: picked, sideways, not colour-managed.
    std::string earlier = good;
    PutCacheWord(earlier, 4, 0x01000000);
    std::string empty = good;
    PutCacheWord(empty, 8, 0);
    std::string huge = good;
    PutCacheWord(huge, 8, 0x7FFFFF00);
    std::string offset = good;
    PutCacheWord(offset, 12, 0xFFFFFF00);
    for (const std::string& bad : {magic, version, earlier, empty, huge, offset, good.substr(0, 40), std::string()}) {
        cacheFolder.WriteFile(name, bad);
        auto catalog = Listed();
        TakeFromCache(*catalog);
        for (const CFolderEntry& entry : catalog->m_entries)
            EXPECT_EQ(entry.m_thumbnail->Bitmap(), nullptr);
    }
}

// A file really as long as its damaged header says: refused before its
// directory costs gigabytes of memory and seconds of reading.
TEST_F(CacheTest, AHugeDirectoryIsRefusedBeforeItIsRead)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    WriteTwo();
    const HANDLE file = ::CreateFileA(CacheFile().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const unsigned size = 0xFFFFFF00;
    LARGE_INTEGER at;
    at.QuadPart = 8;
    DWORD written = 0;
    bool ok = ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::WriteFile(file, &size, 4, &written, nullptr);
    at.QuadPart = 64 + (LONGLONG)size;  // sparse: no disk is spent on it
    ok = ok && ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    ASSERT_TRUE(ok);

    const DWORD start = ::GetTickCount();
    auto catalog = Listed();
    TakeFromCache(*catalog);
    EXPECT_LT(::GetTickCount() - start, 500u);
    EXPECT_EQ(Entry(*catalog, "a").m_thumbnail->Bitmap(), nullptr);
}

// A folder that has lost most of its pictures since its cache was written,
// past any fixed number of records: what is left is still read.
TEST_F(CacheTest, AFolderThatLostPicturesIsStillReadFromItsCache)
{
    constexpr unsigned kLeft = 1040, kWritten = 16500;
    std::vector<std::string> paths;
    const FILETIME time = TimeAt(1);
    for (unsigned i = 0; i < kWritten; ++i) {
        paths.push_back(pictures / ("p" + std::to_string(i) + ".jpg"));
        if (i >= kLeft)
            continue;
        const HANDLE file = ::CreateFileA(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ::SetFileTime(file, nullptr, nullptr, &time);
        ::CloseHandle(file);
    }
    // Every record shares one stream, as far as reading is concerned.
    std::string stream;
    {
        auto catalog = Listed();
        catalog->m_entries.front().m_thumbnail->ReplaceBitmap(Thumbnail(90, 60, 0, 0, 255));
        Save(*catalog);
        const std::string one = ReadWholeFile(CacheFile());
        stream = one.substr(CacheWord(one, 64 + 4), CacheWord(one, 64));
    }
    const size_t data = 64 + (size_t)kWritten * 256;
    std::string bytes(data, '\0');
    bytes.replace(0, 4, "QVLM");
    PutCacheWord(bytes, 4, kCacheVersion);
    PutCacheWord(bytes, 8, kWritten * 256);
    PutCacheWord(bytes, 12, 64);
    for (unsigned i = 0; i < kWritten; ++i) {
        const size_t record = 64 + (size_t)i * 256;
        PutCacheWord(bytes, record, (unsigned)stream.size());
        PutCacheWord(bytes, record + 4, (unsigned)data);
        PutCacheWord(bytes, record + 8, TimeAt(1).dwLowDateTime);
        PutCacheWord(bytes, record + 12, TimeAt(1).dwHighDateTime);
        bytes.replace(record + 16, paths[i].size(), paths[i]);
    }
    cacheFolder.WriteFile(CacheFile().substr(cacheFolder.Path().size() + 1), bytes + stream);

    auto catalog = Listed();
    ASSERT_EQ(catalog->m_entries.size(), kLeft);
    TakeFromCache(*catalog);
    size_t cached = 0;
    for (const CFolderEntry& entry : catalog->m_entries)
        cached += entry.m_thumbnail->Bitmap() != nullptr;
    EXPECT_EQ(cached, kLeft);
}

TEST_F(CacheTest, StreamsOutsideTheFileOrLargerThanAThumbnailAreRefused)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    WriteTwo();
    const std::string name = CacheFile().substr(cacheFolder.Path().size() + 1);
    std::string bytes = ReadWholeFile(CacheFile());
    PutCacheWord(bytes, 64 + 4, (unsigned)bytes.size() + 10);  // a's stream beyond the end

    // b's stream replaced by a picture of 400 by 300.
    JpegRecipe big;
    big.width = 400;
    big.height = 300;
    const std::string large = MakeJpeg(big);
    PutCacheWord(bytes, 320 + 4, (unsigned)bytes.size());
    PutCacheWord(bytes, 320, (unsigned)large.size());
    bytes += large;
    cacheFolder.WriteFile(name, bytes);

    auto catalog = Listed();
    TakeFromCache(*catalog);
    EXPECT_EQ(Entry(*catalog, "a").m_thumbnail->Bitmap(), nullptr);
    EXPECT_EQ(Entry(*catalog, "b").m_thumbnail->Bitmap(), nullptr);
}

// The first record of a path in a cache file's bytes, read here on its own.
struct RecordFound {
    bool found = false;
    unsigned length = 0, offset = 0;
    FILETIME time{0, 0};
};
RecordFound FirstRecordOf(const std::string& bytes, const std::string& path)
{
    RecordFound record;
    if (bytes.size() < 64)
        return record;
    const size_t size = CacheWord(bytes, 8), at = CacheWord(bytes, 12);
    for (size_t i = at; i + 256 <= bytes.size() && i + 256 <= at + size; i += 256) {
        const std::string field(bytes.data() + i + 16, strnlen(bytes.data() + i + 16, kCachePathField));
        if (NameKey(field) == NameKey(path))
            return {true, CacheWord(bytes, i), CacheWord(bytes, i + 4), FILETIME{CacheWord(bytes, i + 8), CacheWord(bytes, i + 12)}};
    }
    return record;
}

TEST_F(CacheTest, MutatedFilesGiveOnlyWhatTheirRecordsHoldAndNeverReadPastTheirEnd)
{
    for (int i = 0; i < 6; ++i)
        Picture("p" + std::to_string(i) + ".jpg", i);
    auto writer = Listed();
    int n = 0;
    for (CFolderEntry& entry : writer->m_entries)
        entry.m_thumbnail->ReplaceBitmap(Thumbnail(90, 30 + 10 * n++, 10, 20, 30));
    Save(*writer);
    const std::string good = ReadWholeFile(CacheFile());
    const std::string name = CacheFile().substr(cacheFolder.Path().size() + 1);
    std::unordered_set<std::wstring> wanted;
    std::vector<std::string> paths;
    for (const CFolderEntry& entry : writer->m_entries) {
        paths.push_back(entry.m_path);
        wanted.insert(NameKey(entry.m_path));
    }
    std::mt19937 random(20261207);
    const auto mutate = [&] {
        std::string bytes = good;
        const int flips = 1 + (int)(random() % 8);
        for (int f = 0; f < flips; ++f)
            bytes[random() % bytes.size()] = (char)random();
        if (random() % 4 == 0)
            bytes.resize(random() % bytes.size());
        return bytes;
    };

    // In memory, ending at a page with no access: a read past the end
    // faults. What comes back is a record's stream as this test reads the
    // record; an intact header and stream always come back.
    for (int round = 0; round < 20000; ++round) {
        const GuardedBytes bytes(mutate());
        const std::string seen = bytes.str();
        const CachedThumbnails cached = ReadThumbnailCacheBytes(bytes.data(), bytes.size(), wanted, kDesignThumbnailBox);
        const bool header = seen.size() >= 64 && seen.compare(0, 16, good, 0, 16) == 0
                            && seen.compare(16, 48, good, 16, 48) == 0;
        for (const std::string& path : paths) {
            const RecordFound record = FirstRecordOf(seen, path);
            const RecordFound original = FirstRecordOf(good, path);
            const auto found = cached.find(NameKey(path));
            if (found != cached.end()) {
                ASSERT_TRUE(record.found) << round;
                ASSERT_LE((size_t)record.offset + record.length, seen.size()) << round;
                EXPECT_EQ(std::string(found->second.jpeg->begin(), found->second.jpeg->end()),
                          seen.substr(record.offset, record.length)) << round;
                EXPECT_EQ(CompareFileTime(&found->second.time, &record.time), 0) << round;
            } else if (header && record.found && record.offset == original.offset && record.length == original.length
                       && (size_t)record.offset + record.length <= seen.size()
                       && seen.compare(record.offset, record.length, good, record.offset, record.length) == 0
                       && std::count(paths.begin(), paths.end(), path) == 1) {
                // A mutated name can make an earlier record claim the path.
                bool claimed = false;
                for (size_t i = 64; i + 256 <= 64 + CacheWord(good, 8) && i + 256 <= seen.size(); i += 256)
                    claimed |= seen.compare(i, 256, good, i, 256) != 0;
                EXPECT_TRUE(claimed) << round << " " << path << ": intact, yet not read";
            }
        }
    }

    // Through the makers, from the file: a bounded number of rounds.
    for (int round = 0; round < 100; ++round) {
        cacheFolder.WriteFile(name, mutate());
        auto catalog = Listed();
        TakeFromCache(*catalog);
        for (const CFolderEntry& entry : catalog->m_entries) {
            if (entry.m_thumbnail->Bitmap()) {
                EXPECT_LE(entry.m_thumbnail->m_width, 90);
                EXPECT_LE(entry.m_thumbnail->m_height, 90);
            }
        }
    }
}

TEST_F(CacheTest, FileNamesCarryTheVolumeSerial)
{
    DWORD serial = 0;
    ASSERT_TRUE(::GetVolumeInformationA("C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%8.8lx_", (unsigned long)serial);
    EXPECT_EQ(CacheFileName("C:\\Photos\\2002"), cacheFolder / (std::string(prefix) + "Photos_2002.tnc"));
    EXPECT_EQ(CacheFileName("\\\\server\\share\\pics"), cacheFolder / "__server_share_pics.tnc");
    // With the long-path prefix a folder is the same folder ('?' may not be in a file name).
    EXPECT_EQ(CacheFileName("\\\\?\\UNC\\server\\share\\pics"), cacheFolder / "__server_share_pics.tnc");
    EXPECT_EQ(CacheFileName("\\\\?\\C:\\Photos\\2002"), CacheFileName("C:\\Photos\\2002"));
    // A drive letter with no volume behind it keeps its letter.
    char missing = 0;
    const DWORD drives = ::GetLogicalDrives();
    for (char letter = 'Q'; letter >= 'D' && !missing; --letter) {
        if (!(drives & (1u << (letter - 'A'))))
            missing = letter;
    }
    ASSERT_NE(missing, 0);
    EXPECT_EQ(CacheFileName(std::string(1, missing) + ":\\Trip/2002"),
              cacheFolder / (std::string(1, missing) + "__Trip_2002.tnc"));
}

TEST_F(CacheTest, ClearCacheDeletesOnlyCacheFiles)
{
    Picture("a.jpg", 1);
    Picture("b.jpg", 2);
    WriteTwo();
    cacheFolder.WriteFile("other.txt", "keep");
    cacheFolder.MakeFolder("folder.tnc");
    ClearCache();
    EXPECT_FALSE(FileExists(CacheFile()));
    EXPECT_TRUE(FileExists(cacheFolder / "other.txt"));
    EXPECT_TRUE(FolderExists(cacheFolder / "folder.tnc"));

    auto catalog = Listed();
    TakeFromCache(*catalog);
    EXPECT_EQ(Entry(*catalog, "a").m_thumbnail->Bitmap(), nullptr);
}

} // namespace
