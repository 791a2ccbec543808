// View > Sort By: one order and direction for every folder page, the
// picture page's walk and the slideshows started next; kept in the settings.
#include "frame/mainframe.h"

#include "catalog/foldercatalog.h"
#include "core/navigator.h"
#include "folderpage/folderpage.h"
#include "pages/picturepage.h"
#include "res/resource.h"
#include "shell/settings.h"

namespace {

// The key a command of the submenu chooses; -1 for the directions and the
// numbers between that no item has.
int OrderOf(UINT id)
{
    const int order = (int)id - ID_SORT_BY_NAME;
    switch (order) {
    case SortByName:
    case SortByDateTaken:
    case SortByDateModified:
    case SortBySize:
    case SortByType:
        return order;
    default:
        return -1;
    }
}

} // namespace

void CMainFrame::OnSortBy(UINT id)
{
    if (id == ID_SORT_ASCENDING || id == ID_SORT_DESCENDING)
        g_settings.SortDescending = id == ID_SORT_DESCENDING;
    else if (const int order = OrderOf(id); order >= 0)
        g_settings.SortOrder = order;
    else
        return;
    g_settings.SaveSortOrder();
    // The folder pages first: a picture page walks the order of the one below it.
    for (int i = 0; i < g_navigator.GetCount(); ++i) {
        if (auto* folder = dynamic_cast<CFolderPage*>(g_navigator.GetPage(i)))
            folder->SortChoiceChanged();
    }
    for (int i = 0; i < g_navigator.GetCount(); ++i) {
        auto* picture = dynamic_cast<CPicturePage*>(g_navigator.GetPage(i));
        if (!picture)
            continue;
        auto* below = i > 0 ? dynamic_cast<CFolderPage*>(g_navigator.GetPage(i - 1)) : nullptr;
        picture->SortChoiceChanged(below ? below->EntriesInOrder(true) : nullptr);
    }
}

void CMainFrame::OnUpdateSortBy(CCmdUI* ui)
{
    if (ui->m_nID == ID_SORT_ASCENDING || ui->m_nID == ID_SORT_DESCENDING)
        ui->SetRadio(g_settings.SortDescending == (ui->m_nID == ID_SORT_DESCENDING));
    else
        ui->SetRadio(OrderOf(ui->m_nID) == g_settings.SortOrder);
}
