// The program's version as people read it, from its own version resource.
#pragma once

#include <windows.h>

#include <string>

// "major.minor build N" from a fixed file-version block: the minor number has
// at least two digits and the fourth part is not shown.
std::string FormatVersion(const VS_FIXEDFILEINFO& info);

// The version of the running program's module; empty when it has no version resource.
std::string GetVersionString();

// The maker's legal notice (LegalCopyright) of the running program's module, as UTF-8;
// empty when it has none.
std::string GetLegalCopyright();
