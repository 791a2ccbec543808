#include "shell/filedata.h"

#include <shlobj.h>

#include <atomic>
#include <cstring>

#include "afxpath.h"
#include "shell/shellmemory.h"

namespace {

UINT PreferredDropEffectFormat()
{
    static const UINT format = ::RegisterClipboardFormatW(L"Preferred DropEffect");
    return format;
}

UINT ShellIdListFormat()
{
    static const UINT format = ::RegisterClipboardFormatW(L"Shell IDList Array");
    return format;
}

HGLOBAL GlobalCopy(const void* bytes, size_t size)
{
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!global)
        return nullptr;
    if (void* to = ::GlobalLock(global)) {
        std::memcpy(to, bytes, size);
        ::GlobalUnlock(global);
        return global;
    }
    ::GlobalFree(global);
    return nullptr;
}

HGLOBAL GlobalCopy(HGLOBAL from)
{
    const void* bytes = ::GlobalLock(from);
    if (!bytes)
        return nullptr;
    HGLOBAL copy = GlobalCopy(bytes, ::GlobalSize(from));
    ::GlobalUnlock(from);
    return copy;
}

// DROPFILES and the paths after it, each ended by a null, then one more.
HGLOBAL MakeDropFiles(const std::vector<std::wstring>& paths)
{
    std::wstring list;
    for (const std::wstring& path : paths)
        list += path + L'\0';
    list += L'\0';
    std::string bytes(sizeof(DROPFILES) + list.size() * sizeof(wchar_t), '\0');
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, list.data(), list.size() * sizeof(wchar_t));
    return GlobalCopy(bytes.data(), bytes.size());
}

// The shell's CIDA: the desktop as the parent, each item's absolute list.
HGLOBAL MakeIdList(const std::vector<ItemIdList>& items)
{
    const size_t header = sizeof(UINT) * (items.size() + 2);
    std::string bytes(header, '\0');
    std::vector<UINT> offsets;
    offsets.push_back((UINT)bytes.size());
    bytes.append(sizeof(USHORT), '\0');  // the desktop: an empty list
    for (const ItemIdList& item : items) {
        offsets.push_back((UINT)bytes.size());
        bytes.append(reinterpret_cast<const char*>(item.get()), ::ILGetSize(item.get()));
    }
    const UINT count = (UINT)items.size();
    std::memcpy(bytes.data(), &count, sizeof count);
    std::memcpy(bytes.data() + sizeof(UINT), offsets.data(), offsets.size() * sizeof(UINT));
    return GlobalCopy(bytes.data(), bytes.size());
}

// Holds its formats as memory; what a drop target or the shell sets (the
// performed effect, a drag image) is kept and given back like the rest.
// The shell's ID list is made when first asked for: the system may take
// long to parse each path of a big folder, and most programs read only
// the paths.
class CFileDataObject final : public IDataObject {
public:
    explicit CFileDataObject(std::vector<std::wstring> paths) : m_paths(std::move(paths)) {}

    ~CFileDataObject()
    {
        for (Format& format : m_formats)
            ::GlobalFree(format.global);
    }

