#include "shell/shortcutlink.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "afx.h"
#include "afxpath.h"
#include "comptr.h"
#include "res/resource.h"
#include "shell/settings.h"

namespace {

// SLR_NO_UI | SLR_UPDATE | SLR_NOSEARCH, with a 10 ms time-out in the high word.
constexpr DWORD kResolveFlags = 0x000A0015;
// The longest path Windows has, with its null.
constexpr size_t kLongestPath = 32768;

bool CreateShellLink(CComPtr<IShellLinkW>& link, CComPtr<IPersistFile>& file)
{
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    return SUCCEEDED(link.QueryInterface(file));
}

} // namespace

bool CShortcutLink::ResolveLink()
{
    CComPtr<IShellLinkW> link;
    CComPtr<IPersistFile> file;
    if (!CreateShellLink(link, file))
        return m_valid;
    if (FAILED(file->Load(AfxPathW(m_linkPath).c_str(), STGM_READ)))
        return m_valid;
    // Without UI no owner window is needed: listings resolve on worker
    // threads too, which must not touch a window the frame may be deleting.
    if (FAILED(link->Resolve(nullptr, kResolveFlags)))
        return m_valid;

    // A link holds a target of any length; the interface takes no size query.
    std::wstring buffer(kLongestPath, L'\0');
    WIN32_FIND_DATAW data{};
    if (SUCCEEDED(link->GetPath(buffer.data(), (int)buffer.size(), &data, 0))) {
        m_targetPath = AfxUtf8(buffer.c_str());
        m_valid = true;
    }
    buffer[0] = L'\0';
    if (SUCCEEDED(link->GetDescription(buffer.data(), (int)buffer.size())))
        m_description = AfxUtf8(buffer.c_str());
    return m_valid;
}

void CShortcutLink::SaveLink(const std::string& path)
{
    CComPtr<IShellLinkW> link;
    CComPtr<IPersistFile> file;
    if (!CreateShellLink(link, file))
        return;
    link->SetPath(AfxWide(m_targetPath).c_str());
    link->SetDescription(AfxWide(m_description).c_str());
    if (SUCCEEDED(file->Save(AfxPathW(path).c_str(), TRUE)))
        m_valid = true;
}

std::string DefaultShortcutName(const std::string& target)
{
    if (target.size() == 3 && target[1] == ':' && target[2] == '\\')
        return AfxLoadString(IDS_DRIVE_PREFIX) + target[0];
    return AfxFindFileName(target.c_str());
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
