// The slideshow bar of the real main window: the counter and position
// slider the slideshow page drives, and what the two sliders do to the
// Delay, the view's tick and the current page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/navigator.h"
#include "core/page.h"
#include "frame/mainframe.h"
#include "res/resource.h"
#include "running_app.h"
#include "shell/settings.h"
#include "view/vemolyview.h"

namespace {

// A page that records the seeks and stale marks it receives.
class SeekProbe : public CPage {
public:
    void Load() override {}
    void Draw(CDC*, const RECT*) override {}
    void OnClick(const POINT&, bool) override {}
    void SeekTo(int index) override { seeks.push_back(index); }
    void MarkStale() override { ++staleMarks; }

    std::vector<int> seeks;
    int staleMarks = 0;
};

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

class SlideshowBarTest : public testing::Test {
protected:
    void SetUp() override
    {
        frame = CMainFrame::Get();
        ASSERT_NE(frame, nullptr);
        bar = &frame->GetSlideshowBar();
        speed = ::GetDlgItem(bar->m_hWnd, IDC_SPEED);
        position = ::GetDlgItem(bar->m_hWnd, IDC_POSITION);
        counter = ::GetDlgItem(bar->m_hWnd, IDC_COUNTER);
        ASSERT_TRUE(speed && position && counter);
        savedDelay = g_settings.Delay;
    }
    void TearDown() override
    {
        bar->EnableSeek(false);
        g_navigator.Home();
        g_settings.Delay = savedDelay;
        ::SendMessageA(speed, TBM_SETPOS, TRUE, savedDelay);
    }

    SeekProbe* OpenProbe()
    {
        auto* page = new SeekProbe;
        g_navigator.Navigate(page);
        return page;
    }
    std::string Counter() const
    {
        char text[64] = "";
        ::GetWindowTextA(counter, text, sizeof text);
        return text;
    }
    static int Pos(HWND slider) { return (int)::SendMessageA(slider, TBM_GETPOS, 0, 0); }
    static int Min(HWND slider) { return (int)::SendMessageA(slider, TBM_GETRANGEMIN, 0, 0); }
    static int Max(HWND slider) { return (int)::SendMessageA(slider, TBM_GETRANGEMAX, 0, 0); }
    // A key pressed on a slider, as the user would: the slider reports the
    // move on the press and the end of it on the release.
    static void Press(HWND slider, UINT key) { ::SendMessageA(slider, WM_KEYDOWN, key, 0); }
    static void Release(HWND slider, UINT key) { ::SendMessageA(slider, WM_KEYUP, key, 0); }

