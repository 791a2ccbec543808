// Driving a test thread's windows (dialogs, message boxes) from a second
// thread while the first one runs them modally.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Waits (without pumping messages) until done() holds; returns done().
bool Eventually(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Asked with the message, so that it also works across processes: GetWindowText
// of another process's window reads only its caption, not what a control answers.
std::string Text(HWND window);
std::string ClassOf(HWND window);
// A shown top-level window of thread with that class and caption (any caption when empty).
HWND FindShown(DWORD thread, const std::string& className, const std::string& caption);
HWND WaitForShown(DWORD thread, const std::string& className, const std::string& caption);
// The window with the keyboard focus in thread (of any process), or null.
HWND FocusOf(DWORD thread);
// The popup menu this thread shows now, or null.
HWND ShownMenuWindow();
// What the message box of thread says; it is then closed.
std::string AnswerMessageBox(DWORD thread);
// Runs script on a second thread while modal() runs here; whatever the script
// leaves open is cancelled, so a failing script cannot hang the test.
INT_PTR RunModal(const std::function<INT_PTR()>& modal, const std::function<void(DWORD)>& script);
