// Following the pointer on folder pages and the Home page inside the running
// application: repaints, clicks, the peek, context menus and their commands,
// all through the real view, the real pointer and real files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/vemolyapp.h"
#include "app_driver.h"
#include "catalog/thumbnailcache.h"
#include "core/navigator.h"
#include "file_times.h"
#include "folder_entries.h"
#include "folder_pages.h"
#include "high_contrast.h"
#include "folderpage/folderpage.h"
#include "folderpage/folderpeek.h"
#include "jpeg_maker.h"
#include "pages/homepage.h"
#include "pages/picturepage.h"
#include "pages/slideshowpage.h"
#include "recycle_bin.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "running_app.h"
#include "shell/filedata.h"
#include "shell/settings.h"
#include "shell/shortcutlink.h"
#include "shell_command.h"
#include "shortcuts.h"
#include "plain_clipboard.h"
#include "program_data.h"
#include "temp_folder.h"
#include "user_input.h"
#include "view/vemolyview.h"
#include "window_driving.h"

namespace {

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

const char kAbsentMedium[] = "R:\\Photos";  // R: is an optical drive without a medium

bool IsBlue(COLORREF c) { return GetBValue(c) > 200 && GetRValue(c) < 60 && GetGValue(c) < 60; }
bool IsYellow(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) < 60; }

CVemolyView* View()
{
    return CVemolyView::GetActive();
}

std::string Caption()
{
    return theApp.m_pMainWnd->GetWindowText();
}

// Points of a cell in page coordinates.
POINT OnBadge(const CFolderEntry& entry)
{
    const RECT& cell = entry.m_thumbnail->m_cell;
    return POINT{cell.right - 12, cell.top + 24};
}
POINT OnCell(const CFolderEntry& entry)
{
    const RECT& cell = entry.m_thumbnail->m_cell;
    return POINT{cell.left + 30, cell.top + 100};
}
POINT OnCaption(const CFolderEntry& entry)
{
    const RECT& cell = entry.m_thumbnail->m_cell;
    return POINT{cell.left + 60, cell.bottom - 10};
}
POINT OnThumbnail(const CFolderEntry& entry)
{
    const RECT& cell = entry.m_thumbnail->m_cell;
    return POINT{cell.left + 60, cell.top + 66};
}
// In the gap right of the cell: no cell there.
POINT BesideCell(const CFolderEntry& entry)
{
    const RECT& cell = entry.m_thumbnail->m_cell;
    return POINT{cell.right + CFolderPage::kGap / 2, cell.top + 60};
}

POINT ToClient(POINT page)
{
    const RECT client = View()->PageToClient(RECT{page.x, page.y, page.x + 1, page.y + 1});
    return POINT{client.left, client.top};
}

LPARAM ClientParam(POINT page)
{
    const POINT client = ToClient(page);
    return MAKELPARAM(client.x, client.y);
}

// The real pointer goes there too, so that the view's ticks, which hover at
// the pointer's position, agree with the moves sent here.
void Move(POINT page)
{
    POINT screen = ToClient(page);
    ::ClientToScreen(View()->m_hWnd, &screen);
    ::SetCursorPos(screen.x, screen.y);
    View()->SendMessage(WM_MOUSEMOVE, 0, ClientParam(page));
}

void Press(POINT page)
{
    Move(page);
    View()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, ClientParam(page));
}

void Release(POINT page)
{
    Move(page);
    View()->SendMessage(WM_LBUTTONUP, 0, ClientParam(page));
}

void Click(POINT page)
{
    Press(page);
    Release(page);
}

bool Invalid(POINT page)
{
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ::GetUpdateRgn(View()->m_hWnd, region, FALSE);
    const POINT client = ToClient(page);
    const bool inside = ::PtInRegion(region, client.x, client.y) != FALSE;
    ::DeleteObject(region);
    return inside;
}

bool NothingInvalid()
{
    return !::GetUpdateRect(View()->m_hWnd, nullptr, FALSE);
}

COLORREF ScreenPixel(POINT page)
{
    const POINT client = ToClient(page);
    HDC dc = ::GetDC(View()->m_hWnd);
    const COLORREF color = ::GetPixel(dc, client.x, client.y);
    ::ReleaseDC(View()->m_hWnd, dc);
    return color;
}

// The pixels of a page rectangle as the screen shows them.
std::vector<COLORREF> ScreenArea(const RECT& page)
{
    std::vector<COLORREF> pixels;
    const RECT client = View()->PageToClient(page);
    HDC dc = ::GetDC(View()->m_hWnd);
    for (int y = client.top; y < client.bottom; ++y)
        for (int x = client.left; x < client.right; ++x)
            pixels.push_back(::GetPixel(dc, x, y));
    ::ReleaseDC(View()->m_hWnd, dc);
    return pixels;
}

// A point on the page's index-th cell.
POINT At(const CPage& page, int index)
{
    PageItem item;
    page.GetItem(index, &item);
    return POINT{item.bounds.left + 30, item.bounds.top + 100};
}

// ---------------------------------------------------------------- files dragged over the view

constexpr DWORD kAnyEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// The drop target the view registered, as a drag from any program finds it.
IDropTarget* ViewDropTarget()
{
    return static_cast<IDropTarget*>(::GetPropW(View()->m_hWnd, L"OleDropTargetInterface"));
}

POINTL ScreenOf(POINT page)
{
    POINT screen = ToClient(page);
    ::ClientToScreen(View()->m_hWnd, &screen);
    return POINTL{screen.x, screen.y};
}

// The effect the view shows for files entering it at a page point.
DWORD DragOverAt(POINT page, const std::vector<std::string>& files, DWORD keyState = 0)
{
    CComPtr<IDataObject> data = MakeFileData(files, DROPEFFECT_COPY);
    EXPECT_TRUE(data);
    DWORD effect = kAnyEffect;
    ViewDropTarget()->DragEnter(data.Get(), keyState, ScreenOf(page), &effect);
    effect = kAnyEffect;
    ViewDropTarget()->DragOver(keyState, ScreenOf(page), &effect);
    return effect;
}

// Files dragged in and dropped at a page point; the effect the drop reports.
DWORD DropAt(POINT page, const std::vector<std::string>& files, DWORD keyState = 0)
{
    DragOverAt(page, files, keyState);
    CComPtr<IDataObject> data = MakeFileData(files, DROPEFFECT_COPY);
    DWORD effect = kAnyEffect;
    ViewDropTarget()->Drop(data.Get(), keyState, ScreenOf(page), &effect);
    return effect;
}

// ---------------------------------------------------------------- context menus as shown

struct MenuRun {
    char choose = 0;  // mnemonic to type; 0 dismisses
    const POINT* pointerTo = nullptr;  // where the pointer goes before choosing (screen)
    int waited = 0;
    bool shown = false;
    std::vector<std::string> items;
    UINT defaultItem = 0;
};
MenuRun* g_menuRun = nullptr;

// Runs inside the menu's own loop: reads the popup, then types or dismisses;
// a menu still open a second later is dismissed, so no test hangs in it.
void CALLBACK WorkMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    MenuRun& run = *g_menuRun;
    HWND window = ShownMenuWindow();
    if (run.shown || !window) {
        if (++run.waited > 10) {
            ::KillTimer(nullptr, id);
            ::EndMenu();
        }
        return;
    }
    run.shown = true;
    HMENU menu = (HMENU)::SendMessageA(window, MN_GETHMENU, 0, 0);
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        char text[128] = "";
        ::GetMenuStringA(menu, (UINT)i, text, sizeof text, MF_BYPOSITION);
        run.items.push_back(text);
    }
    run.defaultItem = ::GetMenuDefaultItem(menu, FALSE, 0);
    if (run.pointerTo)
        ::SetCursorPos(run.pointerTo->x, run.pointerTo->y);
    if (run.choose)
        ::PostMessageA(window, WM_CHAR, (WPARAM)run.choose, 0);
    else
        ::EndMenu();
}

