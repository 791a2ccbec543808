// Where the main window starts: the rectangle it had when it was last closed,
// when that still lies on a monitor; otherwise the default placement, brought
// to the monitor nearest the rectangle.
#pragma once

#include "afx.h"

// The monitors as the rule sees them; the system's, unless told otherwise.
class CScreenLayout {
public:
    struct Monitor {
        RECT work{};
        bool primary = false;
    };

    virtual ~CScreenLayout() = default;
    // The monitor the rectangle lies on, as MonitorFromRect answers with
    // flags; false when there is none.
    virtual bool MonitorFromRect(const RECT& rect, DWORD flags, Monitor* monitor) const;
    // The client area of a full-screen window on the primary monitor.
    virtual SIZE FullScreen() const;
};

struct CStartPlacement {
    bool useStored = false;  // the stored rectangle as it is
    // Otherwise the default placement, which the system makes on the primary
    // monitor; moved onto this work area when set.
    bool moved = false;
    RECT primaryWork{};
    RECT work{};
};

CStartPlacement PlaceMainWindow(const RECT& stored, const CScreenLayout& screen);
// The default rectangle moved as placement says: where it lies in the
// primary's work area, in the other one, shrunk to fit it.
RECT MoveDefaultPlacement(const RECT& window, const CStartPlacement& placement);
