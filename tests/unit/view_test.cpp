// The view hosting the current page, inside the real main window of a
// started application.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "app/vemolyapp.h"
#include "comptr.h"
#include "core/navigator.h"
#include "core/page.h"
#include "core/pagehost.h"
#include "folder_pages.h"
#include "folderpage/folderpage.h"
#include "high_contrast.h"
#include "jpeg_maker.h"
#include "pages/homepage.h"
#include "pages/picturepage.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "running_app.h"
#include "temp_folder.h"
#include "user_input.h"
#include "shell/settings.h"
#include "view/vemolyview.h"

namespace {

// A page that records what the view hands it.
class ProbePage : public CPage {
public:
    explicit ProbePage(CSize extent) : m_extent(extent) {}

    void Load() override {}
    CSize Layout(const RECT* area) override
    {
        CPage::Layout(area);
        layouts.push_back(*area);
        return CSize(m_extent.cx ? m_extent.cx : area->right - area->left, m_extent.cy);
    }
    void Draw(CDC*, const RECT* clip) override { draws.push_back(*clip); }
    void OnClick(const POINT& point, bool up) override { clicks.push_back({point, up}); }
    void OnHover(const POINT& point) override { hovers.push_back(point); }
    void OnTick() override { ++ticks; }
    CMenu* GetContextMenu(const POINT&) override
    {
        if (!offerMenu)
            return nullptr;
        auto* menu = new CMenu;
        menu->LoadMenu(IDR_MENU_FOLDER);
        return menu;
    }
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override
    {
        if (code == CN_COMMAND && !info)
            commands.push_back(id);
        return CPage::OnCmdMsg(id, code, extra, info);
    }
    void SetSavedScroll(POINT p) { m_scroll = p; }

    std::string GetTitle() override { return title; }
    int GetItemCount() const override { return (int)items.size(); }
    bool GetItem(int index, PageItem* item) const override
    {
        if (index < 0 || index >= (int)items.size())
            return false;
        *item = items[index];
        item->focused = index == focused;
        return true;
    }
    int GetFocusedItem() const override { return focused; }
    void FocusItem(int index) override
    {
        focused = index;
        NotifyItemFocused(index);
    }
    void OpenItem(int index) override { opened.push_back(index); }

    std::vector<RECT> layouts;
    std::vector<RECT> draws;
    std::vector<std::pair<POINT, bool>> clicks;
    std::vector<POINT> hovers;
    std::vector<UINT> commands;
    int ticks = 0;
    bool offerMenu = true;
    std::string title = "Probe";
    std::vector<PageItem> items;
    int focused = -1;
    std::vector<int> opened;

private:
    CSize m_extent;
};

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

class ViewTest : public testing::Test {
protected:
    ProbePage* Open(CSize extent)
    {
        auto* page = new ProbePage(extent);
        g_navigator.Navigate(page);
        ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
        return page;
    }
    // What a case changes comes back even when it stops at a failed assertion.
    void TearDown() override
    {
        if (g_resources.Dpi() != m_dpi)
            view->ScaleChanged(m_dpi);
        if (GetPageHost() != view)
            RegisterPageHost(view, view->m_hWnd);
        g_navigator.Home();
    }

    CVemolyView* view = CVemolyView::GetActive();
    const int m_dpi = g_resources.Dpi();
};

TEST_F(ViewTest, StartsOnTheHomePageWithTheShortTick)
{
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(g_navigator.GetCurrentIndex(), 0);
    EXPECT_EQ(theApp.m_pMainWnd->GetWindowText(), "Home Page - Orlivane");
    EXPECT_EQ(view->GetTickInterval(), 500);
}

TEST_F(ViewTest, PageCoordinatesIncludeTheScrollPosition)
{
    Open(CSize(0, 5000));
    view->ScrollToPosition(CPoint(0, 300));
    EXPECT_EQ(view->GetScrollPosition().y, 300);

    const POINT page = view->ClientToPage(CPoint(10, 20));
    EXPECT_EQ(page.x, 10);
    EXPECT_EQ(page.y, 320);
    const RECT client = view->PageToClient(CRect(5, 300, 15, 310));
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.left, 5);
    EXPECT_EQ(client.bottom, 10);
}

