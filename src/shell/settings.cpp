#include "settings.h"

#include <direct.h>
#include <algorithm>
#include <shlobj.h>

#include "shell/shortcutlink.h"

namespace {

const char kKey[] = "Software\\Vemoly";
constexpr DWORD kStringBuffer = 256;

// Opens or creates the key for writing.
HKEY CreateKey()
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)))
        return {};
    return path;
}

} // namespace

int ReadDword(const char* name, int defaultValue)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return defaultValue;
    DWORD value = (DWORD)defaultValue;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG status = ::RegQueryValueExA(key, name, nullptr, &type, (BYTE*)&value, &size);
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
    const LONG status = ::RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&data, sizeof data);
    ::RegCloseKey(key);
    return status;
}

std::string ReadString(const char* name, const char* defaultValue)
{
    char buffer[kStringBuffer];
    ::lstrcpynA(buffer, defaultValue, sizeof buffer);
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return buffer;
    DWORD type = 0;
    DWORD size = sizeof buffer;
    const LONG status = ::RegQueryValueExA(key, name, nullptr, &type, (BYTE*)buffer, &size);
    ::RegCloseKey(key);
    // A text that does not fit (or is not text) would leave the buffer half
    // written: the default stands instead.
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return defaultValue;
    buffer[std::min<DWORD>(size, sizeof buffer - 1)] = '\0';
    return buffer;
}

LONG WriteString(const char* name, const char* text)
{
    HKEY key = CreateKey();
    if (!key)
        return ERROR_ACCESS_DENIED;
    const LONG status = ::RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, ::lstrlenA(text) + 1);
    ::RegCloseKey(key);
    return status;
}

void CSettings::Load()
{
    const std::string appData = SpecialFolder(CSIDL_APPDATA);
    if (!appData.empty()) {
        AppDataFolder = appData + "\\Vemoly";
        _mkdir(AppDataFolder.c_str());
        HistoryFolder = AppDataFolder + "\\History";
        _mkdir(HistoryFolder.c_str());
        FavoritesFolder = AppDataFolder + "\\Favorites";
        // Only a Favorites folder that did not exist gets the defaults.
        if (_mkdir(FavoritesFolder.c_str()) == 0)
            CreateDefaultFavorites();
        CacheFolder = AppDataFolder + "\\Cache";
        _mkdir(CacheFolder.c_str());
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

std::vector<std::string> DefaultFavoriteTargets()
{
    std::vector<std::string> targets;
    for (int csidl : {CSIDL_PERSONAL | CSIDL_FLAG_CREATE, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE}) {
        if (std::string folder = SpecialFolder(csidl); !folder.empty())
            targets.push_back(std::move(folder));
    }
    char drives[MAX_PATH] = "";
    const DWORD length = ::GetLogicalDriveStringsA(sizeof drives, drives);
    if (length > 0 && length < sizeof drives) {
        for (const char* root = drives; *root; root += ::lstrlenA(root) + 1)
            targets.emplace_back(root);
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
