#include "running_app.h"

#include "afxres.h"
#include "app/vemolyapp.h"

void PumpMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        PumpMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

bool CommandEnabled(UINT id)
{
    struct Probe : CCmdUI {
        BOOL enabled = TRUE;
        void Enable(BOOL on) override
        {
            enabled = on;
            m_bEnableChanged = TRUE;
        }
    };
    Probe ui;
    ui.m_nID = id;
    ui.DoUpdate(theApp.m_pMainWnd, TRUE);
    return ui.enabled != FALSE;
}

HWND MainToolBar()
{
    return ::GetDlgItem(::GetDlgItem(theApp.m_pMainWnd->m_hWnd, AFX_IDW_REBAR), AFX_IDW_TOOLBAR);
}

void RunningApp::SetUp()
{
    ASSERT_TRUE(theApp.InitInstance());
    ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
    PumpMessages();
}

void RunningApp::TearDown()
{
    if (theApp.m_pMainWnd)
        theApp.m_pMainWnd->DestroyWindow();
    theApp.ExitInstance();
    PumpMessages();
}
