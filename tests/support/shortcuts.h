// Shortcut files written and read as the shell does, with COM taken for
// the call.
#pragma once

#include <string>

// Writes a shortcut at link to target and returns link; a shortcut that
// could not be written fails the test.
std::string WriteShortcut(const std::string& link, const std::string& target);
// The target of a shortcut file, empty when it cannot be read.
std::string ShortcutTarget(const std::string& link);
