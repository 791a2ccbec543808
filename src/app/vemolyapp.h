// The application object: brings Orlivane up in a fixed order and writes the
// settings back at exit.
#pragma once

#include <atomic>

#include "afx.h"

class CVemolyApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

protected:
    void OnCmdFileNew();
    void OnCmdFilePrintSetup();
    void OnAppAbout();
    DECLARE_COMMAND_MAP()

private:
    // Its page, or a message naming it when nothing is there.
    void OpenCommandLinePath(const std::string& path);
};

// The process-wide application object.
extern CVemolyApp theApp;
