// The folder page: its grid, its painting on screen and paper, and the
// worker that fills its thumbnails, inside the running application.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <new>
#include <thread>
#include <vector>

#include "afxpath.h"
#include "app/vemolyapp.h"
#include "cache_layout.h"
#include "colours.h"
#include "catalog/thumbnail.h"
#include "catalog/thumbnailcache.h"
#include "core/navigator.h"
#include "dc.h"
#include "file_times.h"
#include "folder_entries.h"
#include "folder_pages.h"
#include "high_contrast.h"
#include "folderpage/folderpage.h"
#include "folderpage/thumbnailscheduler.h"
#include "imaging/drawing.h"
#include "imaging/picture.h"
#include "jpeg_files.h"
#include "jpeg_maker.h"
#include "open_handles.h"
#include "res/drawing_resources.h"
#include "running_app.h"
#include "temp_folder.h"
#include "view/vemolyview.h"

// Allocation failure on demand: once armed, the first allocation that a
// thumbnail maker makes while it makes a picture's pixels throws, as when
// memory runs out there. The maker is told by its stack, which holds a
// frame of MakeThumbnailPixels; no other thread calls it. Linked into this
// test program only.
std::atomic<bool> g_failInMaker{false};
std::atomic<DWORD> g_failedOn{0};

namespace {

// Whether a return address on this thread's stack lies in the function.
bool CalledFrom(const void* function)
{
    DWORD64 base = 0;
    const RUNTIME_FUNCTION* entry = ::RtlLookupFunctionEntry((DWORD64)function, &base, nullptr);
    if (!entry)
        return false;
    const DWORD64 begin = base + entry->BeginAddress, end = base + entry->EndAddress;
    void* frames[64];
    const USHORT count = ::RtlCaptureStackBackTrace(1, 64, frames, nullptr);
    for (USHORT i = 0; i < count; ++i)
        if ((DWORD64)frames[i] > begin && (DWORD64)frames[i] <= end)
            return true;
    return false;
}

}  // namespace

void* operator new(size_t size)
{
    if (g_failInMaker.load() && CalledFrom((const void*)&MakeThumbnailPixels)) {
        bool armed = true;
        if (g_failInMaker.compare_exchange_strong(armed, false)) {
            g_failedOn = ::GetCurrentThreadId();
            throw std::bad_alloc();
        }
    }
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, size_t) noexcept
{
    std::free(block);
}

namespace {

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

// A 24-bit canvas to paint cells on, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) : m_bitmap(CreatePictureDib(width, height))
    {
        m_dc.CreateCompatibleDC(nullptr);
        m_old = m_dc.SelectObject(m_bitmap);
        CRect all(0, 0, width, height);
        m_dc.FillSolidRect(&all, fill);
    }
    ~Canvas()
    {
        m_dc.SelectObject(m_old);
        ::DeleteObject(m_bitmap);
    }
    CDC& Dc() { return m_dc; }
    COLORREF At(int x, int y) { return ::GetPixel(m_dc.m_hDC, x, y); }
    // Every pixel of a rectangle, row by row.
    std::vector<COLORREF> Area(const RECT& r)
    {
        std::vector<COLORREF> pixels;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                pixels.push_back(At(x, y));
        return pixels;
    }

private:
    CDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

std::unique_ptr<CPixels> SolidThumbnail(int width, int height, COLORREF color)
{
    auto bitmap = std::make_unique<CPixels>(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bitmap->Row(y)[x * 3] = GetBValue(color);
            bitmap->Row(y)[x * 3 + 1] = GetGValue(color);
            bitmap->Row(y)[x * 3 + 2] = GetRValue(color);
        }
    }
    return bitmap;
}

size_t BitmapCount(CFolderPage& page)
{
    size_t count = 0;
    for (const CFolderEntry& entry : page.Catalog().m_entries)
        count += entry.m_thumbnail && entry.m_thumbnail->Bitmap();
    return count;
}

// ---------------------------------------------------------------- layout

class FolderLayout : public testing::Test {
protected:
    std::unique_ptr<CFolderPage> PageWith(int pictures)
    {
        for (int i = 0; i < pictures; ++i)
            temp.WriteFile("p" + std::to_string(i) + ".jpg", "jpeg");
        auto page = std::make_unique<CFolderPage>(EntryOf(temp.Path()));
        page->Load();
        return page;
    }
    TempFolder temp;
};

TEST_F(FolderLayout, ColumnsFollowTheWidthButNeverDropBelowOne)
{
    auto page = PageWith(3);
    const std::map<int, int> expected = {{149, 1}, {150, 1}, {279, 1}, {280, 2}, {800, 6}};
    for (const auto& [width, columns] : expected) {
        const CRect area(0, 0, width, 600);
        page->Layout(&area);
        int onFirstRow = 0;
        for (const CFolderEntry& entry : page->Catalog().m_entries)
            onFirstRow += entry.m_thumbnail->m_cell.top == 42;
        EXPECT_EQ(onFirstRow, std::min(columns, 3)) << width;
    }
}

