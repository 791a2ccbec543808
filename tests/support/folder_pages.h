// Folder pages of the running program, opened as the user opens them.
#pragma once

#include <string>

class CFolderPage;

// The folder at path shown as the current page; the navigator owns it.
CFolderPage* OpenFolderPage(const std::string& folder);
// Back on the Home page with every page after it discarded, their makers
// stopped.
void BackToHome();