TEST_F(ViewTest, UpdateLayoutClampsTheSavedScrollPosition)
{
    ProbePage* page = Open(CSize(0, 5000));
    CRect client;
    view->GetClientRect(&client);

    page->SetSavedScroll(CPoint(0, 100000));
    page->UpdateLayout();
    EXPECT_EQ(page->GetSavedScroll().y, 5000 - client.Height());
    EXPECT_EQ(view->GetScrollPosition().y, 5000 - client.Height());

    // Content smaller than the view: the saved position goes negative, the view stays at the top.
    ProbePage* small = Open(CSize(0, 100));
    small->SetSavedScroll(CPoint(0, 50));
    small->UpdateLayout();
    EXPECT_EQ(small->GetSavedScroll().y, 100 - client.Height());
    EXPECT_EQ(view->GetScrollPosition().y, 0);
}

TEST_F(ViewTest, ScrollPositionIsKeptPerPage)
{
    ProbePage* first = Open(CSize(0, 5000));
    view->ScrollToPosition(CPoint(0, 700));
    Open(CSize(0, 5000));
    EXPECT_EQ(view->GetScrollPosition().y, 0);
    g_navigator.Back();
    EXPECT_EQ(g_navigator.GetCurrentPage(), first);
    EXPECT_EQ(view->GetScrollPosition().y, 700);
}

TEST_F(ViewTest, ScrollBarArrowsMoveFivePixelsAndTheWheelMoreButAtMostAPage)
{
    Open(CSize(0, 5000));
    view->ScrollToPosition(CPoint(0, 0));
    view->SendMessage(WM_VSCROLL, SB_LINEDOWN);
    EXPECT_EQ(view->GetScrollPosition().y, 5);
    view->SendMessage(WM_VSCROLL, SB_LINEUP);
    EXPECT_EQ(view->GetScrollPosition().y, 0);
    view->SendMessage(WM_VSCROLL, SB_PAGEDOWN);
    CRect client;
    view->GetClientRect(&client);
    EXPECT_EQ(view->GetScrollPosition().y, client.Height());

    view->ScrollToPosition(CPoint(0, 0));
    view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)-WHEEL_DELTA), 0);
    const int step = view->GetScrollPosition().y;
    EXPECT_GT(step, 0);
    EXPECT_LE(step, client.Height());
    view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(view->GetScrollPosition().y, 0);
}

TEST_F(ViewTest, TickIntervalSwitchesBetweenDelayAndHalfASecond)
{
    Open(CSize(0, 100));
    EXPECT_EQ(view->GetTickInterval(), 500);
    view->SetTickInterval(g_settings.Delay);
    EXPECT_EQ(view->GetTickInterval(), g_settings.Delay);
    Open(CSize(0, 100));
    EXPECT_EQ(view->GetTickInterval(), 500) << "an ordinary page sets the short tick again";
}

TEST_F(ViewTest, ReleaseReachesThePageOnlyAfterAPressInTheView)
{
    ProbePage* page = Open(CSize(0, 5000));
    view->ScrollToPosition(CPoint(0, 40));
    view->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
    EXPECT_TRUE(page->clicks.empty());

    view->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
    view->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(31, 32));
    ASSERT_EQ(page->clicks.size(), 2u);
    EXPECT_FALSE(page->clicks[0].second);
    EXPECT_EQ(page->clicks[0].first.y, 70);
    EXPECT_TRUE(page->clicks[1].second);
    EXPECT_EQ(page->clicks[1].first.x, 31);
    EXPECT_EQ(page->clicks[1].first.y, 72);

    view->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
    EXPECT_EQ(page->clicks.size(), 2u) << "a second release has no press";
}

TEST_F(ViewTest, TicksAndHoverReachThePageOnlyWhileItsFrameIsInFront)
{
    ProbePage* page = Open(CSize(0, 100));
    view->SendMessage(WM_TIMER, CVemolyView::kTickTimer);
    EXPECT_EQ(page->ticks, 1);
    EXPECT_EQ(page->hovers.size(), 1u) << "each tick hovers first";

    page->SetTicking(false);
    view->SendMessage(WM_TIMER, CVemolyView::kTickTimer);
    EXPECT_EQ(page->ticks, 1);
    page->SetTicking(true);

    view->SendMessage(WM_TIMER, CVemolyView::kTickTimer + 1);
    EXPECT_EQ(page->ticks, 1) << "other timers are not the tick";

    HWND other = ::CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100,
                                   nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(other);
    PumpMessages();
    ASSERT_EQ(::GetForegroundWindow(), other);
    const size_t hovers = page->hovers.size();
    view->SendMessage(WM_TIMER, CVemolyView::kTickTimer);
    view->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(page->ticks, 1);
    EXPECT_EQ(page->hovers.size(), hovers);

    ::DestroyWindow(other);
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    PumpMessages();
    view->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
    ASSERT_GT(page->hovers.size(), hovers);
    EXPECT_EQ(page->hovers.back().y, 6);
}

