// How large a picture shows in a window and which part of it: a scale
// (window pixels per picture pixel) and where the picture's top-left
// corner lies in the window. Pure arithmetic, kept apart from painting.
#pragma once

#include <windows.h>

class CZoom {
public:
    static constexpr double kMost = 32.0;
    static constexpr double kLeast = 1.0 / 16;
    static constexpr double kStep = 1.25;

    // The picture's upright size and the window's; a new picture or window
    // of a fitted zoom fits again, else the zoom and the point at the
    // window's centre stay.
    void SetPicture(SIZE picture);
    void SetWindow(SIZE window);

    // The picture's own size shrunk to the window, never enlarged: as the
    // page shows it when opened.
    double FitScale() const;
    double Scale() const { return m_fitted ? FitScale() : m_scale; }
    bool IsFitted() const { return m_fitted; }
    double MinScale() const;

    void Fit();
    // Zooms to scale (within the limits) with the picture's point under
    // window point about staying there.
    void ZoomAbout(double scale, double aboutX, double aboutY);
    // steps of kStep in (positive) or out, each stopping at fit and at 100 %.
    void Step(int steps, double aboutX, double aboutY);
    // The scale steps from scale, in or out, would reach.
    double StepFrom(double scale, int steps) const;
    void ZoomAboutCentre(double scale) { ZoomAbout(scale, m_window.cx / 2.0, m_window.cy / 2.0); }

    // Moves the picture by dx, dy window pixels as far as its edges allow;
    // false when it did not move.
    bool PanBy(double dx, double dy);
    // Whether the picture is larger than the window across, or down.
    bool Overflows(bool across) const;

    // The picture's shown size and its top-left corner in the window, in
    // whole pixels: at 100 % each window pixel is one picture pixel.
    SIZE ShownSize() const;
    POINT Origin() const;
    SIZE Window() const { return m_window; }
    SIZE Picture() const { return m_picture; }

private:
    // Keeps the picture within its edges, centred where it is smaller.
    void Clamp();

    SIZE m_picture{0, 0};
    SIZE m_window{0, 0};
    bool m_fitted = true;
    double m_scale = 1;
    double m_x = 0;  // the picture's top-left corner in the window
    double m_y = 0;
};
