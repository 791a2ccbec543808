#include "afxdpi.h"

namespace {

// Functions of Windows 10 1607 and later, looked up once: on older systems
// the whole process has the screen's DPI.
struct DpiFunctions {
    UINT(WINAPI* dpiForWindow)(HWND) = nullptr;
    int(WINAPI* metricsForDpi)(int, UINT) = nullptr;
    BOOL(WINAPI* parametersForDpi)(UINT, UINT, void*, UINT, UINT) = nullptr;

    DpiFunctions()
    {
        if (HMODULE user = ::GetModuleHandleW(L"user32.dll")) {
            dpiForWindow = reinterpret_cast<decltype(dpiForWindow)>(::GetProcAddress(user, "GetDpiForWindow"));
            metricsForDpi = reinterpret_cast<decltype(metricsForDpi)>(::GetProcAddress(user, "GetSystemMetricsForDpi"));
            parametersForDpi =
                reinterpret_cast<decltype(parametersForDpi)>(::GetProcAddress(user, "SystemParametersInfoForDpi"));
        }
    }
};

const DpiFunctions& Functions()
{
    static const DpiFunctions functions;
    return functions;
}

int ScreenDpi()
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

int AfxGetDpiForWindow(HWND window)
{
    if (window && Functions().dpiForWindow) {
        if (const UINT dpi = Functions().dpiForWindow(window))
            return (int)dpi;
    }
    return ScreenDpi();
}

int AfxGetSystemMetrics(int index, int dpi)
{
    if (Functions().metricsForDpi)
        return Functions().metricsForDpi(index, (UINT)dpi);
    return ::MulDiv(::GetSystemMetrics(index), dpi, ScreenDpi());
}

LOGFONTW AfxGetMessageFont(int dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (!(Functions().parametersForDpi
              ? Functions().parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, kDesignDpi)
              : ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)))
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    else
        font = metrics.lfMessageFont;
    // The stock GUI font's height at 96 DPI (8 points: 11 pixels), which
    // the pages were designed with, whatever the message font's size.
    constexpr int kDesignHeight = -11;
    font.lfHeight = AfxScale(kDesignHeight, dpi);
    font.lfWidth = 0;
    return font;
}

bool AfxIsHighContrast()
{
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}