TEST_F(FolderLayout, CellsAndExtentOfAFullGrid)
{
    auto page = PageWith(13);
    const CRect area(0, 0, 800, 300);
    const CSize extent = page->Layout(&area);
    EXPECT_EQ(extent.cx, 800);
    EXPECT_EQ(extent.cy, 492);
    const CFolderEntry& last = page->Catalog().m_entries.back();
    EXPECT_EQ(CRect(last.m_thumbnail->m_cell), CRect(10, 342, 130, 482)) << "13th cell: row 2, column 0";
    const CFolderEntry& seventh = *std::next(page->Catalog().m_entries.begin(), 5);
    EXPECT_EQ(CRect(seventh.m_thumbnail->m_cell), CRect(660, 42, 780, 182));
}

TEST_F(FolderLayout, EmptyFolderReturnsTheAreaItself)
{
    auto page = PageWith(0);
    const CRect area(0, 0, 640, 480);
    EXPECT_EQ(page->Layout(&area), CSize(640, 480));
    EXPECT_EQ(page->GetTitle(), temp.Path().substr(temp.Path().rfind('\\') + 1));
}

TEST(FolderPageLifetime, AMissingFolderHasNoWatcherAndGoesAtOnce)
{
    TempFolder temp;
    const DWORD start = ::GetTickCount();
    {
        CFolderPage page(EntryOf(temp / "missing"));
        page.Load();
        page.Start();
        EXPECT_TRUE(page.Catalog().m_entries.empty());
    }
    EXPECT_LT(::GetTickCount() - start, 1000u);
}

// ---------------------------------------------------------------- painting

class FolderPainting : public testing::Test {
protected:
    FolderPainting()
    {
        temp.WriteFile("a.jpg", "jpeg");
        withPictures = temp.MakeFolder("album");
        temp.WriteFile("album\\x.jpg", "jpeg");
        temp.MakeFolder("empty");
        page = std::make_unique<CFolderPage>(EntryOf(temp.Path()));
        page->Load();
        const CRect area(0, 0, 800, 600);
        page->Layout(&area);
    }

    CFolderEntry& Entry(const std::string& name)
    {
        for (CFolderEntry& entry : page->Catalog().m_entries)
            if (entry.m_displayName == name)
                return entry;
        throw std::runtime_error(name);
    }

    // The cell of the entry painted at (0, 0) of a fresh canvas.
    std::vector<COLORREF> Paint(CFolderEntry& entry, int part, bool printing, RECT region)
    {
        Canvas canvas(130, 150, printing ? RGB(255, 255, 255) : RGB(0, 0, 0));
        canvas.Dc().m_bPrinting = printing;
        HGDIOBJ font = canvas.Dc().SelectObject(g_resources.GetCellFont());
        canvas.Dc().SetTextColor(TextColorFor(&canvas.Dc()));
        canvas.Dc().SetBkMode(TRANSPARENT);
        entry.m_thumbnail->m_cell = CRect(0, 0, 120, 140);
        page->DrawCell(&canvas.Dc(), entry, *entry.m_thumbnail, part);
        canvas.Dc().SelectObject(font);
        return canvas.Area(region);
    }

    TempFolder temp;
    std::string withPictures;
    std::unique_ptr<CFolderPage> page;
};

TEST_F(FolderPainting, ThumbnailIsCentredBelowTheCellTop)
{
    CFolderEntry& a = Entry("a");
    a.m_thumbnail->ReplaceBitmap(SolidThumbnail(90, 60, RGB(255, 0, 255)), 90, 60);
    ASSERT_EQ(CRect(a.m_thumbnail->m_cell).TopLeft(), CPoint(10 + 130 * 2, 42)) << "after two folders";
    a.m_thumbnail->m_cell = CRect(10, 42, 130, 182);
    Canvas canvas(300, 300, RGB(0, 0, 0));
    page->DrawCell(&canvas.Dc(), a, *a.m_thumbnail, PartNone);
    EXPECT_EQ(canvas.At(25, 78), RGB(255, 0, 255));
    EXPECT_EQ(canvas.At(114, 137), RGB(255, 0, 255));
    EXPECT_NE(canvas.At(24, 78), RGB(255, 0, 255));
    EXPECT_NE(canvas.At(25, 77), RGB(255, 0, 255));
    EXPECT_NE(canvas.At(115, 138), RGB(255, 0, 255));
}

