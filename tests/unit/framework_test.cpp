// The application framework's own rules: command routing through command
// maps, command-UI updates, and window objects that own themselves.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "afx.h"
#include "afxpath.h"

namespace {

class Target : public CCmdTarget {
public:
    std::vector<UINT> ran;
    bool enable = true;

    void OnOne() { ran.push_back(1); }
    void OnRange(UINT id) { ran.push_back(id); }
    void OnUpdateOne(CCmdUI* ui) { ui->Enable(enable); }
    DECLARE_COMMAND_MAP()
};

BEGIN_COMMAND_MAP(Target, CCmdTarget)
    ON_COMMAND(100, OnOne)
    ON_UPDATE_COMMAND_UI(100, OnUpdateOne)
    ON_COMMAND_RANGE(200, 210, OnRange)
END_COMMAND_MAP()

class Derived : public Target {
public:
    void OnOverride() { ran.push_back(1000); }
    DECLARE_COMMAND_MAP()
};

BEGIN_COMMAND_MAP(Derived, Target)
    ON_COMMAND(200, OnOverride)
END_COMMAND_MAP()

struct ProbeUI : CCmdUI {
    int enabled = -1;
    void Enable(BOOL on) override
    {
        enabled = on ? 1 : 0;
        m_bEnableChanged = TRUE;
    }
};

TEST(CommandMaps, SingleIdsRangesAndBaseMaps)
{
    Derived target;
    EXPECT_TRUE(target.OnCmdMsg(100, CN_COMMAND, nullptr, nullptr));
    EXPECT_TRUE(target.OnCmdMsg(205, CN_COMMAND, nullptr, nullptr));
    EXPECT_TRUE(target.OnCmdMsg(200, CN_COMMAND, nullptr, nullptr)) << "the derived map comes first";
    EXPECT_FALSE(target.OnCmdMsg(211, CN_COMMAND, nullptr, nullptr));
    EXPECT_EQ(target.ran, (std::vector<UINT>{1, 205, 1000}));

    AFX_CMDHANDLERINFO info;
    EXPECT_TRUE(target.OnCmdMsg(210, CN_COMMAND, nullptr, &info));
    EXPECT_EQ(info.pTarget, &target);
    EXPECT_EQ(target.ran.size(), 3u) << "asking for a handler runs nothing";
}

TEST(CommandMaps, UpdatesEnableByHandlerOrByTheHandlersPresence)
{
    Target target;
    ProbeUI withHandler;
    withHandler.m_nID = 100;
    target.enable = false;
    withHandler.DoUpdate(&target, TRUE);
    EXPECT_EQ(withHandler.enabled, 0);

    ProbeUI commandOnly;
    commandOnly.m_nID = 203;
    commandOnly.DoUpdate(&target, TRUE);
    EXPECT_EQ(commandOnly.enabled, 1);

    ProbeUI nothing;
    nothing.m_nID = 999;
    nothing.DoUpdate(&target, TRUE);
    EXPECT_EQ(nothing.enabled, 0) << "no handler: disabled";
    ProbeUI leftAlone;
    leftAlone.m_nID = 999;
    leftAlone.DoUpdate(&target, FALSE);
    EXPECT_EQ(leftAlone.enabled, -1);
}

// A window object on the heap that deletes itself when its window goes.
class SelfOwned : public CWnd {
public:
    explicit SelfOwned(int* deleted, bool failCreate) : m_deleted(deleted), m_failCreate(failCreate) {}
    ~SelfOwned() override { ++*m_deleted; }

protected:
    int OnCreate(LPCREATESTRUCTW cs) override { return m_failCreate ? -1 : CWnd::OnCreate(cs); }
    void PostNcDestroy() override { delete this; }

private:
    int* m_deleted;
    bool m_failCreate;
};

TEST(Windows, AFailedCreationTellsWhetherTheObjectIsGone)
{
    const char* cls = AfxRegisterWndClass(0);
    int deleted = 0;
    auto* failing = new SelfOwned(&deleted, true);
    EXPECT_FALSE(failing->CreateEx(0, cls, "", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_TRUE(CWnd::LastCreateDestroyedObject());
    EXPECT_EQ(deleted, 1) << "deleted once, by itself";

    auto* unknownClass = new SelfOwned(&deleted, false);
    EXPECT_FALSE(unknownClass->CreateEx(0, "NoSuchClass", "", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_FALSE(CWnd::LastCreateDestroyedObject());
    EXPECT_EQ(deleted, 1) << "never had a window: the caller still owns it";
    delete unknownClass;

    auto* fine = new SelfOwned(&deleted, false);
    ASSERT_TRUE(fine->CreateEx(0, cls, "", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    HWND hWnd = fine->m_hWnd;
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), fine);
    ::DestroyWindow(hWnd);
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(Windows, AnObjectDestroysAWindowItStillHas)
{
    const char* cls = AfxRegisterWndClass(0);
    HWND hWnd;
    {
        CWnd wnd;
        ASSERT_TRUE(wnd.CreateEx(0, cls, "", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
        hWnd = wnd.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(hWnd));
}

// Whatever a handler or a thread throws ends only that message or thread.
class Throwing : public CWnd {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_USER)
            throw std::bad_alloc();
        if (message == WM_CREATE && lParam && reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams)
            throw 42;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

TEST(Exceptions, EndOnlyTheMessageOrTheThreadThatThrewThem)
{
    const char* cls = AfxRegisterWndClass(0);
    {
        Throwing wnd;
        ASSERT_TRUE(wnd.CreateEx(0, cls, "", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
        EXPECT_EQ(wnd.SendMessage(WM_USER), 0);
        EXPECT_TRUE(::IsWindow(wnd.m_hWnd));
    }
    {
        Throwing wnd;
        int marker = 1;
        EXPECT_FALSE(wnd.CreateEx(0, cls, "", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0, &marker))
            << "a creation that threw failed";
    }
    CWinThread* thread = AfxBeginThread([](LPVOID) -> UINT { throw std::bad_alloc(); }, nullptr,
                                        THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    ASSERT_EQ(::WaitForSingleObject(thread->m_hThread, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeThread(thread->m_hThread, &code);
    EXPECT_EQ(code, (DWORD)-1);
    delete thread;
}

TEST(Paths, LongOnesTakeTheFullPrefixedFormAndShortOnesStayAsTheyAre)
{
    // Lengths are counted in UTF-16 units: a CJK name is three bytes a unit
    // in UTF-8, an emoji two units. The expected forms are spelt out here
    // apart from the program's own conversion.
    auto repeat = [](size_t count, const std::string& piece) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += piece;
        return text;
    };
    wchar_t current[MAX_PATH] = {};
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 0u);
    std::wstring here = current;
    if (here.back() != L'\\')
        here += L'\\';
    const std::wstring unc = std::wstring(L"\\\\server\\share\\") + std::wstring(240, L'a');

    const struct {
        std::string path;
        std::wstring expected;
    } cases[] = {
        {"C:\\" + std::string(244, 'a'), L"C:\\" + std::wstring(244, L'a')},               // 247 units
        {"C:\\" + std::string(245, 'a'), L"\\\\?\\C:\\" + std::wstring(245, L'a')},        // 248
        {"C:\\" + std::string(257, 'a'), L"\\\\?\\C:\\" + std::wstring(257, L'a')},        // 260
        {"C:\\" + repeat(244, "\xE6\x9D\xB1"), L"C:\\" + std::wstring(244, L'\x6771')},   // 247, 735 bytes
        {"C:\\" + repeat(122, "\xF0\x9F\x98\x80") + "a",                                   // 248 in pairs
         L"\\\\?\\C:\\" + [] { std::wstring s; for (int i = 0; i < 122; ++i) s += L"\xD83D\xDE00"; return s; }() + L"a"},
        {"C:/x/../" + std::string(250, 'a'), L"\\\\?\\C:\\" + std::wstring(250, L'a')},   // made full
        {"\\\\server\\share\\" + std::string(240, 'a'), L"\\\\?\\UNC\\server\\share\\" + std::wstring(240, L'a')},
        {"\\\\server\\share\\" + std::string(10, 'a'), L"\\\\server\\share\\" + std::wstring(10, L'a')},
        {std::string(250, 'r'), L"\\\\?\\" + here + std::wstring(250, L'r')},              // relative
        {"r\\" + std::string(30, 'r'), L"r\\" + std::wstring(30, L'r')},
        {"\\\\?\\C:\\" + std::string(300, 'a'), L"\\\\?\\C:\\" + std::wstring(300, L'a')}, // already full
        {"\\\\?\\UNC\\server\\share\\" + std::string(300, 'a'),
         L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'a')},
        {"\\\\.\\pipe\\" + std::string(300, 'a'), L"\\\\.\\pipe\\" + std::wstring(300, L'a')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AfxPathW(c.path), c.expected) << c.path.substr(0, 24) << "... of " << c.path.size() << " bytes";
}

} // namespace
