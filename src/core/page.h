// A page is everything the view can show: the Home page, a folder of
// thumbnails, one picture, a slideshow. The view and the navigator drive a
// page only through these operations.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "afx.h"

// One item of a page (a cell) as the keyboard and screen readers reach it.
struct PageItem {
    std::string name;   // as its caption shows it
    std::string kind;   // what it is: "Folder", "Picture", "Shortcut", "Offline"
    RECT bounds{0, 0, 0, 0};  // page coordinates
    bool focused = false;
    bool selected = false;
};

// When the threads a page asks to let go of a drive must have done so.
using ReleaseDeadline = std::chrono::steady_clock::time_point;
// The milliseconds left until deadline, rounded up; 0 once it passed.
inline DWORD TimeLeft(ReleaseDeadline deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? (DWORD)left.count() : 0;
}

class CPage : public CCmdTarget {
public:
    CPage() = default;
    ~CPage() override = default;

    virtual void Load() = 0;
    virtual void Start() {}
    // True when the content changed; called before Layout.
    virtual bool Refresh() { return false; }
    // Lays the content out in area (page coordinates); returns its extent.
    virtual CSize Layout(const RECT* area);
    virtual void Draw(CDC* dc, const RECT* clip) = 0;
    virtual void OnClick(const POINT& point, bool buttonUp) = 0;
    virtual void OnHover(const POINT&) {}
    virtual void OnTick() {}
    // A new menu for the point, or null; the caller deletes it.
    virtual CMenu* GetContextMenu(const POINT&) { return nullptr; }
    virtual void MarkStale() {}
    virtual std::string GetTitle();
    virtual void Activate(bool active);
    virtual void SeekTo(int) {}
    // Background work on the page's pictures, for the status bar: how many
    // of how many are done; false when none is going on.
    virtual bool GetProgress(int* /*done*/, int* /*total*/) const { return false; }
    // Lets go of every handle on the drives of driveMask (bit 0 is A:), so
    // that they can be removed: each thread that holds one is asked to close
    // its own, and waited for until deadline at most. True when it held one.
    // The page takes nothing up again until it is next activated.
    virtual bool ReleaseVolumes(DWORD /*driveMask*/, ReleaseDeadline /*deadline*/) { return false; }
    // The display's scale changed: what was made for the old one (such as
    // thumbnails) is made again, now if the page is shown, else when it is.
    virtual void ScaleChanged() {}

    // The page's items in the order the arrow keys walk them; the one with
    // the keyboard focus (-1: none). User-interface thread.
    virtual int GetItemCount() const { return 0; }
    virtual bool GetItem(int /*index*/, PageItem* /*item*/) const { return false; }
    virtual int GetFocusedItem() const { return -1; }
    // The selected items in order; none: the focused item stands for the
    // selection, as in a list that selects one item at a time.
    virtual int GetSelectedCount() const { return 0; }
    virtual std::vector<int> GetSelectedItems() const { return {}; }
    // The item at point (page coordinates), or -1. This asks every item for
    // its bounds: a page of many items works it out from its layout.
    virtual int ItemAt(const POINT& point) const
    {
        PageItem item;
        for (int i = 0, count = GetItemCount(); i < count; ++i) {
            if (GetItem(i, &item) && ::PtInRect(&item.bounds, point))
                return i;
        }
        return -1;
    }
    // Moves the focus to the item (scrolled into view), as the keys do.
    virtual void FocusItem(int /*index*/) {}
    // Opens the item as a click on it does.
    virtual void OpenItem(int /*index*/) {}
    // Puts the focus on the item of path, if the page shows one.
    virtual void FocusPath(const std::string& /*path*/) {}
    // A key pressed in the view (shift: with Shift held); false when the
    // page has no use for it. Tab and F6 go to the page first, which keeps
    // them while it has another part to move the focus to.
    virtual bool OnKey(UINT /*key*/, bool /*shift*/) { return false; }
    // A character typed in the view.
    virtual bool OnCharacter(wchar_t /*character*/) { return false; }
    // The wheel turned by delta (WHEEL_DELTA a notch, positive away from
    // the user) over point; false leaves it to the view, which scrolls.
    virtual bool OnWheel(int /*delta*/, const POINT& /*point*/) { return false; }
    // The second click of a double click whose first was on this page.
    virtual void OnDoubleClick(const POINT&) {}
    // Whether a press of the left button at point drags; the page then
    // gets each move of the pointer (window pixels) until the release.
    virtual bool StartsDrag(const POINT&) { return false; }
    virtual void OnDrag(int /*dx*/, int /*dy*/) {}
    // Files dragged over point (allowed: the effects their source permits,
    // keyState: MK_ flags): the effect a drop there would have, shown as the
    // drop target meanwhile; DROPEFFECT_NONE where the page takes none.
    virtual DWORD DropEffect(const POINT&, const std::vector<std::string>& /*files*/, DWORD /*keyState*/,
                             DWORD /*allowed*/)
    {
        return DROPEFFECT_NONE;
    }
    // Drops the files at point with the effect DropEffect chose; what was done.
    virtual DWORD Drop(const POINT&, const std::vector<std::string>& /*files*/, DWORD /*effect*/)
    {
        return DROPEFFECT_NONE;
    }
    // The drag left the page or ended: no drop target is shown.
    virtual void DragLeft() {}
    // The pointer's shape over point; null for the view's own.
    virtual HCURSOR GetCursor(const POINT&) const { return nullptr; }
    // How large the page shows its picture ("100 %"), for the status bar
    // and screen readers; empty for pages that do not zoom.
    virtual std::string GetZoomText() const { return {}; }
    // What the status bar says while no menu is open; empty: its idle message.
    virtual std::string GetStatusText() const { return {}; }
    // The file or folder the details pane describes beside the page (the
    // picture shown, the focused item; empty: nothing); false for a page
    // that keeps the whole window, without the pane.
    virtual bool GetDetailsPath(std::string* /*path*/) const { return false; }

    // Lays the page out for the view's client area, keeping the scroll
    // position where the content allows, and repaints.
    void UpdateLayout();
    void SaveScrollPosition();
    // The printable sheet in page coordinates on a printer, else the bounds.
    RECT GetDrawArea(CDC* dc) const;
    // What a picture shown on the page is fitted into, in pixels: the
    // view's client area; 0 by 0 without a view.
    SIZE ShownBox() const;

    // Read by worker threads too.
    bool IsActive() const { return m_active.load(); }
    // Counts deactivations, so that a worker can tell that its page was left.
    unsigned Deactivations() const { return m_deactivations.load(); }
    bool IsTicking() const { return m_ticking; }
    void SetTicking(bool ticking) { m_ticking = ticking; }
    POINT GetSavedScroll() const { return m_scroll; }
    const RECT& GetBounds() const { return m_bounds; }

protected:
    POINT m_scroll{0, 0};
    RECT m_bounds{0, 0, 0, 0};
    std::atomic<bool> m_active{false};
    std::atomic<unsigned> m_deactivations{0};
    bool m_ticking = true;
};
