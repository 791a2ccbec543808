// One picture alone, centred on black and shrunk to fit the window; its
// rotate commands turn the picture file itself, losslessly.
#pragma once

#include <memory>
#include <vector>

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
    // Right, Page Down and Space show the next picture of the folder, Left
    // and Page Up the one before, Home and End the first and the last.
    bool OnKey(UINT key, bool shift) override;

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
    // Shows the folder's picture at index in this page's place in the history.
    void ShowSibling(int index);

    using Siblings = std::vector<CFolderEntry>;
    CPictureBitmap m_picture;
    CFolderEntry m_entry;
    // The pictures of the folder, as its page orders them; listed at the
    // first key and handed on along the walk.
    std::shared_ptr<const Siblings> m_siblings;
};
