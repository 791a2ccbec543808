#include "core/page.h"

#include "view/vemolyview.h"

CSize CPage::Layout(const RECT* area)
{
    m_bounds = *area;
    return CSize(area->right - area->left, area->bottom - area->top);
}

std::string CPage::GetTitle()
{
    return AfxLoadString(AFX_IDS_APP_TITLE);
}

void CPage::Activate(bool active)
{
    if (active) {
        const std::string title = GetTitle();
        if (CVemolyView* view = CVemolyView::GetActive()) {
            view->SetTickInterval(500);
            if (view->GetDocument())
                view->GetDocument()->SetTitle(title);
        }
        UpdateLayout();
    } else {
        SaveScrollPosition();
        ++m_deactivations;
    }
    m_active = active;
}

void CPage::UpdateLayout()
{
    CVemolyView* view = CVemolyView::GetActive();
    if (!view)
        return;
    int mapMode;
    SIZE total, page, line;
    view->GetDeviceScrollSizes(mapMode, total, page, line);
    CRect client;
    view->GetClientRect(&client);

    Refresh();
    const CSize extent = Layout(&client);

    if (m_scroll.x >= client.left + extent.cx - client.right)
        m_scroll.x = client.left + extent.cx - client.right;
    if (m_scroll.y >= client.top + extent.cy - client.bottom)
        m_scroll.y = client.top + extent.cy - client.bottom;

    view->SetScrollSizes(MM_TEXT, extent, page, line);
    view->ScrollToPosition(m_scroll);
    view->Invalidate(TRUE);
}

void CPage::SaveScrollPosition()
{
    if (CVemolyView* view = CVemolyView::GetActive())
        m_scroll = view->GetScrollPosition();
}

RECT CPage::GetDrawArea(CDC* dc) const
{
    if (dc && dc->IsPrinting()) {
        CRect sheet(0, 0, dc->GetDeviceCaps(HORZRES), dc->GetDeviceCaps(VERTRES));
        dc->DPtoLP(&sheet);
        return sheet;
    }
    return m_bounds;
}
