// GDI objects and image lists. Each owner holds one handle, releases it in
// its destructor and is never copied; Attach takes over a handle made elsewhere.
#pragma once

#include <vector>

#include "afxbase.h"

class CDC;

// Owns one pen, brush, font or bitmap and deletes it with DeleteObject.
class CGdiObject {
public:
    HGDIOBJ m_hObject = nullptr;

    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject() { DeleteObject(); }

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // Any handle held before is deleted first.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int size, void* buffer) const { return ::GetObjectW(m_hObject, size, buffer); }
};

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONTW* logFont);
    operator HFONT() const { return static_cast<HFONT>(GetSafeHandle()); }
    int GetLogFont(LOGFONTW* logFont) const { return GetObject(sizeof(LOGFONTW), logFont); }
};

class CBitmap : public CGdiObject {
public:
    BOOL LoadBitmap(UINT id);  // from the program's resources
    // Of the drawings of one picture at several sizes, the one whose height
    // is nearest height (the first of equals); returns its id, 0 for none.
    UINT LoadNearestBitmap(const std::vector<UINT>& ids, int height);
    operator HBITMAP() const { return static_cast<HBITMAP>(GetSafeHandle()); }
    int GetBitmap(BITMAP* info) const { return GetObject(sizeof(BITMAP), info); }
};

// Owns one HIMAGELIST and destroys it with ImageList_Destroy.
class CImageList {
public:
    HIMAGELIST m_hImageList = nullptr;

    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    virtual ~CImageList() { DeleteImageList(); }

    // Any list held before is destroyed first.
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    BOOL DeleteImageList();
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    operator HIMAGELIST() const { return GetSafeHandle(); }

    // Adds the bitmap's images (as many as fit its width); mask is the
    // transparent colour. Returns the first new index, or -1.
    int Add(HBITMAP bitmap, COLORREF mask);
    int GetImageCount() const;
    BOOL GetIconSize(int* cx, int* cy) const;
    BOOL Draw(CDC* dc, int index, POINT point, UINT style) const;
    BOOL Draw(HDC dc, int index, POINT point, UINT style) const;
};
