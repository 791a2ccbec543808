#include "winapp.h"

#include <commdlg.h>
#include <shellapi.h>

#include "afxpath.h"
#include "doc.h"
#include "frame.h"

namespace {
CWinApp* g_app = nullptr;

// Whether a key message goes to an edit box: it keeps every key, so that
// Backspace, Ctrl+A or Alt+Left edit its text instead of being accelerators.
bool KeyForEditBox(const MSG& msg)
{
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd)
        return false;
    wchar_t name[8] = L"";
    return ::GetClassNameW(msg.hwnd, name, 8) && ::lstrcmpiW(name, L"Edit") == 0;
}
}

CWinApp* AfxGetApp()
{
    return g_app;
}

BEGIN_COMMAND_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_APP_EXIT, OnAppExit)
END_COMMAND_MAP()

CWinApp::CWinApp()
{
    g_app = this;
    m_hInstance = ::GetModuleHandleW(nullptr);
    const std::string module = AfxGetModuleFileName(m_hInstance);
    const size_t dot = module.find_last_of('.');
    const size_t slash = module.find_last_of("\\/");
    const std::string stem = module.substr(0, dot == std::string::npos || (slash != std::string::npos && dot < slash) ? module.size() : dot);
    m_pszHelpFilePath = stem + ".hlp";
    m_pszAppName = stem.substr(slash == std::string::npos ? 0 : slash + 1);
    m_pszProfileName = m_pszAppName;
}

CWinApp::~CWinApp()
{
    m_templates.clear();
    if (m_hDevMode)
        ::GlobalFree(m_hDevMode);
    if (m_hDevNames)
        ::GlobalFree(m_hDevNames);
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg)
{
    if (KeyForEditBox(*msg))
        return FALSE;
    // From the target window up to its top-level window, the first object that wants it.
    for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(h); wnd && wnd->PreTranslateMessage(msg))
            return TRUE;
    }
    return FALSE;
}

BOOL CWinApp::OnIdle(LONG count)
{
    if (count > 0)
        return FALSE;
    if (m_pMainWnd && m_pMainWnd->m_hWnd && m_pMainWnd->IsWindowVisible()) {
        m_pMainWnd->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE);
        m_pMainWnd->OnIdleUpdateCmdUI();
    }
    return TRUE;
}

// The loop's own calls into the program; the window procedure guards the rest.
// Whatever they throw ends only that step.
BOOL CWinApp::IdleQuietly(LONG count)
{
    try {
        return OnIdle(count);
    } catch (...) {
        return FALSE;
    }
}

BOOL CWinApp::PreTranslateQuietly(MSG* msg)
{
    try {
        return PreTranslateMessage(msg);
    } catch (...) {
        return TRUE;  // the message is dropped
    }
}

int CWinApp::Run()
{
    MSG msg;
    bool idle = true;
    LONG idleCount = 0;
    for (;;) {
        while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!IdleQuietly(idleCount++))
                idle = false;
        }
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (!PreTranslateQuietly(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        // Mouse moves and timers alone do not change what the bars show.
        if (msg.message != WM_MOUSEMOVE && msg.message != WM_NCMOUSEMOVE && msg.message != WM_TIMER
            && msg.message != 0x0118 /* WM_SYSTIMER, the caret */) {
            idle = true;
            idleCount = 0;
        }
    }
    return ExitInstance();
}

void CWinApp::SetRegistryKey(const char* key)
{
    m_pszRegistryKey = key;
}

void CWinApp::LoadStdProfileSettings(UINT maxRecentFiles)
{
    m_recentFiles.clear();
    if (m_pszRegistryKey.empty())
        return;
    // The profile's keys are made on first use, as reading a profile section does.
    const std::string path = "Software\\" + m_pszRegistryKey + "\\" + m_pszProfileName
                           + "\\Recent File List";
    HKEY key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, AfxWide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    for (UINT i = 1; i <= maxRecentFiles; ++i) {
        std::string value;
        if (AfxRegQueryString(key, "File" + std::to_string(i), value) == ERROR_SUCCESS && !value.empty())
            m_recentFiles.push_back(std::move(value));
    }
    ::RegCloseKey(key);
}

