// Setting and reading last-write times of test files.
#pragma once

#include <windows.h>

#include <string>

// A FILETIME minutes after a fixed moment, so tests order files at will.
FILETIME TimeAt(int minutes);
bool SetWriteTime(const std::string& path, const FILETIME& time);
