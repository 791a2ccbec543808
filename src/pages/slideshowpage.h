// A folder played as a slideshow: its entries one after another at the
// slideshow delay, looping without end, with Play, Pause and seeking.
// Pictures are decoded on a thread of the page's own, the next one ahead
// while the current one shows, so that the window never waits for them.
#pragma once

#include <memory>
#include <vector>

#include "catalog/foldercatalog.h"
#include "core/page.h"
#include "imaging/picture.h"
#include "pages/animationplayer.h"
#include "pages/displayrequest.h"
#include "thread.h"

class CSlideshowPage : public CPage {
public:
    // Plays the folder's entries in the order chosen under View > Sort By,
    // or in the order of entries, copies from the folder's page.
    explicit CSlideshowPage(const CFolderEntry& folder,
                            std::shared_ptr<const std::vector<CFolderEntry>> entries = nullptr);
    // Stops the decoding thread, waiting for it at most CBackgroundThread::kRetireWait.
    ~CSlideshowPage() override;

    void Load() override;
    void Start() override;
    void Draw(CDC* dc, const RECT* clip) override;
    void OnClick(const POINT& point, bool buttonUp) override;
    // Pause or Play; in full screen also "Exit Full Screen".
    CMenu* GetContextMenu(const POINT& point) override;
    // What the slideshow bar does, for when it is hidden: Space pauses and
    // plays, the arrows go to the next and the previous entry.
    bool OnKey(UINT key, bool shift) override;
    void OnTick() override;
    std::string GetTitle() override;
    void Activate(bool active) override;
    void SeekTo(int index) override;
    // Stops the decoding thread, which closes the picture it reads; the
    // show goes on from the same picture once activated again.
    bool ReleaseVolumes(DWORD driveMask, ReleaseDeadline deadline) override;

    int Index() const { return m_index; }
    bool IsPlaying() const { return m_playing == 1; }
    const CPictureBitmap& Picture() const { return *m_picture; }
    // Whether the current entry is still being decoded; the picture before
    // it shows meanwhile, and the show does not move on.
    bool IsWaiting() const { return m_entryAwaited; }
    // Playing the entry shown, when it moves; else null.
    const CAnimationPlayer* Player() const { return m_player.get(); }

protected:
    void OnPlay();
    void OnUpdatePlay(CCmdUI* ui);
    void OnPause();
    void OnUpdatePause(CCmdUI* ui);
    DECLARE_COMMAND_MAP()

private:
    struct Decoding;

    void ShowCurrent();
    // The entry moves: it plays once, and the show moves on after both
    // the delay and the animation have run out.
    void Play(std::unique_ptr<CAnimationReader> reader);
    void FrameShown();
    void Advance();
    // The entry delta entries on, going round at the ends, playing or not.
    void Step(int delta);
    // Hands the thread what to decode: the awaited picture, then the next entry.
    void Want();
    // Replaces the shown picture with the awaited one once it is decoded,
    // waiting at most ms; true when the page then shows something new.
    bool TakeAwaited(DWORD ms);
    // The display stays on while the show plays on screen.
    void HoldDisplay() { m_display.Hold(m_playing == 1 && IsActive()); }

    std::unique_ptr<CPictureBitmap> m_picture;  // never null
    std::string m_shownPath;  // the file m_picture was decoded from
    // The picture to show once decoded: the current entry's, or the shown
    // one with more pixels for a larger window. Empty when none.
    std::string m_awaited;
    SIZE m_awaitedBox{0, 0};
    bool m_entryAwaited = false;
    CFolderCatalog m_catalog;
    std::shared_ptr<const std::vector<CFolderEntry>> m_handed;  // played in this order when given
    std::list<CFolderEntry>::iterator m_position;
    int m_index = 0;
    int m_playing = 1;
    std::shared_ptr<Decoding> m_decoding;
    std::unique_ptr<CBackgroundThread> m_thread;
    bool m_released = false;  // let go of a drive: nothing is decoded until activated again
    CDisplayRequest m_display;
    std::unique_ptr<CAnimationPlayer> m_player;
    bool m_delayPassed = false;  // a tick came while the animation played
};