TEST_F(FolderPainting, PaperGetsPrintIconsBlackTextAndNoOverlays)
{
    CFolderEntry& a = Entry("a");
    const CRect whole(0, 0, 120, 140);
    const std::vector<COLORREF> plainScreen = Paint(a, PartNone, false, whole);
    const std::vector<COLORREF> plainPaper = Paint(a, PartNone, true, whole);
    a.m_kind = EntryShortcut | EntryOffline | EntryFile;
    EXPECT_NE(Paint(a, PartNone, false, whole), plainScreen) << "overlays on screen";
    EXPECT_EQ(Paint(a, PartNone, true, whole), plainPaper) << "none on paper";
    EXPECT_NE(plainScreen, plainPaper);

    const CRect caption(0, 120, 120, 140);
    const std::vector<COLORREF> paperText = Paint(a, PartNone, true, caption);
    const std::vector<COLORREF> screenText = Paint(a, PartNone, false, caption);
    EXPECT_NE(std::count(paperText.begin(), paperText.end(), RGB(0, 0, 0)), 0);
    EXPECT_EQ(std::count(paperText.begin(), paperText.end(), RGB(192, 192, 192)), 0);
    EXPECT_NE(std::count(screenText.begin(), screenText.end(), RGB(192, 192, 192)), 0);

    // A picture that could not be read is marked in the system's colours,
    // and its tip gives the system's reason; paper gets neither.
    a.m_kind = EntryFile;
    const std::vector<COLORREF> readable = Paint(a, PartNone, false, whole);
    a.m_thumbnail->SetReadFailure(ERROR_LOCK_VIOLATION);
    const std::vector<COLORREF> marked = Paint(a, PartNone, false, whole);
    EXPECT_GT(std::count(marked.begin(), marked.end(), ::GetSysColor(COLOR_WINDOWTEXT)),
              std::count(readable.begin(), readable.end(), ::GetSysColor(COLOR_WINDOWTEXT)) + 100);
    EXPECT_EQ(Paint(a, PartNone, true, whole), plainPaper);
    wchar_t reason[256];
    ASSERT_NE(::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_LOCK_VIOLATION, 0, reason, 256, nullptr), 0u);
    std::string said = AfxUtf8(reason);
    said.erase(said.find_last_not_of("\r\n ") + 1);
    EXPECT_NE(page->InfoTipText(a).find("Could not be read: " + said), std::string::npos) << page->InfoTipText(a);
}

TEST_F(FolderPainting, BadgeFollowsTheHoverPartAndThePictures)
{
    const CRect badge(96, 12, 120, 36);
    CFolderEntry& album = Entry("album");
    const std::vector<COLORREF> none = Paint(album, PartNone, false, badge);
    const std::vector<COLORREF> cell = Paint(album, PartCell, false, badge);
    const std::vector<COLORREF> onBadge = Paint(album, PartBadge, false, badge);
    EXPECT_NE(cell, none);
    EXPECT_NE(onBadge, cell);
    EXPECT_NE(onBadge, none);

    CFolderEntry& empty = Entry("empty");
    const std::vector<COLORREF> emptyCell = Paint(empty, PartCell, false, badge);
    EXPECT_EQ(Paint(empty, PartBadge, false, badge), emptyCell) << "no pictures: image 2 either way";
    EXPECT_NE(emptyCell, cell);

    CFolderEntry& picture = Entry("a");
    EXPECT_EQ(Paint(picture, PartBadge, false, badge), Paint(picture, PartNone, false, badge))
        << "pictures never show a badge";
}

// Names that fit are drawn as they always were: the walkthrough's names.
TEST_F(FolderPainting, ACaptionTooWideKeepsItsStartAndItsEndAroundAnEllipsis)
{
    Canvas canvas(1, 1, RGB(0, 0, 0));
    canvas.Dc().SelectObject(g_resources.GetCellFont());
    const std::string name = "PXL_20240501_101500123.PORTRAIT";
    const std::string fitted = FitBothEnds(&canvas.Dc(), name, 120);
    CRect drawn(0, 0, 120, 20);
    canvas.Dc().DrawText(fitted, &drawn, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_LE(drawn.Width(), 120);
    EXPECT_TRUE(fitted.starts_with("PXL_2") && fitted.ends_with("PORTRAIT") && fitted.find("\u2026") != fitted.npos)
        << fitted;
    CFolderEntry& a = Entry("a");
    a.m_displayName = fitted;
    const std::vector<COLORREF> fittedCaption = Paint(a, PartNone, false, CRect(0, 120, 120, 140));
    a.m_displayName = name;
    EXPECT_EQ(Paint(a, PartNone, false, CRect(0, 120, 120, 140)), fittedCaption);
}

// ---------------------------------------------------------------- the worker

class FolderWorker : public testing::Test {
protected:
    ~FolderWorker() override { BackToHome(); }

    void MakePictures(int count, int width, int height)
    {
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%03d.jpg", i);
            WriteJpeg(temp, name, PhotoRecipe(width, height, (unsigned)i + 1));
        }
    }

    TempFolder temp;
};