void CALLBACK DismissMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    ::EndMenu();
}

TEST_F(ViewTest, DismissedContextMenuSendsCommandZero)
{
    ProbePage* page = Open(CSize(0, 100));
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, &DismissMenu);
    view->SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    ::KillTimer(nullptr, timer);
    ASSERT_EQ(page->commands.size(), 1u);
    EXPECT_EQ(page->commands[0], 0u);
    EXPECT_FALSE(view->IsMenuOpen());

    page->offerMenu = false;
    view->SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(page->commands.size(), 1u) << "no menu, no command";
}

TEST_F(ViewTest, BackAndForwardAreEnabledByPosition)
{
    EXPECT_FALSE(CommandEnabled(ID_GO_BACK));
    Open(CSize(0, 100));
    EXPECT_TRUE(CommandEnabled(ID_GO_BACK));
    EXPECT_FALSE(CommandEnabled(ID_GO_FORWARD));
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_GO_BACK);
    EXPECT_EQ(g_navigator.GetCurrentIndex(), 0);
    EXPECT_TRUE(CommandEnabled(ID_GO_FORWARD));
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_GO_FORWARD);
    EXPECT_EQ(g_navigator.GetCurrentIndex(), 1);
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_GO_HOME);
    EXPECT_EQ(g_navigator.GetCurrentIndex(), 0);
    EXPECT_EQ(theApp.m_pMainWnd->GetWindowText(), "Home Page - Orlivane");
}

