#include "afxbase.h"

#include <objbase.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
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
    return app && app->m_hInstance ? app->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

std::wstring AfxWide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring wide((size_t)std::max(size, 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(), size);
    return wide;
}

std::string AfxUtf8(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8((size_t)std::max(size, 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

int AfxCompareNoCase(std::string_view a, std::string_view b)
{
    return ::lstrcmpiW(AfxWide(a).c_str(), AfxWide(b).c_str());
}

std::string AfxGetWindowText(HWND hWnd)
{
    std::wstring text((size_t)::GetWindowTextLengthW(hWnd) + 1, L'\0');
    text.resize((size_t)std::max(::GetWindowTextW(hWnd, text.data(), (int)text.size()), 0));
    return AfxUtf8(text);
}

BOOL AfxSetWindowText(HWND hWnd, const std::string& text)
{
    return ::SetWindowTextW(hWnd, AfxWide(text).c_str());
}

LONG AfxRegQueryString(HKEY key, const std::string& name, std::string& value)
{
    const std::wstring wideName = AfxWide(name);
    DWORD type = 0, size = 0;
    LONG status = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    // The stored text may or may not end in its null, and may grow meanwhile.
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = (DWORD)(text.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, (BYTE*)text.data(), &size);
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    text.resize(std::min<size_t>(text.size(), size / sizeof(wchar_t)));
    text.resize(std::wcslen(text.c_str()));
    value = AfxUtf8(text);
    return ERROR_SUCCESS;
}

LONG AfxRegSetString(HKEY key, const std::string& name, const std::string& value)
{
    const std::wstring text = AfxWide(value);
    return ::RegSetValueExW(key, AfxWide(name).c_str(), 0, REG_SZ, (const BYTE*)text.c_str(),
                            (DWORD)((text.size() + 1) * sizeof(wchar_t)));
}

std::string AfxLoadString(UINT id)
{
    // LoadStringW with a zero buffer length yields a pointer into the resource.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return {};
    return AfxUtf8(std::wstring_view(text, (size_t)length));
}

int AfxMessageBox(const char* text, UINT type, UINT)
{
    CWnd* main = AfxGetMainWnd();
    HWND owner = main ? main->m_hWnd : nullptr;
    if (owner)
        owner = ::GetLastActivePopup(owner);
    const std::string caption = AfxLoadString(AFX_IDS_APP_TITLE);
    return ::MessageBoxW(owner, AfxWide(text).c_str(), AfxWide(caption).c_str(), type);
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
    const std::wstring wideName = AfxWide(name);
    WNDCLASSW wc{};
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::AfxWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = wideName.c_str();
    if (!::RegisterClassW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
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
