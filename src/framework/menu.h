// CMenu owns one menu handle and destroys it with itself.
#pragma once

#include "afxbase.h"

// Appends an item described by info (all but its text) with a UTF-8 caption.
BOOL AfxAppendMenuItem(HMENU menu, MENUITEMINFOW info, const std::string& text);

class CMenu {
public:
    HMENU m_hMenu = nullptr;

    CMenu() = default;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    virtual ~CMenu() { DestroyMenu(); }

    BOOL LoadMenu(UINT id);
    BOOL CreatePopupMenu();
    BOOL Attach(HMENU menu);
    HMENU Detach();
    BOOL DestroyMenu();

    HMENU GetSafeHmenu() const { return m_hMenu; }
    // The popup at position, owned by this menu (not by the caller).
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(m_hMenu, position); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
};
