// The real application started inside a test process: its main window, view
// and navigator, for tests that need a live view.
#pragma once

#include <windows.h>

#include <functional>

#include <gtest/gtest.h>

// Dispatches every waiting message of this thread.
void PumpMessages();
// Pumps messages until done() holds or the time is up; returns done().
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Whether the main frame's command routing enables id, as it does for menus and bars.
bool CommandEnabled(UINT id);
// The main frame's toolbar, in its band of the rebar; null without one.
HWND MainToolBar();

// Runs InitInstance once for the whole test program and shuts down at its end.
class RunningApp : public testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};
