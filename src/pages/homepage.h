// The page shown at start and by Home: the Favorites on the left and the
// History on the right, each a complete folder page of shortcuts.
#pragma once

#include "folderpage/folderpage.h"

class CHomePage : public CPage {
public:
    CHomePage(const CFolderEntry& history, const CFolderEntry& favorites);

    void Load() override;
    void Start() override;
    bool Refresh() override;
    CSize Layout(const RECT* area) override;
    void Draw(CDC* dc, const RECT* clip) override;
    void OnClick(const POINT& point, bool buttonUp) override;
    void OnHover(const POINT& point) override;
    void OnTick() override;
    CMenu* GetContextMenu(const POINT& point) override;
    void MarkStale() override;
    std::string GetTitle() override;
    void Activate(bool active) override;
    void ScaleChanged() override;
    void SeekTo(int) override {}
    // The two panes' together.
    bool GetProgress(int* done, int* total) const override;
    bool ReleaseVolumes(DWORD driveMask, ReleaseDeadline deadline) override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    // The Favorites' cells, then the History's; Tab and F6 move between the panes.
    int GetItemCount() const override;
    bool GetItem(int index, PageItem* item) const override;
    int GetFocusedItem() const override;
    int ItemAt(const POINT& point) const override;
    void FocusItem(int index) override;
    void OpenItem(int index) override;
    bool OnKey(UINT key, bool shift) override;
    bool OnCharacter(wchar_t character) override;
    // The selection is the keys' pane's.
    int GetSelectedCount() const override;
    std::vector<int> GetSelectedItems() const override;
    std::string GetStatusText() const override;
    // Cells drag out of either pane; folders dropped on the Favorites pane
    // become favorites.
    bool StartsDrag(const POINT& point) override;
    void OnDrag(int dx, int dy) override;
    DWORD DropEffect(const POINT& point, const std::vector<std::string>& files, DWORD keyState,
                     DWORD allowed) override;
    DWORD Drop(const POINT& point, const std::vector<std::string>& files, DWORD effect) override;
    void DragLeft() override;

    CFolderPage& HistoryPane() { return m_history; }
    CFolderPage& FavoritesPane() { return m_favorites; }
    const RECT& HistoryArea() const { return m_historyArea; }
    const RECT& FavoritesArea() const { return m_favoritesArea; }

protected:
    void OnUpdateDisable(CCmdUI* ui);
    DECLARE_COMMAND_MAP()

private:
    RECT m_historyArea{0, 0, 0, 0};
    RECT m_favoritesArea{0, 0, 0, 0};
    CFolderPage m_history;
    CFolderPage m_favorites;
    // The pane whose context menu was shown last, until the pointer moves
    // again: its commands go there wherever the menu item lay on the screen.
    CFolderPage* m_menuPane = nullptr;
    // The pane the keys go to.
    CFolderPage* m_keyPane = &m_favorites;
    // The pane a press may drag a cell out of.
    CFolderPage* m_dragPane = nullptr;

    CFolderPage& OtherPane() { return m_keyPane == &m_favorites ? m_history : m_favorites; }
    // The focus goes to pane.
    void Enter(CFolderPage& pane);
};
