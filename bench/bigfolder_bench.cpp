// A folder of 70,000 small pictures in the running program: the time until
// every thumbnail is made, the peak of GDI objects and the memory it then
// holds; then the page scrolled to its end, a screen reader's hit test
// there beside walking every item, selecting every cell and reading the
// selection back, and whether the window still paints itself, a menu and
// a dialog.
//
// ORLIVANE_BENCH_BIG_FOLDER sets the number of pictures (70000). They are
// made once, 32x24 each, and kept in the temporary folder for later runs.
// The program's own command line must stay empty: it would name a document.
#include <windows.h>
#include <oleacc.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/vemolyapp.h"
#include "app_driver.h"
#include "catalog/thumbnailcache.h"
#include "core/navigator.h"
#include "dialogs/aboutdlg.h"
#include "folderpage/folderpage.h"
#include "jpeg_maker.h"
#include "latency_probe.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "shell/filedata.h"
#include "view/vemolyview.h"
#include "window_driving.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

struct Peaks {
    DWORD gdi = 0;
    DWORD user = 0;
    void Sample()
    {
        gdi = std::max(gdi, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
        user = std::max(user, ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
    }
};

size_t Thumbnails(CFolderPage& page)
{
    size_t count = 0;
    for (const CFolderEntry& entry : page.Catalog().m_entries)
        count += entry.m_thumbnail && entry.m_thumbnail->HasPicture();
    return count;
}

// Whether every cell on screen has its thumbnail.
bool OnScreenMade(CFolderPage& page, CVemolyView& view)
{
    CRect shown;
    view.GetClientRect(&shown);
    const CPoint scroll = view.GetScrollPosition();
    shown.OffsetRect(scroll.x, scroll.y);
    for (const CFolderEntry& entry : page.Catalog().m_entries) {
        RECT overlap;
        if (entry.m_thumbnail && ::IntersectRect(&overlap, &entry.m_thumbnail->m_cell, &shown)
            && !entry.m_thumbnail->HasPicture())
            return false;
    }
    return true;
}

size_t WorkingSet()
{
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
    return memory.WorkingSetSize;
}

void PumpFor(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    MSG msg;
    do {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    } while (::GetTickCount() - start < ms);
}

// Colours in a capture: a window that failed to paint shows one or two.
size_t Colours(const Capture& capture)
{
    return std::set<DWORD>(capture.pixels.begin(), capture.pixels.end()).size();
}

size_t g_menuColours = 0;

// Runs inside the menu's own loop: captures the open popup, then closes it.
void CALLBACK CaptureMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND found = ShownMenuWindow();
    if (found)
        g_menuColours = Colours(CaptureWindow(found));
    ::KillTimer(nullptr, id);
    ::EndMenu();
}

size_t MenuColours()
{
    HWND main = theApp.m_pMainWnd->m_hWnd;
    HMENU file = ::GetSubMenu(::GetMenu(main), 0);
    g_menuColours = 0;
    ::SetTimer(nullptr, 0, 300, &CaptureMenu);
    ::TrackPopupMenu(file, TPM_RETURNCMD, 100, 100, 0, main, nullptr);
    return g_menuColours;
}

size_t DialogColours()
{
    size_t colours = 0;
    RunModal(
        [] {
            CAboutDlg about;
            return about.DoModal();
        },
        [&colours](DWORD thread) {
            HWND dialog = WaitForShown(thread, "#32770", "");
            if (!dialog)
                return;
            ::Sleep(300);  // painted
            colours = Colours(CaptureWindow(dialog));
            ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
    return colours;
}

} // namespace

int main()
{
    const char* setting = std::getenv("ORLIVANE_BENCH_BIG_FOLDER");
    const int count = setting ? std::max(1, std::atoi(setting)) : 70000;
    if (!theApp.InitInstance()) {
        std::printf("bigfolder: the program did not start\n");
        return 1;
    }
    Peaks peaks;
    peaks.Sample();
    const DWORD gdiAtStart = peaks.gdi;

    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "orlivane-bigfolder-bench-" + std::to_string(count);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const JpegRecipe recipe = PhotoRecipe(32, 24);
    const std::string jpeg = MakeJpeg(recipe);
    Clock::time_point start = Clock::now();
    int made = 0;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\IMG_%05d.jpg", i);
        HANDLE file = ::CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;  // made by an earlier run
        DWORD written = 0;
        ::WriteFile(file, jpeg.data(), (DWORD)jpeg.size(), &written, nullptr);
        ::CloseHandle(file);
        ++made;
    }
    if (made)
        std::printf("bigfolder: %d pictures of 32x24 made in %.1f s\n", made, Seconds(Clock::now() - start));
    ::DeleteFileA(CacheFileName(folder).c_str());
    const size_t workingSetAtStart = WorkingSet();

    // Opened, and scrolled to the end at once: the cells there come first.
    LatencyProbe probe(::GetCurrentThreadId());
    start = Clock::now();
    CFolderEntry entry = MakeEntry(folder, nullptr, nullptr);
    entry.Classify();
    auto* page = new CFolderPage(entry);
    g_navigator.Navigate(page);
    const double listed = Seconds(Clock::now() - start);
    CVemolyView* view = CVemolyView::GetActive();
    view->SendMessageA(WM_VSCROLL, SB_BOTTOM, 0);
    view->UpdateWindow();
    const Clock::time_point scrolled = Clock::now();
    double endShown = -1;
    size_t shown = 0;
    while ((shown = Thumbnails(*page)) < page->Catalog().m_entries.size()) {
        if (endShown < 0 && OnScreenMade(*page, *view))
            endShown = Seconds(Clock::now() - scrolled);
        PumpFor(endShown < 0 ? 10.0 : 250.0, probe);
        peaks.Sample();
        if (Seconds(Clock::now() - start) > 3600)
            break;
    }
    const double filled = Seconds(Clock::now() - start);
    const double firstVisitWait = probe.LongestMs();
    PumpFor(200);
    peaks.Sample();
    // Back at the top, whose thumbnails were let go of as the end was drawn:
    // one paint decodes a screenful from their streams.
    view->SendMessageA(WM_VSCROLL, SB_TOP, 0);
    view->UpdateWindow();
    view->SendMessageA(WM_VSCROLL, SB_BOTTOM, 0);
    view->UpdateWindow();
    view->SendMessageA(WM_VSCROLL, SB_TOP, 0);
    view->Invalidate(TRUE);
    Clock::time_point paint = Clock::now();
    view->UpdateWindow();
    const double screenful = Seconds(Clock::now() - paint) * 1000;
    view->Invalidate(TRUE);
    paint = Clock::now();
    view->UpdateWindow();
    const double decodedScreenful = Seconds(Clock::now() - paint) * 1000;

    // The keyboard and a screen reader on the whole folder: End to the last
    // cell (focus moved, scrolled, painted), then every cell's name read.
    ::SetFocus(view->m_hWnd);
    paint = Clock::now();
    view->SendMessageA(WM_KEYDOWN, VK_END, 0);
    view->UpdateWindow();
    const double endKey = Seconds(Clock::now() - paint) * 1000;
    IAccessible* list = nullptr;
    long readable = 0, named = 0;
    paint = Clock::now();
    if (::AccessibleObjectFromWindow(view->m_hWnd, OBJID_CLIENT, IID_IAccessible, (void**)&list) == S_OK) {
        list->get_accChildCount(&readable);
        for (long id = 1; id <= readable; ++id) {
            VARIANT child;
            child.vt = VT_I4;
            child.lVal = id;
            BSTR name = nullptr;
            if (list->get_accName(child, &name) == S_OK && name)
                ++named;
            ::SysFreeString(name);
        }
    }
    const double readAll = Seconds(Clock::now() - paint) * 1000;

    // A screen reader's hit test at the end of the folder: the centres of
    // the cells on screen, found from the grid, beside the walk a page
    // without a grid does (every item's bounds asked until one holds the
    // point), which the folder page did too.
    view->SendMessageA(WM_VSCROLL, SB_BOTTOM, 0);
    view->UpdateWindow();
    std::vector<std::pair<long, POINT>> probes;  // child id, screen point
    CRect client;
    view->GetClientRect(&client);
    for (long id = readable; list && id >= 1 && id > readable - 400; --id) {
        PageItem item;
        if (!page->GetItem(id - 1, &item))
            continue;
        const CRect cell = view->PageToClient(item.bounds);
        POINT centre{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
        if (!client.PtInRect(CPoint(centre)))
            continue;
        ::ClientToScreen(view->m_hWnd, &centre);
        probes.push_back({id, centre});
    }
    constexpr int kHitRounds = 200;
    long hitsRight = 0;
    paint = Clock::now();
    for (int round = 0; round < kHitRounds; ++round) {
        for (const auto& [id, point] : probes) {
            VARIANT child;
            hitsRight += list->accHitTest(point.x, point.y, &child) == S_OK && child.vt == VT_I4 && child.lVal == id;
        }
    }
    const double hitTest = Seconds(Clock::now() - paint) * 1e6 / (double)std::max<size_t>(probes.size() * kHitRounds, 1);
    const size_t walked = std::min<size_t>(probes.size(), 3);
    long walksRight = 0;
    paint = Clock::now();
    for (size_t i = 0; i < walked; ++i) {
        POINT point = probes[i].second;
        ::ScreenToClient(view->m_hWnd, &point);
        walksRight += page->CPage::ItemAt(view->ClientToPage(point)) == probes[i].first - 1;
    }
    const double walk = Seconds(Clock::now() - paint) * 1000 / (double)std::max<size_t>(walked, 1);
    // What the hit test did before for each item: its screen rectangle, as
    // a client asks for it, until one holds the last cell's centre.
    long located = 0;
    paint = Clock::now();
    for (long id = 1; !probes.empty() && id <= readable; ++id) {
        VARIANT child;
        child.vt = VT_I4;
        child.lVal = id;
        long left = 0, top = 0, width = 0, height = 0;
        if (list->accLocation(&left, &top, &width, &height, child) != S_OK)
            continue;
        const POINT point = probes.front().second;
        if (point.x >= left && point.x < left + width && point.y >= top && point.y < top + height) {
            located = id;
            break;
        }
    }
    const double locatedWalk = Seconds(Clock::now() - paint) * 1000;
    if (list)
        list->Release();

    // Ctrl+A and a command reading the selection back, beside a bare pass
    // over the entries into a list of the same length.
    paint = Clock::now();
    page->SelectAll();
    const size_t selectedAll = page->ActedOn(true).size();
    const double selectAll = Seconds(Clock::now() - paint) * 1000;
    page->ClearSelection();
    paint = Clock::now();
    std::vector<CFolderPage::EntryIt> everyEntry;
    for (auto it = page->Catalog().m_entries.begin(); it != page->Catalog().m_entries.end(); ++it)
        everyEntry.push_back(it);
    const double passOver = Seconds(Clock::now() - paint) * 1000;

    // Select All and Copy as the Edit menu runs them, beside making every
    // path UTF-16, the least a clipboard of files takes.
    paint = Clock::now();
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_EDIT_SELECT_ALL);
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_EDIT_COPY);
    const double copyAll = Seconds(Clock::now() - paint) * 1000;
    DWORD effect = 0;
    const size_t onClipboard = FilesOnClipboard(&effect).size();
    page->ClearSelection();
    paint = Clock::now();
    std::vector<std::wstring> widePaths;
    for (const CFolderEntry& entry : page->Catalog().m_entries)
        widePaths.push_back(AfxWide(entry.m_path));
    const double widen = Seconds(Clock::now() - paint) * 1000;

