// Asks for the name of a new folder of Favorites inside the one shown as the location.
#pragma once

#include <string>

#include "controls.h"
#include "dialogs/helpdialog.h"

class CNewFolderDlg : public CHelpDialog {
public:
    CNewFolderDlg();

    std::string m_name;      // edit 1012, at most 100 characters
    CStatic m_captionText;   // static 1018, a format for the location
    std::string m_location;  // the parent folder as the user reads it

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
