#include "core/pagehost.h"

#include <atomic>

namespace {

CPageHost* g_host = nullptr;
CSlideshowDisplay* g_display = nullptr;
// What RedrawPage and InvalidatePageRect need from worker threads: the
// window and its scroll position, never the view object, which may be going.
std::atomic<HWND> g_window{nullptr};
std::atomic<LONG> g_scrollX{0};
std::atomic<LONG> g_scrollY{0};

} // namespace

CPageHost* GetPageHost()
{
    return g_host;
}

void RegisterPageHost(CPageHost* host, HWND window)
{
    g_host = host;
    g_window = window;
    SetPageScrollPosition(host->GetScrollPosition());
}

void UnregisterPageHost(CPageHost* host)
{
    if (g_host != host)
        return;
    g_host = nullptr;
    g_window = nullptr;
}

void SetPageScrollPosition(POINT position)
{
    g_scrollX = position.x;
    g_scrollY = position.y;
}

void RedrawPage(const RECT* pageRect)
{
    HWND hWnd = g_window.load();
    if (!hWnd)
        return;
    if (pageRect)
        InvalidatePageRect(*pageRect);
    else
        ::InvalidateRect(hWnd, nullptr, TRUE);
    if (::GetWindowThreadProcessId(hWnd, nullptr) == ::GetCurrentThreadId())
        ::UpdateWindow(hWnd);
}

void InvalidatePageRect(const RECT& pageRect)
{
    HWND hWnd = g_window.load();
    if (!hWnd)
        return;
    // On screen, page coordinates are client coordinates moved by the scroll position.
    RECT client = pageRect;
    ::OffsetRect(&client, -g_scrollX.load(), -g_scrollY.load());
    ::InvalidateRect(hWnd, &client, TRUE);
}

CSlideshowDisplay* GetSlideshowDisplay()
{
    return g_display;
}

void RegisterSlideshowDisplay(CSlideshowDisplay* display)
{
    g_display = display;
}

void UnregisterSlideshowDisplay(CSlideshowDisplay* display)
{
    if (g_display == display)
        g_display = nullptr;
}

void NotifyItemFocused(int index)
{
    if (CPageHost* host = GetPageHost())
        host->ItemFocused(index);
}

void NotifyItemsSelected(int index, bool added)
{
    if (CPageHost* host = GetPageHost())
        host->ItemsSelected(index, added);
}
