// What a page asks of the window that shows it. The view implements the
// interface and registers itself while its window exists, so pages, the
// navigator and the thumbnail workers never see the view itself.
#pragma once

#include <string>

#include "afx.h"

class CPageHost {
public:
    virtual ~CPageHost() = default;

    // User-interface thread only.
    // Restarts the tick timer when ms differs from its current interval.
    virtual void SetTickInterval(int ms) = 0;
    // Starts the tick timer's interval afresh from now.
    virtual void RestartTick() {}
    virtual void SetPageTitle(const std::string& title) = 0;
    // The client area, where pages are laid out.
    virtual CRect GetPageClientRect() = 0;
    virtual POINT ClientToPage(POINT point) = 0;
    virtual CPoint GetScrollPosition() const = 0;
    // The scroll range becomes extent (the steps stay), scrolled to position, all repainted.
    virtual void SetPageExtent(SIZE extent, POINT position) = 0;
    // Lays the current page out again and sets the scroll range to its extent.
    virtual void UpdatePageExtent() = 0;
    // The window pages draw into between repaints (the folder peek), and its
    // page coordinates on a DC of it.
    virtual CWnd* GetPageWnd() = 0;
    virtual void PreparePageDC(CDC* dc) = 0;
    // The keyboard focus moved to the current page's item index (-1: none).
    virtual void ItemFocused(int /*index*/) {}
    // The current page's item index was added to the selection or taken
    // out of it; -1: many items changed at once.
    virtual void ItemsSelected(int /*index*/, bool /*added*/) {}
    // Whether the keyboard, not the pointer, was used last: commands then
    // act on the focused item rather than the one under the pointer.
    virtual bool KeyboardInUse() const { return false; }
    // Whether the focused item is to be drawn with a focus rectangle (the
    // view has the focus and the keyboard has been used).
    virtual bool ShowsFocus() const { return false; }
    // Scrolls as little as needed for pageRect to be seen whole.
    virtual void ScrollIntoView(const RECT& /*pageRect*/) {}
};

// The registered host, or null while no view window exists. User-interface thread.
CPageHost* GetPageHost();
// The view registers itself with its window once that exists, and leaves
// with it; scrolled, it reports the new position.
void RegisterPageHost(CPageHost* host, HWND window);
void UnregisterPageHost(CPageHost* host);
void SetPageScrollPosition(POINT position);
// Tells the host (and through it screen readers) where the focus went.
void NotifyItemFocused(int index);
// Tells the host (and screen readers) how the selection changed.
void NotifyItemsSelected(int index, bool added);

// Safe from any thread. Repaints pageRect (or everything) at once; from
// another thread (a thumbnail worker) it only invalidates: a worker never
// waits for the window, whose thread may be waiting for the worker.
void RedrawPage(const RECT* pageRect);
// Invalidates pageRect, erasing it.
void InvalidatePageRect(const RECT& pageRect);

// The slideshow's position and seeking, shown by a bar outside the view.
class CSlideshowDisplay {
public:
    virtual ~CSlideshowDisplay() = default;
    // -1 for first and last keeps the range.
    virtual void SetPosition(int first, int last, int current) = 0;
    virtual void EnableSeek(bool enable) = 0;
};

// The registered display, or null. User-interface thread.
CSlideshowDisplay* GetSlideshowDisplay();
void RegisterSlideshowDisplay(CSlideshowDisplay* display);
void UnregisterSlideshowDisplay(CSlideshowDisplay* display);
