// Modal dialogs from the program's templates, with dialog data exchange:
// DoDataExchange moves values between members and controls, loading at the
// start and saving (with validation) on OK.
#pragma once

#include <string>

#include "wnd.h"

// The string resource id with %1 and %2 replaced by the arguments.
std::string AfxFormatString(UINT id, const char* arg1, const char* arg2 = nullptr);
// A printf-style format whose only conversion is one %s ("%%" is a percent
// sign); a format without %s comes back unchanged.
std::string AfxFormatOneString(const std::string& format, const std::string& arg);

class CDialog;

class CDataExchange {
public:
    BOOL m_bSaveAndValidate;  // TRUE: controls to members (OK); FALSE: members to controls
    CWnd* m_pDlgWnd;          // a dialog, or a dialog bar

    CDataExchange(CWnd* dlg, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlg) {}

    // The control with that id, remembered as the one a failure focuses.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Focuses the last prepared control (selecting an edit's text) and
    // abandons the exchange. The caller has shown its message.
    [[noreturn]] void Fail();

    HWND m_hWndLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;
};

void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// Saving only: value must lie in [minValue, maxValue].
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue);
// Loading limits the last edit control to count characters; saving refuses a longer value.
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int count);
// Attaches control to the dialog's control with that id (once).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
public:
    CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog from the template until EndDialog; returns its result,
    // or -1 when the dialog could not be made.
    virtual INT_PTR DoModal();
    void EndDialog(int result);
    // Exchanges all data; FALSE when a value was refused (the dialog stays).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);


protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_COMMAND_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
