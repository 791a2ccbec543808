// The view hosting the current page, inside the real main window of a
// started application.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/vemolyapp.h"
#include "core/navigator.h"
#include "core/page.h"
#include "folderpage/folderpage.h"
#include "import_patch.h"
#include "jpeg_maker.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "running_app.h"
#include "temp_folder.h"
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

    std::vector<RECT> layouts;
    std::vector<RECT> draws;
    std::vector<std::pair<POINT, bool>> clicks;
    std::vector<POINT> hovers;
    std::vector<UINT> commands;
    int ticks = 0;
    bool offerMenu = true;

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
    void TearDown() override { g_navigator.Home(); }

    CVemolyView* view = CVemolyView::GetActive();
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

// Wine has no high-contrast themes: the system's answer is given here, to
// the program as it is.
ImportPatch* g_contrastPatch = nullptr;
BOOL WINAPI HighContrastOn(UINT action, UINT param, void* data, UINT flags)
{
    if (action == SPI_GETHIGHCONTRAST && data) {
        static_cast<HIGHCONTRASTW*>(data)->dwFlags = HCF_HIGHCONTRASTON;
        return TRUE;
    }
    using Original = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
    return reinterpret_cast<Original>(g_contrastPatch->Original())(action, param, data, flags);
}

TEST_F(ViewTest, HighContrastPaintsThePageInTheSystemsColoursAsSoonAsItIsChosen)
{
    TempFolder temp;
    temp.MakeFolder("pictures");
    temp.WriteFile("pictures\\MMMMMMMM.jpg", MakeJpeg(SolidRecipe(64, 48, 255, 0, 0)));
    CFolderEntry folder = MakeEntry(temp.Path() + "\\pictures", nullptr, nullptr);
    folder.Classify();
    g_navigator.Navigate(new CFolderPage(folder, g_resources.GetFolderPageIcon()));
    // The page as the view paints it, background and all.
    const auto painted = [&] {
        CRect client;
        view->GetClientRect(&client);
        std::vector<COLORREF> pixels;
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        CBitmap bitmap;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.Width(), -client.Height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap.Attach(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        HGDIOBJ old = dc.SelectObject(bitmap.GetSafeHandle());
        view->SendMessage(WM_ERASEBKGND, (WPARAM)dc.m_hDC);
        view->OnDraw(&dc);
        ::GdiFlush();
        for (int i = 0; i < client.Width() * client.Height(); ++i) {
            const DWORD p = static_cast<const DWORD*>(bits)[i];
            pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
        }
        dc.SelectObject(old);
        return pixels;
    };
    const auto count = [](const std::vector<COLORREF>& pixels, COLORREF colour) {
        return std::count(pixels.begin(), pixels.end(), colour);
    };
    const std::vector<COLORREF> normal = painted();
    EXPECT_GT(count(normal, RGB(0, 0, 0)), (long)normal.size() / 2) << "black in normal contrast";
    EXPECT_GT(count(normal, RGB(192, 192, 192)), 0) << "silver captions";

    {
        ImportPatch patch("user32.dll", "SystemParametersInfoW", (void*)&HighContrastOn);
        g_contrastPatch = &patch;
        ASSERT_TRUE(patch.Applied());
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
    CFolderEntry folder = MakeEntry(temp.Path() + "\\wide", nullptr, nullptr);
    folder.Classify();
    auto* page = new CFolderPage(folder, g_resources.GetFolderPageIcon());
    g_navigator.Navigate(page);
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

} // namespace
