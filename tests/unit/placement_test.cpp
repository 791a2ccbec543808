// Where the main window starts, by the rectangle it was closed with: on the
// monitors of the moment, including one that has gone since.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frame/placement.h"

namespace {

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + ","
         + std::to_string(r.bottom);
}

// Wine shows a single monitor: more of them are told to the rule.
class Monitors : public CScreenLayout {
public:
    explicit Monitors(std::vector<Monitor> monitors) : m_monitors(std::move(monitors)) {}

    bool MonitorFromRect(const RECT& rect, DWORD flags, Monitor* monitor) const override
    {
        const Monitor* best = nullptr;
        long bestArea = 0, bestGap = 0;
        for (const Monitor& m : m_monitors) {
            RECT common;
            const long area = ::IntersectRect(&common, &rect, &m.work)
                                  ? (common.right - common.left) * (common.bottom - common.top) : 0;
            const long gap = std::max({m.work.left - rect.right, rect.left - m.work.right, 0L})
                           + std::max({m.work.top - rect.bottom, rect.top - m.work.bottom, 0L});
            if (area > bestArea || (flags == MONITOR_DEFAULTTOPRIMARY && m.primary && !best)
                || (flags == MONITOR_DEFAULTTONEAREST && bestArea == 0 && (!best || gap < bestGap))) {
                best = &m;
                bestArea = area;
                bestGap = gap;
            }
        }
        if (best)
            *monitor = *best;
        return best != nullptr;
    }
    SIZE FullScreen() const override { return SIZE{1280, 1000}; }  // the primary's, less the caption

private:
    std::vector<Monitor> m_monitors;
};

TEST(Placement, AStoredRectangleOnAnyMonitorIsKeptOneOnAMonitorGoneComesToTheNearest)
{
    // A primary monitor and, right of it, a larger one.
    const Monitors screen({{RECT{0, 0, 1280, 1024}, true}, {RECT{1280, -100, 3200, 980}, false}});
    struct Case {
        RECT stored;
        bool kept;
        const char* moved;  // the default rectangle 40,30,1000,750 moved there, or null
    };
    const Case cases[] = {
        {{100, 80, 700, 520}, true, nullptr},            // on the primary
        {{0, 0, 1280, 1000}, true, nullptr},             // all of the primary's full-screen area
        {{1400, -50, 2400, 700}, true, nullptr},         // on the other monitor
        {{100, 80, 700, 1010}, false, nullptr},          // beyond the primary's full-screen area
        {{1000, 100, 1600, 600}, false, nullptr},        // across both
        {{300, 100, 300, 500}, false, nullptr},          // empty
        {{3500, 100, 4100, 600}, false, "1320,-70,2280,650"},  // right of the other: there
        {{-900, 100, -300, 600}, false, nullptr},        // left of the primary: its default
    };
    for (const Case& c : cases) {
        const CStartPlacement placement = PlaceMainWindow(c.stored, screen);
        EXPECT_EQ(placement.useStored, c.kept) << Text(c.stored);
        EXPECT_EQ(Text(MoveDefaultPlacement(RECT{40, 30, 1000, 750}, placement)),
                  c.moved ? c.moved : "40,30,1000,750") << Text(c.stored);
    }
    // Too large for the monitor it comes to: it fits.
    const Monitors small({{RECT{0, 0, 1280, 1024}, true}, {RECT{-800, 0, 0, 600}, false}});
    EXPECT_EQ(Text(MoveDefaultPlacement(RECT{40, 30, 1000, 750},
                                        PlaceMainWindow(RECT{-2000, 0, -1500, 400}, small))),
              "-800,0,0,600");

    // The system's own monitors: Wine's one.
    const CScreenLayout system;
    const SIZE full = system.FullScreen();
    EXPECT_TRUE(PlaceMainWindow(RECT{0, 0, full.cx, full.cy}, system).useStored);
    const CStartPlacement gone = PlaceMainWindow(RECT{9000, 100, 9600, 500}, system);
    EXPECT_FALSE(gone.useStored);
    EXPECT_FALSE(gone.moved) << "the nearest is the primary: its default placement";
}

} // namespace
