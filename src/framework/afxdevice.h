// Directories held open so that the program's window hears of their
// volume's removal in time to let go of it: the system asks each window
// registered for a handle on the volume (DBT_DEVTYP_HANDLE) before the
// volume goes. A change notification handle cannot be registered, so a
// watched folder is opened a second time, as a directory.
#pragma once

#include <string>

#include "afxbase.h"

#include <dbt.h>

// The window device messages go to: the main frame's, set once it exists
// and cleared before it goes. Without one, directories open unregistered.
void AfxSetDeviceWindow(HWND window);
HWND AfxGetDeviceWindow();

// One directory, open and registered from construction to destruction. It
// is closed by whoever opened it, on that thread, never from outside.
class CRegisteredDirectory {
public:
    // Opens folder sharing read, write and delete, so that everything in it
    // stays free for other programs, and registers the handle.
    explicit CRegisteredDirectory(const std::string& folder);
    // Unregisters, then closes: the system must not send a message for a
    // handle that is no longer open.
    ~CRegisteredDirectory();
    CRegisteredDirectory(const CRegisteredDirectory&) = delete;
    CRegisteredDirectory& operator=(const CRegisteredDirectory&) = delete;

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool IsRegistered() const { return m_notify != nullptr; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;  // owned
    HDEVNOTIFY m_notify = nullptr;           // owned
};

// The drives (bit 0 is A:) a device message is about: a volume's units, or
// the drive of a directory registered above. 0 for anything else, such as
// a handle already let go of.
DWORD AfxDeviceDrives(const DEV_BROADCAST_HDR* header);
// The drive of a path ("E:\..." or "\\?\E:\...") as a mask of one bit; 0
// for a share or a relative path.
DWORD AfxDriveMask(const std::string& path);
