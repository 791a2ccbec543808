// The About box: banner, the program's version, the maker's notice and the
// libraries the program is built with and their licences, on white.
#pragma once

#include "dialog.h"
#include "gdi.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    HBRUSH OnCtlColor(CDC* dc, HWND control, UINT ctlColor) override;

private:
    void ScaleBanner();

    CBitmap m_banner;  // the banner at the dialog's scale, when not the designed one
};