    CMainFrame* frame = nullptr;
    CSlideshowBar* bar = nullptr;
    HWND speed = nullptr;
    HWND position = nullptr;
    HWND counter = nullptr;
    int savedDelay = 0;
};

TEST_F(SlideshowBarTest, StartsWithTheTemplateStateAndTheStoredDelay)
{
    EXPECT_EQ(Min(speed), 100);
    EXPECT_EQ(Max(speed), 10000);
    EXPECT_EQ(Pos(speed), g_settings.Delay);
    EXPECT_TRUE(::IsWindowEnabled(speed));
    EXPECT_FALSE(::IsWindowEnabled(position));
    EXPECT_FALSE(::IsWindowEnabled(counter));
    EXPECT_EQ(Counter(), "1 of 1");
    EXPECT_EQ(::SendMessageA(position, TBM_GETPAGESIZE, 0, 0), 1);
    // The counter is the position slider's buddy on its right.
    EXPECT_EQ((HWND)::SendMessageA(position, TBM_GETBUDDY, FALSE, 0), counter);
    RECT slider, text;
    ::GetWindowRect(position, &slider);
    ::GetWindowRect(counter, &text);
    EXPECT_GE(text.left, slider.right);
    EXPECT_EQ(bar->GetDlgCtrlID(), 0xE805u);
}

TEST_F(SlideshowBarTest, SetPositionChangesTheRangeOnlyWhenBothEndsAreGiven)
{
    bar->SetPosition(1, 9, 1);
    EXPECT_EQ(Min(position), 1);
    EXPECT_EQ(Max(position), 9);
    EXPECT_EQ(Pos(position), 1);
    EXPECT_EQ(Counter(), "1 of 9");

    bar->SetPosition(-1, -1, 4);
    EXPECT_EQ(Counter(), "4 of 9");
    EXPECT_EQ(Pos(position), 4);
    EXPECT_EQ(Max(position), 9);

    // A last without a first is shown but leaves the range alone.
    bar->SetPosition(-1, 5, 2);
    EXPECT_EQ(Counter(), "2 of 5");
    EXPECT_EQ(Min(position), 1);
    EXPECT_EQ(Max(position), 9);

    // An empty folder's slideshow.
    bar->SetPosition(1, 0, 1);
    EXPECT_EQ(Counter(), "1 of 0");
}

TEST_F(SlideshowBarTest, EnableSeekSwitchesThePositionSliderAndCounterOnly)
{
    bar->EnableSeek(true);
    EXPECT_TRUE(::IsWindowEnabled(position));
    EXPECT_TRUE(::IsWindowEnabled(counter));
    EXPECT_TRUE(::IsWindowEnabled(speed));
    bar->EnableSeek(false);
    EXPECT_FALSE(::IsWindowEnabled(position));
    EXPECT_FALSE(::IsWindowEnabled(counter));
    EXPECT_TRUE(::IsWindowEnabled(speed));
}

TEST_F(SlideshowBarTest, TheSpeedSlidersEndsSetTheDelayAndRestartTheTick)
{
    SeekProbe* page = OpenProbe();
    CVemolyView* view = CVemolyView::GetActive();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->GetTickInterval(), 500);
    bar->SetPosition(1, 9, 3);

    Press(speed, VK_HOME);
    EXPECT_EQ(g_settings.Delay, 100);
    EXPECT_EQ(view->GetTickInterval(), 100);
    EXPECT_FALSE(page->IsTicking()) << "held while the slider moves";
    EXPECT_TRUE(page->seeks.empty());
    Release(speed, VK_HOME);
    EXPECT_TRUE(page->IsTicking());
    EXPECT_EQ(page->seeks, std::vector<int>{2}) << "back to the position slider's picture";

    Press(speed, VK_END);
    Release(speed, VK_END);
    EXPECT_EQ(g_settings.Delay, 10000);
    EXPECT_EQ(view->GetTickInterval(), 10000);
}

TEST_F(SlideshowBarTest, ReleasingThePositionSliderSeeksToItsPicture)
{
    bar->EnableSeek(true);
    bar->SetPosition(1, 9, 6);
    SeekProbe* page = OpenProbe();

    Press(position, VK_RIGHT);
    EXPECT_EQ(Pos(position), 7);
    EXPECT_FALSE(page->IsTicking());
    EXPECT_TRUE(page->seeks.empty());
    Release(position, VK_RIGHT);
    EXPECT_EQ(page->seeks, std::vector<int>{6}) << "the 7th position is index 6";
    EXPECT_TRUE(page->IsTicking());

    // The index counts from the range's minimum.
    bar->SetPosition(3, 9, 7);
    Press(position, VK_LEFT);
    Release(position, VK_LEFT);
    EXPECT_EQ(page->seeks, (std::vector<int>{6, 3}));
    EXPECT_EQ(g_settings.Delay, savedDelay) << "the position slider leaves the Delay alone";
}

TEST_F(SlideshowBarTest, DeviceChangesMarkEveryPageStale)
{
    SeekProbe* first = OpenProbe();
    SeekProbe* second = OpenProbe();
    EXPECT_EQ(frame->SendMessage(WM_DEVICECHANGE, 0x8000 /* DBT_DEVICEARRIVAL */, 0), TRUE);
    EXPECT_EQ(first->staleMarks, 1);
    EXPECT_EQ(second->staleMarks, 1);
}

} // namespace
