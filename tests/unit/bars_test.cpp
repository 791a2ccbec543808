// The control bars of the real main window: layout, command-UI updates of
// toolbar buttons and status panes, prompts, tooltips, the View toggles and
// the Favorites popup's refresh.
#include <gtest/gtest.h>

#include <string>

#include "app/vemolyapp.h"
#include "core/navigator.h"
#include "core/page.h"
#include "frame/favoritesmenu.h"
#include "frame/mainframe.h"
#include "res/resource.h"
#include "running_app.h"
#include "shell/settings.h"
#include "shell/shortcutlink.h"
#include "temp_folder.h"

namespace {

// A page that can Play (always) and Pause (never, by its update handler).
class CommandProbe : public CPage {
public:
    void Load() override {}
    void Draw(CDC*, const RECT*) override {}
    void OnClick(const POINT&, bool) override {}

protected:
    void OnPlay() {}
    void OnPause() {}
    void OnUpdatePause(CCmdUI* ui) { ui->Enable(FALSE); }
    DECLARE_COMMAND_MAP()
};

BEGIN_COMMAND_MAP(CommandProbe, CPage)
    ON_COMMAND(ID_PLAY, OnPlay)
    ON_COMMAND(ID_PAUSE, OnPause)
    ON_UPDATE_COMMAND_UI(ID_PAUSE, OnUpdatePause)
END_COMMAND_MAP()

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

class BarsTest : public testing::Test {
protected:
    void SetUp() override
    {
        frame = CMainFrame::Get();
        ASSERT_NE(frame, nullptr);
        main = frame->m_hWnd;
        rebar = ::GetDlgItem(main, 0xE804);
        toolbar = ::GetDlgItem(rebar, 0xE800);
        status = ::GetDlgItem(main, 0xE801);
        view = ::GetDlgItem(main, 0xE900);
        ASSERT_TRUE(rebar && toolbar && status && view);
    }
    void TearDown() override { g_navigator.Home(); }

