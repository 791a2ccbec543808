// The application framework in one include.
#pragma once

#include "afxbase.h"
#include "afxpath.h"
#include "cmdtarget.h"
#include "dc.h"
#include "doc.h"
#include "filefind.h"
#include "frame.h"
#include "gdi.h"
#include "menu.h"
#include "print.h"
#include "thread.h"
#include "view.h"
#include "winapp.h"
#include "wnd.h"