TEST_F(ViewTest, ResizingLaysThePageOutWithTheClientAsScrollPage)
{
    ProbePage* page = Open(CSize(0, 5000));
    page->layouts.clear();
    CRect frame;
    theApp.m_pMainWnd->GetWindowRect(&frame);
    ::SetWindowPos(theApp.m_pMainWnd->m_hWnd, nullptr, 0, 0, frame.Width() - 40, frame.Height() - 30,
                   SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_FALSE(page->layouts.empty());
    CRect client;
    view->GetClientRect(&client);
    EXPECT_EQ(CRect(page->layouts.back()).Width(), client.Width());

    int mode;
    SIZE total, pageSize, line;
    view->GetDeviceScrollSizes(mode, total, pageSize, line);
    EXPECT_EQ(total.cy, 5000);
    EXPECT_EQ(pageSize.cy, client.Height());
    EXPECT_EQ(line.cy, 5);
    ::SetWindowPos(theApp.m_pMainWnd->m_hWnd, nullptr, 0, 0, frame.Width(), frame.Height(),
                   SWP_NOMOVE | SWP_NOZORDER);
}

TEST_F(ViewTest, PrintingScalesTheClientWidthToThePrintableWidth)
{
    Open(CSize(0, 5000));
    view->ScrollToPosition(CPoint(0, 600));
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    dc.m_bPrinting = TRUE;
    view->OnPrepareDC(&dc, nullptr);
    CRect client;
    view->GetClientRect(&client);
    POINT corner{client.Width(), 0};
    dc.LPtoDP(&corner);
    EXPECT_EQ(dc.GetMapMode(), MM_ISOTROPIC);
    // Isotropic mapping may give up a pixel to keep the device's aspect.
    EXPECT_NEAR(corner.x, dc.GetDeviceCaps(HORZRES), 2);
    EXPECT_EQ(corner.y, 0) << "the top of the content, whatever the scroll position";
}

TEST_F(ViewTest, PaintingHandsThePageTheInvalidAreaInPageCoordinates)
{
    ProbePage* page = Open(CSize(0, 5000));
    view->ScrollToPosition(CPoint(0, 200));
    view->UpdateWindow();
    page->draws.clear();
    CRect dirty(10, 10, 50, 60);
    view->InvalidateRect(&dirty);
    view->UpdateWindow();
    ASSERT_FALSE(page->draws.empty());
    EXPECT_LE(page->draws.back().top, 210);
    EXPECT_GE(page->draws.back().bottom, 260);
}

// What draw paints over black within rect (page coordinates), row by row.
std::vector<COLORREF> PaintedIn(const RECT& rect, const std::function<void(CDC*)>& draw)
{
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    CBitmap bitmap;
    bitmap.Attach(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CDC dc;  // released before the bitmap
    dc.CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc.SelectObject(bitmap.GetSafeHandle());
    ::SetViewportOrgEx(dc.m_hDC, -rect.left, -rect.top, nullptr);
    draw(&dc);
    ::GdiFlush();
    std::vector<COLORREF> pixels;
    for (size_t i = 0; i < (size_t)width * height; ++i) {
        const DWORD p = static_cast<const DWORD*>(bits)[i];
        pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
    dc.SelectObject(old);
    return pixels;
}

TEST_F(ViewTest, HighContrastPaintsThePageInTheSystemsColoursAsSoonAsItIsChosen)
{
    TempFolder temp;
    temp.MakeFolder("pictures");
    temp.WriteFile("pictures\\MMMMMMMM.jpg", MakeJpeg(SolidRecipe(64, 48, 255, 0, 0)));
    CFolderPage* page = OpenFolderPage(temp.Path() + "\\pictures");
    // Painted before and after with its thumbnail made.
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard guard(EntryLock());
        return page->Catalog().m_entries.front().m_thumbnail->HasPicture();
    }));
    // The page as the view paints it, background and all.
    const auto painted = [&] {
        CRect client;
        view->GetClientRect(&client);
        return PaintedIn(client, [&](CDC* dc) {
            view->SendMessage(WM_ERASEBKGND, (WPARAM)dc->m_hDC);
            view->OnDraw(dc);
        });
    };
    const auto count = [](const std::vector<COLORREF>& pixels, COLORREF colour) {
        return std::count(pixels.begin(), pixels.end(), colour);
    };
    const std::vector<COLORREF> normal = painted();
    EXPECT_GT(count(normal, RGB(0, 0, 0)), (long)normal.size() / 2) << "black in normal contrast";
    EXPECT_GT(count(normal, RGB(192, 192, 192)), 0) << "silver captions";

    {
        const HighContrastTheme theme;
        ASSERT_TRUE(theme.Applied());
        ::SendMessageW(theApp.m_pMainWnd->m_hWnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        const std::vector<COLORREF> contrast = painted();
        EXPECT_GT(count(contrast, ::GetSysColor(COLOR_WINDOW)), (long)contrast.size() / 2);
        EXPECT_GT(count(contrast, ::GetSysColor(COLOR_WINDOWTEXT)), 0) << "title and captions";
        EXPECT_EQ(count(contrast, RGB(192, 192, 192)), 0);
    }
    ::SendMessageW(theApp.m_pMainWnd->m_hWnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_EQ(painted(), normal) << "switched off, the page is as before";
}

TEST_F(ViewTest, AChangeOfScaleLaysThePageOutAgainAndRemakesItsThumbnailsForTheNewBox)
{
    TempFolder temp;
    temp.MakeFolder("wide");
    temp.WriteFile("wide\\a.jpg", MakeJpeg(SolidRecipe(480, 320, 255, 0, 0)));
    CFolderPage* page = OpenFolderPage(temp.Path() + "\\wide");
    ASSERT_EQ(page->Catalog().m_entries.size(), 1u);
    // Listing the folder again may give the entry a new thumbnail.
    const auto thumbnail = [&]() -> CThumbnail& { return *page->Catalog().m_entries.front().m_thumbnail; };
    const auto madeAt = [&](int width, int height) {
        return WaitUntil([&] {
            std::lock_guard guard(EntryLock());
            return thumbnail().HasPicture() && thumbnail().m_width == width && thumbnail().m_height == height;
        });
    };
    ASSERT_TRUE(madeAt(90, 60));

    view->ScaleChanged(144);
    EXPECT_EQ(g_resources.Dpi(), 144);
    EXPECT_EQ(thumbnail().m_cell.right - thumbnail().m_cell.left, 180);
    EXPECT_EQ(thumbnail().m_cell.bottom - thumbnail().m_cell.top, 210);
    EXPECT_TRUE(madeAt(135, 90)) << thumbnail().m_width << " by " << thumbnail().m_height;
    int width = 0, height = 0;
    ImageList_GetIconSize(g_resources.GetBadges(), &width, &height);
    EXPECT_EQ(width, 36);

    view->ScaleChanged(96);
    EXPECT_EQ(thumbnail().m_cell.right - thumbnail().m_cell.left, 120);
    EXPECT_TRUE(madeAt(90, 60)) << thumbnail().m_width << " by " << thumbnail().m_height;
}

// Changes of scale, undone at the end of the test whatever it found.
class ViewScaleTest : public ViewTest {
protected:
    void TearDown() override
    {
        view->ScaleChanged(m_startDpi);
        ViewTest::TearDown();
    }
    const int m_startDpi = g_resources.Dpi();
};

TEST_F(ViewScaleTest, EveryPageInTheHistoryDrawsItsTitleIconAfterAChangeOfScale)
{
    TempFolder temp;
    temp.MakeFolder("pictures");
    CFolderPage* folder = OpenFolderPage(temp.Path() + "\\pictures");
    view->ScaleChanged(144);
    view->ScaleChanged(m_startDpi);

    // The icon in pane's title line, as page paints it and as the drawing resources draw it now.
    const auto expectIcon = [&](CPage* page, const CPage& pane, CDrawingResources::Icon icon, const char* which) {
        const int size = g_resources.Scale(32);
        const int left = pane.GetBounds().left + g_resources.Scale(10), top = pane.GetBounds().top + g_resources.Scale(8);
        const RECT at{left, top, left + size, top + size};
        const std::vector<COLORREF> expected = PaintedIn(at, [&](CDC* dc) {
            ::DrawIconEx(dc->m_hDC, left, top, g_resources.GetIcon(icon), 0, 0, 0, nullptr, DI_NORMAL);
        });
        ASSERT_GT(std::count_if(expected.begin(), expected.end(), [](COLORREF c) { return c != 0; }), size) << which;
        EXPECT_EQ(PaintedIn(at, [&](CDC* dc) { page->Draw(dc, &at); }), expected) << which;
    };
    expectIcon(folder, *folder, CDrawingResources::FolderPageIcon, "the folder page");
    g_navigator.Back();
    auto* home = dynamic_cast<CHomePage*>(g_navigator.GetCurrentPage());
    ASSERT_NE(home, nullptr);
    expectIcon(home, home->FavoritesPane(), CDrawingResources::FavoritesIcon, "Favorites");
    expectIcon(home, home->HistoryPane(), CDrawingResources::HistoryIcon, "History");
}

// ---------------------------------------------------------------- screen readers

VARIANT Child(long id)
{
    VARIANT child;
    ::VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

// A text property of child, or "<failed>".
std::string Text(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id)
{
    BSTR text = nullptr;
    if ((object->*get)(Child(id), &text) != S_OK || !text)
        return "<failed>";
    std::string result = AfxUtf8(text);
    ::SysFreeString(text);
    return result;
}

long Number(HRESULT hr, const VARIANT& value)
{
    return hr == S_OK && value.vt == VT_I4 ? value.lVal : -100;
}

long RoleOf(IAccessible* object, long id)
{
    VARIANT role;
    return Number(object->get_accRole(Child(id), &role), role);
}

long StateOf(IAccessible* object, long id)
{
    VARIANT state;
    return Number(object->get_accState(Child(id), &state), state);
}

CRect ScreenRect(CVemolyView* view, const RECT& pageRect)
{
    CRect rect = view->PageToClient(pageRect);
    ::MapWindowPoints(view->m_hWnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void GiveItems(ProbePage* page)
{
    page->items = {{"Holidays", "Folder", {10, 110, 130, 250}, false},
                   {"T\xC5\x8Dky\xC5\x8D \xE6\x9D\xB1\xE4\xBA\xAC.jpg", "Picture", {140, 110, 260, 250}, false},
                   {"Far below", "Picture", {10, 4500, 130, 4640}, false}};
}

TEST_F(ViewTest, ScreenReadersSeeThePageAsAListOfItsItemsWhereTheyAreOnScreen)
{
    ProbePage* page = Open(CSize(0, 5000));
    page->title = "Holiday pictures";
    GiveItems(page);
    view->ScrollToPosition(CPoint(0, 100));

    CComPtr<IAccessible> list;
    ASSERT_EQ(::AccessibleObjectFromWindow(view->m_hWnd, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&list)), S_OK);
    EXPECT_EQ(RoleOf(list.Get(), CHILDID_SELF), ROLE_SYSTEM_LIST);
    EXPECT_EQ(Text(list.Get(), &IAccessible::get_accName, CHILDID_SELF), "Holiday pictures");
    long count = 0;
    ASSERT_EQ(list->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, 3);
    for (long id = 1; id <= count; ++id) {
        const PageItem& item = page->items[id - 1];
        EXPECT_EQ(RoleOf(list.Get(), id), ROLE_SYSTEM_LISTITEM);
        EXPECT_EQ(Text(list.Get(), &IAccessible::get_accName, id), item.name);
        EXPECT_EQ(Text(list.Get(), &IAccessible::get_accDescription, id), item.kind);
        IDispatch* dispatch = nullptr;
        EXPECT_EQ(list->get_accChild(Child(id), &dispatch), S_FALSE) << "a simple element";
        long left, top, width, height;
        ASSERT_EQ(list->accLocation(&left, &top, &width, &height, Child(id)), S_OK);
        const CRect screen = ScreenRect(view, item.bounds);
        EXPECT_EQ(CRect(left, top, left + width, top + height), screen) << "item " << id;
    }
    EXPECT_FALSE(StateOf(list.Get(), 1) & STATE_SYSTEM_OFFSCREEN);
    EXPECT_TRUE(StateOf(list.Get(), 3) & STATE_SYSTEM_OFFSCREEN);
    EXPECT_EQ(StateOf(list.Get(), 1) & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE),
              STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE);

    const CRect second = ScreenRect(view, page->items[1].bounds);
    VARIANT hit;
    EXPECT_EQ(Number(list->accHitTest((second.left + second.right) / 2, (second.top + second.bottom) / 2, &hit), hit), 2);
    VARIANT next;
    EXPECT_EQ(Number(list->accNavigate(NAVDIR_FIRSTCHILD, Child(CHILDID_SELF), &next), next), 1);
    EXPECT_EQ(Number(list->accNavigate(NAVDIR_NEXT, Child(1), &next), next), 2);
    EXPECT_EQ(Number(list->accNavigate(NAVDIR_PREVIOUS, Child(2), &next), next), 1);
    EXPECT_EQ(Number(list->accNavigate(NAVDIR_LASTCHILD, Child(CHILDID_SELF), &next), next), 3);
    EXPECT_EQ(list->accNavigate(NAVDIR_NEXT, Child(3), &next), S_FALSE);

    // The same object reads whatever page is shown.
    Open(CSize(0, 100));
    ASSERT_EQ(list->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Text(list.Get(), &IAccessible::get_accName, CHILDID_SELF), "Probe");
}

struct WinEvent {
    DWORD event;
    HWND hwnd;
    LONG object;
    LONG child;
    bool operator==(const WinEvent&) const = default;
};
std::vector<WinEvent> g_winEvents;

void CALLBACK RecordWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    g_winEvents.push_back({event, hwnd, object, child});
}

bool Raised(const WinEvent& event, DWORD waitMs)
{
    WaitUntil([&] { return std::count(g_winEvents.begin(), g_winEvents.end(), event) > 0; }, waitMs);
    return std::count(g_winEvents.begin(), g_winEvents.end(), event) > 0;
}

TEST_F(ViewTest, ScreenReadersFollowTheKeyboardFocusWhileTheViewHasIt)
{
    ProbePage* page = Open(CSize(0, 5000));
    GiveItems(page);
    CComPtr<IAccessible> list;
    ASSERT_EQ(::AccessibleObjectFromWindow(view->m_hWnd, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&list)), S_OK);
    HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_NAMECHANGE, nullptr,
                                           &RecordWinEvent, ::GetCurrentProcessId(), 0,
                                           WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    g_winEvents.clear();
    ::SetFocus(view->m_hWnd);
    ASSERT_EQ(::GetFocus(), view->m_hWnd);

    page->FocusItem(1);
    EXPECT_TRUE(Raised({EVENT_OBJECT_FOCUS, view->m_hWnd, OBJID_CLIENT, 2}, 2000));
    EXPECT_TRUE(Raised({EVENT_OBJECT_SELECTION, view->m_hWnd, OBJID_CLIENT, 2}, 0));
    VARIANT focus;
    EXPECT_EQ(Number(list->get_accFocus(&focus), focus), 2);
    VARIANT selection;
    EXPECT_EQ(Number(list->get_accSelection(&selection), selection), 2);
    EXPECT_EQ(StateOf(list.Get(), 2) & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED),
              STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED);
    EXPECT_FALSE(StateOf(list.Get(), 1) & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED));

    // A screen reader moves the focus itself.
    EXPECT_EQ(list->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, Child(3)), S_OK);
    EXPECT_EQ(page->focused, 2);
    EXPECT_TRUE(Raised({EVENT_OBJECT_FOCUS, view->m_hWnd, OBJID_CLIENT, 3}, 2000));

    // Elsewhere the keyboard goes on: the view says nothing, and has no focus to tell.
    ::SetFocus(nullptr);
    g_winEvents.clear();
    page->FocusItem(0);
    EXPECT_FALSE(Raised({EVENT_OBJECT_FOCUS, view->m_hWnd, OBJID_CLIENT, 1}, 300));
    EXPECT_FALSE(Raised({EVENT_OBJECT_SELECTION, view->m_hWnd, OBJID_CLIENT, 1}, 0));
    EXPECT_EQ(list->get_accFocus(&focus), S_FALSE);
    EXPECT_EQ(focus.vt, VT_EMPTY);
    EXPECT_FALSE(StateOf(list.Get(), 1) & STATE_SYSTEM_FOCUSED);

    // Another page: the list has a new name and new items.
    Open(CSize(0, 100));
    EXPECT_TRUE(Raised({EVENT_OBJECT_NAMECHANGE, view->m_hWnd, OBJID_CLIENT, CHILDID_SELF}, 2000));
    EXPECT_TRUE(Raised({EVENT_OBJECT_REORDER, view->m_hWnd, OBJID_CLIENT, CHILDID_SELF}, 0));
    ::UnhookWinEvent(hook);
}