// Right-clicks a page point; returns the items of the menu shown (none when
// no menu came), after typing choose's mnemonic (with the pointer moved to
// the page point pointerTo first, if given) or dismissing it.
MenuRun RightClick(POINT page, char choose = 0, const POINT* pointerTo = nullptr)
{
    Move(page);
    MenuRun run;
    run.choose = choose;
    POINT screen{};
    if (pointerTo) {
        screen = ToClient(*pointerTo);
        ::ClientToScreen(View()->m_hWnd, &screen);
        run.pointerTo = &screen;
    }
    g_menuRun = &run;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &WorkMenu);
    View()->SendMessage(WM_RBUTTONUP, 0, ClientParam(page));
    ::KillTimer(nullptr, timer);
    g_menuRun = nullptr;
    return run;
}

bool Has(const std::vector<std::string>& items, const std::string& text)
{
    return std::find(items.begin(), items.end(), text) != items.end();
}

// ---------------------------------------------------------------- keys and the clipboard

// A key pressed in the view with modifier (0: none) held, as the page reads the keyboard.
void Key(UINT key, UINT modifier = 0)
{
    std::optional<HeldKeys> held;
    if (modifier)
        held.emplace(std::initializer_list<BYTE>{(BYTE)modifier});
    View()->SendMessage(WM_KEYDOWN, key, 0);
}

// Puts one file on the clipboard as a plain CF_HDROP, as older programs do.
void PutDropOnClipboard(const std::string& path)
{
    const std::wstring name = AfxWide(path);
    const size_t bytes = sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(name.begin(), name.end(), reinterpret_cast<wchar_t*>(drop + 1));
    ::GlobalUnlock(memory);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::SetClipboardData(CF_HDROP, memory);
    ::CloseClipboard();
}

// ---------------------------------------------------------------- fixture

// A folder of small solid pictures: "a" red, "b" green; "album" with a blue
// and a yellow picture; "empty" without pictures; a shortcut to an absent medium.
class FolderInteraction : public testing::Test {
protected:
    FolderInteraction()
    {
        temp.WriteFile("a.jpg", MakeJpeg(SolidRecipe(64, 48, 255, 0, 0)));
        temp.WriteFile("b.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 255, 0)));
        album = temp.MakeFolder("album");
        temp.WriteFile("album\\x.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 0, 255)));
        temp.WriteFile("album\\y.jpg", MakeJpeg(SolidRecipe(64, 48, 255, 255, 0)));
        temp.MakeFolder("empty");
        WriteShortcut(temp / "offline.lnk", kAbsentMedium);
        ::DeleteFileA(CacheFileName(temp.Path()).c_str());  // a leftover would look finished
    }
    ~FolderInteraction() override
    {
        BackToHome();
        PumpMessages();
    }

    void SetUp() override
    {
        CWnd* main = theApp.m_pMainWnd;
        ::ShowWindow(main->m_hWnd, SW_RESTORE);
        ::SetWindowPos(main->m_hWnd, HWND_TOP, 0, 0, 900, 700, SWP_SHOWWINDOW);
        ::SetForegroundWindow(main->m_hWnd);
        // The pointer starts on the view's title line, over no cell.
        POINT rest{5, 5};
        ::ClientToScreen(View()->m_hWnd, &rest);
        ::SetCursorPos(rest.x, rest.y);
        PumpMessages();
    }

    CFolderPage* Open(const std::string& folder)
    {
        CFolderPage* page = OpenFolderPage(folder);
        ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
        return page;
    }

    // The temp folder's page once its worker has made every thumbnail.
    CFolderPage* OpenFinished()
    {
        CFolderPage* page = Open(temp.Path());
        const std::string cache = CacheFileName(temp.Path());
        EXPECT_TRUE(WaitUntil([&] { return FileExists(cache); })) << "the worker wrote its cache";
        ::Sleep(100);
        PumpMessages();
        return page;
    }

    static CFolderEntry& Entry(CFolderPage& page, const std::string& name)
    {
        for (CFolderEntry& entry : page.Catalog().m_entries)
            if (entry.m_displayName == name)
                return entry;
        throw std::runtime_error("no entry " + name);
    }

    // The keyboard's focus on the cell of that name.
    static void FocusOn(CFolderPage& page, const std::string& name)
    {
        PageItem item;
        for (int i = 0; page.GetItem(i, &item); ++i)
            if (item.name == name)
                return page.FocusItem(i);
        throw std::runtime_error("no cell " + name);
    }

    static bool Shows(CFolderPage& page, const std::string& name)
    {
        const auto& entries = page.Catalog().m_entries;
        return std::any_of(entries.begin(), entries.end(), [&](const CFolderEntry& entry) { return entry.m_displayName == name; });
    }

    static std::string Hovered(CFolderPage& page)
    {
        int part;
        auto it = page.HitTest(page.Hover().Point(), &part);
        return it == page.Catalog().m_entries.end() ? "" : it->m_displayName;
    }

    TempFolder temp;
    std::string album;
};

// ---------------------------------------------------------------- hover and click

TEST_F(FolderInteraction, LeavingACellRepaintsItAtOnceTheNewCellAQuarterSecondLater)
{
    CFolderPage* page = OpenFinished();
    CFolderEntry& a = Entry(*page, "album");
    CFolderEntry& b = Entry(*page, "empty");
    HWND view = View()->m_hWnd;
    const RECT badgeA = CellPart(a.m_thumbnail->m_cell, PartBadge);
    const RECT badgeB = CellPart(b.m_thumbnail->m_cell, PartBadge);
    const std::vector<COLORREF> plainA = ScreenArea(badgeA);
    const std::vector<COLORREF> plainB = ScreenArea(badgeB);

    Move(OnCell(a));
    ::Sleep(300);
    Move(OnCell(a));
    ::UpdateWindow(view);
    ASSERT_TRUE(NothingInvalid());
    EXPECT_NE(ScreenArea(badgeA), plainA) << "A shows its badge";

    Move(OnCell(b));
    const DWORD entered = ::GetTickCount();
    EXPECT_EQ(Hovered(*page), "empty");
    EXPECT_EQ(page->Hover().part, PartCell);
    EXPECT_TRUE(Invalid(OnBadge(a)));
    EXPECT_TRUE(Invalid(OnCaption(a)));
    EXPECT_FALSE(Invalid(OnThumbnail(a))) << "only the badge and the caption";
    EXPECT_FALSE(Invalid(OnBadge(b)));
    EXPECT_FALSE(Invalid(OnCaption(b)));
    ::UpdateWindow(view);
    EXPECT_EQ(ScreenArea(badgeA), plainA) << "A's badge went at once";
    EXPECT_EQ(ScreenArea(badgeB), plainB) << "B's badge is not there yet";

    ::Sleep(150);
    Move(POINT{OnCell(b).x + 3, OnCell(b).y});
    if (::GetTickCount() - entered < 240) {
        EXPECT_TRUE(NothingInvalid()) << "still within the quarter second";
    }
    ::Sleep(120);
    Move(POINT{OnCell(b).x + 6, OnCell(b).y});
    EXPECT_TRUE(Invalid(OnBadge(b)));
    EXPECT_TRUE(Invalid(OnCaption(b)));
    EXPECT_FALSE(Invalid(OnBadge(a)));
    ::UpdateWindow(view);
    EXPECT_NE(ScreenArea(badgeB), plainB) << "B shows its badge";

    ::Sleep(260);
    Move(POINT{OnCell(b).x + 9, OnCell(b).y});
    EXPECT_TRUE(NothingInvalid()) << "once per hover";
}

TEST_F(FolderInteraction, ReleaseOpensWhatIsUnderThePointer)
{
    CFolderPage* page = OpenFinished();
    const int index = g_navigator.GetCurrentIndex();
    const std::string title = Caption();
    CFolderEntry& picture = Entry(*page, "a");
    CFolderEntry& folder = Entry(*page, "album");
    CFolderEntry& offline = Entry(*page, "offline");
    ASSERT_TRUE(offline.m_kind & EntryOffline);

    Press(OnCell(picture));
    Release(BesideCell(picture));
    EXPECT_EQ(g_navigator.GetCurrentIndex(), index) << "released beside the picture";
    Press(OnCell(offline));
    Release(OnCell(offline));
    Press(OnBadge(offline));
    Release(OnBadge(offline));
    EXPECT_EQ(g_navigator.GetCurrentIndex(), index) << "an offline folder does not open";
    EXPECT_EQ(Caption(), title);

    Click(OnCell(picture));
    ASSERT_EQ(g_navigator.GetCurrentIndex(), index + 1);
    EXPECT_NE(dynamic_cast<CPicturePage*>(g_navigator.GetCurrentPage()), nullptr);
    EXPECT_EQ(Caption(), "a.jpg - Orlivane");
    g_navigator.Back();

    Click(OnBadge(folder));
    ASSERT_EQ(g_navigator.GetCurrentIndex(), index + 1);
    EXPECT_NE(dynamic_cast<CSlideshowPage*>(g_navigator.GetCurrentPage()), nullptr) << "the badge plays";
    EXPECT_EQ(Caption(), "album - Orlivane");
    g_navigator.Back();

    Click(OnCell(folder));
    ASSERT_EQ(g_navigator.GetCurrentIndex(), index + 1);
    auto* opened = dynamic_cast<CFolderPage*>(g_navigator.GetCurrentPage());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->Catalog().m_entries.size(), 2u);
    EXPECT_EQ(Caption(), "album - Orlivane");
}

TEST_F(FolderInteraction, APressMovedWithinTheDragDistanceOpensBeyondItDragsTheCellAsAFile)
{
    CFolderPage* page = OpenFinished();
    const int index = g_navigator.GetCurrentIndex();
    const int slack = ::GetSystemMetrics(SM_CXDRAG);
    const POINT picture = OnCell(Entry(*page, "a"));
    Press(picture);
    View()->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, ClientParam(POINT{picture.x + slack, picture.y}));
    Release(POINT{picture.x + slack, picture.y});
    ASSERT_EQ(g_navigator.GetCurrentIndex(), index + 1) << "a click";
    EXPECT_EQ(Caption(), "a.jpg - Orlivane");
    g_navigator.Back();

