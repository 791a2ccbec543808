#include "recording_hhctrl.h"

#include <cstring>

namespace {
RecordedHelpCall g_last;
HWND g_result = nullptr;
}

namespace {
void CopyUtf8(char* into, int size, const wchar_t* text)
{
    if (!::WideCharToMultiByte(CP_UTF8, 0, text, -1, into, size, nullptr, nullptr))
        into[0] = '\0';
}
}

extern "C" HWND WINAPI HtmlHelpW(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data)
{
    const int count = g_last.count + 1;
    g_last = RecordedHelpCall{};
    g_last.count = count;
    g_last.owner = owner;
    if (file)
        CopyUtf8(g_last.file, sizeof g_last.file, file);
    g_last.command = command;
    if (command == HH_DISPLAY_TEXT_POPUP && data) {
        std::memcpy(&g_last.popup, reinterpret_cast<const void*>(data), sizeof g_last.popup);
        g_last.textGiven = g_last.popup.pszText != nullptr;
        if (g_last.textGiven)
            CopyUtf8(g_last.text, sizeof g_last.text, reinterpret_cast<const wchar_t*>(g_last.popup.pszText));
        g_last.fontGiven = g_last.popup.pszFont != nullptr;
        g_last.popup.pszText = nullptr;
        g_last.popup.pszFont = nullptr;
    }
    return g_result;
}

extern "C" const RecordedHelpCall* RecordedHelp()
{
    return &g_last;
}

extern "C" void SetHelpResult(HWND result)
{
    g_result = result;
}