void CWinApp::AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate)
{
    m_templates.push_back(std::move(docTemplate));
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info)
{
    // Read as UTF-16: a name no code page holds arrives whole.
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!args)
        return;
    for (int i = 1; i < count; ++i) {
        std::wstring arg = args[i];
        if (arg.empty() || arg[0] == L'/' || arg[0] == L'-')
            continue;  // flags of the shell and of automation: nothing to do here
        // "D:\" quoted reads as D:" (the backslash escapes the quote); no
        // path holds a quote.
        if (arg.back() == L'"')
            arg.pop_back();
        if (info.m_strFileName.empty()) {
            info.m_strFileName = AfxUtf8(arg);
            info.m_nShellCommand = CCommandLineInfo::FileOpen;
        }
    }
    ::LocalFree(args);
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& info)
{
    if (m_templates.empty())
        return FALSE;
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        OnFileNew();
        return m_pMainWnd != nullptr;
    case CCommandLineInfo::FileOpen:
        return m_templates.front()->OpenDocumentFile(info.m_strFileName.c_str()) != nullptr;
    default:
        return TRUE;
    }
}

void CWinApp::OnAppExit()
{
    if (m_pMainWnd && m_pMainWnd->m_hWnd)
        m_pMainWnd->SendMessage(WM_CLOSE);
}

void CWinApp::OnFileNew()
{
    if (!m_templates.empty())
        m_templates.front()->OpenDocumentFile(nullptr);
}

void CWinApp::OnFileOpen()
{
    // Documents of this program hold no data: there is nothing to open.
}

void CWinApp::GetPrinterSettings(HGLOBAL& devMode, HGLOBAL& devNames) const
{
    devMode = m_hDevMode;
    devNames = m_hDevNames;
}

void CWinApp::SetPrinterSettings(HGLOBAL devMode, HGLOBAL devNames)
{
    if (m_hDevMode && m_hDevMode != devMode)
        ::GlobalFree(m_hDevMode);
    if (m_hDevNames && m_hDevNames != devNames)
        ::GlobalFree(m_hDevNames);
    m_hDevMode = devMode;
    m_hDevNames = devNames;
}

bool CWinApp::FindDefaultPrinter()
{
    if (m_hDevNames)
        return true;
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT;
    if (!::PrintDlgA(&pd))
        return false;
    SetPrinterSettings(pd.hDevMode, pd.hDevNames);
    return true;
}

HDC CWinApp::CreatePrinterDC()
{
    if (!FindDefaultPrinter())
        return nullptr;
    const DEVNAMES* names = static_cast<const DEVNAMES*>(::GlobalLock(m_hDevNames));
    const DEVMODEA* mode = m_hDevMode ? static_cast<const DEVMODEA*>(::GlobalLock(m_hDevMode)) : nullptr;
    const char* base = reinterpret_cast<const char*>(names);
    HDC dc = ::CreateDCA(base + names->wDriverOffset, base + names->wDeviceOffset,
                         base + names->wOutputOffset, mode);
    if (mode)
        ::GlobalUnlock(m_hDevMode);
    ::GlobalUnlock(m_hDevNames);
    return dc;
}

void CWinApp::OnFilePrintSetup()
{
    FindDefaultPrinter();
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_PRINTSETUP;
    pd.hwndOwner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    pd.hDevMode = m_hDevMode;
    pd.hDevNames = m_hDevNames;
    if (::PrintDlgA(&pd))
        SetPrinterSettings(pd.hDevMode, pd.hDevNames);
}

int AfxWinMain(CWinApp* app, HINSTANCE instance, int cmdShow)
{
    app->m_hInstance = instance;
    app->m_nCmdShow = cmdShow;
    BOOL started = FALSE;
    try {
        started = app->InitInstance();
    } catch (...) {
        started = FALSE;  // a start-up that threw ends like one that failed
    }
    if (!started) {
        // Tear down whatever start-up made; the exit code is that of ExitInstance.
        if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd)
            ::DestroyWindow(app->m_pMainWnd->m_hWnd);
        const int code = app->ExitInstance();
        AfxOleTerm();
        return code;
    }
    const int code = app->Run();
    AfxOleTerm();
    return code;
}
