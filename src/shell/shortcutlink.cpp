#include "shell/shortcutlink.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "afx.h"
#include "comptr.h"
#include "res/resource.h"
#include "shell/settings.h"

namespace {

// SLR_NO_UI | SLR_UPDATE | SLR_NOSEARCH, with a 10 ms time-out in the high word.
constexpr DWORD kResolveFlags = 0x000A0015;

bool ToWide(const std::string& path, wchar_t (&wide)[MAX_PATH])
{
    return ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) > 0;
}

bool CreateShellLink(CComPtr<IShellLinkA>& link, CComPtr<IPersistFile>& file)
{
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link))))
        return false;
    return SUCCEEDED(link.QueryInterface(file));
}

} // namespace

bool CShortcutLink::ResolveLink()
{
    CComPtr<IShellLinkA> link;
    CComPtr<IPersistFile> file;
    wchar_t widePath[MAX_PATH];
    if (!CreateShellLink(link, file) || !ToWide(m_linkPath, widePath))
        return m_valid;
    if (FAILED(file->Load(widePath, STGM_READ)))
        return m_valid;
    CWnd* main = AfxGetMainWnd();
    if (FAILED(link->Resolve(main ? main->m_hWnd : nullptr, kResolveFlags)))
        return m_valid;

    char buffer[MAX_PATH] = "";
    WIN32_FIND_DATAA data{};
    if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, &data, 0))) {
        m_targetPath = buffer;
        m_valid = true;
    }
    buffer[0] = '\0';
    if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH)))
        m_description = buffer;
    return m_valid;
}

void CShortcutLink::SaveLink(const std::string& path)
{
    CComPtr<IShellLinkA> link;
    CComPtr<IPersistFile> file;
    wchar_t widePath[MAX_PATH];
    if (!CreateShellLink(link, file) || !ToWide(path, widePath))
        return;
    link->SetPath(m_targetPath.c_str());
    link->SetDescription(m_description.c_str());
    if (SUCCEEDED(file->Save(widePath, TRUE)))
        m_valid = true;
}

std::string DefaultShortcutName(const std::string& target)
{
    if (target.size() == 3 && target[1] == ':' && target[2] == '\\')
        return AfxLoadString(IDS_DRIVE_PREFIX) + target[0];
    return ::PathFindFileNameA(target.c_str());
}

void AddShortcut(const std::string* name, CShortcutLink& link, const std::string& folder)
{
    const std::string fileName = name ? *name : DefaultShortcutName(link.m_targetPath);
    link.SaveLink(folder + "\\" + fileName + ".lnk");
}

void AddToHistory(CShortcutLink& link)
{
    AddShortcut(nullptr, link, g_settings.HistoryFolder);
}

void AddToFavorites(CShortcutLink& link)
{
    AddShortcut(nullptr, link, g_settings.FavoritesFolder);
}
