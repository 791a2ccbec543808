// The Recycle Bin as the shell lists it, and the system's confirmation of
// a deletion answered.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shell/fileoperation.h"

// The names of what the Recycle Bin holds. COM on the calling thread.
std::vector<std::string> RecycleBinNames();
bool InRecycleBin(const std::string& name);
// Runs operation on this thread, saying Yes to the system's confirmation if it asks.
FileOperationResult Confirmed(const std::function<FileOperationResult()>& operation);
