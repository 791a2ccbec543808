// The frame's commands that lead out of the window: a folder picked to
// open, a favorite, the Favorites folder in Explorer, and the support mail.
#include "frame/mainframe.h"

#include <shellapi.h>

#include <cstdio>

#include "catalog/folderentry.h"
#include "core/navigator.h"
#include "folderpage/folderpage.h"
#include "frame/favoritesmenu.h"
#include "frame/openpath.h"
#include "pages/picturepage.h"
#include "res/resource.h"
#include "shell/folderpicker.h"
#include "shell/settings.h"
#include "shell/version.h"

namespace {
const char kSupportAddress[] = "support@orlivane.example";
}

void CMainFrame::OnFileOpen()
{
    const std::string path =
        PickFolder(m_hWnd, ReadString("SlideShowDir", ""), AfxLoadString(IDS_OPEN_FOLDER_TITLE));
    if (path.empty())
        return;
    try {
        WriteString("SlideShowDir", path.c_str());
        OpenPathInPage(path);
    } catch (...) {
        // Failures are quiet; whatever was done stays.
    }
}

void CMainFrame::OnFavorite(UINT id)
{
    const CFolderEntry* entry = m_favoritesMenu ? m_favoritesMenu->LookupItem(id) : nullptr;
    if (!entry)
        return;
    CPage* page = nullptr;
    if (entry->IsFile())
        page = new CPicturePage(*entry);
    else if (entry->IsFolder())
        page = new CFolderPage(*entry);
    if (page)
        g_navigator.Navigate(page);
}

void CMainFrame::OnManageFavorites()
{
    // The command line as ever, in UTF-16, so that a folder of any name reaches Explorer.
    std::wstring command = L"explorer.exe \"" + AfxWide(g_settings.FavoritesFolder) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
}

void CMainFrame::OnEmailSupport()
{
    OSVERSIONINFOA os{};
    os.dwOSVersionInfoSize = sizeof os;
    ::GetVersionExA(&os);
    const char* family;
    switch (os.dwPlatformId) {
    case 0:  family = "Win32s"; break;
    case 1:  family = "Win 95/98/ME"; break;
    case 2:  family = "Win NT/2000/XP"; break;
    default: family = "Unknown"; break;
    }
    const std::string format = std::string("mailto:") + kSupportAddress
        + "?subject=Support for Orlivane %s&body=Essential Support Information: OS: %s %d.%d.%d %s";
    const std::string version = GetVersionString();
    const int length = std::snprintf(nullptr, 0, format.c_str(), version.c_str(), family,
                                     (int)os.dwMajorVersion, (int)os.dwMinorVersion,
                                     (int)os.dwBuildNumber, os.szCSDVersion);
    if (length < 0)
        return;
    std::string link((size_t)length + 1, '\0');
    std::snprintf(link.data(), link.size(), format.c_str(), version.c_str(), family,
                  (int)os.dwMajorVersion, (int)os.dwMinorVersion, (int)os.dwBuildNumber,
                  os.szCSDVersion);
    link.resize((size_t)length);
    ::ShellExecuteW(m_hWnd, nullptr, AfxWide(link).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