TEST_F(ViewTest, AFolderPagesCellsAreReadByTheirCaptionsTheFocusFollowsTheKeysAPictureByItsName)
{
    TempFolder temp;
    temp.MakeFolder("two");
    temp.WriteFile("two\\sunrise.jpg", MakeJpeg(SolidRecipe(64, 48, 255, 0, 0)));
    temp.WriteFile("two\\sunset.jpg", MakeJpeg(SolidRecipe(64, 48, 0, 0, 255)));
    CFolderPage* page = OpenFolderPage(temp.Path() + "\\two");
    CComPtr<IAccessible> list;
    ASSERT_EQ(::AccessibleObjectFromWindow(view->m_hWnd, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&list)), S_OK);
    long count = 0;
    ASSERT_EQ(list->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, 2);
    long id = 1;
    for (const CFolderEntry& entry : page->Catalog().m_entries) {
        EXPECT_EQ(Text(list.Get(), &IAccessible::get_accName, id), entry.m_displayName);
        EXPECT_EQ(Text(list.Get(), &IAccessible::get_accDescription, id++), "Picture");
    }

    ::SetFocus(view->m_hWnd);
    VARIANT focus;
    view->SendMessage(WM_KEYDOWN, VK_END);
    EXPECT_EQ(Number(list->get_accFocus(&focus), focus), 2);
    view->SendMessage(WM_KEYDOWN, VK_LEFT);
    EXPECT_EQ(Number(list->get_accFocus(&focus), focus), 1);
    view->SendMessage(WM_KEYDOWN, VK_RETURN);
    // The zoom is there once the picture is, decoded off the window's thread.
    const auto* picture = dynamic_cast<CPicturePage*>(g_navigator.GetCurrentPage());
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(WaitUntil([picture] { return !picture->Decoding(); }));
    EXPECT_EQ(Text(list.Get(), &IAccessible::get_accName, CHILDID_SELF), "sunrise.jpg, 100 %")
        << "the picture page, with its zoom";
    view->SendMessage(WM_KEYDOWN, VK_ADD);
    EXPECT_EQ(Text(list.Get(), &IAccessible::get_accName, CHILDID_SELF), "sunrise.jpg, 125 %");
}

