// Making a thumbnail: the whole picture decoded, then drawn shrunk into a
// section of the fitted size, whose pixels the thumbnail keeps.
#include "catalog/folderentry.h"
#include "dc.h"
#include "gdi.h"
#include "imaging/drawing.h"
#include "imaging/picture.h"

bool CThumbnail::LoadBitmap(const CFolderEntry& entry, CPictureBitmap* scratch,
                            const std::function<bool()>& stop)
{
    if (Bitmap() || entry.m_picturePath.empty())
        return true;
    CPictureBitmap own;
    CPictureBitmap& picture = scratch ? *scratch : own;
    // A header that cannot be read must not leave the last picture's size.
    picture.m_width = picture.m_height = 0;
    if (!picture.LoadFromFile(entry.m_picturePath, stop))
        return false;
    const SIZE size = FitPictureInBox(picture, 90, 90);
    if (size.cx <= 0 || size.cy <= 0)
        return true;  // not even the header could be read
    CBitmap section;
    if (!section.Attach(CreatePictureDib(size.cx, size.cy)))
        return true;
    {
        // A picture whose data the library rejects leaves the holder without
        // a bitmap: the thumbnail is then black, of the fitted size.
        CDC memory;
        if (!memory.CreateCompatibleDC(nullptr))
            return true;
        CSelectObject select(&memory, section);
        DrawPictureFitted(&memory, CRect(0, 0, size.cx, size.cy), picture, size.cx, size.cy);
    }
    if (std::unique_ptr<CPixels> pixels = CopyPixels(section))
        ReplaceBitmap(std::move(pixels), size.cx, size.cy);
    return true;
}
