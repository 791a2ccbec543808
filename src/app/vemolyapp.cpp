#include "app/vemolyapp.h"

#include "afxpath.h"

#include <algorithm>
#include <cstdio>

#include "core/navigator.h"
#include "dialogs/aboutdlg.h"
#include "frame/mainframe.h"
#include "frame/openpath.h"
#include "pages/homepage.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "shell/filedata.h"
#include "shell/filejobs.h"
#include "shell/settings.h"
#include "view/vemolydoc.h"
#include "view/vemolyview.h"

BEGIN_COMMAND_MAP(CVemolyApp, CWinApp)
    ON_COMMAND(ID_FILE_NEW, OnCmdFileNew)
    ON_COMMAND(ID_FILE_PRINT_SETUP, OnCmdFilePrintSetup)
    ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
END_COMMAND_MAP()

namespace {
// How long the end of the program waits for background threads that are
// finishing their work.
constexpr DWORD kExitWait = 10000;
}

BOOL CVemolyApp::InitInstance()
{
    if (!AfxOleInit()) {
        AfxMessageBox(IDP_OLE_INIT_FAILED);
        return FALSE;
    }

    // The help file sits beside the program.
    const std::string& help = m_pszHelpFilePath;
    m_pszHelpFilePath = help.substr(0, AfxFindExtension(help.c_str()) - help.c_str()) + ".chm";

    SetRegistryKey("Vemoly");
    LoadStdProfileSettings(4);

    if (!g_resources.Create(AfxGetDpiForWindow(nullptr)))
        return FALSE;

    g_settings.Load();

    CFolderEntry history = MakeEntry(g_settings.HistoryFolder, nullptr, nullptr);
    history.Classify();
    CFolderEntry favorites = MakeEntry(g_settings.FavoritesFolder, nullptr, nullptr);
    favorites.Classify();
    auto* home = new CHomePage(history, favorites);
    home->Load();
    g_navigator.Push(home);

    auto docTemplate = CSingleDocTemplate::Create<CVemolyDoc, CMainFrame, CVemolyView>(IDR_MAINFRAME);
    docTemplate->SetContainerInfo(6);
    AddDocTemplate(std::move(docTemplate));

    CCommandLineInfo commandLine;
    ParseCommandLine(commandLine);
    // A folder or picture named on the command line is no document: the
    // window comes up as always and the path opens after the Home page.
    std::string path;
    if (commandLine.m_nShellCommand == CCommandLineInfo::FileOpen) {
        path = commandLine.m_strFileName;
        commandLine.m_nShellCommand = CCommandLineInfo::FileNew;
    }
    if (!ProcessShellCommand(commandLine))
        return FALSE;

    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();

    home->Start();
    home->Activate(true);
    if (!path.empty())
        OpenCommandLinePath(path);
    return TRUE;
}

void CVemolyApp::OpenCommandLinePath(const std::string& path)
{
    // Relative to the folder it was started in, as a shell resolves it.
    std::wstring full(MAX_PATH, L'\0');
    const std::wstring wide = AfxWide(path);
    DWORD length = ::GetFullPathNameW(wide.c_str(), (DWORD)full.size(), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = ::GetFullPathNameW(wide.c_str(), (DWORD)full.size(), full.data(), nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    bool opened = false;
    try {
        opened = !full.empty() && OpenPathInPage(AfxUtf8(full));
    } catch (...) {
        return;  // as File Open: what was done stays
    }
    if (opened)
        return;
    const std::string format = AfxLoadString(IDS_PATH_NOT_FOUND);
    std::string text(format.size() + path.size() + 1, '\0');
    const int written = std::snprintf(text.data(), text.size(), format.c_str(), path.c_str());
    text.resize(written > 0 ? std::min((size_t)written, text.size() - 1) : 0);
    AfxMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

int CVemolyApp::ExitInstance()
{
    g_navigator.m_exiting = 1;
    // A start-up that failed before reading the settings must not replace
    // the user's values with the defaults.
    if (g_settings.Loaded)
        g_settings.Save();
    // The pages go now, not with the process's objects: their threads stop,
    // and a cache file being written is finished, while everything they use
    // is still there.
    g_navigator.DiscardFrom(0);
    // The window has gone; a copy still running finishes, not cut off halfway.
    FinishFileJobs();
    KeepClipboardFiles();
    const int code = CWinApp::ExitInstance();
    if (!JoinRetiredThreads(kExitWait)) {
        // A thread stuck in the system (an unreachable network folder, say)
        // must not run on while the process's objects are destroyed.
        ::ExitProcess((UINT)code);
    }
    return code;
}

void CVemolyApp::OnCmdFileNew()
{
    OnFileNew();
}

void CVemolyApp::OnCmdFilePrintSetup()
{
    OnFilePrintSetup();
}

void CVemolyApp::OnAppAbout()
{
    CAboutDlg about;
    about.DoModal();
}
