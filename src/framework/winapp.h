// The application object: start-up, the message loop with idle-time
// command-UI updates, and shut-down.
#pragma once

#include <memory>
#include <vector>

#include "cmdtarget.h"

class CDocTemplate;
class CCommandLineInfo;

class CWinApp : public CCmdTarget {
public:
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    int m_nCmdShow = SW_SHOWDEFAULT;
    std::string m_pszHelpFilePath;   // the module path with ".hlp", until the program changes it
    std::string m_pszRegistryKey;
    std::string m_pszProfileName;
    std::string m_pszAppName;

    CWinApp();
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The message loop; returns ExitInstance's result.
    virtual int Run();
    // Idle-time work; count 0 updates the command UI of the main frame's bars.
    virtual BOOL OnIdle(LONG count);
    virtual BOOL PreTranslateMessage(MSG* msg);

    void SetRegistryKey(const char* key);
    void LoadStdProfileSettings(UINT maxRecentFiles = 4);
    const std::vector<std::string>& GetRecentFiles() const { return m_recentFiles; }

    void AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate);
    void ParseCommandLine(CCommandLineInfo& info);
    BOOL ProcessShellCommand(CCommandLineInfo& info);

    void OnAppExit();
    void OnFileNew();
    void OnFileOpen();
    void OnFilePrintSetup();
    // The printer chosen in Print Setup, or the default printer; null when there is none.
    // The caller owns the DC.
    HDC CreatePrinterDC();
    // Lets the print dialog start from, and remember, the chosen printer.
    void GetPrinterSettings(HGLOBAL& devMode, HGLOBAL& devNames) const;
    void SetPrinterSettings(HGLOBAL devMode, HGLOBAL devNames);

    // The application object of the process.

    DECLARE_COMMAND_MAP()

private:
    bool FindDefaultPrinter();
    BOOL IdleQuietly(LONG count);
    BOOL PreTranslateQuietly(MSG* msg);

    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
    std::vector<std::string> m_recentFiles;
    HGLOBAL m_hDevMode = nullptr;   // owned
    HGLOBAL m_hDevNames = nullptr;  // owned
};

// The framework's WinMain: the program's WinMain calls it with its application object.
int AfxWinMain(CWinApp* app, HINSTANCE instance, int cmdShow);
