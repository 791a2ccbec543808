#include "window_driving.h"

#include <thread>

bool Eventually(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(10);
    }
    return true;
}

std::string Text(HWND window)
{
    char text[1024] = "";
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

HWND FindShown(DWORD thread, const std::string& className, const std::string& caption)
{
    struct Query {
        std::string className, caption;
        HWND found = nullptr;
    } query{className, caption};
    ::EnumThreadWindows(
        thread,
        [](HWND window, LPARAM lParam) -> BOOL {
            auto* q = reinterpret_cast<Query*>(lParam);
            if (::IsWindowVisible(window) && ClassOf(window) == q->className
                && (q->caption.empty() || Text(window) == q->caption)) {
                q->found = window;
                return FALSE;
            }
            return TRUE;
        },
        (LPARAM)&query);
    return query.found;
}

HWND WaitForShown(DWORD thread, const std::string& className, const std::string& caption)
{
    HWND found = nullptr;
    Eventually([&] { return (found = FindShown(thread, className, caption)) != nullptr; });
    return found;
}

HWND FocusOf(DWORD thread)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(thread, &info);
    return info.hwndFocus;
}

std::string AnswerMessageBox(DWORD thread)
{
    HWND box = WaitForShown(thread, "#32770", "Orlivane");
    if (!box)
        return "(no message box)";
    std::string said;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "Static" && !Text(child).empty())
            said += Text(child);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    Eventually([&] { return !::IsWindow(box); });
    return said;
}

INT_PTR RunModal(const std::function<INT_PTR()>& modal, const std::function<void(DWORD)>& script)
{
    const DWORD self = ::GetCurrentThreadId();
    std::thread driver([&] {
        script(self);
        while (HWND left = FindShown(self, "#32770", "")) {
            ::PostMessageA(left, WM_COMMAND, IDCANCEL, 0);
            Eventually([&] { return !::IsWindow(left); }, 5000);
        }
    });
    const INT_PTR result = modal();
    driver.join();
    return result;
}

HWND ShownMenuWindow()
{
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM lParam) -> BOOL {
            char name[16] = "";
            ::GetClassNameA(window, name, sizeof name);
            if (std::string(name) == "#32768" && ::IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(lParam) = window;
                return FALSE;
            }
            return TRUE;
        },
        (LPARAM)&found);
    return found;
}