TEST_F(FolderWorker, ShowsEveryCellAtOnceThenFillsThemAllAndComesBackFromTheCache)
{
    MakePictures(200, 64, 48);
    CFolderPage* page = OpenFolderPage(temp.Path());
    ASSERT_EQ(page->Catalog().m_entries.size(), 200u);
    for (const CFolderEntry& entry : page->Catalog().m_entries) {
        ASSERT_NE(entry.m_thumbnail, nullptr);
        EXPECT_FALSE(CRect(entry.m_thumbnail->m_cell).IsRectEmpty()) << "laid out before any decode";
    }
    ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 200; }));
    const std::string cacheFile = CacheFileName(temp.Path());
    ASSERT_TRUE(WaitUntil([&] { return FileExists(cacheFile) && ReadWholeFile(cacheFile).size() > kCacheHeader + 200 * kCacheRecord; }));
    for (const CFolderEntry& entry : page->Catalog().m_entries) {
        EXPECT_EQ(entry.m_thumbnail->m_width, 90);
        EXPECT_EQ(entry.m_thumbnail->m_height, 67);
    }

    // A new page for the folder, as after a restart, with every picture
    // locked away: whatever it shows can only come from the cache.
    BackToHome();
    std::vector<HANDLE> locks;
    for (int i = 0; i < 200; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%03d.jpg", i);
        locks.push_back(::CreateFileA((temp / name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(locks.back(), INVALID_HANDLE_VALUE);
    }
    CFolderPage* again = OpenFolderPage(temp.Path());
    const bool allCached = WaitUntil([&] { return BitmapCount(*again) == 200; }, 5000);
    for (HANDLE lock : locks)
        ::CloseHandle(lock);
    EXPECT_TRUE(allCached) << BitmapCount(*again) << " of 200 from the cache";
}

TEST_F(FolderWorker, PicturesDeepInLongOrCjkFoldersGetThumbnailsAndComeBackFromTheCache)
{
    // A 294-character picture path in a folder of 199, and a folder path of
    // 100 CJK characters (two folders: no file system here takes 300 bytes
    // in one name).
    const std::string deep = temp.MakeFolderOfLength(199);
    WriteJpeg(temp, PathOfLength(deep, 294).substr(temp.Path().size() + 1), PhotoRecipe(64, 48, 1));
    const std::string cjk = temp.MakeFolder(CjkName(50) + "\\" + CjkName(50));
    WriteJpeg(temp, CjkName(50) + "\\" + CjkName(50) + "\\" + CjkName(3) + ".jpg", PhotoRecipe(64, 48, 2));
    const std::string pictures[] = {PathOfLength(deep, 294), cjk + "\\" + CjkName(3) + ".jpg"};
    for (const std::string& folder : {deep, cjk}) {
        SCOPED_TRACE(folder.size());
        CFolderPage* page = OpenFolderPage(folder);
        ASSERT_EQ(page->Catalog().m_entries.size(), 1u);
        EXPECT_EQ(page->Catalog().m_entries.front().m_path, pictures[folder == cjk]);
        ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 1; }));
        const std::string cacheFile = CacheFileName(folder);
        ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(cacheFile).size() > kCacheHeader + kCacheRecord; }));

        // Again with the picture locked away: only the cache can show it.
        const std::string picture = page->Catalog().m_entries.front().m_path;
        BackToHome();
        const HANDLE lock = ::CreateFileW(DiskPath(picture).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        CFolderPage* again = OpenFolderPage(folder);
        const bool cached = WaitUntil([&] { return BitmapCount(*again) == 1; }, 5000);
        ::CloseHandle(lock);
        EXPECT_TRUE(cached);
    }
}

TEST_F(FolderWorker, LeavingThePageStopsTheWorkerAndComingBackFinishesIt)
{
    MakePictures(60, 2000, 1500);
    CFolderPage* page = OpenFolderPage(temp.Path());
    ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) >= 5; }, 30000));
    g_navigator.Home();
    const size_t atLeave = BitmapCount(*page);
    ::Sleep(1500);
    const size_t afterLeave = BitmapCount(*page);
    EXPECT_LE(afterLeave, atLeave + 1) << "only the picture under way is finished";
    EXPECT_LT(afterLeave, 60u);
    EXPECT_TRUE(page->Catalog().m_needsRefresh);

    g_navigator.Forward();
    EXPECT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 60; }, 60000));
}

TEST_F(FolderWorker, APageNotShownHoldsNothingInItsFolderAndListsItAgainWhenShown)
{
    MakePictures(2, 64, 48);
    CFolderPage* page = OpenFolderPage(temp.Path());
    ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 2; }));
    EXPECT_TRUE(HoldsHandleOn(temp.Path())) << "watched while shown";
    g_navigator.Home();
    EXPECT_FALSE(HoldsHandleOn(temp.Path())) << "a disk that could be ejected";
    MakePictures(3, 64, 48);
    g_navigator.Forward();
    EXPECT_EQ(page->Catalog().m_entries.size(), 3u) << "what changed meanwhile shows at once";
    ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 3; }));
    EXPECT_TRUE(HoldsHandleOn(temp.Path())) << "watched again";
}

TEST_F(FolderWorker, ARemovalQueryFreesTheFolderBeforeItIsAnsweredAndAFailedRemovalTakesItAllUpAgain)
{
    // Progressive: each is read whole before its first row is decoded.
    for (int i = 0; i < 16; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%03d.jpg", i);
        JpegRecipe recipe = PhotoRecipe(3000, 2000, (unsigned)i + 1);
        recipe.progressive = true;
        WriteJpeg(temp, name, recipe);
    }
    CFolderPage* page = OpenFolderPage(temp.Path());
    ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) >= 2; }, 30000));
    ASSERT_LT(BitmapCount(*page), 16u) << "the makers are still reading";

    // The system asks through the handles registered for the drive, here
    // the watcher's directory.
    const std::vector<HANDLE> handles = HandlesOn(temp.Path());
    ASSERT_FALSE(handles.empty());
    const HWND frame = theApp.m_pMainWnd->m_hWnd;
    for (HANDLE handle : handles) {
        DEV_BROADCAST_HANDLE query = BroadcastFor(handle);
        ::SendMessageW(frame, WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, (LPARAM)&query);
    }
    // Answered: every picture can be taken exclusively at once, as a
    // volume is locked for removal.
    int refused = 0;
    for (int i = 0; i < 16; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%03d.jpg", i);
        const HANDLE lock = ::CreateFileA((temp / name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        refused += lock == INVALID_HANDLE_VALUE;
        if (lock != INVALID_HANDLE_VALUE)
            ::CloseHandle(lock);
    }
    EXPECT_EQ(refused, 0) << "pictures still open after the answer";
    EXPECT_FALSE(HoldsHandleOn(temp.Path())) << "the watcher's handles";
    const size_t made = BitmapCount(*page);
    PumpMessages();
    EXPECT_FALSE(HoldsHandleOn(temp.Path())) << "nothing taken up again while the removal is pending";

    // The removal failed: watched again, and the makers finish.
    DEV_BROADCAST_HANDLE failed = BroadcastFor(handles.front());
    ::SendMessageW(frame, WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVEFAILED, (LPARAM)&failed);
    EXPECT_TRUE(HoldsHandleOn(temp.Path()));
    EXPECT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 16; }, 60000)) << made << " made before the query";
    WriteJpeg(temp, "IMG_new.jpg", PhotoRecipe(64, 48, 99));
    EXPECT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 17; }, 10000)) << "a change seen by the watcher again";
}

