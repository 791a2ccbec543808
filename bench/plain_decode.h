// The reference every thumbnail figure is set beside: libjpeg-turbo's own
// decode loop, the program's defaults, into one reused row.
#pragma once

#include <string>

// Throws a message when the file cannot be opened. denominator: the
// library's scale 1/denominator (1, 2, 4 or 8).
void PlainDecode(const std::string& path, unsigned denominator = 1);
