// The edit box a folder page renames a cell in, over its caption.
#pragma once

#include <functional>
#include <string>

#include "wnd.h"

// An edit box that hands Enter to its owner and tells it when it is done
// with otherwise: Esc, or the focus going elsewhere (a click, another
// window). Either call may delete the box.
class CRenameBox : public CWnd {
public:
    CRenameBox(std::function<void(const std::string&)> enter, std::function<void()> cancel);

    // A child of parent at rect (client coordinates) holding text, its first
    // selected characters selected, with the focus.
    bool Create(CWnd* parent, const RECT& rect, const std::string& text, int selected, HFONT font);
    // Says why the text cannot be taken; the box stays open with its text.
    void Refuse(const std::string& why);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::function<void(const std::string&)> m_enter;
    std::function<void()> m_cancel;
    bool m_refusing = false;  // a message box of the refusal has the focus
};
