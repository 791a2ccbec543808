// A tooltip shown where the program says, for as long as it says: a
// tracking tooltip, as Explorer's info tips are, rather than one that
// follows tools' rectangles.
#pragma once

#include <windows.h>

#include <string>

class CToolTipCtrl {
public:
    CToolTipCtrl() = default;
    ~CToolTipCtrl();
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

    // Shows text (lines split by '\n') with its top left at point, on the
    // screen; the window is made at the first show, owned by owner.
    void TrackAt(HWND owner, const std::string& text, POINT point);
    void Hide();
    bool IsShown() const { return m_shown; }
    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    HWND m_hWnd = nullptr;
    HWND m_owner = nullptr;
    std::wstring m_text;  // the tool's text, which the control points to
    bool m_shown = false;
};
