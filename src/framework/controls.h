// Thin objects for common controls, attached to a dialog's controls with
// DDX_Control or SubclassDlgItem.
#pragma once

#include <string>

#include "wnd.h"

class CImageList;

class CStatic : public CWnd {
public:
    HBITMAP GetBitmap() const
    {
        return (HBITMAP)::SendMessageW(m_hWnd, STM_GETIMAGE, IMAGE_BITMAP, 0);
    }
};

class CTreeCtrl : public CWnd {
public:
    HTREEITEM InsertItem(const char* text, int image, int selectedImage,
                         HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
    BOOL SetItemState(HTREEITEM item, UINT state, UINT stateMask);
    BOOL SelectItem(HTREEITEM item);
    HTREEITEM GetSelectedItem() const;
    HTREEITEM GetRootItem() const;
    DWORD_PTR GetItemData(HTREEITEM item) const;
    BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
    BOOL DeleteAllItems();
    // The list stays owned by its CImageList; returns the handle of the list set before.
    HIMAGELIST SetImageList(CImageList* list, int kind);

private:
    HTREEITEM NextItem(HTREEITEM item, UINT code) const
    {
        return (HTREEITEM)::SendMessageW(m_hWnd, TVM_GETNEXTITEM, code, (LPARAM)item);
    }
};
