// Plays an animation in a window: frames are decoded a few ahead on a
// thread of the player's own, and each is handed over on the window's
// thread when its time comes, by a timer of the player's on that window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "dc.h"
#include "imaging/animation.h"

class CBackgroundThread;

class CAnimationPlayer {
public:
    enum class Looping { AsFile, Once };

    // Plays at once. shown is called on the window's thread each time a
    // new frame is to be shown, and once more when the animation ends; the
    // player may be destroyed from within it.
    CAnimationPlayer(std::unique_ptr<CAnimationReader> reader, HWND window, std::function<void()> shown,
                     Looping looping = Looping::AsFile);
    // Never waits for the thread.
    ~CAnimationPlayer();
    CAnimationPlayer(const CAnimationPlayer&) = delete;
    CAnimationPlayer& operator=(const CAnimationPlayer&) = delete;

    // The canvas; every frame has that size.
    SIZE Size() const { return m_size; }
    // The frame shown; null until the first is decoded.
    const CPixels* Frame() const { return m_frame.get(); }
    // Played as often as it plays, or stopped at a frame that did not decode.
    bool Ended() const { return m_ended; }
    // Stops decoding, waiting at most ms for the thread (which closes the
    // file); the frame shown stays. True when the thread has ended.
    bool Stop(DWORD ms);

    // The frame shown at shown size with its top-left corner at origin in
    // area (scale: window pixels per picture pixel), the rest black.
    void Draw(CDC* dc, const RECT& area, SIZE shown, POINT origin, double scale);
    // The same, fitted into area as a still picture is: shrunk, never enlarged.
    void DrawFitted(CDC* dc, const RECT& area);

private:
    struct Ahead;

    static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
    void Tick();
    void Arm(ULONGLONG due);

    SIZE m_size{0, 0};
    HWND m_window;
    std::function<void()> m_shown;
    UINT_PTR m_timer;
    std::shared_ptr<Ahead> m_ahead;
    std::unique_ptr<CBackgroundThread> m_thread;
    std::unique_ptr<CPixels> m_frame;
    ULONGLONG m_due = 0;    // when the frame shown has stood its time
    int m_toShow = 0;       // frames still to show, when it plays a set number of times
    bool m_forEver = false;
    bool m_ended = false;
    std::unique_ptr<CPixels> m_screen;  // the area's pixels, made anew for each paint
};
