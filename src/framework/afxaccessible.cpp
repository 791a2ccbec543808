#include "afxaccessible.h"

#include "afxchildenum.h"

namespace {

BSTR MakeBstr(const std::string& utf8)
{
    const std::wstring wide = AfxWide(utf8);
    return ::SysAllocStringLen(wide.c_str(), (UINT)wide.size());
}

void SetChild(VARIANT* result, int index)
{
    result->vt = VT_I4;
    result->lVal = index < 0 ? CHILDID_SELF : index + 1;
}

bool Intersects(const RECT& a, const RECT& b)
{
    RECT common;
    return ::IntersectRect(&common, &a, &b) != FALSE;
}

} // namespace

int CAccessibleSource::ItemAt(POINT screen)
{
    for (int i = 0, count = GetItemCount(); i < count; ++i) {
        CAccessibleItem item;
        if (GetItem(i, &item) && ::PtInRect(&item.screen, screen))
            return i;
    }
    return -1;
}

CAccessibleList* CAccessibleList::Create(HWND hWnd, std::unique_ptr<CAccessibleSource> source)
{
    return new CAccessibleList(hWnd, std::move(source));
}

CAccessibleList::CAccessibleList(HWND hWnd, std::unique_ptr<CAccessibleSource> source)
    : m_hWnd(hWnd), m_source(std::move(source))
{
}

LRESULT CAccessibleList::Answer(WPARAM wParam)
{
    if (!m_source)
        return 0;
    return ::LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(this));
}

void CAccessibleList::Disconnect()
{
    if (!m_source)
        return;
    m_source.reset();
    // Clients in other processes hold proxies: their stubs go now, and with
    // them the references the stubs hold.
    ::CoDisconnectObject(static_cast<IAccessible*>(this), 0);
}

HRESULT CAccessibleList::Check(const VARIANT& child, int* index) const
{
    if (!m_source)
        return RPC_E_DISCONNECTED;
    if (child.vt != VT_I4)
        return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF) {
        *index = -1;
        return S_OK;
    }
    if (child.lVal < 1 || child.lVal > m_source->GetItemCount())
        return E_INVALIDARG;
    *index = child.lVal - 1;
    return S_OK;
}

HRESULT CAccessibleList::ItemText(const VARIANT& child, BSTR* text, std::string CAccessibleItem::*field,
                                  bool listHasIt) const
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    int index;
    const HRESULT hr = Check(child, &index);
    if (FAILED(hr))
        return hr;
    if (index < 0) {
        if (!listHasIt)
            return S_FALSE;
        *text = MakeBstr(m_source->GetListName());
        return S_OK;
    }
    CAccessibleItem item;
    if (!m_source->GetItem(index, &item))
        return E_INVALIDARG;
    *text = MakeBstr(item.*field);
    return S_OK;
}

HRESULT CAccessibleList::NoText(const VARIANT& child, BSTR* text, HRESULT answer) const
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    int index;
    const HRESULT hr = Check(child, &index);
    return FAILED(hr) ? hr : answer;
}

// ---------------------------------------------------------------- IUnknown

STDMETHODIMP CAccessibleList::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CAccessibleList::AddRef()
{
    return (ULONG)::InterlockedIncrement(&m_refs);
}

STDMETHODIMP_(ULONG) CAccessibleList::Release()
{
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return (ULONG)refs;
}

// ---------------------------------------------------------------- IDispatch

STDMETHODIMP CAccessibleList::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CAccessibleList::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP CAccessibleList::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
STDMETHODIMP CAccessibleList::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

// ---------------------------------------------------------------- IAccessible

STDMETHODIMP CAccessibleList::get_accParent(IDispatch** parent)
{
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    if (!m_source)
        return RPC_E_DISCONNECTED;
    // The window itself, with its frame, is the client area's parent.
    return ::CreateStdAccessibleObject(m_hWnd, OBJID_WINDOW, IID_IDispatch,
                                       reinterpret_cast<void**>(parent));
}

STDMETHODIMP CAccessibleList::get_accChildCount(long* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    if (!m_source)
        return RPC_E_DISCONNECTED;
    *count = m_source->GetItemCount();
    return S_OK;
}