TEST_F(FolderWorker, APictureCopiedInAppearsAtTheNextTickOthersKeepTheirBitmaps)
{
    MakePictures(5, 64, 48);
    CFolderPage* page = OpenFolderPage(temp.Path());
    ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 5; }));
    std::map<std::string, const CPixels*> before;
    for (const CFolderEntry& entry : page->Catalog().m_entries)
        before[entry.m_path] = entry.m_thumbnail->Bitmap();

    JpegRecipe recipe;
    WriteJpeg(temp, "IMG_new.jpg", recipe);
    ASSERT_TRUE(WaitUntil([&] { return page->Catalog().m_needsRefresh.load(); }, 2000)) << "the watcher saw it";
    CVemolyView* view = CVemolyView::GetActive();
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    view->SendMessage(WM_TIMER, CVemolyView::kTickTimer);
    ASSERT_EQ(page->Catalog().m_entries.size(), 6u);
    ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 6; }));
    for (const CFolderEntry& entry : page->Catalog().m_entries) {
        if (before.count(entry.m_path)) {
            EXPECT_EQ(entry.m_thumbnail->Bitmap(), before[entry.m_path]) << entry.m_path;
        }
    }
}

TEST_F(FolderWorker, AnotherProgramCanRenameAPictureWhileItsThumbnailIsMade)
{
    MakePictures(1, 2000, 1500);
    const std::string path = temp / "IMG_000.jpg";
    const std::string moved = temp / "moved.jpg";
    const CFolderEntry entry = EntryOf(path);
    std::atomic<bool> stop{false};
    std::atomic<int> made{0};
    std::thread decoder([&] {
        while (!stop) {
            CThumbnail thumbnail;
            try {
                thumbnail.LoadBitmap(entry);
                made += thumbnail.Bitmap() != nullptr;
            } catch (DWORD) {
                // renamed away just then
            }
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return made > 0; }));
    int renames = 0, refused = 0;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 1000) {
        if (::MoveFileA(path.c_str(), moved.c_str())) {
            ++renames;
            ::MoveFileA(moved.c_str(), path.c_str());
        } else {
            refused += ::GetLastError() == ERROR_SHARING_VIOLATION;
        }
    }
    stop = true;
    decoder.join();
    EXPECT_EQ(refused, 0) << renames << " renames went through";
    EXPECT_GT(renames, 10);
    EXPECT_TRUE(::DeleteFileA(FileExists(path) ? path.c_str() : moved.c_str()));
}

TEST_F(FolderWorker, ThumbnailSizesInkAndAPictureTheLibraryCannotRead)
{
    JpegRecipe small;
    small.width = 45;
    small.height = 30;
    WriteJpeg(temp, "a_small.jpg", small);
    JpegRecipe tall;
    tall.width = 600;
    tall.height = 800;
    WriteJpeg(temp, "b_tall.jpg", tall);
    JpegRecipe cmyk;
    cmyk.kind = JpegKind::Cmyk;
    cmyk.width = 80;
    cmyk.height = 40;
    WriteJpeg(temp, "c_cmyk.jpg", cmyk);
    temp.WriteFile("d_broken.jpg", "not a picture at all");
    WriteJpeg(temp, "e_sliver.jpg", SolidRecipe(65000, 16, 200, 200, 200));

    CFolderPage* page = OpenFolderPage(temp.Path());
    ASSERT_TRUE(WaitUntil([&] { return BitmapCount(*page) == 4; }));
    ::Sleep(200);
    std::map<std::string, const CThumbnail*> byName;
    for (const CFolderEntry& entry : page->Catalog().m_entries)
        byName[entry.m_displayName] = entry.m_thumbnail.get();
    EXPECT_EQ(CSize(byName["a_small"]->m_width, byName["a_small"]->m_height), CSize(90, 60));
    EXPECT_EQ(CSize(byName["b_tall"]->m_width, byName["b_tall"]->m_height), CSize(67, 90));
    const CThumbnail* ink = byName["c_cmyk"];
    ASSERT_NE(ink->Bitmap(), nullptr);
    EXPECT_EQ(CSize(ink->m_width, ink->m_height), CSize(90, 45));
    const CPixels& pixels = *ink->Bitmap();
    const size_t bytes = pixels.Stride() * (size_t)pixels.Height();
    EXPECT_LT((size_t)std::count(pixels.Bits(), pixels.Bits() + bytes, 0), bytes / 2) << "ink is not black";
    EXPECT_EQ(byName["d_broken"]->Bitmap(), nullptr) << "no header, no thumbnail";
    EXPECT_EQ(CSize(byName["e_sliver"]->m_width, byName["e_sliver"]->m_height), CSize(90, 1))
        << "a sliver keeps a pixel, and so its thumbnail";
    EXPECT_EQ(BitmapCount(*page), 4u);
}

