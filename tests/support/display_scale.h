// The display scale Windows gives the programs started while the object
// lives: Wine reads LogPixels once, when a process starts. The one before
// comes back at the end, even when the test failed.
#pragma once

#include <windows.h>

class DisplayScale {
public:
    explicit DisplayScale(int dpi);
    ~DisplayScale();
    DisplayScale(const DisplayScale&) = delete;
    DisplayScale& operator=(const DisplayScale&) = delete;

private:
    DWORD m_old = 96;
    bool m_had = false;
};
