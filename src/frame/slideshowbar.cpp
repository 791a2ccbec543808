#include "frame/slideshowbar.h"

#include <cstdio>

#include "core/navigator.h"
#include "core/page.h"
#include "dialog.h"
#include "res/resource.h"
#include "shell/settings.h"
#include "view/vemolyview.h"

BOOL CSlideshowBar::Create(CWnd* parent, UINT templateId, UINT style, UINT id)
{
    if (!CDialogBar::Create(parent, templateId, style, id))
        return FALSE;
    UpdateData(FALSE);
    if (!m_speed.m_hWnd || !m_position.m_hWnd || !m_counter.m_hWnd)
        return FALSE;
    m_position.SetPageSize(1);
    m_position.SetBuddy(&m_counter, FALSE);
    m_speed.SetRange(kFastest, kSlowest, FALSE);
    m_speed.SetPos(g_settings.Delay);
    RegisterSlideshowDisplay(this);
    return TRUE;
}

void CSlideshowBar::DoDataExchange(CDataExchange* pDX)
{
    CDialogBar::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SPEED, m_speed);
    DDX_Control(pDX, IDC_POSITION, m_position);
    DDX_Control(pDX, IDC_COUNTER, m_counter);
}

void CSlideshowBar::SetPosition(int first, int last, int current)
{
    if (first != -1 && last != -1)
        m_position.SetRange(first, last, TRUE);
    if (last == -1)
        last = m_position.GetRangeMax();
    char text[40];
    std::snprintf(text, sizeof text, "%d of %d", current, last);
    m_counter.SetWindowText(text);
    m_position.SetPos(current);
}

void CSlideshowBar::EnableSeek(bool enable)
{
    m_position.EnableWindow(enable);
    m_counter.EnableWindow(enable);
}

void CSlideshowBar::OnHScroll(UINT code, UINT pos, HWND scrollBar)
{
    const bool speed = scrollBar && scrollBar == m_speed.m_hWnd;
    if (speed) {
        g_settings.Delay = m_speed.GetPos();
        if (CVemolyView* view = CVemolyView::GetActive())
            view->SetTickInterval(g_settings.Delay);
    }
    if (speed || (scrollBar && scrollBar == m_position.m_hWnd)) {
        // While either slider is dragged the page holds still; the drag's
        // end jumps to the position slider's picture and resumes.
        if (CPage* page = g_navigator.GetCurrentPage()) {
            if (code == SB_ENDSCROLL) {
                try {
                    page->SeekTo(m_position.GetPos() - m_position.GetRangeMin());
                } catch (...) {
                    // A page that cannot seek keeps what it shows.
                }
                page->SetTicking(true);
            } else {
                page->SetTicking(false);
            }
        }
    }
    CDialogBar::OnHScroll(code, pos, scrollBar);
}
