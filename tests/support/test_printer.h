// A printer for the tests: Wine's PostScript driver installed into the test
// prefix as the default printer, with every job written to one file.
#pragma once

#include <string>

// Makes the test printer (A4, 300 dpi) the default printer of this prefix,
// its port the Windows path outputFile, so that jobs land there with no
// dialog. An existing test printer is reused and pointed at outputFile.
// Wine writes over an existing file without truncating it: delete the file
// before each job. Returns false when Wine refuses.
bool InstallTestPrinter(const std::string& outputFile);

// The test printer's name.
extern const char kTestPrinterName[];
