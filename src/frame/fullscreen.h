// What full screen takes from the main window, to give it back exactly.
#pragma once

#include "frame/mainframe.h"
#include "menu.h"

// Restarted by every move of the pointer; when it fires, the pointer hides.
constexpr UINT_PTR kPointerTimer = 2;
constexpr UINT kPointerRest = 2000;  // ms

struct CMainFrame::FullScreen {
    WINDOWPLACEMENT placement{};  // maximized or not, and the restored rectangle
    RECT window{};  // where it was: a maximized window is not moved back by its placement
    LONG_PTR style = 0;
    LONG_PTR viewExStyle = 0;  // its sunken edge would frame the black
    CMenu menuBar;  // detached from the window meanwhile, and owned here
    bool reBarShown = false;
    bool statusBarShown = false;
    POINT pointer{-1, -1};  // screen coordinates of the last move
    bool pointerHidden = false;

    FullScreen() = default;
    FullScreen(const FullScreen&) = delete;
    FullScreen& operator=(const FullScreen&) = delete;
    // The display count is the thread's: every hiding is undone.
    ~FullScreen()
    {
        if (pointerHidden)
            ::ShowCursor(TRUE);
    }
};