    // The button is not down as far as the shell's drag loop can tell, so
    // the drag drops at once where the pointer is: on the album's cell.
    const POINT other = OnCell(Entry(*page, "b"));
    const POINTL onAlbum = ScreenOf(OnCell(Entry(*page, "album")));
    Press(other);
    ::SetCursorPos(onAlbum.x, onAlbum.y);
    View()->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, ClientParam(OnCell(Entry(*page, "album"))));
    EXPECT_TRUE(FileExists(album + "\\b.jpg")) << "moved by the drag, on the same volume";
    EXPECT_FALSE(FileExists(temp / "b.jpg"));
    Release(OnCell(Entry(*page, "album")));
    EXPECT_EQ(g_navigator.GetCurrentIndex(), index) << "the drag's release opens nothing";
}

TEST_F(FolderInteraction, DroppedFilesGoIntoTheFolderCellOrThePagesFolderNeverBackWhereTheyCameFrom)
{
    CFolderPage* page = OpenFinished();
    TempFolder elsewhere;
    const std::string picture = elsewhere.WriteFile("c.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 0, 255)));
    CFolderEntry& empty = Entry(*page, "empty");

    EXPECT_EQ(DragOverAt(OnCell(empty), {picture}, MK_CONTROL), (DWORD)DROPEFFECT_COPY);
    ::UpdateWindow(View()->m_hWnd);
    const RECT& cell = empty.m_thumbnail->m_cell;
    EXPECT_EQ(ScreenPixel(POINT{cell.left - 1, cell.top + 60}), ::GetSysColor(COLOR_HIGHLIGHT))
        << "the folder cell is framed as the target";
    ViewDropTarget()->DragLeave();
    ::UpdateWindow(View()->m_hWnd);
    EXPECT_NE(ScreenPixel(POINT{cell.left - 1, cell.top + 60}), ::GetSysColor(COLOR_HIGHLIGHT));

    EXPECT_EQ(DropAt(OnCell(empty), {picture}, MK_CONTROL), (DWORD)DROPEFFECT_COPY);
    EXPECT_TRUE(FileExists(temp / "empty\\c.jpg")) << "copied into the folder dropped on";
    EXPECT_TRUE(FileExists(picture)) << "Ctrl copies";
    EXPECT_EQ(DropAt(BesideCell(empty), {picture}), (DWORD)DROPEFFECT_MOVE) << "the same volume";
    EXPECT_TRUE(FileExists(temp / "c.jpg")) << "moved into the page's folder";
    EXPECT_FALSE(FileExists(picture));

    const std::vector<std::string> before = NamesOnDisk(temp.Path());
    EXPECT_EQ(DragOverAt(BesideCell(empty), {temp / "a.jpg"}, MK_CONTROL), (DWORD)DROPEFFECT_NONE);
    EXPECT_EQ(DropAt(BesideCell(empty), {temp / "a.jpg"}, MK_CONTROL), (DWORD)DROPEFFECT_NONE);
    EXPECT_EQ(DropAt(OnCell(Entry(*page, "album")), {album}), (DWORD)DROPEFFECT_NONE) << "a folder into itself";
    EXPECT_EQ(NamesOnDisk(temp.Path()), before) << "no copy where the files came from";
}

TEST_F(FolderInteraction, ADragRestingNearTheBottomOrTopEdgeScrollsThatWay)
{
    for (int i = 0; i < 40; ++i)
        temp.WriteFile("p" + std::to_string(i) + ".jpg", MakeJpeg(SolidRecipe(32, 24, 0, 0, 255)));
    OpenFinished();
    TempFolder elsewhere;
    const std::vector<std::string> files{elsewhere.WriteFile("c.jpg", MakeJpeg(SolidRecipe(32, 24, 0, 0, 255)))};
    CRect client;
    View()->GetClientRect(&client);
    const auto restAt = [&](int y) {
        POINT screen{client.Width() / 2, y};
        ::ClientToScreen(View()->m_hWnd, &screen);
        return [screen] {
            DWORD effect = kAnyEffect;
            ViewDropTarget()->DragOver(0, POINTL{screen.x, screen.y}, &effect);
        };
    };
    DragOverAt(View()->ClientToPage(POINT{client.Width() / 2, client.Height() / 2}), files);
    const int start = View()->GetScrollPosition().y;
    const auto nearBottom = restAt(client.bottom - 4);
    EXPECT_TRUE(WaitUntil([&] { nearBottom(); return View()->GetScrollPosition().y > start; }, 5000));
    const auto nearTop = restAt(client.top + 4);
    EXPECT_TRUE(WaitUntil([&] { nearTop(); return View()->GetScrollPosition().y == 0; }, 5000));
    ViewDropTarget()->DragLeave();
}

TEST_F(FolderInteraction, SixtyPicturesAddedMeanwhileCanBeScrolledToAndOpened)
{
    CFolderPage* page = OpenFinished();
    const size_t before = page->Catalog().m_entries.size();
    for (int i = 0; i < 60; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "new_%02d.jpg", i);
        temp.WriteFile(name, MakeJpeg(SolidRecipe(32, 24, 0, 0, 255)));
    }
    // The page follows at its ticks, with the window in front as a user has it.
    ASSERT_TRUE(WaitUntil([&] { return page->Catalog().m_entries.size() == before + 60; }));
    const CFolderEntry& last = page->Catalog().m_entries.back();
    ASSERT_EQ(last.m_displayName, "new_59");

    CRect client;
    View()->GetClientRect(&client);
    for (int turn = 0; turn < 100 && ToClient(OnThumbnail(last)).y >= client.bottom; ++turn)
        View()->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)-WHEEL_DELTA), 0);
    ASSERT_LT(ToClient(OnThumbnail(last)).y, client.bottom) << "the wheel reaches the new rows";
    Click(OnThumbnail(last));
    EXPECT_EQ(Caption(), "new_59.jpg - Orlivane");
}

