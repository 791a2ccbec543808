// Making a thumbnail: the picture decoded at the smallest scale that still
// fills the thumbnail, upright and in sRGB, then shrunk by averaging.
#include "catalog/folderentry.h"
#include "dc.h"
#include "gdi.h"
#include "imaging/drawing.h"
#include "imaging/picture.h"
#include "imaging/resample.h"

std::unique_ptr<CPixels> MakeThumbnailPixels(const std::string& picturePath, CPictureBitmap& picture, int box,
                                             const std::function<bool()>& stop, bool* stopped)
{
    *stopped = false;
    // A header that cannot be read must not leave the last picture's size
    // or facts, which the makers keep with the thumbnail.
    picture.m_width = picture.m_height = 0;
    picture.m_facts = PhotoFacts{};
    // Thumbnails are kept in the cache, so they are stored in sRGB.
    if (!picture.LoadFromFile(picturePath, stop, SIZE{box, box}, ColourTarget::Srgb)) {
        *stopped = true;
        return nullptr;
    }
    const SIZE size = FitPictureInBox(picture, box, box);
    if (size.cx <= 0 || size.cy <= 0)
        return nullptr;  // not even the header could be read
    // A picture whose data the library rejects leaves the holder without a
    // bitmap: the thumbnail is then black, of the fitted size, whatever
    // colours the screen has now, as it is cached.
    if (!picture.m_hBitmap)
        return std::make_unique<CPixels>(size.cx, size.cy);
    PixelRows rows;
    if (GetPictureRows(picture.m_hBitmap, rows) && size.cx < rows.width
        && size.cy < rows.height) {
        auto pixels = std::make_unique<CPixels>(size.cx, size.cy);
        ShrinkPixels(rows, pixels->Rows());
        return pixels;
    }
    // A picture smaller than the thumbnail is enlarged as the system draws.
    CBitmap section;
    if (!section.Attach(CreatePictureDib(size.cx, size.cy)))
        return nullptr;
    {
        CDC memory;
        if (!memory.CreateCompatibleDC(nullptr))
            return nullptr;
        CSelectObject select(&memory, section);
        DrawPictureFitted(&memory, CRect(0, 0, size.cx, size.cy), picture, size.cx, size.cy);
    }
    return CopyPixels(section);
}

bool CThumbnail::LoadBitmap(const CFolderEntry& entry, CPictureBitmap* scratch,
                            const std::function<bool()>& stop, int box)
{
    if (HasPicture() || entry.m_picturePath.empty())
        return true;
    CPictureBitmap own;
    bool stopped = false;
    std::unique_ptr<CPixels> pixels;
    try {
        pixels = MakeThumbnailPixels(entry.m_picturePath, scratch ? *scratch : own, box, stop, &stopped);
    } catch (DWORD error) {
        SetReadFailure(error);
        throw;
    }
    if (stopped)
        return false;
    if (pixels) {
        const int width = pixels->Width(), height = pixels->Height();
        ReplaceBitmap(std::move(pixels), width, height);
    }
    return true;
}
