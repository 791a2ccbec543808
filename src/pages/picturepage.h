// One picture alone, centred on black and shrunk to fit the window; its
// rotate commands turn the picture file itself, losslessly.
#pragma once

#include "catalog/folderentry.h"
#include "core/page.h"
#include "imaging/picture.h"

class CPicturePage : public CPage {
public:
    explicit CPicturePage(const CFolderEntry& entry);

    void Load() override {}
    void Start() override;
    void Draw(CDC* dc, const RECT* clip) override;
    void OnClick(const POINT&, bool) override {}
    CMenu* GetContextMenu(const POINT& point) override;
    std::string GetTitle() override;

    const CPictureBitmap& Picture() const { return m_picture; }

protected:
    void OnAddFavorite();
    void OnRotate90();
    void OnRotate180();
    void OnRotate270();
    // Only JPEG files turn losslessly: pictures of other formats refuse.
    void OnUpdateRotate(CCmdUI* ui);
    DECLARE_COMMAND_MAP()

private:
    void Turn(int turn);

    CPictureBitmap m_picture;
    CFolderEntry m_entry;
};
