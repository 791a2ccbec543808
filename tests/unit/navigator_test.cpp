// The navigation history: which page operations run in which order, and
// which pages are destroyed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/navigator.h"
#include "core/page.h"

namespace {

std::vector<std::string> g_log;

class RecordingPage : public CPage {
public:
    explicit RecordingPage(std::string name) : m_name(std::move(name)) {}
    ~RecordingPage() override { Note("destroyed"); }

    void Load() override { Note("Load"); }
    void Start() override { Note("Start"); }
    void Draw(CDC*, const RECT*) override {}
    void OnClick(const POINT&, bool) override {}
    void MarkStale() override { Note("MarkStale"); }
    void Activate(bool active) override
    {
        Note(active ? "Activate(true)" : "Activate(false)");
        CPage::Activate(active);
    }

    const std::string& Name() const { return m_name; }

private:
    void Note(const std::string& what) { g_log.push_back(m_name + "." + what); }
    std::string m_name;
};

class NavigatorTest : public testing::Test {
protected:
    NavigatorTest()
    {
        g_log.clear();
        navigator.Push(new RecordingPage("Home"));
    }
    ~NavigatorTest() override { g_log.clear(); }

    std::vector<std::string> TakeLog() { return std::exchange(g_log, {}); }
    std::string CurrentName() const { return Name(navigator.GetCurrentIndex()); }
    std::string Name(int index) const
    {
        return dynamic_cast<RecordingPage&>(*navigator.GetPage(index)).Name();
    }

    CNavigator navigator;
};

TEST_F(NavigatorTest, PushCallsNoPageOperation)
{
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(navigator.GetCurrentIndex(), 0);
    EXPECT_EQ(navigator.GetCount(), 1);
}

TEST_F(NavigatorTest, NavigateDeactivatesThenLoadsStartsAndActivates)
{
    navigator.Navigate(new RecordingPage("A"));
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"Home.Activate(false)", "A.Load", "A.Start",
                                                   "A.Activate(true)"}));
    EXPECT_EQ(navigator.GetCurrentIndex(), 1);
}

TEST_F(NavigatorTest, NavigatingFromAnEarlierEntryDestroysTheLaterOnes)
{
    navigator.Navigate(new RecordingPage("A"));
    navigator.Navigate(new RecordingPage("B"));
    navigator.Navigate(new RecordingPage("C"));
    navigator.Back();
    navigator.Back();
    TakeLog();
    navigator.Navigate(new RecordingPage("D"));

    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"A.Activate(false)", "C.destroyed",
                                                   "B.destroyed", "D.Load", "D.Start",
                                                   "D.Activate(true)"}));
    ASSERT_EQ(navigator.GetCount(), 3);
    EXPECT_EQ(Name(0), "Home");
    EXPECT_EQ(Name(1), "A");
    EXPECT_EQ(Name(2), "D");
    EXPECT_EQ(navigator.GetCurrentIndex(), 2);
}

TEST_F(NavigatorTest, BackAndForwardStopAtTheEnds)
{
    navigator.Back();
    EXPECT_TRUE(g_log.empty()) << "Back at entry 0 does nothing";
    EXPECT_FALSE(navigator.CanGoBack());
    EXPECT_FALSE(navigator.CanGoForward());

    navigator.Navigate(new RecordingPage("A"));
    TakeLog();
    navigator.Forward();
    EXPECT_TRUE(g_log.empty()) << "Forward at the last entry does nothing";
    EXPECT_TRUE(navigator.CanGoBack());
    EXPECT_FALSE(navigator.CanGoForward());

    navigator.Back();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"A.Activate(false)", "Home.Activate(true)"}));
    EXPECT_FALSE(navigator.CanGoBack());
    EXPECT_TRUE(navigator.CanGoForward());

    navigator.Forward();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"Home.Activate(false)", "A.Activate(true)"}));
}

TEST_F(NavigatorTest, HomeKeepsTheLaterEntries)
{
    for (const char* name : {"A", "B", "C"})
        navigator.Navigate(new RecordingPage(name));
    TakeLog();

    navigator.Home();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"C.Activate(false)", "Home.Activate(true)"}));
    EXPECT_EQ(navigator.GetCurrentIndex(), 0);
    EXPECT_EQ(navigator.GetCount(), 4);

    navigator.Forward();
    EXPECT_EQ(CurrentName(), "A");

    navigator.Home();
    TakeLog();
    navigator.Home();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"Home.Activate(false)", "Home.Activate(true)"}))
        << "Home on the Home page activates it again";
}

TEST_F(NavigatorTest, MarkAllStaleReachesEveryEntryInOrder)
{
    navigator.Navigate(new RecordingPage("A"));
    navigator.Navigate(new RecordingPage("B"));
    navigator.Back();
    TakeLog();
    navigator.MarkAllStale();
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"Home.MarkStale", "A.MarkStale", "B.MarkStale"}));
}

TEST_F(NavigatorTest, DiscardFromMovesTheCurrentEntryBack)
{
    navigator.Navigate(new RecordingPage("A"));
    navigator.Navigate(new RecordingPage("B"));
    TakeLog();
    navigator.DiscardFrom(1);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"B.destroyed", "A.destroyed"}));
    EXPECT_EQ(navigator.GetCurrentIndex(), 0);
    EXPECT_EQ(navigator.GetCount(), 1);
}

TEST(NavigatorLifetime, DestroyingTheNavigatorDestroysEveryPage)
{
    g_log.clear();
    {
        CNavigator navigator;
        navigator.Push(new RecordingPage("Home"));
        navigator.Navigate(new RecordingPage("A"));
        navigator.Back();
        g_log.clear();
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"A.destroyed", "Home.destroyed"}));
    g_log.clear();
}

} // namespace
