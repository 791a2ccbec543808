#include "core/page.h"

#include "core/pagehost.h"

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
        if (CPageHost* host = GetPageHost()) {
            host->SetTickInterval(500);
            host->SetPageTitle(title);
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
    CPageHost* host = GetPageHost();
    if (!host)
        return;
    const CRect client = host->GetPageClientRect();

    Refresh();
    const CSize extent = Layout(&client);

    if (m_scroll.x >= client.left + extent.cx - client.right)
        m_scroll.x = client.left + extent.cx - client.right;
    if (m_scroll.y >= client.top + extent.cy - client.bottom)
        m_scroll.y = client.top + extent.cy - client.bottom;

    host->SetPageExtent(extent, m_scroll);
}

void CPage::SaveScrollPosition()
{
    if (CPageHost* host = GetPageHost())
        m_scroll = host->GetScrollPosition();
}

SIZE CPage::ShownBox() const
{
    CPageHost* host = GetPageHost();
    if (!host)
        return SIZE{0, 0};
    const CRect client = host->GetPageClientRect();
    return SIZE{client.Width(), client.Height()};
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