// An import writing files beside a big picture changes the folder at every
// tick: each refresh must leave the picture being made alone.
TEST_F(FolderWorker, AThumbnailIsMadeWhileFilesAreWrittenBesideItEvery200Ms)
{
    // Progressive: every scan is read whatever the scale, longer than a tick.
    JpegRecipe recipe = PhotoRecipe(8000, 6000);
    recipe.progressive = true;
    const std::string big = WriteJpeg(temp, "big.tmp", recipe);
    CFolderPage* page = OpenFolderPage(temp.Path());
    CVemolyView* view = CVemolyView::GetActive();
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    std::atomic<bool> stop{false};
    std::thread import([&] {
        for (int i = 0; !stop; ++i) {
            temp.WriteFile("import" + std::to_string(i) + ".jpg", "not yet a picture");
            ::Sleep(200);
        }
    });
    DWORD lastTick = 0;
    const auto tick = [&] {
        if (::GetTickCount() - lastTick >= 500) {
            view->SendMessage(WM_TIMER, CVemolyView::kTickTimer);
            lastTick = ::GetTickCount();
        }
    };
    const auto madeBig = [&] {
        for (const CFolderEntry& entry : page->Catalog().m_entries)
            if (entry.m_displayName == "IMG_big")
                return entry.m_thumbnail->HasPicture();
        return false;
    };
    // Once the page follows the import, the big picture comes in whole.
    EXPECT_TRUE(WaitUntil([&] { tick(); return page->Catalog().m_entries.size() >= 2; }, 5000));
    const size_t atMove = page->Catalog().m_entries.size();
    ASSERT_TRUE(::MoveFileA(big.c_str(), (temp / "IMG_big.jpg").c_str()));
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(WaitUntil([&] { tick(); return page->Catalog().m_entries.size() >= 2 && madeBig(); }, 6000));
    const DWORD took = ::GetTickCount() - start;
    const size_t listed = page->Catalog().m_entries.size();
    stop = true;
    import.join();
    EXPECT_LT(took, 3000u);
    // Listed by a refresh of the storm; a fast machine may make it before the next.
    EXPECT_GE(listed, atMove + 1) << "listed while files kept coming";
}

// A folder cell's badge tells whether the folder holds pictures: the maker
// finds out, so that hovering the cell does not list the folder then.
TEST_F(FolderWorker, TheMakerFindsWhetherAFolderHoldsPictures)
{
    temp.MakeFolder("sub");
    WriteJpeg(temp, "sub\\IMG_0.jpg", JpegRecipe());
    CFolderPage* page = OpenFolderPage(temp.Path());
    ASSERT_EQ(page->Catalog().m_entries.size(), 1u);
    CFolderEntry& sub = page->Catalog().m_entries.front();
    ASSERT_TRUE(WaitUntil([&] { return sub.m_thumbnail->HasPicture(); }));
    // Gone from the disk since: only what the maker found can answer.
    ASSERT_TRUE(::MoveFileA((temp / "sub").c_str(), (temp / "moved").c_str()));
    EXPECT_TRUE(sub.HasPictures());
}

// Memory running out outside any one picture still leaves the thumbnails
// made so far in the cache, and the page takes the work up again.
TEST_F(FolderWorker, AnErrorOutsideAnyPictureStillWritesTheCacheAndTheWorkGoesOn)
{
    // On one processor the failing maker is the only one, and only the page
    // can take the work up again; on all of them another maker can.
    DWORD_PTR all = 0, system = 0;
    ASSERT_TRUE(::GetProcessAffinityMask(::GetCurrentProcess(), &all, &system));
    struct Affinity {
        DWORD_PTR mask;
        ~Affinity() { ::SetProcessAffinityMask(::GetCurrentProcess(), mask); }
    } restore{all};
    struct Disarm {
        ~Disarm() { g_failInMaker = false; }
    } disarm;
    for (const DWORD_PTR mask : {all & (~all + 1), all}) {
        SCOPED_TRACE("processors " + std::to_string(mask));
        ASSERT_TRUE(::SetProcessAffinityMask(::GetCurrentProcess(), mask));
        const std::string folder = temp.MakeFolder(mask == all ? "all" : "one");
        for (int i = 0; i < 40; ++i)
            WriteJpeg(temp, folder.substr(temp.Path().size() + 1) + "\\IMG_" + std::to_string(100 + i) + ".jpg",
                      PhotoRecipe(640, 480, (unsigned)i + 1));
        const std::string cacheFile = CacheFileName(folder);
        g_failedOn = 0;
        g_failInMaker = true;
        CFolderPage* page = OpenFolderPage(folder);
        CVemolyView* view = CVemolyView::GetActive();
        EXPECT_TRUE(WaitUntil([&] {
            view->SendMessage(WM_TIMER, CVemolyView::kTickTimer);
            return BitmapCount(*page) == 40;
        }, 20000)) << BitmapCount(*page) << " of 40";
        EXPECT_FALSE(g_failInMaker.load()) << "no maker's allocation failed";
        EXPECT_NE(g_failedOn.load(), ::GetCurrentThreadId());
        EXPECT_TRUE(WaitUntil([&] { return FileExists(cacheFile) && ReadWholeFile(cacheFile).size() > kCacheHeader + 40 * kCacheRecord + 40 * 200; }))
            << "every thumbnail in the cache";
    }
}

