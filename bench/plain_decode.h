// The reference every thumbnail figure is set beside: libjpeg-turbo's own
// decode loop, the program's defaults, into one reused row.
#pragma once

#include <string>

// Throws a message when the file cannot be opened.
void PlainDecode(const std::string& path);
