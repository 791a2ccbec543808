#include "app/globals.h"

#include "app/vemolyapp.h"
#include "core/navigator.h"
#include "thread.h"
#include "res/drawing_resources.h"

// One translation unit fixes the order of construction.
CSettings g_settings;
CVemolyApp theApp;
CDrawingResources g_resources;
CCriticalSection g_thumbnailLock;
CNavigator g_navigator;
