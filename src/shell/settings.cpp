#include "settings.h"

#include <algorithm>
#include <shlobj.h>
#include <knownfolders.h>

#include "afxpath.h"

#include "shell/shortcutlink.h"

namespace {

const wchar_t kKey[] = L"Software\\Vemoly";

// The order's key and, in this bit, its direction, as one value.
const char kSortOrder[] = "SortOrder";
constexpr int kSortDescending = 0x100;
const char kDetailsPane[] = "DetailsPane";

// Keys a folder page orders by; the History's own (3) is none of them.
bool IsFolderOrder(int order)
{
    return order == 0 || order == 1 || order == 2 || order == 4 || order == 5;
}

// Opens or creates the key for writing.
HKEY CreateKey()
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// A known folder of any length; empty when there is none.
std::string SpecialFolder(REFKNOWNFOLDERID id, DWORD flags = 0)
{
    wchar_t* path = nullptr;
    const HRESULT found = ::SHGetKnownFolderPath(id, flags, nullptr, &path);
    std::string folder = SUCCEEDED(found) && path ? AfxUtf8(path) : std::string();
    ::CoTaskMemFree(path);
    return folder;
}

} // namespace

int ReadDword(const char* name, int defaultValue)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return defaultValue;
    DWORD value = (DWORD)defaultValue;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG status = ::RegQueryValueExW(key, AfxWide(name).c_str(), nullptr, &type, (BYTE*)&value, &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return defaultValue;
    return (int)value;
}

LONG WriteDword(const char* name, int value)
{
    HKEY key = CreateKey();
    if (!key)
        return ERROR_ACCESS_DENIED;
    const DWORD data = (DWORD)value;
    const LONG status = ::RegSetValueExW(key, AfxWide(name).c_str(), 0, REG_DWORD, (const BYTE*)&data, sizeof data);
    ::RegCloseKey(key);
    return status;
}

std::string ReadString(const char* name, const char* defaultValue)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return defaultValue;
    std::string value;
    const LONG status = AfxRegQueryString(key, name, value);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS ? value : defaultValue;
}

LONG WriteString(const char* name, const char* text)
{
    HKEY key = CreateKey();
    if (!key)
        return ERROR_ACCESS_DENIED;
    const LONG status = AfxRegSetString(key, name, text);
    ::RegCloseKey(key);
    return status;
}

void CSettings::Load()
{
    const std::string appData = SpecialFolder(FOLDERID_RoamingAppData);
    if (!appData.empty()) {
        AppDataFolder = appData + "\\Vemoly";
        AfxCreateDirectory(AppDataFolder);
        HistoryFolder = AppDataFolder + "\\History";
        AfxCreateDirectory(HistoryFolder);
        FavoritesFolder = AppDataFolder + "\\Favorites";
        // Only a Favorites folder that did not exist gets the defaults.
        if (AfxCreateDirectory(FavoritesFolder))
            CreateDefaultFavorites();
        CacheFolder = AppDataFolder + "\\Cache";
        AfxCreateDirectory(CacheFolder);
    }

    UserInit = ReadDword("UserInit", UserInit) != 0;
    Delay = ReadDword("Delay", Delay);
    Loop = ReadDword("Loop", Loop) != 0;
    HistoryCount = ReadDword("HistoryCount", HistoryCount);
    CmdShow = ReadDword("CmdShow", CmdShow);
    MainWndLeft = ReadDword("MainWndLeft", MainWndLeft);
    MainWndTop = ReadDword("MainWndTop", MainWndTop);
    MainWndRight = ReadDword("MainWndRight", MainWndRight);
    MainWndBottom = ReadDword("MainWndBottom", MainWndBottom);
    const int sort = ReadDword(kSortOrder, SortOrder);
    if (IsFolderOrder(sort & ~kSortDescending)) {
        SortOrder = sort & ~kSortDescending;
        SortDescending = (sort & kSortDescending) != 0;
    }
    DetailsPane = ReadDword(kDetailsPane, DetailsPane) != 0;
    if (!UserInit)
        UserInit = true;
    Loaded = true;
}

void CSettings::Save() const
{
    WriteDword("UserInit", UserInit);
    WriteDword("Delay", Delay);
    WriteDword("Loop", Loop);
    WriteDword("HistoryCount", HistoryCount);
    WriteDword("CmdShow", CmdShow);
    WriteDword("MainWndLeft", MainWndLeft);
    WriteDword("MainWndTop", MainWndTop);
    WriteDword("MainWndRight", MainWndRight);
    WriteDword("MainWndBottom", MainWndBottom);
}

void CSettings::SaveSortOrder() const
{
    WriteDword(kSortOrder, SortOrder | (SortDescending ? kSortDescending : 0));
}

void CSettings::SaveDetailsPane() const
{
    WriteDword(kDetailsPane, DetailsPane);
}

std::vector<std::string> DefaultFavoriteTargets()
{
    std::vector<std::string> targets;
    for (const KNOWNFOLDERID* id : {&FOLDERID_Documents, &FOLDERID_Pictures}) {
        if (std::string folder = SpecialFolder(*id, KF_FLAG_CREATE); !folder.empty())
            targets.push_back(std::move(folder));
    }
    // Four units a drive ("C:\\" and its null), and the closing null.
    wchar_t drives[26 * 4 + 1] = L"";
    const DWORD length = ::GetLogicalDriveStringsW(ARRAYSIZE(drives), drives);
    if (length > 0 && length < ARRAYSIZE(drives)) {
        for (const wchar_t* root = drives; *root; root += ::lstrlenW(root) + 1)
            targets.push_back(AfxUtf8(root));
    }
    return targets;
}

void CreateDefaultFavorites()
{
    for (const std::string& target : DefaultFavoriteTargets()) {
        CShortcutLink link;
        link.m_targetPath = target;
        AddToFavorites(link);
    }
}
