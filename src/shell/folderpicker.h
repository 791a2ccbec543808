// File Open's folder choice: the system's folder picker, starting in a given
// folder, owned by the main window.
#pragma once

#include <string>

#include "afx.h"

// The chosen file-system folder, or empty when the user cancels.
std::string PickFolder(HWND owner, const std::string& start, const std::string& title);
