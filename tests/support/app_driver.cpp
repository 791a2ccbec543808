#include "app_driver.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "afxbase.h"

std::string WindowsPath(const std::string& path)
{
    std::string result = path;
    if (!result.empty() && result[0] == '/')
        result = "Z:" + result;  // Wine's drive for the Unix root
    for (char& c : result) {
        if (c == '/')
            c = '\\';
    }
    return result;
}

std::string TestSetting(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string SettingFile(const char* name)
{
    std::ifstream file(WindowsPath(TestSetting(name)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string CopyProgram(const std::string& folder)
{
    const std::string exe = WindowsPath(TestSetting("ORLIVANE_EXE"));
    const std::string bin = exe.substr(0, exe.find_last_of('\\') + 1);
    for (const char* library : {"libheif.dll", "libde265.dll"})
        ::CopyFileA((bin + library).c_str(), (folder + "\\" + library).c_str(), FALSE);
    const std::string copy = folder + "\\Orlivane.exe";
    return ::CopyFileA(exe.c_str(), copy.c_str(), FALSE) ? copy : std::string();
}

bool Capture::SaveBmp(const std::string& path) const
{
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = (DWORD)(stride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    std::vector<char> row((size_t)stride, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const DWORD p = At(x, y);
            row[(size_t)x * 3] = (char)(p & 0xFF);
            row[(size_t)x * 3 + 1] = (char)((p >> 8) & 0xFF);
            row[(size_t)x * 3 + 2] = (char)((p >> 16) & 0xFF);
        }
        out.write(row.data(), stride);
    }
    return out.good();
}

namespace {

Capture CaptureFrom(HWND window, int width, int height, bool whole)
{
    Capture capture;
    capture.width = width;
    capture.height = height;
    if (capture.width <= 0 || capture.height <= 0)
        return capture;

    HDC source = whole ? ::GetWindowDC(window) : ::GetDC(window);
    HDC memory = ::CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, capture.width, capture.height, source, 0, 0, SRCCOPY);
    ::GdiFlush();
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    capture.pixels.assign(pixels, pixels + (size_t)capture.width * capture.height);
    for (DWORD& p : capture.pixels)
        p &= 0xFFFFFF;
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(window, source);
    return capture;
}

} // namespace

Capture CaptureClient(HWND window)
{
    RECT client;
    ::GetClientRect(window, &client);
    return CaptureFrom(window, client.right, client.bottom, false);
}

Capture CaptureWindow(HWND window)
{
    RECT rect;
    ::GetWindowRect(window, &rect);
    return CaptureFrom(window, rect.right - rect.left, rect.bottom - rect.top, true);
}

namespace {
struct WindowQuery {
    DWORD processId;
    const char* className;
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    auto* query = reinterpret_cast<WindowQuery*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != query->processId || window == query->except || !::IsWindowVisible(window))
        return TRUE;
    char name[256] = "";
    ::GetClassNameA(window, name, sizeof name);
    if (query->className && lstrcmpiA(name, query->className) != 0)
        return TRUE;
    query->found = window;
    return FALSE;
}
} // namespace

HWND FindProcessWindow(DWORD processId, const char* className, HWND except)
{
    WindowQuery query{processId, className, except, nullptr};
    ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForProcessWindow(DWORD processId, const char* className, HWND except, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (HWND found = FindProcessWindow(processId, className, except))
            return found;
        if (::GetTickCount() - start >= timeoutMs)
            return nullptr;
        ::Sleep(50);
    }
}

RemoteBuffer::RemoteBuffer(DWORD processId, size_t size) : m_size(size)
{
    m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                              processId);
    if (m_process)
        m_address = ::VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                     PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer()
{
    if (m_address)
        ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    if (m_process)
        ::CloseHandle(m_process);
}

bool RemoteBuffer::Write(const void* data, size_t size, size_t offset)
{
    SIZE_T done = 0;
    return m_address && offset + size <= m_size
        && ::WriteProcessMemory(m_process, static_cast<char*>(m_address) + offset, data, size, &done)
        && done == size;
}

bool RemoteBuffer::Read(void* data, size_t size, size_t offset) const
{
    SIZE_T done = 0;
    return m_address && offset + size <= m_size
        && ::ReadProcessMemory(m_process, static_cast<char*>(m_address) + offset, data, size, &done)
        && done == size;
}

AppUnderTest::~AppUnderTest()
{
    if (m_process.hProcess) {
        if (IsRunning()) {
            ::TerminateProcess(m_process.hProcess, 99);
            ::WaitForSingleObject(m_process.hProcess, 5000);
        }
        ::CloseHandle(m_process.hProcess);
        ::CloseHandle(m_process.hThread);
    }
}

bool AppUnderTest::Start(const std::string& exePath, const std::string& arguments)
{
    std::string commandLine = "\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return ::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &m_process) != FALSE;
}

namespace {
struct Search {
    DWORD processId;
    std::string caption;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !::IsWindowVisible(window) || ::GetParent(window))
        return TRUE;
    char text[512] = "";
    ::GetWindowTextA(window, text, sizeof text);
    if (search->caption == text) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND AppUnderTest::WaitForMainWindow(const std::string& caption, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        Search search{m_process.dwProcessId, caption, nullptr};
        ::EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return m_main = search.found;
        if (!IsRunning())
            return nullptr;
        ::Sleep(50);
    }
    return nullptr;
}

HWND AppUnderTest::View() const
{
    return ::GetDlgItem(m_main, 0xE900);
}

std::string AppUnderTest::Caption() const
{
    char text[512] = "";
    ::GetWindowTextA(m_main, text, sizeof text);
    return text;
}

void AppUnderTest::Command(UINT id)
{
    ::SendMessageA(m_main, WM_COMMAND, id, 0);
}

bool AppUnderTest::IsRunning() const
{
    return m_process.hProcess && ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

int AppUnderTest::Close(DWORD timeoutMs)
{
    ::PostMessageA(m_main, WM_CLOSE, 0, 0);
    return Wait(timeoutMs);
}

int AppUnderTest::Wait(DWORD timeoutMs)
{
    if (::WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.hProcess, &code);
    return (int)code;
}

std::string ChooseInFileOpen(AppUnderTest& app, const std::string& typed, const std::string& caption)
{
    const UINT kFileOpen = 0xE101;  // ID_FILE_OPEN
    const int kNameBox = 0x480;     // the common dialogs' file name edit
    ::PostMessageA(app.MainWindow(), WM_COMMAND, kFileOpen, 0);
    HWND dialog = WaitForProcessWindow(app.ProcessId(), "#32770");
    if (!dialog)
        return "no dialog";
    wchar_t title[256] = L"";
    ::GetWindowTextW(dialog, title, 256);
    if (AfxUtf8(title) != caption)
        return "a dialog captioned \"" + AfxUtf8(title) + "\"";
    if (::GetWindow(dialog, GW_OWNER) != app.MainWindow())
        return "a dialog the main window does not own";
    HWND name = ::GetDlgItem(dialog, kNameBox);
    if (!typed.empty() && !name)
        return "no name box";
    if (!typed.empty())
        ::SendMessageW(name, WM_SETTEXT, 0, (LPARAM)AfxWide(typed).c_str());
    const int button = typed.empty() ? IDCANCEL : IDOK;
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)::GetDlgItem(dialog, button));
    for (int i = 0; i < 200; ++i) {
        if (!::IsWindow(dialog) || !::IsWindowVisible(dialog))
            return {};
        ::Sleep(50);
    }
    return "the dialog stayed";
}
