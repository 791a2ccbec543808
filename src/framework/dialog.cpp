#include "dialog.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

// Thrown by CDataExchange::Fail and caught by UpdateData only.
struct DataExchangeFailure {};

} // namespace

std::string AfxFormatString(UINT id, const char* arg1, const char* arg2)
{
    const std::string format = AfxLoadString(id);
    std::string result;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == '1' || format[i + 1] == '2')) {
            const char* arg = format[i + 1] == '1' ? arg1 : arg2;
            result += arg ? arg : "";
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

std::string AfxFormatOneString(const std::string& format, const std::string& arg)
{
    std::string result;
    bool used = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                result += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's' && !used) {
                result += arg;
                used = true;
                ++i;
                continue;
            }
        }
        result += format[i];
    }
    return result;
}

// ---------------------------------------------------------------- CDataExchange

HWND CDataExchange::PrepareCtrl(int id)
{
    m_hWndLastControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    m_bEditLastControl = FALSE;
    return m_hWndLastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id)
{
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = TRUE;
    return control;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl)
            ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw DataExchangeFailure{};
}

// A whole decimal integer with optional blanks around it and an optional sign.
static bool ParseInt(const std::string& text, int& value)
{
    const char* start = text.c_str();
    while (*start == ' ' || *start == '\t')
        ++start;
    if (!*start)
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end)
        return false;
    value = (int)parsed;
    return true;
}

void DDX_Text(CDataExchange* pDX, int id, int& value)
{
    HWND control = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        if (!ParseInt(AfxGetWindowText(control), value)) {
            AfxMessageBox(AFX_IDP_PARSE_INT);
            pDX->Fail();
        }
    } else {
        AfxSetWindowText(control, std::to_string(value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value)
{
    HWND control = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = AfxGetWindowText(control);
    else
        AfxSetWindowText(control, value);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minValue, int maxValue)
{
    if (!pDX->m_bSaveAndValidate || (value >= minValue && value <= maxValue))
        return;
    const std::string low = std::to_string(minValue);
    const std::string high = std::to_string(maxValue);
    AfxMessageBox(AfxFormatString(AFX_IDP_PARSE_INT_RANGE, low.c_str(), high.c_str()).c_str(),
                  MB_ICONEXCLAMATION, AFX_IDP_PARSE_INT_RANGE);
    pDX->Fail();
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int count)
{
    if (!pDX->m_bSaveAndValidate) {
        if (pDX->m_hWndLastControl && pDX->m_bEditLastControl)
            ::SendMessageW(pDX->m_hWndLastControl, EM_LIMITTEXT, (WPARAM)count, 0);
        return;
    }
    // Counted as the edit control counts: UTF-16 units, not bytes.
    if ((int)AfxWide(value).size() > count) {
        const std::string limit = std::to_string(count);
        AfxMessageBox(AfxFormatString(AFX_IDP_PARSE_STRING_SIZE, limit.c_str()).c_str(),
                      MB_ICONEXCLAMATION, AFX_IDP_PARSE_STRING_SIZE);
        pDX->Fail();
    }
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.SubclassWindow(pDX->PrepareCtrl(id));
}

// ---------------------------------------------------------------- CDialog

BEGIN_COMMAND_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_COMMAND_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_nIDTemplate(templateId), m_pParentWnd(parent)
{
}

// The window a modal dialog is owned by: the parent's top-level window, or
// else the popup the user last worked in, so a dialog opened from a dialog
// stays above it.
static HWND ModalOwner(CWnd* parent)
{
    HWND owner = parent ? parent->m_hWnd : nullptr;
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        owner = main && main->m_hWnd ? ::GetLastActivePopup(main->m_hWnd) : ::GetActiveWindow();
    }
    while (owner && (::GetWindowLongPtrW(owner, GWL_STYLE) & WS_CHILD))
        owner = ::GetParent(owner);
    return owner;
}

INT_PTR CDialog::DoModal()
{
    static const BOOL controlsRegistered = [] {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
        return ::InitCommonControlsEx(&init);
    }();
    (void)controlsRegistered;

    // A Unicode dialog: its controls show and return any name exactly.
    return ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate),
                             ModalOwner(m_pParentWnd), &CDialog::DialogProc, (LPARAM)this);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // From WM_INITDIALOG on, the framework's procedure sees every message
    // first; the dialog class's procedure, reached through Default(), calls
    // back here and gets the default processing.
    if (message != WM_INITDIALOG || FromHandlePermanent(hWnd))
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->SubclassWindow(hWnd);
    return CWnd::AfxWndProc(hWnd, message, wParam, lParam);
}

// Whether the template leaves the position to the program (x and y both 0).
static bool TemplateAtOrigin(UINT templateId)
{
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(templateId), (LPCSTR)RT_DIALOG);
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (!data || ::SizeofResource(instance, found) < 22)
        return false;
    const bool extended = data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
    const BYTE* position = data + (extended ? 18 : 10);
    return position[0] == 0 && position[1] == 0 && position[2] == 0 && position[3] == 0;
}

// Centres a top-level dialog over its owner, or on the screen without one,
// keeping it inside the work area.
static void CenterOverOwner(HWND dialog)
{
    CRect box;
    ::GetWindowRect(dialog, &box);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const CRect work(monitor.rcWork);
    CRect around = work;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &around);
    int x = around.left + (around.Width() - box.Width()) / 2;
    int y = around.top + (around.Height() - box.Height()) / 2;
    x = std::max((int)work.left, std::min(x, (int)work.right - box.Width()));
    y = std::max((int)work.top, std::min(y, (int)work.bottom - box.Height()));
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        if (!(GetStyle() & WS_CHILD) && TemplateAtOrigin(m_nIDTemplate))
            CenterOverOwner(m_hWnd);
        return OnInitDialog();
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CDialog::EndDialog(int result)
{
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*)
{
}
