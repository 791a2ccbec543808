// The files and folders a process holds open, read from the system's handle
// table (Wine names them too), for tests that a folder is left free.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <string>
#include <vector>

// The paths of the file handles the process holds, as "C:\dir\name".
std::vector<std::string> OpenPaths(DWORD processId = ::GetCurrentProcessId());
// This process's own handles on path itself (case ignored).
std::vector<HANDLE> HandlesOn(const std::string& path);
// Whether one of them is path itself or lies below it (case ignored).
bool HoldsHandleOn(const std::string& path, DWORD processId = ::GetCurrentProcessId());

// What the system sends about one of those handles when its device is to go.
DEV_BROADCAST_HANDLE BroadcastFor(HANDLE handle);
