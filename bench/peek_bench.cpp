// The folder peek in the running program: the longest a message posted to
// the user-interface thread waits while the pointer rests on the play badge
// of (a) a folder of two 48-megapixel pictures and (b) a folder of 20,000
// small pictures, the real pointer on the badge and the view's own ticks
// driving the peek. Beside them, timed in the same run, what the window used
// to wait for: one such picture's thumbnail made on the calling thread, a
// plain decode of it, and the listing of the large folder. And how long
// moving off the badge keeps the window while the peek still lists.
//
// ORLIVANE_BENCH_REST sets the seconds of each rest (6). The program's own
// command line must stay empty: it would name a document to open.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "app/vemolyapp.h"
#include "catalog/foldercatalog.h"
#include "core/navigator.h"
#include "folderpage/folderpage.h"
#include "folderpage/folderpeek.h"
#include "imaging/picture.h"
#include "jpeg_maker.h"
#include "latency_probe.h"
#include "plain_decode.h"
#include "res/drawing_resources.h"
#include "view/vemolyview.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Write(const std::string& path, const JpegRecipe& recipe)
{
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        std::ofstream(path, std::ios::binary) << MakeJpeg(recipe);
}

CFolderEntry EntryOf(const std::string& path)
{
    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.Classify();
    return entry;
}

CFolderEntry* Find(CFolderPage& page, const std::string& name)
{
    for (CFolderEntry& entry : page.Catalog().m_entries)
        if (entry.m_displayName == name)
            return &entry;
    return nullptr;
}

// Where the pointer goes: page coordinates to the screen.
POINT ScreenPoint(POINT page)
{
    CVemolyView* view = CVemolyView::GetActive();
    const RECT client = view->PageToClient(RECT{page.x, page.y, page.x + 1, page.y + 1});
    POINT screen{client.left, client.top};
    ::ClientToScreen(view->m_hWnd, &screen);
    return screen;
}

COLORREF PixelAt(POINT page)
{
    CVemolyView* view = CVemolyView::GetActive();
    const RECT client = view->PageToClient(RECT{page.x, page.y, page.x + 1, page.y + 1});
    HDC dc = ::GetDC(view->m_hWnd);
    const COLORREF pixel = ::GetPixel(dc, client.left, client.top);
    ::ReleaseDC(view->m_hWnd, dc);
    return pixel;
}

struct Rest {
    double longest = 0;   // ms a posted message waited
    int colours = 0;      // different colours seen in the middle of the cell
    bool peeked = false;  // the peek was there at the end
};

// The real pointer rests on the folder's badge for seconds; the view's ticks
// hover there and advance the peek.
Rest RestOnBadge(CFolderPage& page, const CFolderEntry& folder, double seconds, LatencyProbe& probe)
{
    const RECT cell = folder.m_thumbnail->m_cell;
    const RECT badge = CellPart(cell, PartBadge);
    const POINT onBadge{(badge.left + badge.right) / 2, (badge.top + badge.bottom) / 2};
    const POINT middle{(cell.left + cell.right) / 2, cell.top + 66};
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    const POINT screen = ScreenPoint(onBadge);
    ::SetCursorPos(screen.x, screen.y);
    PumpFor(50, probe);
    probe.Reset();
    std::set<COLORREF> seen;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds((long long)(seconds * 1000));
    while (Clock::now() < end) {
        PumpFor(100, probe);
        if (page.Peek())
            seen.insert(PixelAt(middle));
    }
    Rest rest;
    rest.longest = probe.LongestMs();
    rest.colours = (int)seen.size();
    rest.peeked = page.Peek() != nullptr;
    return rest;
}

// Off the badge onto the page's title line: the peek goes.
void MoveOff(LatencyProbe& probe)
{
    const POINT screen = ScreenPoint(POINT{5, 5});
    ::SetCursorPos(screen.x, screen.y);
    PumpFor(300, probe);
}

} // namespace

