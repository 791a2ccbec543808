// The HTML Help function, reached in the help control's library on first use,
// and the program's own stand-in for text popups where that library shows none.
#pragma once

#include <string>

#include "afxbase.h"

#include <htmlhelp.h>

// HtmlHelpW of the library registered for the HTML Help control (else
// "hhctrl.ocx"). Null when it shows nothing, and at once for the rest of the
// process when the library or the function could not be found.
// file and an HH_POPUP's texts are UTF-8, given on as UTF-16.
HWND AfxHtmlHelp(HWND owner, const char* file, UINT command, DWORD_PTR data);

// The text of topic id in a text-popup file inside a compiled help file,
// topic as "C:\...\file.chm::/popups.txt"; empty when there is none.
std::string AfxLoadTextPopup(const std::string& topic, UINT id);

// Shows popup.idString's text from topic in a window of its own whose top
// centre is popup.pt (screen), owned by owner; it goes at the next click or
// key. Returns it, or null when there is no text. Replaces any such popup.
HWND AfxShowTextPopup(HWND owner, const std::string& topic, const HH_POPUP& popup);

// The window class of those popups.
extern const char kTextPopupClass[];
