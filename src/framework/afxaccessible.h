// What screen readers see of a window's client area: a list of simple items
// (MSAA). The object reads everything through a CAccessibleSource, so it
// always tells what the window shows now.
#pragma once

#include <oleacc.h>

#include <memory>
#include <string>
#include <vector>

#include "afxbase.h"

// One item of the list, as the source describes it.
struct CAccessibleItem {
    std::string name;
    std::string description;
    RECT screen{0, 0, 0, 0};  // screen pixels
    bool selected = false;
};

class CAccessibleSource {
public:
    virtual ~CAccessibleSource() = default;

    // The list's own name.
    virtual std::string GetListName() = 0;
    virtual int GetItemCount() = 0;
    // Item index (from 0); false when there is no such item.
    virtual bool GetItem(int index, CAccessibleItem* item) = 0;
    // The item with the keyboard focus; -1: none.
    virtual int GetFocusedItem() = 0;
    // The selected items, in order. With none selected the focused item
    // counts as selected, as in a list that selects one item at a time.
    virtual int GetSelectedCount() { return 0; }
    virtual std::vector<int> GetSelectedItems() { return {}; }
    // Moves the keyboard focus to the item.
    virtual void FocusItem(int index) = 0;
    // The item's default action.
    virtual void OpenItem(int index) = 0;
    // The item at a screen point within the window, or -1. By default every
    // item is asked for its rectangle.
    virtual int ItemAt(POINT screen);
};

// The list object of hWnd's client area. Its owner keeps one reference,
// answers WM_GETOBJECT with it (Answer) and calls Disconnect before the
// window goes: clients holding the object then get errors, never the window.
class CAccessibleList : public IAccessible {
public:
    // The new object holds one reference, the caller's; it owns source.
    static CAccessibleList* Create(HWND hWnd, std::unique_ptr<CAccessibleSource> source);

    // The answer to WM_GETOBJECT for OBJID_CLIENT.
    LRESULT Answer(WPARAM wParam);
    // Drops the source and cuts off every client.
    void Disconnect();
    bool IsConnected() const { return m_source != nullptr; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: screen readers use the IAccessible methods directly.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override;
    STDMETHODIMP get_accChildCount(long* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** dispatch) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* child) override;
    STDMETHODIMP get_accSelection(VARIANT* children) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(long flags, VARIANT child) override;
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height,
                             VARIANT child) override;
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override;
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override;

private:
    CAccessibleList(HWND hWnd, std::unique_ptr<CAccessibleSource> source);
    virtual ~CAccessibleList() = default;

    // Checks the object is connected and child names the list (0) or an
    // item (its index + 1); S_OK or the error to return.
    HRESULT Check(const VARIANT& child, int* index) const;
    // An item's text (field), and the list's name when listHasIt.
    HRESULT ItemText(const VARIANT& child, BSTR* text, std::string CAccessibleItem::*field, bool listHasIt) const;
    // A text neither the list nor its items have: answer, once child is checked.
    HRESULT NoText(const VARIANT& child, BSTR* text, HRESULT answer) const;

    LONG m_refs = 1;
    HWND m_hWnd;
    std::unique_ptr<CAccessibleSource> m_source;
};