TEST_F(FolderInteraction, RestingOnAFoldersBadgeShowsItsPicturesInTurnUntilThePointerMovesOff)
{
    CFolderPage* page = OpenFinished();
    CFolderEntry& folder = Entry(*page, "album");
    const POINT middle = OnThumbnail(folder);
    const COLORREF own = ScreenPixel(middle);
    ASSERT_TRUE(IsBlue(own) || IsYellow(own)) << std::hex << own;
    // Its thumbnail takes far longer than a tick: made away from the window.
    temp.WriteFile("album\\z.jpg", MakeJpeg(PhotoRecipe(8000, 6000)));

    Move(OnBadge(folder));
    ::Sleep(300);
    Move(OnBadge(folder));
    EXPECT_EQ(page->Peek(), nullptr) << "not before half a second";
    ::Sleep(220);
    Move(OnBadge(folder));
    ASSERT_NE(page->Peek(), nullptr);
    EXPECT_EQ(CRect(page->Peek()->Cell()), CRect(folder.m_thumbnail->m_cell));

    // The ticks show the folder's pictures one after another in its cell.
    // How long the window waits meanwhile is peek_bench's to measure.
    bool blue = false, yellow = false, photo = false;
    EXPECT_TRUE(WaitUntil([&] {
        const COLORREF shown = ScreenPixel(middle);
        blue |= IsBlue(shown);
        yellow |= IsYellow(shown);
        photo |= !IsBlue(shown) && !IsYellow(shown);
        return blue && yellow && photo;
    }, 5000)) << "blue " << blue << ", yellow " << yellow << ", photo " << photo;
    ASSERT_NE(page->Peek(), nullptr) << "still resting on the badge";

    Move(OnCell(folder));
    EXPECT_EQ(page->Peek(), nullptr);
    EXPECT_EQ(ScreenPixel(middle), own) << "the folder's own cell again";
}

// The visible info tip this thread shows, or empty.
std::string ShownInfoTip()
{
    std::wstring text;
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND window, LPARAM found) {
        if (ClassOf(window) != "tooltips_class32" || !::IsWindowVisible(window))
            return TRUE;
        wchar_t buffer[1024] = L"";
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.lpszText = buffer;
        if (::SendMessageW(window, TTM_ENUMTOOLSW, 0, (LPARAM)&tool))
            *reinterpret_cast<std::wstring*>(found) = buffer;
        return FALSE;
    }, (LPARAM)&text);
    return AfxUtf8(text);
}

// Resting on a picture for the hover time shows Explorer's info tip: the
// whole name, however long, the date taken, the dimensions and the size.
TEST_F(FolderInteraction, RestingOnAPictureShowsItsInfoTipUntilThePointerMovesOff)
{
    const std::string photos = TestSetting("ORLIVANE_EXIF_DATA");
    if (photos.empty())
        GTEST_SKIP() << "no exiftool in this build";
    const std::string name = "PXL_20240501_101500123.PORTRAIT.jpg";
    ASSERT_TRUE(::CopyFileW(AfxWide(WindowsPath(photos + "/all.jpg")).c_str(), AfxWide(temp.Path() + "\\" + name).c_str(),
                            FALSE));
    CFolderPage* page = OpenFinished();
    CFolderEntry& photo = Entry(*page, "PXL_20240501_101500123.PORTRAIT");
    CFolderEntry& folder = Entry(*page, "album");

    Move(OnThumbnail(photo));
    ASSERT_TRUE(WaitUntil([] { return !ShownInfoTip().empty(); })) << "the tip comes at a tick after the hover time";
    const SYSTEMTIME taken{2024, 5, 0, 1, 10, 15, 7, 0};
    wchar_t date[128], clock[128];
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &taken, nullptr, date, 128, nullptr);
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &taken, nullptr, clock, 128);
    wchar_t size[64];
    ::StrFormatByteSizeW((LONGLONG)photo.m_fileSize, size, 64);
    EXPECT_EQ(ShownInfoTip(), name + "\nDate taken: " + AfxUtf8(date) + " " + AfxUtf8(clock)
                                  + "\nDimensions: 64 \u00D7 48\nSize: " + AfxUtf8(size));
    EXPECT_GT(photo.m_fileSize, 0u);

    Move(OnThumbnail(folder));
    EXPECT_EQ(ShownInfoTip(), "") << "moving on hides it";
}

