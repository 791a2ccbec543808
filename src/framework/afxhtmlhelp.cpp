#include "afxhtmlhelp.h"

#include <objbase.h>

#include <cstdlib>
#include <vector>

#include "afxdpi.h"
#include "afxpath.h"
#include "comptr.h"
#include "dc.h"
#include "gdi.h"
#include "wnd.h"

const char kTextPopupClass[] = "Orlivane.TextPopup";

// ---------------------------------------------------------------- HtmlHelpW

namespace {

using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// Loaded on the first request and kept for the process.
class CHtmlHelpLibrary {
public:
    CHtmlHelpLibrary()
    {
        HKEY key = nullptr;
        std::string path;
        if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32",
                            0, KEY_READ, &key) == ERROR_SUCCESS) {
            AfxRegQueryString(key, "", path);
            ::RegCloseKey(key);
        }
        if (!path.empty())
            m_module = ::LoadLibraryW(AfxPathW(path).c_str());
        if (!m_module)
            m_module = ::LoadLibraryW(L"hhctrl.ocx");
        // HtmlHelpW is exported by number only.
        if (m_module)
            m_proc = reinterpret_cast<HtmlHelpProc>(
                reinterpret_cast<void*>(::GetProcAddress(m_module, MAKEINTRESOURCEA(15))));
    }
    ~CHtmlHelpLibrary()
    {
        // Its windows must not outlive its code.
        if (m_proc)
            m_proc(nullptr, nullptr, HH_CLOSE_ALL, 0);
        if (m_module)
            ::FreeLibrary(m_module);
    }
    CHtmlHelpLibrary(const CHtmlHelpLibrary&) = delete;
    CHtmlHelpLibrary& operator=(const CHtmlHelpLibrary&) = delete;

    HtmlHelpProc Proc() const { return m_proc; }

private:
    HMODULE m_module = nullptr;
    HtmlHelpProc m_proc = nullptr;
};

} // namespace

HWND AfxHtmlHelp(HWND owner, const char* file, UINT command, DWORD_PTR data)
{
    static CHtmlHelpLibrary library;
    HtmlHelpProc proc = library.Proc();
    if (!proc)
        return nullptr;
    const std::wstring wideFile = file ? AfxWide(file) : std::wstring();
    const wchar_t* fileArgument = file ? wideFile.c_str() : nullptr;
    if (command != HH_DISPLAY_TEXT_POPUP || !data)
        return proc(owner, fileArgument, command, data);
    // The popup's texts go as UTF-16 too; the structure is otherwise the same.
    HH_POPUP popup = *reinterpret_cast<const HH_POPUP*>(data);
    const std::wstring text = popup.pszText ? AfxWide(popup.pszText) : std::wstring();
    const std::wstring font = popup.pszFont ? AfxWide(popup.pszFont) : std::wstring();
    if (popup.pszText)
        popup.pszText = reinterpret_cast<LPCSTR>(text.c_str());
    if (popup.pszFont)
        popup.pszFont = reinterpret_cast<LPCSTR>(font.c_str());
    return proc(owner, fileArgument, command, (DWORD_PTR)&popup);
}

// ---------------------------------------------------------------- text popups

// The help control's storage of compiled help files (the leading methods).
// Not file-local: the compiler would take calls through a type that nothing
// here implements for unreachable.
struct IITStorage : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**) = 0;
};

