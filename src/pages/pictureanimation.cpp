// The picture page's picture when it moves: played where the still would
// show, fitted or zoomed alike, for as long as the page is shown.
#include "pages/picturepage.h"

#include "core/pagehost.h"
#include "pages/animationplayer.h"

void CPicturePage::Play(std::unique_ptr<CAnimationReader> reader)
{
    CPageHost* host = GetPageHost();
    if (!host)
        return;
    m_moves = true;
    m_player.reset();
    m_player = std::make_unique<CAnimationPlayer>(std::move(reader), host->GetPageWnd()->m_hWnd,
                                                  [] { RedrawPage(nullptr); });
    // The frames' canvas is what the zoom shows, whatever the first frame's size.
    const SIZE canvas = m_player->Size();
    if (canvas.cx != m_zoom.Picture().cx || canvas.cy != m_zoom.Picture().cy)
        m_zoom.SetPicture(canvas);
}

void CPicturePage::StopPlaying()
{
    // The still goes on showing: its first frame.
    m_player.reset();
}