TEST_F(FolderInteraction, PlayNeedsAPictureOnThePageItself)
{
    OpenFinished();
    EXPECT_TRUE(CommandEnabled(ID_PLAY));
    Open(album);
    EXPECT_TRUE(CommandEnabled(ID_PLAY));

    TempFolder outer;
    outer.MakeFolder("inner");
    outer.WriteFile("inner\\z.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 0, 255)));
    outer.WriteFile("notes.txt", "not a picture");
    CFolderPage* page = Open(outer.Path());
    ASSERT_EQ(page->Catalog().m_entries.size(), 1u) << "the subfolder only";
    EXPECT_FALSE(CommandEnabled(ID_PLAY));
    BackToHome();
}

// ---------------------------------------------------------------- the selection

TEST_F(FolderInteraction, CtrlClickTogglesShiftClickSelectsFromTheFocusNeitherOpensAndTheHighlightShowsIt)
{
    CFolderPage* page = OpenFinished();
    const int index = g_navigator.GetCurrentIndex();
    {
        const HeldKeys control({VK_CONTROL});
        for (int cell : {1, 1, 4})
            Click(At(*page, cell));
    }
    {
        const HeldKeys shift({VK_SHIFT});
        Click(At(*page, 2));
    }
    EXPECT_EQ(page->GetSelectedItems(), (std::vector<int>{2, 3, 4})) << "toggled, then from the focused cell";
    EXPECT_EQ(g_navigator.GetCurrentIndex(), index) << "nothing opened";

    // The caption on the system's highlight and a frame round the thumbnail,
    // in high contrast too; the other cells as they were.
    const auto highlighted = [&](int cell, bool caption) {
        PageItem item;
        page->GetItem(cell, &item);
        const RECT below = CellPart(item.bounds, PartCaption);
        const std::vector<COLORREF> pixels =
            ScreenArea(caption ? below : RECT{item.bounds.left, item.bounds.top, item.bounds.right, below.top});
        return std::count(pixels.begin(), pixels.end(), ::GetSysColor(COLOR_HIGHLIGHT));
    };
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    for (const char* shot : {"selection", "selection-high-contrast"}) {
        std::optional<HighContrastTheme> theme;
        if (shot != std::string("selection"))
            theme.emplace();
        ::SendMessageW(theApp.m_pMainWnd->m_hWnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        ::UpdateWindow(View()->m_hWnd);
        EXPECT_GT(highlighted(3, true), 300) << shot;
        EXPECT_GT(highlighted(3, false), 100) << shot;
        EXPECT_EQ(highlighted(1, true) + highlighted(1, false), 0) << shot;
        EXPECT_TRUE(CaptureClient(View()->m_hWnd).SaveBmp(artifacts + "\\" + shot + ".bmp"));
    }
    ::SendMessageW(theApp.m_pMainWnd->m_hWnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
}

TEST_F(FolderInteraction, KeysSelectFromTheAnchorAndActOnTheSelectionOrTheFocusNeverTheCellUnderThePointer)
{
    CFolderPage* page = OpenFinished();
    const auto actedOn = [&](bool byKey) {
        std::vector<int> cells;
        for (const CFolderPage::EntryIt& entry : page->ActedOn(byKey))
            cells.push_back(page->ItemAt(OnCell(*entry)));
        return cells;
    };
    ::SetFocus(View()->m_hWnd);
    Key(VK_HOME);
    Move(At(*page, 3));
    EXPECT_EQ(actedOn(true), std::vector<int>{0}) << "the focused cell, not the hovered";
    EXPECT_EQ(actedOn(false), std::vector<int>{3}) << "a menu's, under the pointer";
    Key(VK_RIGHT);
    {
        const HeldKeys shift({VK_SHIFT});
        for (UINT key : {VK_RIGHT, VK_RIGHT, VK_LEFT, VK_HOME})
            Key(key);
    }
    EXPECT_EQ(page->GetSelectedItems(), (std::vector<int>{0, 1})) << "from where Shift started";
    Move(At(*page, 3));
    EXPECT_EQ(actedOn(true), (std::vector<int>{0, 1}));
    EXPECT_EQ(actedOn(false), (std::vector<int>{0, 1}));
    Key(VK_END);
    {
        const HeldKeys control({VK_CONTROL});
        Key(VK_SPACE);
        EXPECT_EQ(page->GetSelectedItems(), (std::vector<int>{0, 1, 4}));
    }
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_INVERT_SELECTION);
    EXPECT_EQ(page->GetSelectedItems(), (std::vector<int>{2, 3})) << "Edit > Invert Selection";
    {
        const HeldKeys control({VK_CONTROL});
        Key('A');
        EXPECT_EQ(page->SelectedCount(), 5);
    }
    Key(VK_ESCAPE);
    EXPECT_FALSE(page->HasSelection());
}

TEST_F(FolderInteraction, ARightClickOutsideTheSelectionSelectsThatCellAloneANewListingKeepsItByName)
{
    CFolderPage* page = OpenFinished();
    const auto cellOf = [&](const char* name) { return page->ItemAt(OnCell(Entry(*page, name))); };
    const auto controlClick = [&](const char* name) {
        const HeldKeys control({VK_CONTROL});
        Click(OnCell(Entry(*page, name)));
    };
    controlClick("b");
    controlClick("empty");
    RightClick(OnCell(Entry(*page, "b")));
    EXPECT_EQ(page->SelectedCount(), 2) << "inside it, kept";
    RightClick(OnCell(Entry(*page, "a")));
    EXPECT_EQ(page->GetSelectedItems(), std::vector<int>{cellOf("a")});
    controlClick("empty");
    temp.WriteFile("0.jpg", MakeJpeg(SolidRecipe(32, 24, 0, 0, 255)));
    ASSERT_TRUE(::RemoveDirectoryA((temp / "empty").c_str()));
    const auto named = [&](const char* name) {
        const std::list<CFolderEntry>& entries = page->Catalog().m_entries;
        return std::any_of(entries.begin(), entries.end(), [&](const CFolderEntry& e) { return e.m_displayName == name; });
    };
    ASSERT_TRUE(WaitUntil([&] { return named("0") && !named("empty"); })) << "listed again";
    EXPECT_EQ(page->GetSelectedItems(), std::vector<int>{cellOf("a")});
}

// ---------------------------------------------------------------- rename

TEST_F(FolderInteraction, F2RenamesTheFocusedPictureThroughTheShellAndItsCellKeepsItsThumbnail)
{
    CFolderPage* page = OpenFinished();
    const std::shared_ptr<CThumbnail> thumbnail = Entry(*page, "a").m_thumbnail;
    page->FocusPath(temp / "a.jpg");
    // The pointer rests on another cell: a key acts on the focus.
    Move(OnCell(Entry(*page, "b")));
    ::SetFocus(View()->m_hWnd);
    PressKeys({VK_F2});
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = ::FindWindowExW(View()->m_hWnd, nullptr, L"Edit", nullptr)); }));
    DWORD start = 1, end = 0;
    ::SendMessageW(box, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(AfxGetWindowText(box), "a.jpg");
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 1u) << "the name is selected up to its extension";

    PressKeys({'C', VK_RETURN});
    ASSERT_TRUE(WaitUntil([&] { return FileExists(temp / "c.jpg") && !FileExists(temp / "a.jpg"); }));
    EXPECT_FALSE(::IsWindow(box));
    EXPECT_EQ(Entry(*page, "c").m_thumbnail, thumbnail) << "the renamed cell shows its thumbnail without a decode";
    EXPECT_EQ(page->GetFocusedItem(), page->ItemAt(OnCell(Entry(*page, "c"))));
}

