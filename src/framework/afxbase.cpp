#include "afxbase.h"

#include <objbase.h>
#include <ole2.h>

#include <atomic>
#include <map>
#include <mutex>
#include <tuple>

#include "winapp.h"
#include "wnd.h"

CWnd* AfxGetMainWnd()
{
    CWinApp* app = AfxGetApp();
    return app ? app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    CWinApp* app = AfxGetApp();
    return app && app->m_hInstance ? app->m_hInstance : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

std::string AfxLoadString(UINT id)
{
    // LoadStringW with a zero buffer length yields a pointer into the resource.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return {};
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result((size_t)size, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

int AfxMessageBox(const char* text, UINT type, UINT)
{
    CWnd* main = AfxGetMainWnd();
    HWND owner = main ? main->m_hWnd : nullptr;
    if (owner)
        owner = ::GetLastActivePopup(owner);
    const std::string caption = AfxLoadString(AFX_IDS_APP_TITLE);
    return ::MessageBoxA(owner, text, caption.c_str(), type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT)
{
    return AfxMessageBox(AfxLoadString(stringId).c_str(), type, 0);
}

const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon)
{
    static std::mutex lock;
    static std::map<std::tuple<UINT, HCURSOR, HBRUSH, HICON>, std::string> classes;

    std::lock_guard guard(lock);
    auto key = std::make_tuple(classStyle, cursor, background, icon);
    if (auto found = classes.find(key); found != classes.end())
        return found->second.c_str();

    std::string name = "Afx:" + std::to_string(classes.size()) + ":" + std::to_string(classStyle);
    WNDCLASSA wc{};
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::AfxWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name.c_str();
    if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    return classes.emplace(key, std::move(name)).first->second.c_str();
}

namespace {
std::atomic<int> g_oleLocks{0};
bool g_oleInitialized = false;
}

BOOL AfxOleInit()
{
    if (!g_oleInitialized)
        g_oleInitialized = SUCCEEDED(::OleInitialize(nullptr));
    return g_oleInitialized;
}

void AfxOleTerm()
{
    if (g_oleInitialized) {
        ::OleUninitialize();
        g_oleInitialized = false;
    }
}

void AfxOleLockApp()
{
    ++g_oleLocks;
}

void AfxOleUnlockApp()
{
    --g_oleLocks;
}
