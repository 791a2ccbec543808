#include "user_input.h"

#include <vector>

namespace {

INPUT MoveTo(POINT screen)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = (screen.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = (screen.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}

} // namespace

void PressKeys(std::initializer_list<WORD> keys, bool shift)
{
    PressKeysWith(shift ? VK_SHIFT : 0, keys);
}

void PressKeysWith(WORD modifier, std::initializer_list<WORD> keys)
{
    for (WORD key : keys) {
        std::vector<INPUT> input(modifier ? 4 : 2);
        for (INPUT& one : input)
            one.type = INPUT_KEYBOARD;
        size_t i = 0;
        if (modifier)
            input[i++].ki.wVk = modifier;
        input[i].ki.wVk = key;
        input[i + 1].ki.wVk = key;
        input[i + 1].ki.dwFlags = KEYEVENTF_KEYUP;
        if (modifier) {
            input[i + 2].ki.wVk = modifier;
            input[i + 2].ki.dwFlags = KEYEVENTF_KEYUP;
        }
        ::SendInput((UINT)input.size(), input.data(), sizeof(INPUT));
    }
}

HeldKeys::HeldKeys(std::initializer_list<BYTE> keys)
{
    ::GetKeyboardState(m_saved);
    BYTE state[256];
    ::GetKeyboardState(state);
    for (BYTE key : keys)
        state[key] |= 0x80;
    ::SetKeyboardState(state);
}

void MovePointerTo(POINT screen)
{
    ::SetCursorPos(screen.x, screen.y);
    INPUT input = MoveTo(screen);
    ::SendInput(1, &input, sizeof input);
}

void ClickAt(POINT screen, bool right)
{
    ::SetCursorPos(screen.x, screen.y);
    INPUT input[3] = {MoveTo(screen), {}, {}};
    input[1].type = input[2].type = INPUT_MOUSE;
    input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    ::SendInput(3, input, sizeof(INPUT));
}
