// Keys and mouse buttons as the devices send them, through SendInput: they
// reach whichever window has the focus or lies under the pointer, in any
// process.
#pragma once

#include <windows.h>

#include <initializer_list>

// Keys pressed and released in turn; shift: with Shift held down meanwhile.
void PressKeys(std::initializer_list<WORD> keys, bool shift = false);
// The same with modifier (VK_CONTROL, VK_MENU, VK_SHIFT) held down meanwhile.
void PressKeysWith(WORD modifier, std::initializer_list<WORD> keys);
// The same with several modifiers held down (Alt+Shift+P).
void PressKeysWith(std::initializer_list<WORD> modifiers, std::initializer_list<WORD> keys);
// Moves the pointer to a screen point.
void MovePointerTo(POINT screen);
// Clicks a button at a screen point. The move travels with the click in one
// batch of input: a pointer set apart may not have arrived where the button
// goes down.
void ClickAt(POINT screen, bool right = false);

// Keys this thread sees held down (GetKeyState) while the object lives, for
// messages sent to the program's own windows in the test's process.
class HeldKeys {
public:
    explicit HeldKeys(std::initializer_list<BYTE> keys);
    ~HeldKeys() { ::SetKeyboardState(m_saved); }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    BYTE m_saved[256];
};
