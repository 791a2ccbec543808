#include "frame/placement.h"

#include <algorithm>

bool CScreenLayout::MonitorFromRect(const RECT& rect, DWORD flags, Monitor* monitor) const
{
    HMONITOR found = ::MonitorFromRect(&rect, flags);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!found || !::GetMonitorInfoW(found, &info))
        return false;
    monitor->work = info.rcWork;
    monitor->primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    return true;
}

SIZE CScreenLayout::FullScreen() const
{
    return SIZE{::GetSystemMetrics(SM_CXFULLSCREEN), ::GetSystemMetrics(SM_CYFULLSCREEN)};
}

namespace {

bool Inside(const RECT& inner, const RECT& outer)
{
    return outer.left <= inner.left && inner.right <= outer.right && outer.top <= inner.top
        && inner.bottom <= outer.bottom;
}

} // namespace

CStartPlacement PlaceMainWindow(const RECT& stored, const CScreenLayout& screen)
{
    CStartPlacement placement;
    CScreenLayout::Monitor primary;
    if (stored.left >= stored.right || stored.top >= stored.bottom
        || !screen.MonitorFromRect(RECT{0, 0, 1, 1}, MONITOR_DEFAULTTOPRIMARY, &primary))
        return placement;
    CScreenLayout::Monitor monitor;
    if (screen.MonitorFromRect(stored, MONITOR_DEFAULTTONULL, &monitor)) {
        // All of it must lie where a full-screen window's client area would;
        // what the primary's work area gives to frame and caption, another
        // monitor's gives too.
        const SIZE full = screen.FullScreen();
        RECT area{0, 0, full.cx, full.cy};
        if (!monitor.primary) {
            area = monitor.work;
            area.right -= (primary.work.right - primary.work.left) - full.cx;
            area.bottom -= (primary.work.bottom - primary.work.top) - full.cy;
        }
        placement.useStored = Inside(stored, area);
        return placement;
    }
    // Its monitor is gone: the default placement, on the nearest one.
    if (screen.MonitorFromRect(stored, MONITOR_DEFAULTTONEAREST, &monitor) && !monitor.primary) {
        placement.moved = true;
        placement.primaryWork = primary.work;
        placement.work = monitor.work;
    }
    return placement;
}

RECT MoveDefaultPlacement(const RECT& window, const CStartPlacement& placement)
{
    if (!placement.moved)
        return window;
    const RECT& to = placement.work;
    const LONG width = std::min(window.right - window.left, to.right - to.left);
    const LONG height = std::min(window.bottom - window.top, to.bottom - to.top);
    const LONG left = std::min(to.left + (window.left - placement.primaryWork.left), to.right - width);
    const LONG top = std::min(to.top + (window.top - placement.primaryWork.top), to.bottom - height);
    const LONG x = std::max(left, to.left);
    const LONG y = std::max(top, to.top);
    return RECT{x, y, x + width, y + height};
}