    static RECT ClientRectIn(HWND window, HWND parent)
    {
        RECT rect;
        ::GetWindowRect(window, &rect);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    std::string StatusText() const
    {
        char text[256] = "";
        ::GetWindowTextA(status, text, sizeof text);
        return text;
    }
    int PaneLength(int pane) const { return LOWORD(::SendMessageA(status, SB_GETTEXTLENGTHA, pane, 0)); }
    std::string PaneText(int pane) const
    {
        char text[256] = "";
        ::SendMessageA(status, SB_GETTEXTA, pane, (LPARAM)text);
        return text;
    }
    bool Enabled(UINT id) const { return ::SendMessageA(toolbar, TB_ISBUTTONENABLED, id, 0) != 0; }
    // The check mark of a menu-bar item, as the menu would show it when opened.
    bool Checked(int popupIndex, UINT id) const
    {
        HMENU popup = ::GetSubMenu(::GetMenu(main), popupIndex);
        ::SendMessageA(main, WM_INITMENUPOPUP, (WPARAM)popup, popupIndex);
        return (::GetMenuState(popup, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    CMainFrame* frame = nullptr;
    HWND main = nullptr;
    HWND rebar = nullptr;
    HWND toolbar = nullptr;
    HWND status = nullptr;
    HWND view = nullptr;
};

TEST_F(BarsTest, TheRebarAndStatusBarFrameTheView)
{
    RECT client;
    ::GetClientRect(main, &client);
    const RECT bands = ClientRectIn(rebar, main);
    const RECT bottom = ClientRectIn(status, main);
    const RECT middle = ClientRectIn(view, main);
    EXPECT_EQ(bands.top, 0);
    EXPECT_EQ(bands.right - bands.left, client.right);
    EXPECT_EQ(bands.bottom - bands.top, (LONG)::SendMessageA(rebar, RB_GETBARHEIGHT, 0, 0));
    EXPECT_EQ(middle.top, bands.bottom);
    EXPECT_EQ(middle.bottom, bottom.top);
    EXPECT_EQ(bottom.bottom, client.bottom);
    EXPECT_GT(bottom.bottom - bottom.top, 10) << "the status bar's text fits";

    RECT button;
    ASSERT_TRUE(::SendMessageA(toolbar, TB_GETITEMRECT, 0, (LPARAM)&button));
    EXPECT_EQ(button.right - button.left, 55);
    EXPECT_EQ(button.bottom - button.top, 36);
    const RECT tools = ClientRectIn(toolbar, rebar);
    EXPECT_GE(tools.bottom - tools.top, 36);
}

// The bars at a display scale: the frame takes the rectangle Windows
// suggests, the labels and indicators fit in their fonts at that scale, and
// the images have the scaled size; back at 96 DPI all is as designed.
TEST_F(BarsTest, TheBarsFollowTheDisplayScale)
{
    RECT before, slideshowBar;
    ::GetWindowRect(main, &before);
    HWND slideshow = ::GetDlgItem(rebar, AFX_IDW_DIALOGBAR);
    ::GetWindowRect(slideshow, &slideshowBar);

    const auto textWidth = [](HWND wnd, const std::wstring& text) {
        HDC dc = ::GetDC(wnd);
        HGDIOBJ old = ::SelectObject(dc, (HFONT)::SendMessageW(wnd, WM_GETFONT, 0, 0));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), (int)text.size(), &size);
        ::SelectObject(dc, old);
        ::ReleaseDC(wnd, dc);
        return (int)size.cx;
    };
    for (const int dpi : {120, 144, 192, 96}) {
        SCOPED_TRACE(dpi);
        RECT suggested{before.left + 10, before.top + 10, before.left + 10 + MulDiv(640, dpi, 96),
                       before.top + 10 + MulDiv(480, dpi, 96)};
        ::SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), (LPARAM)&suggested);
        RECT now;
        ::GetWindowRect(main, &now);
        EXPECT_TRUE(::EqualRect(&now, &suggested));

        int cx = 0, cy = 0;
        ASSERT_TRUE(ImageList_GetIconSize((HIMAGELIST)::SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0), &cx, &cy));
        EXPECT_EQ(cx, MulDiv(16, dpi, 96));
        EXPECT_EQ(cy, MulDiv(16, dpi, 96));
        for (HWND bar : {toolbar, rebar}) {
            LOGFONTW font{};
            ::GetObjectW((HFONT)::SendMessageW(bar, WM_GETFONT, 0, 0), sizeof font, &font);
            EXPECT_EQ(font.lfHeight, MulDiv(-11, dpi, 96));
        }
        for (int i = 0; i < (int)::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0); ++i) {
            TBBUTTON button{};
            RECT item{};
            wchar_t text[64] = L"";
            ::SendMessageW(toolbar, TB_GETBUTTON, i, (LPARAM)&button);
            ::SendMessageW(toolbar, TB_GETITEMRECT, i, (LPARAM)&item);
            if (button.fsStyle & TBSTYLE_SEP)
                continue;
            if (dpi == 96) {
                // As designed, "Add Favorite" shortened.
                EXPECT_EQ(item.right - item.left, 55);
                EXPECT_EQ(item.bottom - item.top, 36);
                continue;
            }
            ::SendMessageW(toolbar, TB_GETBUTTONTEXTW, button.idCommand, (LPARAM)text);
            // The toolbar keeps an edge's width clear either side of a label.
            EXPECT_LE(textWidth(toolbar, text) + 2 * MulDiv(2, dpi, 96), item.right - item.left) << text;
        }
        EXPECT_GE(ClientRectIn(toolbar, rebar).bottom - ClientRectIn(toolbar, rebar).top, MulDiv(36, dpi, 96));
        RECT bar;
        ::GetWindowRect(slideshow, &bar);
        EXPECT_EQ(bar.bottom - bar.top, MulDiv(slideshowBar.bottom - slideshowBar.top, dpi, 96));
        HWND counter = ::GetDlgItem(slideshow, IDC_COUNTER);
        EXPECT_EQ(ClientRectIn(counter, slideshow).right - ClientRectIn(counter, slideshow).left,
                  MulDiv(MulDiv(45, 6, 4), dpi, 96)) << "45 dialog units of the shell font";
        EXPECT_LE(textWidth(counter, L"1 of 1"), ClientRectIn(counter, slideshow).right - ClientRectIn(counter, slideshow).left);

