// The command the shell runs for one verb of a class (a link protocol, a
// folder), replaced in HKEY_CLASSES_ROOT for the life of the object, so that
// a test records what the program hands the shell instead of starting it.
#pragma once

#include <string>

class ReplacedShellCommand {
public:
    // key: under HKEY_CLASSES_ROOT, e.g. "mailto\\shell\\open\\command".
    ReplacedShellCommand(const std::string& key, const std::string& command);
    ~ReplacedShellCommand();
    ReplacedShellCommand(const ReplacedShellCommand&) = delete;
    ReplacedShellCommand& operator=(const ReplacedShellCommand&) = delete;

private:
    void Set(const std::string& command);

    std::string m_key;
    bool m_had = false;
    std::string m_old;
};

// The command line that makes the recording program (ORLIVANE_COMMAND_RECORDER)
// write the item the shell passes as %1 into the file record.
std::string RecordingCommand(const std::string& record);
