// The placeholder document of the single-document template. No page reads
// it; its title is the caption of the main window.
#pragma once

#include "afx.h"

class CVemolyDoc : public COleDocument {
public:
    CVemolyDoc();
    ~CVemolyDoc() override;

    // The title follows the page shown; the views tell screen readers.
    void SetTitle(const std::string& title) override;
};
