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
    return AfxAttachHandle(m_hMenu, menu, ::DestroyMenu);
}

HMENU CMenu::Detach()
{
    return AfxDetachHandle(m_hMenu);
}

BOOL CMenu::DestroyMenu()
{
    return AfxReleaseHandle(m_hMenu, ::DestroyMenu);
}
