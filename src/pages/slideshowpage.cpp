#include "pages/slideshowpage.h"

#include <shlwapi.h>

#include "core/pagehost.h"
#include "imaging/drawing.h"
#include "res/resource.h"
#include "shell/settings.h"

BEGIN_COMMAND_MAP(CSlideshowPage, CPage)
    ON_COMMAND(ID_PLAY, OnPlay)
    ON_UPDATE_COMMAND_UI(ID_PLAY, OnUpdatePlay)
    ON_COMMAND(ID_PAUSE, OnPause)
    ON_UPDATE_COMMAND_UI(ID_PAUSE, OnUpdatePause)
END_COMMAND_MAP()

CSlideshowPage::CSlideshowPage(const CFolderEntry& folder)
    : m_catalog(folder), m_position(m_catalog.m_entries.begin())
{
}

void CSlideshowPage::Load()
{
    m_catalog.Refresh();
}

void CSlideshowPage::Start()
{
    m_position = m_catalog.m_entries.begin();
    m_index = 0;
    ShowCurrent();
}

void CSlideshowPage::Draw(CDC* dc, const RECT*)
{
    DrawPictureFile(dc, GetDrawArea(dc), m_picture, m_shownPath);
}

void CSlideshowPage::OnClick(const POINT&, bool)
{
    Advance();
}

void CSlideshowPage::OnTick()
{
    if (IsActive())
        Advance();
}

std::string CSlideshowPage::GetTitle()
{
    return ::PathFindFileNameA(m_catalog.m_folder.m_path.c_str());
}

void CSlideshowPage::ShowCurrent()
{
    if (m_position == m_catalog.m_entries.end())
        return;
    if (CSlideshowDisplay* bar = GetSlideshowDisplay())
        bar->SetPosition(-1, -1, m_index + 1);
    try {
        if (CWnd* main = AfxGetMainWnd())
            main->SendMessage(WM_SETMESSAGESTRING, 0, (LPARAM)m_position->m_path.c_str());
        m_picture.LoadFromFile(m_position->m_path, {}, ShownBox());
        m_shownPath = m_position->m_path;
        RedrawPage(nullptr);
    } catch (...) {
        // An entry that cannot be opened (a folder, say) keeps the previous picture.
    }
}

void CSlideshowPage::Advance()
{
    if (m_playing != 1)
        return;
    if (m_position != m_catalog.m_entries.end()) {
        ++m_position;
        ++m_index;
    }
    if (m_position == m_catalog.m_entries.end()) {
        m_position = m_catalog.m_entries.begin();
        m_index = 0;
    }
    ShowCurrent();
}

void CSlideshowPage::SeekTo(int target)
{
    while (target < m_index && m_position != m_catalog.m_entries.begin()) {
        --m_position;
        --m_index;
    }
    while (target > m_index && m_position != m_catalog.m_entries.end()) {
        ++m_position;
        ++m_index;
    }
    ShowCurrent();
}

void CSlideshowPage::Activate(bool active)
{
    CPage::Activate(active);
    if (CSlideshowDisplay* bar = GetSlideshowDisplay()) {
        bar->SetPosition(1, (int)m_catalog.m_entries.size(), m_index + 1);
        bar->EnableSeek(active);
    }
    if (active) {
        if (CPageHost* host = GetPageHost())
            host->SetTickInterval(g_settings.Delay);
    }
    // The Play and Pause buttons follow at once, not at the next idle time.
    AfxGetApp()->OnIdle(0);
}

void CSlideshowPage::OnPlay()
{
    m_playing = 1;
}

void CSlideshowPage::OnUpdatePlay(CCmdUI* ui)
{
    ui->Enable(m_playing == 0);
}

void CSlideshowPage::OnPause()
{
    m_playing = 0;
}

void CSlideshowPage::OnUpdatePause(CCmdUI* ui)
{
    ui->Enable(m_playing == 1);
}