STDMETHODIMP CAccessibleList::get_accChild(VARIANT child, IDispatch** dispatch)
{
    if (!dispatch)
        return E_POINTER;
    *dispatch = nullptr;
    int index;
    const HRESULT hr = Check(child, &index);
    if (FAILED(hr))
        return hr;
    if (index < 0) {
        *dispatch = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    return S_FALSE;  // the items are simple elements of this object
}

STDMETHODIMP CAccessibleList::get_accName(VARIANT child, BSTR* name)
{
    return ItemText(child, name, &CAccessibleItem::name, true);
}

STDMETHODIMP CAccessibleList::get_accValue(VARIANT child, BSTR* value)
{
    return NoText(child, value, DISP_E_MEMBERNOTFOUND);
}

STDMETHODIMP CAccessibleList::get_accDescription(VARIANT child, BSTR* description)
{
    return ItemText(child, description, &CAccessibleItem::description, false);
}

STDMETHODIMP CAccessibleList::get_accRole(VARIANT child, VARIANT* role)
{
    if (!role)
        return E_POINTER;
    ::VariantInit(role);
    int index;
    const HRESULT hr = Check(child, &index);
    if (FAILED(hr))
        return hr;
    role->vt = VT_I4;
    role->lVal = index < 0 ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM;
    return S_OK;
}

STDMETHODIMP CAccessibleList::get_accState(VARIANT child, VARIANT* state)
{
    if (!state)
        return E_POINTER;
    ::VariantInit(state);
    int index;
    const HRESULT hr = Check(child, &index);
    if (FAILED(hr))
        return hr;
    const bool hasFocus = ::GetFocus() == m_hWnd;
    LONG bits = 0;
    if (index < 0) {
        bits = STATE_SYSTEM_FOCUSABLE;
        if (hasFocus)
            bits |= STATE_SYSTEM_FOCUSED;
        if (!::IsWindowVisible(m_hWnd))
            bits |= STATE_SYSTEM_INVISIBLE;
    } else {
        CAccessibleItem item;
        if (!m_source->GetItem(index, &item))
            return E_INVALIDARG;
        bits = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_MULTISELECTABLE
             | STATE_SYSTEM_EXTSELECTABLE;
        const bool focused = m_source->GetFocusedItem() == index;
        if (m_source->GetSelectedCount() > 0 ? item.selected : focused)
            bits |= STATE_SYSTEM_SELECTED;
        if (focused && hasFocus)
            bits |= STATE_SYSTEM_FOCUSED;
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
        if (!Intersects(item.screen, client))
            bits |= STATE_SYSTEM_OFFSCREEN;
    }
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
}

STDMETHODIMP CAccessibleList::get_accHelp(VARIANT child, BSTR* help)
{
    return NoText(child, help, S_FALSE);
}

STDMETHODIMP CAccessibleList::get_accHelpTopic(BSTR* file, VARIANT child, long* topic)
{
    if (!file || !topic)
        return E_POINTER;
    *file = nullptr;
    *topic = 0;
    int index;
    const HRESULT hr = Check(child, &index);
    return FAILED(hr) ? hr : S_FALSE;
}

STDMETHODIMP CAccessibleList::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    return NoText(child, shortcut, S_FALSE);
}

STDMETHODIMP CAccessibleList::get_accFocus(VARIANT* child)
{
    if (!child)
        return E_POINTER;
    ::VariantInit(child);
    if (!m_source)
        return RPC_E_DISCONNECTED;
    if (::GetFocus() != m_hWnd)
        return S_FALSE;  // VT_EMPTY: the focus is elsewhere
    SetChild(child, m_source->GetFocusedItem());
    return S_OK;
}

STDMETHODIMP CAccessibleList::get_accSelection(VARIANT* children)
{
    if (!children)
        return E_POINTER;
    ::VariantInit(children);
    if (!m_source)
        return RPC_E_DISCONNECTED;
    if (m_source->GetSelectedCount() == 0) {
        // The focused item is the one selected.
        const int focused = m_source->GetFocusedItem();
        if (focused < 0)
            return S_FALSE;
        SetChild(children, focused);
        return S_OK;
    }
    const std::vector<int> selected = m_source->GetSelectedItems();
    if (selected.size() == 1) {
        SetChild(children, selected.front());
        return S_OK;
    }
    std::vector<long> ids(selected.begin(), selected.end());
    for (long& id : ids)
        ++id;  // child ids count from 1
    children->vt = VT_UNKNOWN;
    children->punkVal = CChildEnum::Create(std::move(ids));
    return S_OK;
}