        int edges[6] = {};
        ASSERT_EQ(::SendMessageW(status, SB_GETPARTS, 6, (LPARAM)edges), 6);
        const wchar_t* const indicators[] = {L"Thumbnails 00000 of 00000", L"3200 %", L"CAP", L"NUM", L"SCRL"};
        for (int i = 1; i < 5; ++i)
            EXPECT_LT(textWidth(status, indicators[i - 1]), edges[i] - edges[i - 1]) << indicators[i - 1];
        EXPECT_GT(ClientRectIn(status, main).bottom - ClientRectIn(status, main).top,
                  std::abs(MulDiv(-11, dpi, 96))) << "the status bar's text fits";
    }
    ::SetWindowPos(main, nullptr, before.left, before.top, before.right - before.left, before.bottom - before.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

TEST_F(BarsTest, ToolBarButtonsFollowTheCurrentPagesHandlers)
{
    theApp.OnIdle(0);
    EXPECT_FALSE(Enabled(ID_GO_BACK));
    EXPECT_FALSE(Enabled(ID_GO_FORWARD));
    EXPECT_TRUE(Enabled(ID_GO_HOME));

    g_navigator.Navigate(new CommandProbe);
    theApp.OnIdle(0);
    EXPECT_TRUE(Enabled(ID_GO_BACK));
    EXPECT_FALSE(Enabled(ID_GO_FORWARD));
    EXPECT_TRUE(Enabled(ID_PLAY)) << "a handler enables";
    EXPECT_FALSE(Enabled(ID_PAUSE)) << "the update handler disables";
    EXPECT_FALSE(Enabled(ID_ROTATE_90)) << "no handler disables";

    g_navigator.Back();
    theApp.OnIdle(0);
    EXPECT_FALSE(Enabled(ID_GO_BACK));
    EXPECT_TRUE(Enabled(ID_GO_FORWARD));
}

TEST_F(BarsTest, PromptsGoToTheMessagePane)
{
    frame->SendMessage(WM_SETMESSAGESTRING, ID_GO_HOME, 0);
    EXPECT_EQ(StatusText(), "Go to the home page.");
    const char path[] = "C:\\Pictures\\IMG_0001.jpg";
    frame->SendMessage(WM_SETMESSAGESTRING, 0, (LPARAM)path);
    EXPECT_EQ(StatusText(), path);
    frame->SendMessage(WM_SETMESSAGESTRING, 0, 0);
    EXPECT_EQ(StatusText(), "Ready");
    EXPECT_EQ(::SendMessageA(status, SB_GETPARTS, 0, 0), 6) << "message, progress, zoom and three keys";
}

TEST_F(BarsTest, HoveringAButtonShowsItsPromptUntilThePointerLeaves)
{
    RECT back;
    ASSERT_TRUE(::SendMessageA(toolbar, TB_GETITEMRECT, 0, (LPARAM)&back));
    const LPARAM over = MAKELPARAM((back.left + back.right) / 2, (back.top + back.bottom) / 2);
    ::SendMessageA(toolbar, WM_MOUSEMOVE, 0, over);
    EXPECT_EQ(StatusText(), "Go back to the previous page.");
    ::SendMessageA(toolbar, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(StatusText(), "Ready");

    // Without fly-by the status bar keeps what it shows.
    CToolBar* bar = dynamic_cast<CToolBar*>(CWnd::FromHandlePermanent(toolbar));
    ASSERT_NE(bar, nullptr);
    const DWORD style = bar->GetBarStyle();
    bar->SetBarStyle(style & ~CBRS_FLYBY);
    ::SendMessageA(toolbar, WM_MOUSEMOVE, 0, over);
    EXPECT_EQ(StatusText(), "Ready");
    bar->SetBarStyle(style);
}

TEST_F(BarsTest, TooltipsAreTheCommandsSecondLine)
{
    HWND tip = (HWND)::SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0);
    ASSERT_NE(tip, nullptr);
    NMTTDISPINFOA ansi{};
    ansi.hdr = NMHDR{tip, ID_ADD_FAVORITE, TTN_GETDISPINFOA};
    ::SendMessageA(toolbar, WM_NOTIFY, ID_ADD_FAVORITE, (LPARAM)&ansi);
    ASSERT_NE(ansi.lpszText, nullptr);
    EXPECT_STREQ(ansi.lpszText, "Add Favorite");

    NMTTDISPINFOW wide{};
    wide.hdr = NMHDR{tip, ID_GO_FORWARD, TTN_GETDISPINFOW};
    ::SendMessageA(toolbar, WM_NOTIFY, ID_GO_FORWARD, (LPARAM)&wide);
    ASSERT_NE(wide.lpszText, nullptr);
    EXPECT_STREQ(wide.lpszText, L"Forward");

    CToolBar* bar = dynamic_cast<CToolBar*>(CWnd::FromHandlePermanent(toolbar));
    ASSERT_NE(bar, nullptr);
    const DWORD style = bar->GetBarStyle();
    bar->SetBarStyle(style & ~CBRS_TOOLTIPS);
    NMTTDISPINFOA silent{};
    silent.hdr = NMHDR{tip, ID_GO_HOME, TTN_GETDISPINFOA};
    ::SendMessageA(toolbar, WM_NOTIFY, ID_GO_HOME, (LPARAM)&silent);
    bar->SetBarStyle(style);
    ASSERT_NE(silent.lpszText, nullptr);
    EXPECT_STREQ(silent.lpszText, "") << "no tooltips without CBRS_TOOLTIPS";
}

TEST_F(BarsTest, KeyIndicatorsShowWhileTheirKeyIsOn)
{
    BYTE keys[256];
    ASSERT_TRUE(::GetKeyboardState(keys));
    const BYTE saved[3] = {keys[VK_CAPITAL], keys[VK_NUMLOCK], keys[VK_SCROLL]};

    keys[VK_CAPITAL] = 1;
    keys[VK_NUMLOCK] = 0;
    keys[VK_SCROLL] = 1;
    ::SetKeyboardState(keys);
    theApp.OnIdle(0);
    EXPECT_EQ(PaneText(3), "CAP");
    EXPECT_EQ(PaneLength(4), 0);
    EXPECT_EQ(PaneText(5), "SCRL");

    keys[VK_CAPITAL] = 0;
    keys[VK_NUMLOCK] = 1;
    keys[VK_SCROLL] = 0;
    ::SetKeyboardState(keys);
    theApp.OnIdle(0);
    EXPECT_EQ(PaneLength(3), 0);
    EXPECT_EQ(PaneText(4), "NUM");
    EXPECT_EQ(PaneLength(5), 0);

    keys[VK_CAPITAL] = saved[0];
    keys[VK_NUMLOCK] = saved[1];
    keys[VK_SCROLL] = saved[2];
    ::SetKeyboardState(keys);
    theApp.OnIdle(0);
}

TEST_F(BarsTest, OnlyTheFirstFrameOfTheProcessCaptionsItsToolBar)
{
    const auto caption = [](HWND bar, UINT id) {
        char text[64] = "";
        if (::SendMessageA(bar, TB_GETBUTTONTEXTA, id, 0) > 0)
            ::SendMessageA(bar, TB_GETBUTTONTEXTA, id, (LPARAM)text);
        return std::string(text);
    };
    EXPECT_EQ(caption(toolbar, ID_ROTATE_90), "Rotate");

    auto* second = new CMainFrame;
    ASSERT_TRUE(second->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW));
    HWND secondBar = ::GetDlgItem(::GetDlgItem(second->m_hWnd, 0xE804), 0xE800);
    ASSERT_NE(secondBar, nullptr);
    EXPECT_EQ(::SendMessageA(secondBar, TB_BUTTONCOUNT, 0, 0), 11);
    EXPECT_EQ(caption(secondBar, ID_ROTATE_90), "");
    EXPECT_EQ(caption(secondBar, ID_GO_BACK), "");
    second->DestroyWindow();  // the frame deletes itself with its window
    EXPECT_EQ(CMainFrame::Get(), frame);
}

