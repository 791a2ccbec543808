#include "gdi.h"

#include "dc.h"

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    return AfxAttachHandle(m_hObject, object, ::DeleteObject);
}

HGDIOBJ CGdiObject::Detach()
{
    return AfxDetachHandle(m_hObject);
}

BOOL CGdiObject::DeleteObject()
{
    return AfxReleaseHandle(m_hObject, ::DeleteObject);
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* logFont)
{
    return Attach(::CreateFontIndirectW(logFont));
}

BOOL CBitmap::LoadBitmap(UINT id)
{
    return Attach(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
}

UINT CBitmap::LoadNearestBitmap(const std::vector<UINT>& ids, int height)
{
    UINT chosen = 0;
    int distance = 0;
    for (const UINT id : ids) {
        CBitmap candidate;
        BITMAP info{};
        if (!candidate.LoadBitmap(id) || !candidate.GetBitmap(&info))
            continue;
        const int off = info.bmHeight > height ? info.bmHeight - height : height - info.bmHeight;
        if (!chosen || off < distance) {
            chosen = id;
            distance = off;
            DeleteObject();
            Attach(candidate.Detach());
        }
    }
    return chosen;
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    return AfxAttachHandle(m_hImageList, ::ImageList_Create(cx, cy, flags, initial, grow),
                           ::ImageList_Destroy);
}

BOOL CImageList::DeleteImageList()
{
    return AfxReleaseHandle(m_hImageList, ::ImageList_Destroy);
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
