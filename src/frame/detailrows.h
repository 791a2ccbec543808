// The details pane's rows: a label and a value for each fact a file has.
#pragma once

#include <string>
#include <vector>

#include "afx.h"
#include "frame/detailsreader.h"

struct DetailRow {
    UINT label;  // IDS_DETAILS_*
    std::string value;
};

// In the pane's order, leaving out what the file lacks: a folder gives its
// name and type, a file that is gone its name and where it was.
std::vector<DetailRow> DetailRows(const FileDetails& details);
// Signed degrees as a pane shows them: "48.8584° N".
std::string DegreesText(double degrees, bool latitude);