TEST_F(BarsTest, TheViewMenuHidesAndShowsTheBars)
{
    EXPECT_TRUE(Checked(2, ID_VIEW_TOOLBAR));
    EXPECT_TRUE(Checked(2, ID_VIEW_STATUS_BAR));
    const LONG withToolBar = ClientRectIn(rebar, main).bottom;

    frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR);
    EXPECT_FALSE(::IsWindowVisible(toolbar));
    EXPECT_FALSE(Checked(2, ID_VIEW_TOOLBAR));
    REBARBANDINFOA band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_STYLE;
    ASSERT_TRUE(::SendMessageA(rebar, RB_GETBANDINFOA, 0, (LPARAM)&band));
    EXPECT_TRUE(band.fStyle & RBBS_HIDDEN) << "only the slideshow band is left";
    EXPECT_EQ(ClientRectIn(view, main).top, ClientRectIn(rebar, main).bottom);

    frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(::IsWindowVisible(status));
    EXPECT_FALSE(Checked(2, ID_VIEW_STATUS_BAR));
    RECT client;
    ::GetClientRect(main, &client);
    EXPECT_EQ(ClientRectIn(view, main).bottom, client.bottom);

    frame->SendMessage(WM_COMMAND, ID_VIEW_TOOLBAR);
    frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(Checked(2, ID_VIEW_TOOLBAR));
    EXPECT_TRUE(Checked(2, ID_VIEW_STATUS_BAR));
    EXPECT_EQ(ClientRectIn(rebar, main).bottom, withToolBar);
    EXPECT_EQ(ClientRectIn(view, main).top, withToolBar);
    EXPECT_EQ(ClientRectIn(view, main).bottom, ClientRectIn(status, main).top);
}