// A picture whose data the decoder rejects is cached black, whatever colours
// the screen has while its thumbnail is made.
TEST_F(FolderWorker, ARejectedPictureIsBlackEvenInHighContrast)
{
    JpegRecipe recipe = PhotoRecipe(64, 48);
    recipe.progressive = true;
    std::string bytes = MakeJpeg(recipe);
    // The second scan's spectral range made impossible: the header reads,
    // the data does not.
    const size_t second = bytes.find("\xFF\xDA", bytes.find("\xFF\xDA") + 2);
    ASSERT_NE(second, std::string::npos);
    const size_t range = second + 5 + 2 * (size_t)(unsigned char)bytes[second + 4];
    bytes[range] = 63;
    bytes[range + 1] = 0;
    const std::string path = temp.WriteFile("rejected.jpg", bytes);

    std::unique_ptr<CPixels> pixels;
    {
        HighContrastTheme theme;
        ASSERT_TRUE(theme.Applied());
        g_resources.UpdateColours();
        EXPECT_TRUE(g_resources.HighContrast());
        CPictureBitmap scratch;
        bool stopped = false;
        pixels = MakeThumbnailPixels(path, scratch, 90, {}, &stopped);
    }
    g_resources.UpdateColours();
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(CSize(pixels->Width(), pixels->Height()), CSize(90, 67));
    const size_t size = pixels->Stride() * (size_t)pixels->Height();
    EXPECT_EQ((size_t)std::count(pixels->Bits(), pixels->Bits() + size, 0), size) << "black";
}

// A picture rewritten while its thumbnail is made is made again by another
// maker; the first one's end leaves that maker's turn alone, so the job is
// done only with the new picture's thumbnail.
TEST_F(FolderWorker, AJobIsDoneOnlyWhenTheMakerThatHasItEndsIt)
{
    JpegRecipe first = PhotoRecipe(4000, 3000);
    first.progressive = true;
    const std::string path = WriteJpeg(temp, "changing.jpg", first);
    JpegRecipe second = PhotoRecipe(8000, 6000);
    second.progressive = true;
    const std::string rewritten = MakeJpeg(second);
    CCachedCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    ASSERT_EQ(catalog.m_entries.size(), 1u);
    CThumbnail& thumbnail = *(catalog.m_entries.front().m_thumbnail = std::make_shared<CThumbnail>());

    CThumbnailScheduler makers(2);
    makers.Schedule(temp.Path(), ThumbnailJobsOf(catalog.m_entries));
    ASSERT_TRUE(WaitUntil([&] { return HoldsHandleOn(path); }, 5000));
    // Rewritten in place, as an editor saves it: the maker reading it shares it.
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    const bool saved = ::WriteFile(file, rewritten.data(), (DWORD)rewritten.size(), &written, nullptr);
    ::CloseHandle(file);
    ASSERT_TRUE(saved);
    thumbnail.DiscardBitmap();
    makers.Schedule(temp.Path(), ThumbnailJobsOf(catalog.m_entries));
    int done = 0, total = 0;
    ASSERT_TRUE(WaitUntil([&] { return !makers.Progress(&done, &total); }, 30000));
    ASSERT_TRUE(thumbnail.HasPicture()) << "done with no thumbnail";
    EXPECT_EQ(CSize(thumbnail.m_width, thumbnail.m_height), CSize(90, 67)) << "the rewritten picture's";
}

