#include "shell_command.h"

#include <windows.h>

#include "app_driver.h"

ReplacedShellCommand::ReplacedShellCommand(const std::string& key, const std::string& command) : m_key(key)
{
    char old[1024] = "";
    DWORD size = sizeof old;
    m_had = ::RegGetValueA(HKEY_CLASSES_ROOT, m_key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, old, &size)
         == ERROR_SUCCESS;
    m_old = old;
    Set(command);
}

ReplacedShellCommand::~ReplacedShellCommand()
{
    if (m_had)
        Set(m_old);
    else
        ::RegDeleteKeyValueA(HKEY_CLASSES_ROOT, m_key.c_str(), nullptr);
}

void ReplacedShellCommand::Set(const std::string& command)
{
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, m_key.c_str(), nullptr, REG_SZ, command.c_str(),
                      (DWORD)command.size() + 1);
}

std::string RecordingCommand(const std::string& record)
{
    return "\"" + WindowsPath(TestSetting("ORLIVANE_COMMAND_RECORDER")) + "\" \"" + record + "\" \"%1\"";
}
