#include "user_input.h"

#include <iterator>
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
    if (modifier)
        PressKeysWith({modifier}, keys);
    else
        PressKeysWith(std::initializer_list<WORD>{}, keys);
}

void PressKeysWith(std::initializer_list<WORD> modifiers, std::initializer_list<WORD> keys)
{
    const auto event = [](WORD key, bool up) {
        INPUT one{};
        one.type = INPUT_KEYBOARD;
        one.ki.wVk = key;
        one.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        return one;
    };
    for (WORD key : keys) {
        std::vector<INPUT> input;
        for (WORD modifier : modifiers)
            input.push_back(event(modifier, false));
        input.push_back(event(key, false));
        input.push_back(event(key, true));
        for (auto modifier = std::rbegin(modifiers); modifier != std::rend(modifiers); ++modifier)
            input.push_back(event(*modifier, true));
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