namespace {

const CLSID kClsidITStorage = {0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
const IID kIidITStorage = {0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

// The bytes of one file inside a compiled help file.
std::string ReadCompiledFile(const std::string& chm, const std::string& name)
{
    CComPtr<IITStorage> storages;
    if (FAILED(::CoCreateInstance(kClsidITStorage, nullptr, CLSCTX_INPROC_SERVER, kIidITStorage,
                                  reinterpret_cast<void**>(&storages))))
        return {};
    CComPtr<IStorage> storage;
    if (FAILED(storages->StgOpenStorage(AfxPathW(chm).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                                        nullptr, 0, &storage)))
        return {};
    CComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(AfxWide(name).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                   &stream)))
        return {};
    std::string bytes;
    char buffer[4096];
    ULONG got = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

// The text after ".topic id" up to the next topic, outer blank lines dropped.
std::string FindTopic(const std::string& file, UINT id)
{
    std::string text;
    bool inTopic = false;
    size_t pos = 0;
    while (pos < file.size()) {
        size_t end = file.find('\n', pos);
        if (end == std::string::npos)
            end = file.size();
        std::string line = file.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, 7, ".topic ") == 0) {
            if (inTopic)
                break;
            inTopic = std::strtoul(line.c_str() + 7, nullptr, 0) == id;
            continue;
        }
        if (inTopic && (!text.empty() || !line.empty()))
            text += line + "\r\n";
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    while (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    return text;
}

// A help text in a window of its own; it deletes itself when it goes.
class CTextPopup : public CWnd {
public:
    static HWND s_current;

    BOOL Create(HWND owner, const std::string& text, POINT topCentre)
    {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.style = CS_SAVEBITS | CS_DROPSHADOW;
            wc.lpfnWndProc = &CWnd::AfxWndProc;
            wc.hInstance = AfxGetInstanceHandle();
            wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
            wc.hbrBackground = (HBRUSH)(COLOR_INFOBK + 1);
            const std::wstring className = AfxWide(kTextPopupClass);
            wc.lpszClassName = className.c_str();
            return ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }();
        if (!registered)
            return FALSE;

        // Sized and lettered at the scale of the window asking for help.
        m_dpi = AfxGetDpiForWindow(owner);
        const LOGFONTW logFont = AfxGetMessageFont(m_dpi);
        if (!m_font.CreateFontIndirect(&logFont))
            return FALSE;
        const CRect box = Measure(text, topCentre);
        if (!CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kTextPopupClass, text.c_str(),
                      WS_POPUP | WS_BORDER, box, CWnd::FromHandlePermanent(owner), 0))
            return FALSE;
        s_current = m_hWnd;
        ShowWindow(SW_SHOW);
        UpdateWindow();
        return TRUE;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            DestroyWindow();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE)
                PostMessage(WM_CLOSE);
            return Default();
        case WM_CLOSE:
            DestroyWindow();
            return 0;
        case WM_DESTROY:
            if (s_current == m_hWnd)
                s_current = nullptr;
            return Default();
        default:
            return CWnd::WindowProc(message, wParam, lParam);
        }
    }

    void OnPaint() override
    {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        const int margin = AfxScale(kMargin, m_dpi);
        CRect inner(client.left + margin, client.top + margin, client.right - margin, client.bottom - margin);
        CSelectObject font(&dc, (HFONT)m_font);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(::GetSysColor(COLOR_INFOTEXT));
        dc.DrawText(GetWindowText(), &inner, DT_WORDBREAK | DT_NOPREFIX);
    }

    void PostNcDestroy() override { delete this; }

private:
    static constexpr int kMargin = 8;
    static constexpr int kTextWidth = 300;

    // The window's rectangle: the text wrapped at kTextWidth, kept on the screen.
    CRect Measure(const std::string& text, POINT topCentre) const
    {
        const int margin = AfxScale(kMargin, m_dpi);
        CRect textRect(0, 0, AfxScale(kTextWidth, m_dpi), 0);
        HDC screen = ::GetDC(nullptr);
        HGDIOBJ old = ::SelectObject(screen, (HFONT)m_font);
        const std::wstring wide = AfxWide(text);
        ::DrawTextW(screen, wide.c_str(), (int)wide.size(), &textRect,
                    DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        ::SelectObject(screen, old);
        ::ReleaseDC(nullptr, screen);

        const int border = AfxGetSystemMetrics(SM_CXBORDER, m_dpi);
        const int width = textRect.Width() + 2 * (margin + border);
        const int height = textRect.Height() + 2 * (margin + border);
        CRect box(topCentre.x - width / 2, topCentre.y, 0, 0);
        box.right = box.left + width;
        box.bottom = box.top + height;

        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (::GetMonitorInfoW(::MonitorFromPoint(topCentre, MONITOR_DEFAULTTONEAREST), &monitor)) {
            const RECT& work = monitor.rcWork;
            if (box.right > work.right)
                box.OffsetRect(work.right - box.right, 0);
            if (box.left < work.left)
                box.OffsetRect(work.left - box.left, 0);
            if (box.bottom > work.bottom)
                box.OffsetRect(0, work.bottom - box.bottom);
            if (box.top < work.top)
                box.OffsetRect(0, work.top - box.top);
        }
        return box;
    }

    CFont m_font;  // released with the window's object, after the window
    int m_dpi = kDesignDpi;
};

HWND CTextPopup::s_current = nullptr;

} // namespace

std::string AfxLoadTextPopup(const std::string& topic, UINT id)
{
    const size_t separator = topic.find("::");
    if (separator == std::string::npos)
        return {};
    std::string name = topic.substr(separator + 2);
    if (!name.empty() && name[0] == '/')
        name.erase(0, 1);
    return FindTopic(ReadCompiledFile(topic.substr(0, separator), name), id);
}

HWND AfxShowTextPopup(HWND owner, const std::string& topic, const HH_POPUP& popup)
{
    if (CTextPopup::s_current)
        ::DestroyWindow(CTextPopup::s_current);
    const std::string text = AfxLoadTextPopup(topic, popup.idString);
    if (text.empty())
        return nullptr;
    auto* window = new CTextPopup;
    if (!window->Create(owner, text, popup.pt)) {
        if (!CWnd::LastCreateDestroyedObject())
            delete window;
        return nullptr;
    }
    return window->m_hWnd;
}
