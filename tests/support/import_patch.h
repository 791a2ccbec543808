// Stands in for a system function as the program in this test executable
// sees it: its import table entry for dll!function is pointed elsewhere for
// as long as the patch lives, so that the program's own code runs as is
// against a system answer Wine cannot give (a high-contrast theme, say).
#pragma once

#include <windows.h>

class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Applied() const { return m_slot != nullptr; }
    // The function the entry held before.
    void* Original() const { return m_original; }

private:
    void Write(void* value);

    void** m_slot = nullptr;
    void* m_original = nullptr;
};