TEST_F(BarsTest, OpeningTheFavoritesPopupPicksUpNewFavorites)
{
    CFavoritesMenu* menu = frame->GetFavoritesMenu();
    ASSERT_NE(menu, nullptr);
    HMENU popup = ::GetSubMenu(::GetMenu(main), 3);
    ASSERT_EQ(menu->GetSafeHmenu(), popup);
    const int before = ::GetMenuItemCount(popup);

    TempFolder temp;
    CShortcutLink link;
    link.m_targetPath = temp.MakeFolder("Bars Favorite");
    AddToFavorites(link);
    const std::string shortcut = g_settings.FavoritesFolder + "\\Bars Favorite.lnk";
    ASSERT_TRUE(FileExists(shortcut));
    EXPECT_TRUE(WaitUntil([&] { return menu->Catalog().m_needsRefresh.load(); }));

    ::SendMessageA(main, WM_INITMENUPOPUP, (WPARAM)popup, 3);
    EXPECT_EQ(::GetMenuItemCount(popup), before + 1);

    ::DeleteFileA(shortcut.c_str());
    EXPECT_TRUE(WaitUntil([&] { return menu->Catalog().m_needsRefresh.load(); }));
    ::SendMessageA(main, WM_INITMENUPOPUP, (WPARAM)popup, 3);
    EXPECT_EQ(::GetMenuItemCount(popup), before);
}

} // namespace