STDMETHODIMP CAccessibleList::get_accDefaultAction(VARIANT child, BSTR* action)
{
    if (!action)
        return E_POINTER;
    *action = nullptr;
    int index;
    const HRESULT hr = Check(child, &index);
    if (FAILED(hr))
        return hr;
    if (index < 0)
        return S_FALSE;
    *action = MakeBstr("Open");
    return S_OK;
}

STDMETHODIMP CAccessibleList::accSelect(long flags, VARIANT child)
{
    int index;
    const HRESULT hr = Check(child, &index);
    if (FAILED(hr))
        return hr;
    // The selection is made with the keys and the pointer; a screen reader
    // moves the focus, which stands for the selection while there is none.
    if (flags & (SELFLAG_ADDSELECTION | SELFLAG_REMOVESELECTION | SELFLAG_EXTENDSELECTION))
        return E_INVALIDARG;
    if (flags & SELFLAG_TAKEFOCUS)
        ::SetFocus(m_hWnd);
    if (index >= 0 && (flags & (SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION)))
        m_source->FocusItem(index);
    return S_OK;
}

STDMETHODIMP CAccessibleList::accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child)
{
    if (!left || !top || !width || !height)
        return E_POINTER;
    *left = *top = *width = *height = 0;
    int index;
    const HRESULT hr = Check(child, &index);
    if (FAILED(hr))
        return hr;
    RECT screen;
    if (index < 0) {
        ::GetClientRect(m_hWnd, &screen);
        ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&screen), 2);
    } else {
        CAccessibleItem item;
        if (!m_source->GetItem(index, &item))
            return E_INVALIDARG;
        screen = item.screen;
    }
    *left = screen.left;
    *top = screen.top;
    *width = screen.right - screen.left;
    *height = screen.bottom - screen.top;
    return S_OK;
}

STDMETHODIMP CAccessibleList::accNavigate(long direction, VARIANT start, VARIANT* end)
{
    if (!end)
        return E_POINTER;
    ::VariantInit(end);
    int index;
    const HRESULT hr = Check(start, &index);
    if (FAILED(hr))
        return hr;
    const int count = m_source->GetItemCount();
    int target = -1;
    switch (direction) {
    case NAVDIR_FIRSTCHILD:
    case NAVDIR_LASTCHILD:
        if (index >= 0)
            return E_INVALIDARG;
        target = direction == NAVDIR_FIRSTCHILD ? 0 : count - 1;
        break;
    case NAVDIR_NEXT:
    case NAVDIR_PREVIOUS:
        // The list's own siblings are the standard window object's business.
        if (index < 0)
            return S_FALSE;
        target = direction == NAVDIR_NEXT ? index + 1 : index - 1;
        break;
    default:
        return S_FALSE;  // the items are in reading order, not on a grid of their own
    }
    if (target < 0 || target >= count)
        return S_FALSE;
    SetChild(end, target);
    return S_OK;
}

STDMETHODIMP CAccessibleList::accHitTest(long x, long y, VARIANT* child)
{
    if (!child)
        return E_POINTER;
    ::VariantInit(child);
    if (!m_source)
        return RPC_E_DISCONNECTED;
    POINT point{x, y};
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (!::PtInRect(&client, point))
        return S_FALSE;
    SetChild(child, m_source->ItemAt(point));
    return S_OK;
}

STDMETHODIMP CAccessibleList::accDoDefaultAction(VARIANT child)
{
    int index;
    const HRESULT hr = Check(child, &index);
    if (FAILED(hr))
        return hr;
    if (index < 0)
        return DISP_E_MEMBERNOTFOUND;
    m_source->OpenItem(index);
    return S_OK;
}

STDMETHODIMP CAccessibleList::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
STDMETHODIMP CAccessibleList::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }
