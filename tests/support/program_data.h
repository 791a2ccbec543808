// Where the program keeps what it remembers for the user of the prefix: its
// registry key under HKEY_CURRENT_USER and its application-data folder.
#pragma once

#include <windows.h>

#include <string>

extern const char kProgramKey[];

// The program's folder of the user's application data.
std::string AppDataVemoly();
// Sets a DWORD value of the program's key.
void SetDword(const char* name, int value);

// A DWORD value of the program's key for the life of the object, then the
// one before (or none), so that a test that fails halfway leaves it to
// the next as it found it. A program closed normally writes its own first.
class ScopedDword {
public:
    ScopedDword(const char* name, int value);
    ~ScopedDword();
    ScopedDword(const ScopedDword&) = delete;
    ScopedDword& operator=(const ScopedDword&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    DWORD m_old = 0;
};