TEST_F(FolderInteraction, F2OnAPictureRenamesItThroughADialogTheTitleFollowsAndItsCellKeepsItsThumbnail)
{
    CFolderPage* page = OpenFinished();
    const std::shared_ptr<CThumbnail> thumbnail = Entry(*page, "b").m_thumbnail;
    page->OpenItem(page->ItemAt(OnCell(Entry(*page, "b"))));
    ASSERT_EQ(Caption(), "b.jpg - Orlivane");
    ::SetFocus(View()->m_hWnd);
    RunModal([] {
        PressKeys({VK_F2});
        return (INT_PTR)WaitUntil([] { return Caption() == "d.jpg - Orlivane"; });
    }, [](DWORD ui) {
        HWND dialog = WaitForShown(ui, "#32770", "Rename");
        ::SendMessageA(::GetDlgItem(dialog, IDC_RENAME_NAME), WM_SETTEXT, 0, (LPARAM)"d.jpg");
        ::PostMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Caption(), "d.jpg - Orlivane");
    EXPECT_TRUE(FileExists(temp / "d.jpg"));

    g_navigator.Back();
    ASSERT_TRUE(WaitUntil([&] { return page->Catalog().m_entries.back().m_displayName == "d"; }));
    EXPECT_EQ(Entry(*page, "d").m_thumbnail, thumbnail) << "the folder's cell shows it without a decode";
}

// ---------------------------------------------------------------- context menus

// The same folder, with the Favorites folder moved to a folder of the test.
class ContextMenus : public FolderInteraction {
protected:
    ContextMenus() : favorites(temp.MakeFolder("Favs")), m_saved(g_settings.FavoritesFolder)
    {
        g_settings.FavoritesFolder = favorites;
    }
    ~ContextMenus() override { g_settings.FavoritesFolder = m_saved; }

    std::string favorites;

private:
    std::string m_saved;
};

TEST_F(ContextMenus, EmptySpaceGivesNoneAFolderAddToFavoritesAPictureItsOwnMenu)
{
    CFolderPage* page = Open(temp.Path());
    CFolderEntry& picture = Entry(*page, "a");
    CFolderEntry& folder = Entry(*page, "album");

    const MenuRun none = RightClick(BesideCell(picture));
    EXPECT_FALSE(none.shown);
    EXPECT_EQ(none.waited, 0) << "the click came back without a menu loop";

    const MenuRun onFolder = RightClick(OnCell(folder));
    EXPECT_EQ(onFolder.items, (std::vector<std::string>{"&Open", "&Play Slideshow", "&Explore", "Show in E&xplorer",
                                                         "", "Cu&t", "&Copy", "Pa&ste", "&Delete", "Rena&me", "",
                                                         "&Add to Favorites", "", "P&roperties"}));
    EXPECT_EQ(onFolder.defaultItem, (UINT)ID_OPEN);
    const MenuRun onPicture = RightClick(OnCell(picture));
    EXPECT_EQ(onPicture.items, (std::vector<std::string>{"&Open", "Open Wit&h...", "&Edit", "Show in E&xplorer", "",
                                                          "Cu&t", "&Copy", "&Delete", "Rena&me", "",
                                                          "&Add to Favorites", "", "P&roperties"}));
    EXPECT_EQ(g_navigator.GetCurrentPage(), page) << "dismissed menus do nothing";
}

TEST_F(ContextMenus, FoldersUnderTheFavoritesFolderOfferRemoveWhichDeletesTheShortcut)
{
    WriteShortcut(favorites + "\\album.lnk", album);
    temp.MakeFolder("Favs\\inside");
    CFolderPage* page = Open(favorites);
    ASSERT_EQ(page->Catalog().m_entries.size(), 2u);

    const MenuRun inside = RightClick(OnCell(Entry(*page, "inside")));
    EXPECT_TRUE(Has(inside.items, "&Remove from Favorites")) << "its path is under Favorites";
    EXPECT_FALSE(Has(inside.items, "&Add to Favorites"));

    const MenuRun remove = RightClick(OnCell(Entry(*page, "album")), 'r');
    EXPECT_TRUE(Has(remove.items, "&Remove from Favorites")) << "its shortcut is under Favorites";
    EXPECT_FALSE(FileExists(favorites + "\\album.lnk"));
    EXPECT_TRUE(FileExists(temp / "album\\x.jpg")) << "the shortcut only";

    EXPECT_TRUE(WaitUntil([&] { return page->Catalog().m_entries.size() == 1u; }, 5000))
        << "the page follows at a tick";
    EXPECT_EQ(page->Catalog().m_entries.front().m_displayName, "inside");
}

TEST_F(ContextMenus, AddToFavoritesWritesTheHoveredEntrysShortcutWithItsDefaultName)
{
    CFolderPage* page = Open(temp.Path());
    const MenuRun chosen = RightClick(OnCell(Entry(*page, "album")), 'a');
    ASSERT_TRUE(chosen.shown);
    EXPECT_EQ(ShortcutTarget(favorites + "\\album.lnk"), album);

    Move(OnCell(Entry(*page, "a")));
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_ADD_TO_FAVORITES);
    EXPECT_EQ(ShortcutTarget(favorites + "\\a.jpg.lnk"), temp / "a.jpg");

    Move(BesideCell(Entry(*page, "a")));
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_ADD_TO_FAVORITES);
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((favorites + "\\*.lnk").c_str(), &data);
    int count = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            ++count;
        while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    EXPECT_EQ(count, 2) << "nothing hovered, nothing added";
}

// The folder as one item: Explorer would split a command line at its commas.
TEST_F(ContextMenus, ExploreOpensExactlyTheFolderEvenWithACommaInItsName)
{
    const std::string paris = temp.MakeFolder("Paris, 2019");
    const std::string recorded = temp / "explored.txt";
    ReplacedShellCommand explore("Folder\\shell\\explore\\command", RecordingCommand(recorded));
    CFolderPage* page = Open(temp.Path());
    const MenuRun chosen = RightClick(OnCell(Entry(*page, "Paris, 2019")), 'e');
    ASSERT_TRUE(chosen.shown);
    EXPECT_TRUE(WaitUntil([&] { return !ReadWholeFile(recorded).empty(); }, 10000));
    EXPECT_EQ(ReadWholeFile(recorded), paris);
}

// ---------------------------------------------------------------- acting on files

// A key acts on the focused cell, never the hovered one.
TEST_F(FolderInteraction, DeleteRecyclesTheFocusedPictureShiftDeleteDeletesForGoodAndTheCellsLeave)
{
    const std::string name = "doomed-" + std::to_string(::GetTickCount());  // the bin outlives the test
    const std::string doomed = temp.WriteFile(name + ".jpg", MakeJpeg(SolidRecipe(64, 48, 9, 9, 9)));
    CFolderPage* page = Open(temp.Path());
    Move(OnCell(Entry(*page, "b")));
    FocusOn(*page, name);
    Key(VK_DELETE);
    HWND confirmation = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (confirmation = FindProcessWindow(::GetCurrentProcessId(), "#32770")); }));
    ::PostMessageA(confirmation, WM_COMMAND, IDYES, 0);
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(doomed) && !Shows(*page, name); }));
    EXPECT_TRUE(FileExists(temp / "b.jpg")) << "not the cell under the pointer";
    EXPECT_TRUE(Shows(*page, "b"));
    EXPECT_TRUE(InRecycleBin(name + ".jpg")) << "recycled, not gone for good";

    const std::string gone = temp.WriteFile("gone" + name + ".jpg", MakeJpeg(SolidRecipe(64, 48, 9, 9, 9)));
    ASSERT_TRUE(WaitUntil([&] { return Shows(*page, "gone" + name); }));
    FocusOn(*page, "gone" + name);
    Key(VK_DELETE, VK_SHIFT);
    ASSERT_TRUE(WaitUntil([&] { return (confirmation = FindProcessWindow(::GetCurrentProcessId(), "#32770")); }));
    ::PostMessageA(confirmation, WM_COMMAND, IDYES, 0);
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(gone); }));
    EXPECT_FALSE(InRecycleBin("gone" + name + ".jpg")) << "Shift: gone for good";
}

TEST_F(FolderInteraction, CopyAndCutPutFilesOnTheClipboardWhichPasteCopiesOrMovesIntoTheShownFolder)
{
    CFolderPage* page = Open(temp.Path());
    FocusOn(*page, "a");
    Key('C', VK_CONTROL);
    DWORD effect = 0;
    EXPECT_EQ(ClipboardFiles(&effect), std::vector<std::string>{temp / "a.jpg"});
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_COPY);
    Key('X', VK_CONTROL);
    EXPECT_EQ(ClipboardFiles(&effect), std::vector<std::string>{temp / "a.jpg"});
    EXPECT_EQ(effect, (DWORD)DROPEFFECT_MOVE);
    EXPECT_TRUE(FileExists(temp / "a.jpg")) << "a cut leaves the file until pasted";

    CFolderPage* albumPage = Open(album);
    Key('V', VK_CONTROL);
    EXPECT_TRUE(WaitUntil([&] { return FileExists(album + "\\a.jpg") && Shows(*albumPage, "a"); }));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(temp / "a.jpg"); })) << "moved";

    PutDropOnClipboard(temp / "b.jpg");  // no preferred effect: a copy
    EXPECT_TRUE(CommandEnabled(ID_EDIT_PASTE));
    Key('V', VK_CONTROL);
    EXPECT_TRUE(WaitUntil([&] { return FileExists(album + "\\b.jpg") && Shows(*albumPage, "b"); }));
    EXPECT_TRUE(FileExists(temp / "b.jpg"));

    CFolderPage* again = Open(temp.Path());
    EXPECT_TRUE(Has(RightClick(OnCell(Entry(*again, "empty")), 's').items, "Pa&ste"));
    EXPECT_TRUE(WaitUntil([&] { return FileExists(temp / "empty\\b.jpg"); })) << "into the folder right-clicked";
}

