// A stand-in for the HTML Help control that the dialog tests register in the
// test prefix: it records the last request and answers with a chosen window.
#pragma once

#include <windows.h>

#include <htmlhelp.h>

struct RecordedHelpCall {
    int count = 0;  // requests so far, HH_CLOSE_ALL included
    HWND owner = nullptr;
    char file[2 * MAX_PATH] = "";
    UINT command = 0;
    HH_POPUP popup{};       // its pointers are cleared; see the fields below
    bool textGiven = false; // popup.pszText was not null
    char text[64] = "";
    bool fontGiven = false;
};

using RecordedHelpProc = const RecordedHelpCall* (*)();
using SetHelpResultProc = void (*)(HWND);
