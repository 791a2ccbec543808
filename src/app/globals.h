// The process-wide objects every part of Orlivane reaches directly. They are
// constructed in this order and destroyed in the reverse one, so the
// navigator and its pages go first.
#pragma once

#include "app/settings.h"

class CVemolyApp;
class CNavigator;
class CDrawingResources;
class CCriticalSection;

extern CSettings g_settings;
extern CVemolyApp theApp;
extern CDrawingResources g_resources;
// Guards what thumbnail workers write into entries the painter reads (EntryLock).
extern CCriticalSection g_thumbnailLock;
extern CNavigator g_navigator;
