// Where the program keeps what it remembers for the user of the prefix: its
// registry key under HKEY_CURRENT_USER and its application-data folder.
#pragma once

#include <string>

extern const char kProgramKey[];

// The program's folder of the user's application data.
std::string AppDataVemoly();
// Sets a DWORD value of the program's key.
void SetDword(const char* name, int value);
