// The page shown at start and by the Home command: entry 0 of the navigator.
#pragma once

#include "core/page.h"

class CHomePage : public CPage {
public:
    CHomePage() = default;

    void Load() override {}
    void Draw(CDC*, const RECT*) override {}
    void OnClick(const POINT&, bool) override {}
    std::string GetTitle() override;
};
