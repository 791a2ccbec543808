// A folder played as a slideshow: its entries one after another at the
// slideshow delay, looping without end, with Play, Pause and seeking.
#pragma once

#include "catalog/foldercatalog.h"
#include "core/page.h"
#include "imaging/picture.h"

class CSlideshowPage : public CPage {
public:
    explicit CSlideshowPage(const CFolderEntry& folder);

    void Load() override;
    void Start() override;
    void Draw(CDC* dc, const RECT* clip) override;
    void OnClick(const POINT& point, bool buttonUp) override;
    void OnTick() override;
    std::string GetTitle() override;
    void Activate(bool active) override;
    void SeekTo(int index) override;

    int Index() const { return m_index; }
    bool IsPlaying() const { return m_playing == 1; }
    const CPictureBitmap& Picture() const { return m_picture; }

protected:
    void OnPlay();
    void OnUpdatePlay(CCmdUI* ui);
    void OnPause();
    void OnUpdatePause(CCmdUI* ui);
    DECLARE_COMMAND_MAP()

private:
    void ShowCurrent();
    void Advance();

    CPictureBitmap m_picture;
    std::string m_shownPath;  // the file m_picture was decoded from
    CFolderCatalog m_catalog;
    std::list<CFolderEntry>::iterator m_position;
    int m_index = 0;
    int m_playing = 1;
};