TEST_F(ViewTest, ScreenReadersReadEverySelectedItemAndHearTheSelectionChange)
{
    TempFolder temp;
    for (int i = 0; i < 18; ++i)
        temp.WriteFile("p" + std::to_string(100 + i) + ".jpg", "not decoded here");
    OpenFolderPage(temp.Path());
    CComPtr<IAccessible> list;
    ASSERT_EQ(::AccessibleObjectFromWindow(view->m_hWnd, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&list)), S_OK);
    HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_SELECTIONADD, EVENT_OBJECT_SELECTIONWITHIN, nullptr,
                                           &RecordWinEvent, ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    g_winEvents.clear();
    ::SetFocus(view->m_hWnd);
    view->SendMessage(WM_KEYDOWN, VK_HOME);
    const HeldKeys shift({VK_SHIFT});
    view->SendMessage(WM_KEYDOWN, VK_END);
    EXPECT_TRUE(Raised({EVENT_OBJECT_SELECTIONWITHIN, view->m_hWnd, OBJID_CLIENT, CHILDID_SELF}, 2000)) << "all at once";
    VARIANT selection;
    ASSERT_EQ(list->get_accSelection(&selection), S_OK);
    ASSERT_EQ(selection.vt, VT_UNKNOWN);
    CComPtr<IEnumVARIANT> children;
    ASSERT_EQ(selection.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&children)), S_OK);
    ::VariantClear(&selection);
    VARIANT ids[20];
    ULONG got = 0;
    children->Next(20, ids, &got);
    ASSERT_EQ(got, 18u);
    EXPECT_EQ(ids[0].lVal + ids[17].lVal, 1 + 18);
    const long selected = STATE_SYSTEM_SELECTED | STATE_SYSTEM_MULTISELECTABLE;
    EXPECT_EQ(StateOf(list.Get(), 2) & selected, selected);

    view->SendMessage(WM_KEYDOWN, VK_LEFT);
    EXPECT_TRUE(Raised({EVENT_OBJECT_SELECTIONREMOVE, view->m_hWnd, OBJID_CLIENT, 18}, 2000));
    EXPECT_EQ(StateOf(list.Get(), 18) & STATE_SYSTEM_SELECTED, 0);
    ::UnhookWinEvent(hook);
}

