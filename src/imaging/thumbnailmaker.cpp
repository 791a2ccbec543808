// Making a thumbnail: the whole picture decoded, then drawn shrunk into a
// bitmap of the fitted size.
#include "catalog/folderentry.h"
#include "dc.h"
#include "imaging/drawing.h"
#include "imaging/picture.h"

void CThumbnail::LoadBitmap(const CFolderEntry& entry)
{
    if (Bitmap() || entry.m_picturePath.empty())
        return;
    CPictureBitmap picture;
    picture.LoadFromFile(entry.m_picturePath);
    const SIZE size = FitPictureInBox(picture, 90, 90);
    if (size.cx <= 0 || size.cy <= 0)
        return;  // not even the header could be read
    HBITMAP bitmap = CreatePictureDib(size.cx, size.cy);
    if (!bitmap)
        return;
    {
        // A picture whose data the library rejects leaves the holder without
        // a bitmap: the thumbnail is then black, of the fitted size.
        CDC memory;
        if (!memory.CreateCompatibleDC(nullptr)) {
            ::DeleteObject(bitmap);
            return;
        }
        CSelectObject select(&memory, bitmap);
        DrawPictureFitted(&memory, CRect(0, 0, size.cx, size.cy), picture, size.cx, size.cy);
    }
    ReplaceBitmap(bitmap, size.cx, size.cy);
}
