// A high-contrast theme for the program in this test executable: Wine has
// none, so the system's answer to SPI_GETHIGHCONTRAST is given here (through
// the program's import of SystemParametersInfoW) for as long as the object
// lives. The program's own code runs as is.
#pragma once

#include <memory>

#include "import_patch.h"

class HighContrastTheme {
public:
    HighContrastTheme();
    // Gives the system's answer back, even when the test failed.
    ~HighContrastTheme();
    HighContrastTheme(const HighContrastTheme&) = delete;
    HighContrastTheme& operator=(const HighContrastTheme&) = delete;

    bool Applied() const { return m_patch->Applied(); }

private:
    std::unique_ptr<ImportPatch> m_patch;
};
