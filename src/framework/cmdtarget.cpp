#include "cmdtarget.h"

#include "wnd.h"

const AFX_CMDMAP* CCmdTarget::GetThisCommandMap()
{
    static const AFX_CMDMAP_ENTRY entries[] = {
        {AFX_CMDMAP_ENTRY::End, 0, 0, nullptr, nullptr, nullptr}};
    static const AFX_CMDMAP map = {nullptr, entries};
    return &map;
}

const AFX_CMDMAP* CCmdTarget::GetCommandMap() const
{
    return GetThisCommandMap();
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    const bool update = nCode == CN_UPDATE_COMMAND_UI;
    if (nCode != CN_COMMAND && !update)
        return FALSE;

    for (const AFX_CMDMAP* map = GetCommandMap(); map; map = map->base ? map->base() : nullptr) {
        for (const AFX_CMDMAP_ENTRY* e = map->entries; e->kind != AFX_CMDMAP_ENTRY::End; ++e) {
            if (nID < e->first || nID > e->last)
                continue;
            const bool isUpdate = e->kind == AFX_CMDMAP_ENTRY::Update
                               || e->kind == AFX_CMDMAP_ENTRY::UpdateRange;
            if (isUpdate != update)
                continue;
            if (pHandlerInfo) {
                pHandlerInfo->pTarget = this;
                return TRUE;
            }
            switch (e->kind) {
            case AFX_CMDMAP_ENTRY::Command:      (this->*e->command)(); break;
            case AFX_CMDMAP_ENTRY::CommandRange: (this->*e->commandRange)(nID); break;
            default:                             (this->*e->update)(static_cast<CCmdUI*>(pExtra)); break;
            }
            return TRUE;
        }
    }
    return FALSE;
}

void CCmdUI::Enable(BOOL bOn)
{
    if (m_hMenu)
        ::EnableMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    else if (m_pOther && m_pOther->m_hWnd)
        ::EnableWindow(m_pOther->m_hWnd, bOn);
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck)
{
    if (m_hMenu)
        ::CheckMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
}

void CCmdUI::SetRadio(BOOL bOn)
{
    if (!m_hMenu) {
        SetCheck(bOn ? 1 : 0);
        return;
    }
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    if (!::GetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &info))
        return;
    info.fType |= MFT_RADIOCHECK;
    info.fState = bOn ? (info.fState | MFS_CHECKED) : (info.fState & ~MFS_CHECKED);
    ::SetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &info);
}

void CCmdUI::SetText(const char* text)
{
    if (m_hMenu) {
        std::wstring wide = AfxWide(text ? text : "");
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = wide.data();
        ::SetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &info);
    } else if (m_pOther && m_pOther->m_hWnd) {
        AfxSetWindowText(m_pOther->m_hWnd, text ? text : "");
    }
}

void CCmdUI::DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler)
{
    m_bEnableChanged = FALSE;
    target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
    if (disableIfNoHandler && !m_bEnableChanged) {
        AFX_CMDHANDLERINFO info;
        Enable(target->OnCmdMsg(m_nID, CN_COMMAND, this, &info));
    }
}
