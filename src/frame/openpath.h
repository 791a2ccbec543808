// A folder or a picture opened by its path, from File Open or the command
// line: its page becomes the current one and the path goes into History.
#pragma once

#include <string>

// False when nothing is at path, or only a file that is not a picture;
// failures after the page shows are quiet.
bool OpenPathInPage(const std::string& path);
