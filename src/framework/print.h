// What one print job or print preview knows about itself while the view
// prepares and draws its sheets.
#pragma once

#include "afxbase.h"

#include <commdlg.h>

class CPrintInfo {
public:
    CPrintInfo();
    ~CPrintInfo();
    CPrintInfo(const CPrintInfo&) = delete;
    CPrintInfo& operator=(const CPrintInfo&) = delete;

    UINT GetMinPage() const { return m_nMinPage; }
    UINT GetMaxPage() const { return m_nMaxPage; }

    PRINTDLGA m_pd{};                 // the print dialog's data; m_pd.hDC is the printer DC
    BOOL m_bDirect = FALSE;           // print without showing the dialog
    BOOL m_bPreview = FALSE;          // a print preview, not a print job
    BOOL m_bContinuePrinting = TRUE;  // cleared by OnPrepareDC to stop after a sheet
    UINT m_nCurPage = 1;
    CRect m_rectDraw;                 // the printable area of the sheet, logical units

private:
    UINT m_nMinPage = 1;
    UINT m_nMaxPage = 0xFFFF;         // no page count: the view stops after the first sheet
};
