#include "imaging/drawing.h"

#include <algorithm>

#include "gdi.h"

namespace {

// A screen of another pixel format gets the whole picture converted before
// it is shrunk. Shrinking into a section of the picture's own format first
// picks the same pixels (COLORONCOLOR only picks, never blends), and only the
// shrunk copy is converted.
bool ShrinkThenCopy(CDC* dc, int x, int y, int width, int height, CDC& picture,
                    const CPictureBitmap& source)
{
    CBitmap shrunk;
    CDC memory;
    if (!shrunk.Attach(CreatePictureDib(width, height)) || !memory.CreateCompatibleDC(dc))
        return false;
    CSelectObject select(&memory, shrunk);
    memory.SetStretchBltMode(COLORONCOLOR);
    return memory.StretchBlt(0, 0, width, height, &picture, 0, 0, source.m_width, source.m_height, SRCCOPY)
        && dc->BitBlt(x, y, width, height, &memory, 0, 0, SRCCOPY);
}

}  // namespace

void DrawPictureFitted(CDC* dc, const RECT& area, const CPictureBitmap& picture, int width,
                       int height)
{
    if (!dc->IsPrinting())
        dc->FillSolidRect(&area, RGB(0, 0, 0));

    const int areaWidth = area.right - area.left;
    const int areaHeight = area.bottom - area.top;
    if (width == 0 || height == 0) {
        width = picture.m_width;
        height = picture.m_height;
        if ((width > areaWidth || height > areaHeight) && width > 0 && height > 0) {
            const double scale = std::min((double)areaWidth / width,
                                          (double)((float)areaHeight / (float)height));
            // A sliver of a picture still shows as one pixel across.
            width = std::max(1, (int)(picture.m_width * scale));
            height = std::max(1, (int)(picture.m_height * scale));
        }
    }
    const int x = area.left + (areaWidth - width) / 2;
    const int y = area.top + (areaHeight - height) / 2;
    if (!picture.m_hBitmap)
        return;

    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return;
    CSelectObject select(&memory, picture.m_hBitmap);
    dc->SetStretchBltMode(COLORONCOLOR);
    if (!dc->IsPrinting() && width < picture.m_width && height < picture.m_height
        && ShrinkThenCopy(dc, x, y, width, height, memory, picture))
        return;
    dc->StretchBlt(x, y, width, height, &memory, 0, 0, picture.m_width, picture.m_height, SRCCOPY);
}

void DrawPixels(CDC* dc, int x, int y, const CPixels& pixels)
{
    const BITMAPINFO info = pixels.Info();
    ::StretchDIBits(dc->m_hDC, x, y, pixels.Width(), pixels.Height(), 0, 0, pixels.Width(),
                    pixels.Height(), pixels.Bits(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void DrawIconOnOutput(CDC* dc, HICON icon, int x, int y)
{
    if (!dc->IsPrinting()) {
        ::DrawIconEx(dc->m_hDC, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
        return;
    }

    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return;
    CBitmap mask, color;
    mask.Attach(info.hbmMask);
    color.Attach(info.hbmColor);
    BITMAP size{};
    if (!color.m_hObject) {
        // A monochrome icon has its image in the lower half of the mask.
        mask.GetBitmap(&size);
        if (!color.Attach(CreatePictureDib(size.bmWidth, size.bmHeight / 2)))
            return;
    }
    color.GetBitmap(&size);

    CDC memory;
    if (!memory.CreateCompatibleDC(nullptr))
        return;
    CSelectObject select(&memory, color);
    ::DrawIconEx(memory.m_hDC, 0, 0, icon, 0, 0, 0, (HBRUSH)::GetStockObject(WHITE_BRUSH),
                 DI_NORMAL);
    dc->BitBlt(x, y, size.bmWidth, size.bmHeight, &memory, 0, 0, SRCCOPY);
}
