#include "controls.h"

#include "gdi.h"

HTREEITEM CTreeCtrl::InsertItem(const char* text, int image, int selectedImage, HTREEITEM parent,
                                HTREEITEM after)
{
    std::wstring wide = AfxWide(text ? text : "");
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = wide.data();
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    return (HTREEITEM)SendMessage(TVM_INSERTITEMW, 0, (LPARAM)&insert);
}

BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT stateMask)
{
    TVITEMW tv{};
    tv.mask = TVIF_STATE;
    tv.hItem = item;
    tv.state = state;
    tv.stateMask = stateMask;
    return (BOOL)SendMessage(TVM_SETITEMW, 0, (LPARAM)&tv);
}

BOOL CTreeCtrl::SelectItem(HTREEITEM item)
{
    return (BOOL)SendMessage(TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
}

HTREEITEM CTreeCtrl::GetSelectedItem() const
{
    return NextItem(nullptr, TVGN_CARET);
}

HTREEITEM CTreeCtrl::GetRootItem() const
{
    return NextItem(nullptr, TVGN_ROOT);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const
{
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    if (!item || !::SendMessageW(m_hWnd, TVM_GETITEMW, 0, (LPARAM)&tv))
        return 0;
    return (DWORD_PTR)tv.lParam;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data)
{
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    tv.lParam = (LPARAM)data;
    return (BOOL)SendMessage(TVM_SETITEMW, 0, (LPARAM)&tv);
}

BOOL CTreeCtrl::DeleteAllItems()
{
    return (BOOL)SendMessage(TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
}

HIMAGELIST CTreeCtrl::SetImageList(CImageList* list, int kind)
{
    return (HIMAGELIST)SendMessage(TVM_SETIMAGELIST, (WPARAM)kind,
                                   (LPARAM)(list ? list->GetSafeHandle() : nullptr));
}
