// Drives the real Orlivane.exe from a test: starts it, finds its main
// window, sends it commands, reads its pixels and waits for it to end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A path handed over by the build (Unix or Windows form) in Windows form.
std::string WindowsPath(const std::string& path);
// The value of an environment variable set by the test registration.
std::string TestSetting(const char* name);
// The bytes of the file a test setting names; empty when there is none.
std::string SettingFile(const char* name);
// Copies the program under test (ORLIVANE_EXE) into folder with the
// libraries it cannot start without, and nothing else; the copy's path.
std::string CopyProgram(const std::string& folder);

// A captured rectangle of the screen, 32 bits per pixel, top-down.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;  // 0x00RRGGBB

    DWORD At(int x, int y) const { return pixels[(size_t)y * width + x]; }
    // Writes a 24-bit BMP file.
    bool SaveBmp(const std::string& path) const;
};

// Captures a window's client area from the screen.
Capture CaptureClient(HWND window);
// Captures a whole window, frame and menu bar included.
Capture CaptureWindow(HWND window);

// A visible top-level window of the process with that class (any class when
// null), other than except; null when there is none.
HWND FindProcessWindow(DWORD processId, const char* className, HWND except = nullptr);
// Waits for such a window to appear; returns it or null.
HWND WaitForProcessWindow(DWORD processId, const char* className, HWND except = nullptr,
                          DWORD timeoutMs = 10000);

// Memory inside another process, for control messages that pass pointers
// (the system copies only standard messages' data between processes).
class RemoteBuffer {
public:
    RemoteBuffer(DWORD processId, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return m_address != nullptr; }
    // The address as the other process sees it, offset bytes in.
    LPARAM At(size_t offset = 0) const { return (LPARAM)(static_cast<char*>(m_address) + offset); }
    bool Write(const void* data, size_t size, size_t offset = 0);
    bool Read(void* data, size_t size, size_t offset = 0) const;

private:
    HANDLE m_process = nullptr;
    void* m_address = nullptr;
    size_t m_size = 0;
};

class AppUnderTest {
public:
    AppUnderTest() = default;
    ~AppUnderTest();  // ends the program if it still runs
    AppUnderTest(const AppUnderTest&) = delete;
    AppUnderTest& operator=(const AppUnderTest&) = delete;

    bool Start(const std::string& exePath, const std::string& arguments = "");
    // Waits for the main window to show the caption; returns it or null.
    HWND WaitForMainWindow(const std::string& caption, DWORD timeoutMs = 15000);
    HWND MainWindow() const { return m_main; }
    HWND View() const;
    std::string Caption() const;
    // Sends a command as the menu would and waits until it is handled.
    void Command(UINT id);
    bool IsRunning() const;
    // Closes the main window and waits for the process; returns its exit code, or -1.
    // The first programs run in a new prefix have taken over 10 s to end
    // under Wine; a hang still fails.
    int Close(DWORD timeoutMs = 30000);
    // Waits for the process to end by itself; returns its exit code, or -1.
    int Wait(DWORD timeoutMs = 10000);
    DWORD ProcessId() const { return m_process.dwProcessId; }

private:
    PROCESS_INFORMATION m_process{};
    HWND m_main = nullptr;
};

// File Open through the program's folder dialog: types typed (a folder,
// absolute or relative to where the dialog starts) into its name box and
// presses Open, or presses Cancel when typed is empty. Returns what went
// wrong: empty when the dialog showed, captioned caption and owned by the
// main window, and went away.
std::string ChooseInFileOpen(AppUnderTest& app, const std::string& typed, const std::string& caption);
