#include "app/globals.h"

#include "app/vemolyapp.h"
#include "core/navigator.h"

// One translation unit fixes the order of construction.
CSettings g_settings;
CVemolyApp theApp;
CNavigator g_navigator;
