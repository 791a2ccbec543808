// Preferences: how many History entries the Home page shows, and emptying
// the thumbnail cache.
#pragma once

#include "dialogs/helpdialog.h"

class CPreferencesDlg : public CHelpDialog {
public:
    CPreferencesDlg();

    int m_historyCount;  // edit 1016, 1 to 100

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnClearCache();
    DECLARE_COMMAND_MAP()
};