    view->SendMessageA(WM_VSCROLL, SB_BOTTOM, 0);
    view->UpdateWindow();
    const size_t viewColours = Colours(CaptureClient(view->m_hWnd));
    const size_t menuColours = MenuColours();
    const size_t dialogColours = DialogColours();
    peaks.Sample();

    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory);

    std::printf("bigfolder: %zu pictures of 32x24 listed in %.1f s (Navigate)\n",
                page->Catalog().m_entries.size(), listed);
    std::printf("bigfolder: every thumbnail made           %8.1f s  (%zu of %zu, %.2f ms a picture)\n",
                filled, shown, page->Catalog().m_entries.size(), filled * 1000 / (double)std::max<size_t>(shown, 1));
    if (peaks.gdi)
        std::printf("bigfolder: GDI objects at start %lu, peak %lu; USER objects peak %lu\n", gdiAtStart, peaks.gdi,
                    peaks.user);
    else
        std::printf("bigfolder: GDI objects: not reported by this platform (GetGuiResources gives 0)\n");
    std::printf("bigfolder: scrolled to the end at once, its cells had their thumbnails after %.2f s\n", endShown);
    std::printf("bigfolder: longest wait of a posted message during the visit %.1f ms (listing in Navigate %.0f ms)\n",
                firstVisitWait, listed * 1000);
    std::printf("bigfolder: painting a screenful, thumbnails decoded from their streams %.1f ms, "
                "already decoded %.1f ms\n", screenful, decodedScreenful);
    std::printf("bigfolder: End to the last cell, scrolled and painted %.1f ms; a screen reader reading "
                "every cell's name %.0f ms (%ld of %ld, %.1f us a cell)\n", endKey, readAll, named, readable,
                readable ? readAll * 1000 / readable : 0.0);
    std::printf("bigfolder: a screen reader's hit test on the cells on screen at the end %.2f us a probe "
                "(%zu cells, %d rounds, %ld of %zu right); the walk through every item %.1f ms a probe "
                "(%zu probes, %ld right); every item's screen rectangle until the last cell's %.0f ms (%s)\n",
                hitTest, probes.size(), kHitRounds, hitsRight, probes.size() * kHitRounds, walk, walked, walksRight,
                locatedWalk, !probes.empty() && located == probes.front().first ? "found" : "NOT FOUND");
    std::printf("bigfolder: select all and list the selection %.1f ms (%zu of %zu); a pass over the entries "
                "into a list %.1f ms\n", selectAll, selectedAll, everyEntry.size(), passOver);
    std::printf("bigfolder: Select All and Copy from the Edit menu %.1f ms (%zu files on the clipboard); "
                "every path made UTF-16 %.1f ms\n", copyAll, onClipboard, widen);
    std::printf("bigfolder: memory: working set %.0f MB (peak %.0f MB), private %.0f MB%s; "
                "%.1f KB a picture over the %.0f MB at start\n",
                memory.WorkingSetSize / 1048576.0, memory.PeakWorkingSetSize / 1048576.0,
                memory.PrivateUsage / 1048576.0, memory.PrivateUsage ? "" : " (not reported)",
                ((double)memory.WorkingSetSize - (double)workingSetAtStart) / 1024.0 / (double)std::max<size_t>(shown, 1),
                workingSetAtStart / 1048576.0);
    std::printf("bigfolder: scrolled to the end, colours painted: view %zu, File menu %zu, About box %zu (%s)\n",
                viewColours, menuColours, dialogColours,
                viewColours > 2 && menuColours > 2 && dialogColours > 2 ? "all paint" : "NOT PAINTED");

    g_navigator.Home();
    g_navigator.DiscardFrom(1);
    theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    return 0;
}
