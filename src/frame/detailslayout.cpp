// The details pane in the frame: at the right of the view on the pages that
// have it, hidden in full screen and print preview, and on the Home page and
// the slideshow, which keep the whole window (the command is disabled there).
#include <algorithm>

#include "core/navigator.h"
#include "core/page.h"
#include "frame/mainframe.h"
#include "shell/settings.h"
#include "view/vemolyview.h"

namespace {

bool HasDetailsPane(const CPage* page)
{
    std::string path;
    return page && page->GetDetailsPath(&path);
}

} // namespace

void CMainFrame::OnViewDetailsPane()
{
    CPage* page = g_navigator.GetCurrentPage();
    // The accelerator comes here without asking whether the command is enabled.
    if (!HasDetailsPane(page) || m_fullScreen)
        return;
    g_settings.DetailsPane = !g_settings.DetailsPane;
    g_settings.SaveDetailsPane();
    ShowDetailsPaneFor(page);
}

void CMainFrame::OnUpdateViewDetailsPane(CCmdUI* ui)
{
    ui->Enable(HasDetailsPane(g_navigator.GetCurrentPage()) && !m_fullScreen);
    ui->SetCheck(g_settings.DetailsPane);
}

void CMainFrame::ShowDetailsPaneFor(CPage* page)
{
    const bool wanted = g_settings.DetailsPane && HasDetailsPane(page);
    if (wanted == m_detailsWanted)
        return;
    m_detailsWanted = wanted;
    RecalcLayout();
}

void CMainFrame::LayoutBesideView(RECT& client)
{
    if (!m_detailsPane.m_hWnd)
        return;
    const bool shown = m_detailsWanted && !m_fullScreen && !HasClientOverride();
    if (shown) {
        const int width = std::min(m_detailsPane.Width(), (int)(client.right - client.left) / 2);
        m_detailsPane.MoveWindow(CRect(client.right - width, client.top, client.right, client.bottom));
        client.right -= width;
    }
    const bool wasShown = (m_detailsPane.GetStyle() & WS_VISIBLE) != 0;
    if (shown == wasShown)
        return;
    if (!shown) {
        const HWND focus = ::GetFocus();
        if (focus == m_detailsPane.m_hWnd || ::IsChild(m_detailsPane.m_hWnd, focus)) {
            if (CView* view = GetActiveView())
                ::SetFocus(view->m_hWnd);
        }
        m_detailsPane.Stop();
    }
    m_detailsPane.ShowWindow(shown ? SW_SHOWNA : SW_HIDE);
    if (shown)
        UpdateDetailsPane();
}

void CMainFrame::OnIdleUpdateCmdUI()
{
    CFrameWnd::OnIdleUpdateCmdUI();
    UpdateDetailsPane();
}

void CMainFrame::UpdateDetailsPane()
{
    if (!m_detailsPane.m_hWnd || !(m_detailsPane.GetStyle() & WS_VISIBLE))
        return;
    std::string path;
    if (CPage* page = g_navigator.GetCurrentPage(); page && page->GetDetailsPath(&path))
        m_detailsPane.Describe(path);
}
