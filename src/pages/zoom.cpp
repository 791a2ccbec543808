#include "pages/zoom.h"

#include <algorithm>
#include <cmath>

namespace {

// Scales this close are the same stop: the fitted scale is a quotient.
constexpr double kSame = 1e-9;

} // namespace

void CZoom::SetPicture(SIZE picture)
{
    m_picture = picture;
    Fit();
}

void CZoom::SetWindow(SIZE window)
{
    if (m_fitted || m_window.cx <= 0 || m_window.cy <= 0) {
        m_window = window;
        if (m_fitted)
            Fit();
        else
            Clamp();
        return;
    }
    // The point at the old centre goes to the new one.
    m_x += (window.cx - m_window.cx) / 2.0;
    m_y += (window.cy - m_window.cy) / 2.0;
    m_window = window;
    Clamp();
}

double CZoom::FitScale() const
{
    if (m_picture.cx <= 0 || m_picture.cy <= 0 || m_window.cx <= 0 || m_window.cy <= 0)
        return 1;
    return std::min({1.0, (double)m_window.cx / m_picture.cx, (double)m_window.cy / m_picture.cy});
}

double CZoom::MinScale() const
{
    return std::min(FitScale(), kLeast);
}

void CZoom::Fit()
{
    m_fitted = true;
    m_scale = FitScale();
    Clamp();
}

void CZoom::ZoomAbout(double scale, double aboutX, double aboutY)
{
    scale = std::clamp(scale, MinScale(), kMost);
    const double was = Scale();
    if (std::abs(scale - FitScale()) < kSame * scale) {
        // Fitted, the picture follows the window's size again.
        Fit();
        return;
    }
    m_x = aboutX - (aboutX - m_x) * scale / was;
    m_y = aboutY - (aboutY - m_y) * scale / was;
    m_scale = scale;
    m_fitted = false;
    Clamp();
}

double CZoom::StepFrom(double scale, int steps) const
{
    const double stops[] = {FitScale(), 1.0};
    for (; steps > 0; --steps) {
        double next = scale * kStep;
        for (double stop : stops)
            if (stop > scale * (1 + kSame) && stop < next)
                next = stop;
        scale = std::min(next, kMost);
    }
    for (; steps < 0; ++steps) {
        double next = scale / kStep;
        for (double stop : stops)
            if (stop < scale * (1 - kSame) && stop > next)
                next = stop;
        scale = std::max(next, MinScale());
    }
    return scale;
}

void CZoom::Step(int steps, double aboutX, double aboutY)
{
    ZoomAbout(StepFrom(Scale(), steps), aboutX, aboutY);
}

bool CZoom::PanBy(double dx, double dy)
{
    const POINT was = Origin();
    m_x += dx;
    m_y += dy;
    Clamp();
    const POINT now = Origin();
    return now.x != was.x || now.y != was.y;
}

bool CZoom::Overflows(bool across) const
{
    const SIZE shown = ShownSize();
    return across ? shown.cx > m_window.cx : shown.cy > m_window.cy;
}

SIZE CZoom::ShownSize() const
{
    const double scale = Scale();
    return SIZE{std::max(1L, std::lround(m_picture.cx * scale)), std::max(1L, std::lround(m_picture.cy * scale))};
}

POINT CZoom::Origin() const
{
    return POINT{(LONG)std::lround(m_x), (LONG)std::lround(m_y)};
}

void CZoom::Clamp()
{
    const SIZE shown = ShownSize();
    // Centred as the fitted picture is, in whole pixels; else within its edges.
    const auto place = [](double& at, LONG shownSize, LONG window) {
        if (shownSize <= window)
            at = (window - shownSize) / 2;
        else
            at = std::clamp(at, (double)(window - shownSize), 0.0);
    };
    place(m_x, shown.cx, m_window.cx);
    place(m_y, shown.cy, m_window.cy);
}
