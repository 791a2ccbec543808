#include "gdi.h"

#include "dc.h"

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    DeleteObject();
    m_hObject = object;
    return object != nullptr;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* logFont)
{
    return Attach(::CreateFontIndirectA(logFont));
}

BOOL CBitmap::LoadBitmap(UINT id)
{
    return Attach(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id)));
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    DeleteImageList();
    m_hImageList = ::ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_hImageList)
        return FALSE;
    HIMAGELIST list = m_hImageList;
    m_hImageList = nullptr;
    return ::ImageList_Destroy(list);
}

int CImageList::Add(HBITMAP bitmap, COLORREF mask)
{
    return m_hImageList ? ::ImageList_AddMasked(m_hImageList, bitmap, mask) : -1;
}

int CImageList::GetImageCount() const
{
    return m_hImageList ? ::ImageList_GetImageCount(m_hImageList) : 0;
}

BOOL CImageList::GetIconSize(int* cx, int* cy) const
{
    return m_hImageList && ::ImageList_GetIconSize(m_hImageList, cx, cy);
}

BOOL CImageList::Draw(CDC* dc, int index, POINT point, UINT style) const
{
    return Draw(dc->GetSafeHdc(), index, point, style);
}

BOOL CImageList::Draw(HDC dc, int index, POINT point, UINT style) const
{
    return m_hImageList && ::ImageList_Draw(m_hImageList, index, dc, point.x, point.y, style);
}
