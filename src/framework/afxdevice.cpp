#include "afxdevice.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "afxpath.h"

namespace {

std::atomic<HWND> g_deviceWindow{nullptr};

// The registered directories, for the window to find a message's drive.
// Never destroyed: a thread may close its directory while the process ends.
class Registrations {
public:
    struct Entry {
        HANDLE handle;
        HDEVNOTIFY notify;
        DWORD drives;
    };
    void Add(const Entry& entry)
    {
        std::lock_guard guard(m_lock);
        m_entries.push_back(entry);
    }
    void Remove(HDEVNOTIFY notify)
    {
        std::lock_guard guard(m_lock);
        std::erase_if(m_entries, [notify](const Entry& entry) { return entry.notify == notify; });
    }
    DWORD DrivesOf(HANDLE handle, HDEVNOTIFY notify)
    {
        std::lock_guard guard(m_lock);
        const auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
            return entry.handle == handle || (notify && entry.notify == notify);
        });
        return found == m_entries.end() ? 0 : found->drives;
    }

private:
    std::mutex m_lock;
    std::vector<Entry> m_entries;
};

Registrations& Registered()
{
    static auto* registrations = new Registrations;  // deliberately never deleted
    return *registrations;
}

} // namespace

void AfxSetDeviceWindow(HWND window)
{
    g_deviceWindow = window;
}

HWND AfxGetDeviceWindow()
{
    return g_deviceWindow;
}

CRegisteredDirectory::CRegisteredDirectory(const std::string& folder)
{
    m_handle = AfxCreateFile(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    const HWND window = g_deviceWindow;
    if (m_handle == INVALID_HANDLE_VALUE || !window)
        return;
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = m_handle;
    m_notify = ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (m_notify)
        Registered().Add({m_handle, m_notify, AfxDriveMask(folder)});
}

CRegisteredDirectory::~CRegisteredDirectory()
{
    if (m_notify) {
        Registered().Remove(m_notify);
        ::UnregisterDeviceNotification(m_notify);
    }
    if (m_handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_handle);
}

DWORD AfxDeviceDrives(const DEV_BROADCAST_HDR* header)
{
    if (!header)
        return 0;
    switch (header->dbch_devicetype) {
    case DBT_DEVTYP_VOLUME:
        return reinterpret_cast<const DEV_BROADCAST_VOLUME*>(header)->dbcv_unitmask;
    case DBT_DEVTYP_HANDLE: {
        const auto* handle = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(header);
        return Registered().DrivesOf(handle->dbch_handle, handle->dbch_hdevnotify);
    }
    default:
        return 0;
    }
}

DWORD AfxDriveMask(const std::string& path)
{
    std::string_view rest = path;
    if (rest.starts_with("\\\\?\\"))
        rest.remove_prefix(4);
    if (rest.size() < 2 || rest[1] != ':')
        return 0;
    const char letter = (char)(rest[0] & ~0x20);
    return letter >= 'A' && letter <= 'Z' ? 1UL << (letter - 'A') : 0;
}