TEST_F(ViewTest, AScreenReadersHitTestFindsTheCellUnderThePointFarDownABigFolder)
{
    TempFolder temp;
    temp.MakeFolder("big");
    const std::string jpeg = MakeJpeg(SolidRecipe(8, 8, 0, 128, 0));
    const int count = 700;
    for (int i = 0; i < count; ++i)
        temp.WriteFile("big\\IMG_" + std::to_string(1000 + i) + ".jpg", jpeg);
    CFolderPage* page = OpenFolderPage(temp.Path() + "\\big");
    ASSERT_EQ(page->GetItemCount(), count);
    CComPtr<IAccessible> list;
    ASSERT_EQ(::AccessibleObjectFromWindow(view->m_hWnd, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&list)), S_OK);
    const auto bounds = [&](int index) {
        PageItem item;
        EXPECT_TRUE(page->GetItem(index, &item)) << index;
        return item.bounds;
    };
    int columns = 1;
    while (bounds(columns).top == bounds(0).top)
        ++columns;
    ASSERT_GT(columns, 1);
    const auto hit = [&](POINT screen) {
        VARIANT child;
        return Number(list->accHitTest(screen.x, screen.y, &child), child);
    };

    // The last cell, and the first and last of a row far down, each scrolled to mid-screen.
    CRect client;
    view->GetClientRect(&client);
    const int farRow = (count / columns - 2) * columns;
    for (int index : {count - 1, farRow, farRow + columns - 1}) {
        view->ScrollToPosition(CPoint(0, bounds(index).top - client.Height() / 2));
        const CRect cell = ScreenRect(view, bounds(index));
        EXPECT_EQ(hit(CPoint((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2)), index + 1) << index;
        EXPECT_EQ(hit(cell.TopLeft()), index + 1) << index;
        EXPECT_EQ(hit(CPoint(cell.right - 1, cell.bottom - 1)), index + 1) << index;
        EXPECT_EQ(hit(CPoint(cell.right, cell.top)), CHILDID_SELF) << "the gap right of " << index;
        EXPECT_EQ(hit(CPoint(cell.left, cell.bottom)), CHILDID_SELF) << "the gap below " << index;
    }
}

