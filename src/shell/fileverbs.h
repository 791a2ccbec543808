// The shell's other doings with a file: the system's Open With dialog, the
// file's edit verb, Explorer with the files selected, the system's
// properties of the files, and the place a photo was taken on a map.
#pragma once

#include <string>
#include <vector>

#include "afx.h"

// False when the system has no such dialog or verb (it is then told to the
// user by the caller).
bool ShowOpenWith(HWND owner, const std::string& path);
bool EditFile(HWND owner, const std::string& path);
// Opens the folder of paths (all in one folder) with them selected.
bool ShowInExplorer(const std::vector<std::string>& paths);
bool ShowProperties(HWND owner, const std::vector<std::string>& paths);
// Opens the default browser at a map of the point (signed degrees, north
// and east positive); only the browser goes to the network.
bool ShowOnMap(HWND owner, double latitude, double longitude);
// Degrees as the map's address writes them: a point, at most six decimals.
std::string MapDegrees(double degrees);
