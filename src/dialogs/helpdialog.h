// Base of the program's dialogs that answer F1 and the "?" button with a
// popup text for the control asked about, from the help file's popups.txt.
// A right click gets the default processing: no context menu of its own.
#pragma once

#include "dialog.h"

class CHelpDialog : public CDialog {
public:
    CHelpDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

    // Always TRUE: the request never travels on to the frame.
    BOOL OnHelpInfo(HELPINFO* info) override;

protected:
    BOOL OnInitDialog() override;
};