    // Takes global.
    void Put(UINT format, HGLOBAL global)
    {
        for (Format& held : m_formats) {
            if (held.format == format) {
                ::GlobalFree(held.global);
                held.global = global;
                return;
            }
        }
        m_formats.push_back(Format{format, global});
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    // While the clipboard is flushed at exit only a list quick to make is made.
    void SetFlushing(bool flushing) { m_flushing = flushing; }

    STDMETHODIMP GetData(FORMATETC* wanted, STGMEDIUM* medium) override
    {
        if (wanted->cfFormat == ShellIdListFormat() && !m_idListMade && Find(wanted) == nullptr)
            MakeIdListNow();
        const Format* format = Find(wanted);
        if (!format)
            return DV_E_FORMATETC;
        HGLOBAL copy = GlobalCopy(format->global);
        if (!copy)
            return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* wanted) override
    {
        return Find(wanted) || (Offered(wanted) && !m_idListMade) ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override
    {
        if (format->tymed != TYMED_HGLOBAL || medium->tymed != TYMED_HGLOBAL)
            return E_NOTIMPL;
        HGLOBAL global = release ? medium->hGlobal : GlobalCopy(medium->hGlobal);
        if (!global)
            return E_OUTOFMEMORY;
        if (release && medium->pUnkForRelease)
            medium->pUnkForRelease->Release();  // the memory is ours now, its owner's hold is not
        Put(format->cfFormat, global);
        return S_OK;
    }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override
    {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        std::vector<FORMATETC> list;
        for (const Format& format : m_formats)
            list.push_back(FORMATETC{(CLIPFORMAT)format.format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
        if (!m_idListMade)
            list.push_back(FORMATETC{(CLIPFORMAT)ShellIdListFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
        return ::SHCreateStdEnumFmtEtc((UINT)list.size(), list.data(), formats);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    struct Format {
        UINT format;
        HGLOBAL global;
    };

    const Format* Find(const FORMATETC* wanted) const
    {
        if (!(wanted->tymed & TYMED_HGLOBAL) || wanted->dwAspect != DVASPECT_CONTENT)
            return nullptr;
        for (const Format& format : m_formats) {
            if (format.format == wanted->cfFormat)
                return &format;
        }
        return nullptr;
    }

    // The ID list not yet made, still to be offered.
    bool Offered(const FORMATETC* wanted) const
    {
        return wanted->cfFormat == ShellIdListFormat() && (wanted->tymed & TYMED_HGLOBAL)
               && wanted->dwAspect == DVASPECT_CONTENT;
    }

    void MakeIdListNow()
    {
        m_idListMade = true;
        if (m_flushing && m_paths.size() > kQuickIdList)
            return;
        std::vector<ItemIdList> items;
        for (const std::wstring& path : m_paths) {
            items.push_back(ParsePath(path));
            if (!items.back())
                return;  // a file that is gone: the paths still go
        }
        if (HGLOBAL list = MakeIdList(items))
            Put(ShellIdListFormat(), list);
    }

    static constexpr size_t kQuickIdList = 256;
    std::atomic<ULONG> m_references{1};
    std::vector<Format> m_formats;
    std::vector<std::wstring> m_paths;
    bool m_idListMade = false;
    bool m_flushing = false;
};

// The data this program last put on the clipboard.
CFileDataObject* g_clipboardData = nullptr;

// Ends the drag where the shell's own drags end: Esc cancels, letting go of
// the button drops.
class CDropSource final : public IDropSource {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDropSource) {
            *object = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return (keys & (MK_LBUTTON | MK_RBUTTON)) ? S_OK : DRAGDROP_S_DROP;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    std::atomic<ULONG> m_references{1};
};

DWORD ReadEffect(IDataObject* data)
{
    FORMATETC format{(CLIPFORMAT)PreferredDropEffectFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium)))
        return DROPEFFECT_COPY;
    DWORD effect = DROPEFFECT_COPY;
    if (const auto* value = static_cast<const DWORD*>(::GlobalLock(medium.hGlobal))) {
        if (::GlobalSize(medium.hGlobal) >= sizeof(DWORD))
            effect = *value;
        ::GlobalUnlock(medium.hGlobal);
    }
    ::ReleaseStgMedium(&medium);
    return (effect & DROPEFFECT_MOVE) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
}

} // namespace

namespace {

CFileDataObject* NewFileData(const std::vector<std::string>& paths, DWORD effect)
{
    if (paths.empty())
        return nullptr;
    std::vector<std::wstring> wide;
    wide.reserve(paths.size());
    // The plain form: other programs read these paths as they are.
    for (const std::string& path : paths)
        wide.push_back(AfxWide(path));
    HGLOBAL drop = MakeDropFiles(wide);
    if (!drop)
        return nullptr;
    auto* data = new CFileDataObject(std::move(wide));
    data->Put(CF_HDROP, drop);
    if (effect != DROPEFFECT_NONE)
        data->Put(PreferredDropEffectFormat(), GlobalCopy(&effect, sizeof effect));
    return data;
}

} // namespace

CComPtr<IDataObject> MakeFileData(const std::vector<std::string>& paths, DWORD effect)
{
    CComPtr<IDataObject> result;
    *&result = NewFileData(paths, effect);
    return result;
}

std::vector<std::string> FilesOf(IDataObject* data, DWORD* preferredEffect)
{
    std::vector<std::string> files;
    if (preferredEffect)
        *preferredEffect = DROPEFFECT_COPY;
    if (!data)
        return files;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium)))
        return files;
    if (auto drop = static_cast<HDROP>(medium.hGlobal)) {
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring path(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
            ::DragQueryFileW(drop, i, path.data(), (UINT)path.size() + 1);
            if (!path.empty())
                files.push_back(AfxUtf8(path));
        }
    }
    ::ReleaseStgMedium(&medium);
    if (preferredEffect)
        *preferredEffect = ReadEffect(data);
    return files;
}

bool PutFilesOnClipboard(const std::vector<std::string>& paths, bool cut)
{
    CComPtr<IDataObject> data;
    CFileDataObject* files = NewFileData(paths, cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY);
    *&data = files;
    if (!data || FAILED(::OleSetClipboard(data.Get())))
        return false;
    // Held by the clipboard until another program's data replaces it.
    g_clipboardData = files;
    return true;
}

void KeepClipboardFiles()
{
    if (!g_clipboardData)
        return;
    auto* data = static_cast<IDataObject*>(g_clipboardData);
    if (::OleIsCurrentClipboard(data) == S_OK) {
        g_clipboardData->SetFlushing(true);
        ::OleFlushClipboard();
    }
    g_clipboardData = nullptr;
}

bool ClipboardHasFiles()
{
    return ::IsClipboardFormatAvailable(CF_HDROP) != FALSE;
}

std::vector<std::string> FilesOnClipboard(DWORD* preferredEffect)
{
    CComPtr<IDataObject> data;
    if (FAILED(::OleGetClipboard(&data)))
        return {};
    return FilesOf(data.Get(), preferredEffect);
}

DWORD DragFiles(const std::vector<std::string>& paths, DWORD allowedEffects)
{
    // No preferred effect: the target moves or copies as it would for Explorer's own drag.
    CComPtr<IDataObject> data = MakeFileData(paths, DROPEFFECT_NONE);
    if (!data)
        return DROPEFFECT_NONE;
    CComPtr<IDropSource> source;
    *&source = new CDropSource;
    DWORD effect = DROPEFFECT_NONE;
    if (::DoDragDrop(data.Get(), source.Get(), allowedEffects, &effect) != DRAGDROP_S_DROP)
        return DROPEFFECT_NONE;
    return effect;
}
