// What the details pane shows of a file or folder, read off the
// user-interface thread: the latest request wins, and the worker goes with
// its owner after a short wait at most.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "afx.h"
#include "imaging/picturefacts.h"

struct FileDetails {
    std::string path;
    bool exists = false;
    bool folder = false;
    std::string kind;     // the shell's name of its type
    PictureFacts facts;   // a file's length, and what its header says
};

// Reads path's details: the attributes, the type's name and a file's header.
FileDetails ReadFileDetails(const std::string& path, const StopRequest& stop = {});

class CBackgroundThread;

class CDetailsReader {
public:
    // Each result read is announced by posting message to window.
    CDetailsReader(HWND window, UINT message);
    // Nothing is posted once it returns; the worker is waited for a moment.
    ~CDetailsReader();
    CDetailsReader(const CDetailsReader&) = delete;
    CDetailsReader& operator=(const CDetailsReader&) = delete;

    // Reads path next, giving up the one being read.
    void Request(const std::string& path);
    // The details of the latest request, once read; each result is taken once.
    std::optional<FileDetails> Take();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<CBackgroundThread> m_thread;  // started at the first request
};