TEST_F(FolderInteraction, AnOfflineShortcutCanOnlyBeDeletedAndPasteNeedsFilesOnTheClipboard)
{
    CFolderPage* page = Open(temp.Path());
    ::OpenClipboard(nullptr);
    ::EmptyClipboard();
    ::CloseClipboard();
    EXPECT_FALSE(CommandEnabled(ID_EDIT_PASTE));
    PutDropOnClipboard(temp / "a.jpg");
    EXPECT_TRUE(CommandEnabled(ID_EDIT_PASTE));
    Move(OnCell(Entry(*page, "offline")));
    for (UINT id : {ID_EDIT_COPY, ID_EDIT_CUT, ID_PASTE_INTO, ID_PROPERTIES, ID_SHOW_IN_EXPLORER, ID_COPY_TO_FOLDER})
        EXPECT_FALSE(CommandEnabled(id)) << id;
    EXPECT_TRUE(CommandEnabled(ID_EDIT_CLEAR)) << "the shortcut itself is there";
    Move(OnCell(Entry(*page, "album")));
    EXPECT_TRUE(CommandEnabled(ID_EDIT_COPY));
    EXPECT_TRUE(CommandEnabled(ID_PASTE_INTO));
}

// ---------------------------------------------------------------- the order

// Whether View > Sort By, opened, shows a dot at id.
bool Dotted(UINT id)
{
    HMENU view = ::GetSubMenu(::GetMenu(theApp.m_pMainWnd->m_hWnd), 2);
    HMENU sortBy = ::GetSubMenu(view, ::GetMenuItemCount(view) - 3);  // above Preferences and its separator
    theApp.m_pMainWnd->SendMessage(WM_INITMENUPOPUP, (WPARAM)sortBy, 0);
    MENUITEMINFOW item{sizeof item, MIIM_FTYPE | MIIM_STATE};
    return ::GetMenuItemInfoW(sortBy, id, FALSE, &item) && (item.fType & MFT_RADIOCHECK) && (item.fState & MFS_CHECKED);
}

TEST_F(FolderInteraction, SortByReordersTheFolderKeepsTheFocusInPlaceAndIsWalked)
{
    // Written in turn from the newest: by date the reverse of the names.
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(SetWriteTime(temp.WriteFile((i < 10 ? "p0" : "p") + std::to_string(i) + ".jpg",
                                                MakeJpeg(SolidRecipe(32, 24, 0, 0, 255))), TimeAt(1000 - i)));
    CFolderPage* page = OpenFinished();
    ::SetFocus(View()->m_hWnd);
    FocusOn(*page, "p20");
    const auto item = [&](int index) { PageItem item; page->GetItem(index, &item); return item; };
    const auto focused = [&] { return item(page->GetFocusedItem()).name; };
    const auto focusTop = [&] { return ToClient(POINT{0, item(page->GetFocusedItem()).bounds.top}).y; };
    LONG top = focusTop();
    CWnd* main = theApp.m_pMainWnd;
    main->SendMessage(WM_COMMAND, ID_SORT_BY_DATE_MODIFIED);
    EXPECT_EQ(item(3).name, "p99") << "after the folders, the oldest";
    EXPECT_EQ(focused(), "p20");
    EXPECT_EQ(focusTop(), top) << "the focused cell stays where it was on screen";
    EXPECT_TRUE(Dotted(ID_SORT_BY_DATE_MODIFIED) && Dotted(ID_SORT_ASCENDING) && !Dotted(ID_SORT_BY_NAME));

    // The picture page walks the page's order, not the names'.
    Key(VK_RETURN);
    Key(VK_RIGHT);
    EXPECT_EQ(Caption(), "p19.jpg - Orlivane");
    CHomePage home(EntryOf(g_settings.HistoryFolder), EntryOf(g_settings.FavoritesFolder));
    EXPECT_EQ(home.FavoritesPane().Catalog().m_sortOrder, SortByName) << "the Home page's panes keep theirs";
    EXPECT_EQ(home.HistoryPane().Catalog().m_sortOrder, SortNewestFirst);

    // By date taken a folder opens as listed and is sorted once every date
    // is known, the focus in place.
    main->SendMessage(WM_COMMAND, ID_SORT_BY_DATE_TAKEN);
    BackToHome();
    page = Open(temp.Path());
    FocusOn(*page, "p20");
    top = focusTop();
    EXPECT_EQ(item(3).name, "a");
    EXPECT_TRUE(WaitUntil([&] { return item(3).name == "p99"; })) << "without a date, the oldest file first";
    EXPECT_EQ(focused(), "p20");
    EXPECT_EQ(focusTop(), top);
    main->SendMessage(WM_COMMAND, ID_SORT_BY_NAME);
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kProgramKey, "SortOrder");
}

// ---------------------------------------------------------------- the Home page

class HomeInteraction : public FolderInteraction {
protected:
    ~HomeInteraction() override
    {
        for (const std::string& link : m_links)
            ::DeleteFileA(link.c_str());
    }

    // A shortcut of the test in the prefix's own History or Favorites folder.
    std::string Keep(const std::string& folder, const std::string& target)
    {
        const std::string link = folder + "\\orlivane-test-" + std::to_string(::GetCurrentProcessId()) + "-"
                               + std::to_string(m_links.size()) + ".lnk";
        WriteShortcut(link, target);
        m_links.push_back(link);
        return link;
    }

    // Home current, with a History shortcut to the album and a favorite,
    // once both panes show them.
    void ShowBothPanes()
    {
        home = dynamic_cast<CHomePage*>(g_navigator.GetPage(0));
        ASSERT_NE(home, nullptr);
        g_navigator.Home();
        ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
        visited = Keep(g_settings.HistoryFolder, album);
        favorite = Keep(g_settings.FavoritesFolder, temp / "empty");
        ASSERT_TRUE(WaitUntil([&] {
            return Find(home->HistoryPane(), visited) && Find(home->FavoritesPane(), favorite);
        })) << "both panes follow their folders";
    }

    static CFolderEntry* Find(CFolderPage& pane, const std::string& link)
    {
        for (CFolderEntry& entry : pane.Catalog().m_entries)
            if (entry.m_linkPath == link)
                return &entry;
        return nullptr;
    }

    // A shortcut the program is to write, deleted after the test.
    std::string Expect(const std::string& link)
    {
        m_links.push_back(link);
        return link;
    }

    CHomePage* home = nullptr;
    std::string visited, favorite;

private:
    std::vector<std::string> m_links;
};

