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
    int Close(DWORD timeoutMs = 10000);
    // Waits for the process to end by itself; returns its exit code, or -1.
    int Wait(DWORD timeoutMs = 10000);
    DWORD ProcessId() const { return m_process.dwProcessId; }

private:
    PROCESS_INFORMATION m_process{};
    HWND m_main = nullptr;
};
