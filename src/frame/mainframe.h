// The main window: the frame of the single-document template, hosting the view.
#pragma once

#include "afx.h"

class CMainFrame : public CFrameWnd {
public:
    CMainFrame() = default;
};