TEST_F(HomeInteraction, PlayAndAddFavoriteAreGreyAndTheCaptionSaysHomeWheneverHomeIsCurrent)
{
    HWND toolbar = MainToolBar();
    ASSERT_NE(toolbar, nullptr);
    auto buttonEnabled = [&](UINT id) {
        theApp.OnIdle(0);
        return ::SendMessageA(toolbar, TB_ISBUTTONENABLED, id, 0) != 0;
    };

    g_navigator.Home();
    EXPECT_EQ(Caption(), "Home Page - Orlivane");
    EXPECT_FALSE(buttonEnabled(ID_PLAY));
    EXPECT_FALSE(buttonEnabled(ID_ADD_FAVORITE));
    EXPECT_FALSE(CommandEnabled(ID_PLAY));
    EXPECT_FALSE(CommandEnabled(ID_ADD_FAVORITE));

    Open(temp.Path());
    EXPECT_NE(Caption(), "Home Page - Orlivane");
    EXPECT_TRUE(buttonEnabled(ID_PLAY));
    EXPECT_TRUE(buttonEnabled(ID_ADD_FAVORITE));

    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_GO_HOME);
    EXPECT_EQ(Caption(), "Home Page - Orlivane");
    EXPECT_FALSE(buttonEnabled(ID_PLAY));
    EXPECT_FALSE(buttonEnabled(ID_ADD_FAVORITE));

    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_GO_FORWARD);
    Open(album);
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_GO_BACK);
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_GO_BACK);
    EXPECT_EQ(g_navigator.GetCurrentIndex(), 0);
    EXPECT_EQ(Caption(), "Home Page - Orlivane") << "back to Home";
}

TEST_F(HomeInteraction, AHistoryEntryOffersRemoveFromHistoryAFavoriteItsPanesMenu)
{
    ASSERT_NO_FATAL_FAILURE(ShowBothPanes());

    const CFolderEntry& inHistory = *Find(home->HistoryPane(), visited);
    ASSERT_TRUE(::PtInRect(&home->HistoryArea(), OnCell(inHistory)));
    const MenuRun history = RightClick(OnCell(inHistory));
    EXPECT_EQ(history.items, (std::vector<std::string>{"&Open", "&Play Slideshow", "&Explore", "",
                                                        "&Add to Favorites", "&Remove from History", "", "Cu&t",
                                                        "&Copy", "&Delete", "", "Propert&ies"}));

    const CFolderEntry& inFavorites = *Find(home->FavoritesPane(), favorite);
    ASSERT_TRUE(::PtInRect(&home->FavoritesArea(), OnCell(inFavorites)));
    const MenuRun favorites = RightClick(OnCell(inFavorites));
    EXPECT_TRUE(Has(favorites.items, "&Remove from Favorites"));
    EXPECT_FALSE(Has(favorites.items, "&Remove from History"));
    EXPECT_EQ(g_navigator.GetCurrentIndex(), 0);
}

TEST_F(HomeInteraction, AContextCommandActsOnTheEntryRightClickedWhereverTheItemLies)
{
    ASSERT_NO_FATAL_FAILURE(ShowBothPanes());

    // "Remove from History" chosen while the pointer is over the Favorites pane.
    const POINT overFavorites = OnCell(*Find(home->FavoritesPane(), favorite));
    const MenuRun run = RightClick(OnCell(*Find(home->HistoryPane(), visited)), 'r', &overFavorites);
    ASSERT_TRUE(Has(run.items, "&Remove from History"));
    EXPECT_FALSE(FileExists(visited)) << "the History entry right-clicked is removed";
    EXPECT_TRUE(FileExists(favorite));
}

TEST_F(HomeInteraction, DeleteRemovesAHistoryShortcutAtOnceAndPasteIsGrey)
{
    ASSERT_NO_FATAL_FAILURE(ShowBothPanes());
    PutDropOnClipboard(temp / "a.jpg");
    EXPECT_FALSE(CommandEnabled(ID_EDIT_PASTE)) << "Home shows no folder to paste into";
    CFolderPage& history = home->HistoryPane();
    for (int i = 0; i < history.GetItemCount(); ++i) {
        home->FocusItem(home->FavoritesPane().GetItemCount() + i);
        if (history.ActedOn(true).front()->m_linkPath == visited)
            break;
    }
    ASSERT_EQ(history.ActedOn(true).front()->m_linkPath, visited);
    Key(VK_DELETE);
    EXPECT_FALSE(FileExists(visited)) << "the shortcut, as Remove";
    EXPECT_EQ(Find(home->HistoryPane(), visited), nullptr) << "the pane follows at once";
    EXPECT_TRUE(FileExists(album + "\\x.jpg")) << "not its target";
}

TEST_F(HomeInteraction, AFolderDroppedOnTheFavoritesPaneBecomesAFavoriteNothingElseIsTaken)
{
    ASSERT_NO_FATAL_FAILURE(ShowBothPanes());
    const std::string folder = temp.MakeFolder("dropped-" + std::to_string(::GetCurrentProcessId()));
    const std::string link = Expect(g_settings.FavoritesFolder + "\\" + DefaultShortcutName(folder) + ".lnk");
    const RECT& pane = home->FavoritesArea();
    const POINT inPane{pane.left + 40, pane.bottom - 20};
    const POINT inHistory = OnCell(*Find(home->HistoryPane(), visited));

    EXPECT_EQ(DropAt(inHistory, {folder}), (DWORD)DROPEFFECT_NONE);
    EXPECT_EQ(DropAt(inPane, {temp / "a.jpg"}), (DWORD)DROPEFFECT_NONE) << "a picture is no favorite";
    EXPECT_FALSE(FileExists(link));
    EXPECT_EQ(DropAt(inPane, {folder}), (DWORD)DROPEFFECT_LINK);
    EXPECT_EQ(ShortcutTarget(link), folder);
    EXPECT_TRUE(FolderExists(folder)) << "the folder stays where it is";
}

TEST_F(HomeInteraction, NewFavoritesRowsAreReachableAtOnce)
{
    auto* home = dynamic_cast<CHomePage*>(g_navigator.GetPage(0));
    ASSERT_NE(home, nullptr);
    g_navigator.Home();
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    std::string lastLink;
    for (int i = 0; i < 30; ++i)
        lastLink = Keep(g_settings.FavoritesFolder, temp / "empty");
    ASSERT_TRUE(WaitUntil([&] { return Find(home->FavoritesPane(), lastLink) != nullptr; }));
    int bottom = 0;
    for (const CFolderEntry& entry : home->FavoritesPane().Catalog().m_entries)
        bottom = std::max(bottom, (int)entry.m_thumbnail->m_cell.bottom);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    ASSERT_TRUE(::GetScrollInfo(View()->m_hWnd, SB_VERT, &info));
    EXPECT_GE(info.nMax, bottom) << "the scroll range takes in the last row";
}

TEST_F(HomeInteraction, OneSelectionInThePaneWithTheKeys)
{
    ASSERT_NO_FATAL_FAILURE(ShowBothPanes());
    CFolderPage& favorites = home->FavoritesPane();
    CFolderPage& history = home->HistoryPane();
    const POINT onFavorite = OnCell(*Find(favorites, favorite));
    const POINT onVisited = OnCell(*Find(history, visited));
    {
        const HeldKeys control({VK_CONTROL});
        Click(onFavorite);
        EXPECT_EQ(home->GetSelectedItems(), std::vector<int>{favorites.ItemAt(onFavorite)});
        Click(onVisited);
    }
    EXPECT_FALSE(favorites.HasSelection()) << "moving to the other pane";
    EXPECT_EQ(home->GetSelectedItems(), std::vector<int>{favorites.GetItemCount() + history.ItemAt(onVisited)});
    EXPECT_EQ(g_navigator.GetCurrentIndex(), 0);
}

} // namespace