int main()
{
    const char* setting = std::getenv("ORLIVANE_BENCH_REST");
    const double seconds = setting ? std::max(1, std::atoi(setting)) : 6;
    if (!theApp.InitInstance()) {
        std::printf("peek: the program did not start\n");
        return 1;
    }
    ::MoveWindow(theApp.m_pMainWnd->m_hWnd, 0, 0, 1280, 1024, TRUE);
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);

    // Made once and kept in the temporary folder for later runs.
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "orlivane-peek-bench";
    const std::string large = root + "\\large";
    const std::string many = root + "\\many";
    ::CreateDirectoryA(root.c_str(), nullptr);
    ::CreateDirectoryA(large.c_str(), nullptr);
    ::CreateDirectoryA(many.c_str(), nullptr);
    const std::string big = large + "\\IMG_1.jpg";
    Write(big, PhotoRecipe(8000, 6000, 1));
    Write(large + "\\IMG_2.jpg", PhotoRecipe(8000, 6000, 2));
    constexpr int kMany = 20000;
    for (int i = 0; i < kMany; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\IMG_%05d.jpg", i);
        Write(many + name, SolidRecipe(32, 24, (unsigned char)(i * 53), (unsigned char)(i * 97), (unsigned char)(i * 31)));
    }

    // ---------------------------------------------------------------- references
    PlainDecode(big);  // into the file cache
    Clock::time_point start = Clock::now();
    PlainDecode(big);
    const double plainDecode = Milliseconds(Clock::now() - start);
    double thumbnail = 0;
    {
        CFolderEntry entry = EntryOf(big);
        CThumbnail made;
        start = Clock::now();
        made.LoadBitmap(entry);
        thumbnail = Milliseconds(Clock::now() - start);
    }
    double listing = 0;
    {
        CFolderCatalog catalog(EntryOf(many));
        catalog.Refresh();  // into the system's cache
        CFolderCatalog again(EntryOf(many));
        start = Clock::now();
        again.Refresh();
        listing = Milliseconds(Clock::now() - start);
    }

    // ---------------------------------------------------------------- resting on the badges
    LatencyProbe probe(::GetCurrentThreadId());
    auto* page = new CFolderPage(EntryOf(root));
    g_navigator.Navigate(page);
    // The page's own thumbnails first: its worker decodes a 48 MP picture too.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    auto finished = [&] {
        for (const CFolderEntry& entry : page->Catalog().m_entries)
            if (!entry.m_thumbnail || !entry.m_thumbnail->Bitmap())
                return false;
        return true;
    };
    while (!finished() && Clock::now() < deadline)
        PumpFor(100, probe);
    MoveOff(probe);

    CFolderEntry* largeEntry = Find(*page, "large");
    CFolderEntry* manyEntry = Find(*page, "many");
    if (!largeEntry || !manyEntry) {
        std::printf("peek: the bench folders are not on the page\n");
        return 1;
    }
    const Rest restLarge = RestOnBadge(*page, *largeEntry, seconds, probe);
    MoveOff(probe);
    const Rest restMany = RestOnBadge(*page, *manyEntry, seconds, probe);
    MoveOff(probe);

    // Moving off while the peek still lists the large folder.
    double moveOff = 0;
    for (int round = 0; round < 3; ++round) {
        const RECT badge = CellPart(manyEntry->m_thumbnail->m_cell, PartBadge);
        const POINT onBadge{(badge.left + badge.right) / 2, (badge.top + badge.bottom) / 2};
        page->OnHover(onBadge);
        ::Sleep(520);
        page->OnHover(onBadge);  // the peek starts listing
        const bool peeking = page->Peek() != nullptr;
        ::Sleep(20);
        start = Clock::now();
        page->OnHover(POINT{5, 5});
        if (peeking)
            moveOff = std::max(moveOff, Milliseconds(Clock::now() - start));
        PumpFor(200, probe);
    }

    std::printf("peek: resting %.0f s on a folder's badge, the view's own ticks; a message posted every 5 ms\n",
                seconds);
    std::printf("peek: (a) two pictures of 8000x6000 (48 MP): longest wait %6.1f ms, %d colours shown%s\n",
                restLarge.longest, restLarge.colours, restLarge.peeked ? "" : " (no peek at the end)");
    std::printf("peek:     reference: one thumbnail made here   %6.0f ms, plain decode %.0f ms\n", thumbnail,
                plainDecode);
    std::printf("peek: (b) %d pictures of 32x24:           longest wait %6.1f ms, %d colours shown%s\n", kMany,
                restMany.longest, restMany.colours, restMany.peeked ? "" : " (no peek at the end)");
    std::printf("peek:     reference: the folder listed here     %6.0f ms\n", listing);
    std::printf("peek: moving off the badge while it lists (b), longest of 3: %.1f ms\n", moveOff);

    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    return 0;
}
