#include "controls.h"

#include "gdi.h"

HTREEITEM CTreeCtrl::InsertItem(const char* text, int image, int selectedImage, HTREEITEM parent,
                                HTREEITEM after)
{
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    return (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT stateMask)
{
    TVITEMA tv{};
    tv.mask = TVIF_STATE;
    tv.hItem = item;
    tv.state = state;
    tv.stateMask = stateMask;
    return (BOOL)SendMessage(TVM_SETITEMA, 0, (LPARAM)&tv);
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
    TVITEMA tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    if (!item || !::SendMessageA(m_hWnd, TVM_GETITEMA, 0, (LPARAM)&tv))
        return 0;
    return (DWORD_PTR)tv.lParam;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data)
{
    TVITEMA tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    tv.lParam = (LPARAM)data;
    return (BOOL)SendMessage(TVM_SETITEMA, 0, (LPARAM)&tv);
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
