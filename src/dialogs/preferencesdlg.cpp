#include "dialogs/preferencesdlg.h"

#include "catalog/thumbnailcache.h"
#include "core/navigator.h"
#include "core/page.h"
#include "core/pagehost.h"
#include "res/resource.h"
#include "shell/settings.h"

BEGIN_COMMAND_MAP(CPreferencesDlg, CHelpDialog)
    ON_COMMAND(IDC_CLEAR_CACHE, OnClearCache)
END_COMMAND_MAP()

CPreferencesDlg::CPreferencesDlg() : CHelpDialog(IDD_PREFERENCES, nullptr), m_historyCount(g_settings.HistoryCount)
{
}

void CPreferencesDlg::DoDataExchange(CDataExchange* pDX)
{
    CHelpDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_HISTORY_COUNT, m_historyCount);
    DDV_MinMaxInt(pDX, m_historyCount, 1, 100);
}

void CPreferencesDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;  // the message was shown; the dialog stays open
    g_settings.HistoryCount = m_historyCount;
    if (CPage* page = g_navigator.GetCurrentPage()) {
        page->Refresh();
        CPageHost* host = GetPageHost();
        if (AfxGetMainWnd() && host) {
            const CRect client = host->GetPageClientRect();
            page->Layout(&client);
        }
    }
    EndDialog(IDOK);
}

void CPreferencesDlg::OnClearCache()
{
    ClearCache();
}