// A camera's thumbnail shows in every cell on screen before any picture is
// decoded whole; the real thumbnails replace them, also one of another
// picture, and only real ones reach the cache.
TEST_F(FolderWorker, CarriedThumbnailsFillTheScreenFirstAndOnlyRealOnesStay)
{
    constexpr int kOnScreen = 6;
    for (int i = 0; i < 8; ++i) {
        JpegRecipe recipe = PhotoRecipe(2000, 1500, (unsigned)i + 1);
        recipe.progressive = true;  // slow to decode whole
        // Blue, as no picture here is.
        recipe.markers = {{0xE1, ExifThumbnailSegment(0, MakeJpeg(SolidRecipe(160, 120, 0, 0, 255)))}};
        WriteJpeg(temp, "IMG_" + std::to_string(i) + ".jpg", recipe);
    }
    CCachedCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    std::vector<std::shared_ptr<CThumbnail>> cells;
    for (CFolderEntry& entry : catalog.m_entries)
        cells.push_back(entry.m_thumbnail = std::make_shared<CThumbnail>());
    ASSERT_EQ(cells.size(), 8u);
    const auto onScreen = [&](bool (*shows)(const CThumbnail&)) {
        return std::count_if(cells.begin(), cells.begin() + kOnScreen, [&](const auto& cell) { return shows(*cell); });
    };

    CThumbnailScheduler makers(1);
    makers.SetVisible(0, kOnScreen - 1);
    makers.Schedule(temp.Path(), ThumbnailJobsOf(catalog.m_entries));
    ASSERT_TRUE(WaitUntil([&] { return onScreen([](const CThumbnail& t) { return t.HasPicture(); }) > 0; }, 30000));
    EXPECT_EQ(onScreen([](const CThumbnail& t) { return t.HasPicture() || t.HasProvisional(); }), kOnScreen)
        << "cells on screen still empty when the first real thumbnail came";
    int done = 0, total = 0;
    ASSERT_TRUE(WaitUntil([&] { return !makers.Progress(&done, &total) && FileExists(CacheFileName(temp.Path())); }, 60000));
    // Blue in the middle: the carried thumbnail stayed.
    for (const CFolderEntry& entry : catalog.m_entries) {
        std::lock_guard guard(EntryLock());
        const CPixels* shown = entry.m_thumbnail->Bitmap();
        ASSERT_TRUE(shown && entry.m_thumbnail->HasPicture()) << entry.m_path;
        const BYTE* middle = shown->Row(shown->Height() / 2) + shown->Width() / 2 * 3;
        EXPECT_FALSE(Near(RGB(middle[2], middle[1], middle[0]), RGB(0, 0, 255), 40)) << entry.m_path;
        const JpegContent cached = ReadJpeg(StreamInCacheFile(CacheFileName(temp.Path()), entry.m_path));
        const unsigned char* rgb = &cached.rgb.at((cached.height / 2 * cached.width + cached.width / 2) * 3);
        // The cache keeps the rows' own byte order, blue first.
        EXPECT_FALSE(Near(RGB(rgb[2], rgb[1], rgb[0]), RGB(0, 0, 255), 40)) << "cached: " << entry.m_path;
    }
}

// With facts first, every picture's date is read from its header before the
// first thumbnail is made, so that an order by date needs none of them.
// Dates are the camera's wall clock; a picture without one, or one that
// does not read, is known with none.
TEST_F(FolderWorker, FactsFirstKnowsEveryDateBeforeTheFirstThumbnail)
{
    constexpr int kDated = 40;
    std::map<std::string, SYSTEMTIME> dates;
    for (int i = 0; i < kDated; ++i) {
        const SYSTEMTIME date{(WORD)(2001 + i), (WORD)(i % 12 + 1), 0, (WORD)(i % 28 + 1), 23, 59, 58, 0};
        char name[32], text[32];
        std::snprintf(name, sizeof name, "IMG_%03d.jpg", i);
        std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", date.wYear, date.wMonth, date.wDay,
                      date.wHour, date.wMinute, date.wSecond);
        JpegRecipe recipe = PhotoRecipe(1600, 1200, (unsigned)i + 1);
        recipe.markers.push_back({0xE1, ExifDateSegment(text)});
        WriteJpeg(temp, name, recipe);
        dates[temp / name] = date;
    }
    WriteJpeg(temp, "undated.jpg", PhotoRecipe(1200, 1600));
    temp.WriteFile("broken.jpg", "not a picture");
    CCachedCatalog catalog(EntryOf(temp.Path()));
    catalog.Refresh();
    ASSERT_EQ(catalog.m_entries.size(), kDated + 2u);
    for (CFolderEntry& entry : catalog.m_entries)
        entry.m_thumbnail = std::make_shared<CThumbnail>();
    const auto count = [&](auto known) {
        return std::count_if(catalog.m_entries.begin(), catalog.m_entries.end(),
                             [&](const CFolderEntry& entry) { return known(*entry.m_thumbnail); });
    };

    CThumbnailScheduler makers;
    makers.Schedule(temp.Path(), ThumbnailJobsOf(catalog.m_entries), kDesignThumbnailBox, true);
    ASSERT_TRUE(WaitUntil([&] { return count([](const CThumbnail& t) { return t.HasPicture(); }) > 0; }, 30000));
    EXPECT_EQ(count([](const CThumbnail& t) { return t.Facts().has_value(); }), kDated + 2)
        << "facts known when the first thumbnail is made";
    EXPECT_TRUE(makers.FactsKnown());
    int done = 0, total = 0;
    ASSERT_TRUE(WaitUntil([&] { return !makers.Progress(&done, &total); }, 60000)) << done << " of " << total;

    for (const CFolderEntry& entry : catalog.m_entries) {
        const HeaderFacts facts = entry.m_thumbnail->Facts().value_or(HeaderFacts{1, {-1, -1}});
        FILETIME taken{0, 0};
        if (dates.count(entry.m_path)) {
            ASSERT_TRUE(::SystemTimeToFileTime(&dates[entry.m_path], &taken));
        }
        EXPECT_EQ(facts.taken, (ULONGLONG)taken.dwHighDateTime << 32 | taken.dwLowDateTime) << entry.m_path;
        const CSize size = entry.m_displayName == "broken"    ? CSize(0, 0)
                           : entry.m_displayName == "undated" ? CSize(1200, 1600)
                                                              : CSize(1600, 1200);
        EXPECT_EQ(CSize(facts.size), size) << entry.m_path;
    }
}

} // namespace
