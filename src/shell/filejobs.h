// The shell's file operations on threads of their own, each in its own
// apartment, so that the window keeps painting and answering while a long
// copy runs: the user may go on browsing, leave the page, or start another.
#pragma once

#include <functional>

#include "afx.h"
#include "shell/fileoperation.h"

// An operation, given the window its dialogs belong to.
using FileJob = std::function<FileOperationResult(HWND owner)>;

// Runs job on a new thread. A failure the system has not shown is told with
// the string failureMessage; once the job ends the shown page is listed again
// (a refresh command to the main window), not at a later tick.
void RunFileJob(FileJob job, UINT failureMessage);
// Tells the user that an operation failed, unless the system has (on
// Windows' own file operation it has shown its error).
void TellFileFailure(HWND owner, FileOperationResult result, UINT failureMessage);
// Waits for the jobs still running; for the end of the program, once the
// window has gone, so that no copy is cut off halfway.
void FinishFileJobs();
