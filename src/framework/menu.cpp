#include "menu.h"

#include <string>

BOOL AfxAppendMenuItem(HMENU menu, MENUITEMINFOW info, const std::string& text)
{
    std::wstring caption = AfxWide(text);
    info.cbSize = sizeof info;
    info.fMask |= MIIM_STRING;
    info.dwTypeData = caption.data();
    return ::InsertMenuItemW(menu, (UINT)::GetMenuItemCount(menu), TRUE, &info);
}

BOOL CMenu::LoadMenu(UINT id)
{
    return Attach(::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
}

BOOL CMenu::CreatePopupMenu()
{
    return Attach(::CreatePopupMenu());
}

BOOL CMenu::Attach(HMENU menu)
{
    DestroyMenu();
    m_hMenu = menu;
    return menu != nullptr;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    return menu;
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu)
        return FALSE;
    return ::DestroyMenu(Detach());
}
