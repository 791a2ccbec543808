// The process-wide objects, each declared by the header of its class. One
// translation unit fixes their order: constructed in this order, destroyed in
// the reverse one, so the navigator and its pages go first.
#include "app/vemolyapp.h"
#include "catalog/folderentry.h"
#include "core/navigator.h"
#include "res/drawing_resources.h"
#include "shell/settings.h"
#include "thread.h"

CSettings g_settings;
CVemolyApp theApp;
CDrawingResources g_resources;
CCriticalSection g_thumbnailLock;
CNavigator g_navigator;