TEST_F(ViewTest, ScreenReadersOpenItemsAndGetErrorsOnceTheViewIsGone)
{
    ProbePage* page = Open(CSize(0, 5000));
    GiveItems(page);
    CComPtr<IAccessible> list;
    ASSERT_EQ(::AccessibleObjectFromWindow(view->m_hWnd, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&list)), S_OK);
    EXPECT_EQ(Text(list.Get(), &IAccessible::get_accDefaultAction, 2), "Open");
    EXPECT_EQ(list->accDoDefaultAction(Child(2)), S_OK);
    EXPECT_EQ(page->opened, std::vector<int>{1});

    // A second view window, held by a client past its end.
    auto* second = new CVemolyView;
    ASSERT_TRUE(second->CreateEx(0, nullptr, "", WS_POPUP, 0, 0, 200, 200, nullptr, 0));
    struct Destroy {
        HWND window;
        ~Destroy()  // when a failed assertion leaves it
        {
            if (window)
                ::DestroyWindow(window);
        }
    } destroy{second->m_hWnd};
    CComPtr<IAccessible> gone;
    ASSERT_EQ(::AccessibleObjectFromWindow(second->m_hWnd, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&gone)), S_OK);
    long count = 0;
    EXPECT_EQ(gone->get_accChildCount(&count), S_OK);
    ::DestroyWindow(std::exchange(destroy.window, nullptr));
    // The second view was the pages' host while it lived.
    RegisterPageHost(view, view->m_hWnd);

    const auto disconnected = [](HRESULT hr) { return hr == RPC_E_DISCONNECTED || hr == CO_E_OBJNOTCONNECTED; };
    EXPECT_TRUE(disconnected(gone->get_accChildCount(&count)));
    BSTR name = nullptr;
    EXPECT_TRUE(disconnected(gone->get_accName(Child(CHILDID_SELF), &name)));
    EXPECT_TRUE(disconnected(gone->accDoDefaultAction(Child(1))));
    EXPECT_EQ(page->opened.size(), 1u);
}

} // namespace
