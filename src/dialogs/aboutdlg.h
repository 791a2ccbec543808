// The About box: banner, the program's version and the maker's notice on white.
#pragma once

#include "dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    HBRUSH OnCtlColor(CDC* dc, HWND control, UINT ctlColor) override;
};
