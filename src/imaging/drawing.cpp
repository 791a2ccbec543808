#include "imaging/drawing.h"

#include <algorithm>
#include <cstdlib>

#include "gdi.h"
#include "res/drawing_resources.h"

namespace {

// The size in device pixels of width by height logical units at dc: what a
// printer's mapping makes of them.
SIZE DeviceSize(CDC* dc, int x, int y, int width, int height)
{
    RECT rect{x, y, x + width, y + height};
    dc->LPtoDP(&rect);
    return SIZE{std::abs(rect.right - rect.left), std::abs(rect.bottom - rect.top)};
}

int TextWidth(CDC* dc, const std::wstring& text)
{
    SIZE size{};
    ::GetTextExtentPoint32W(dc->m_hDC, text.c_str(), (int)text.size(), &size);
    return size.cx;
}

// The first half of kept characters and the last, never parting a
// surrogate pair.
std::wstring KeepBothEnds(const std::wstring& text, size_t kept)
{
    size_t head = (kept + 1) / 2, tail = kept - head;
    if (head > 0 && IS_HIGH_SURROGATE(text[head - 1]))
        --head;
    if (tail > 0 && IS_LOW_SURROGATE(text[text.size() - tail]))
        --tail;
    return text.substr(0, head) + L"\u2026" + text.substr(text.size() - tail);
}

}  // namespace

void DrawPictureFitted(CDC* dc, const RECT& area, const CPictureBitmap& picture, int width,
                       int height)
{
    if (!dc->IsPrinting())
        dc->FillSolidRect(&area, BackColorFor(dc));

    const int areaWidth = area.right - area.left;
    const int areaHeight = area.bottom - area.top;
    if (width == 0 || height == 0) {
        const SIZE fitted = FitSizeInBox(picture.m_width, picture.m_height, areaWidth, areaHeight);
        width = fitted.cx;
        height = fitted.cy;
    }
    const int x = area.left + (areaWidth - width) / 2;
    const int y = area.top + (areaHeight - height) / 2;
    if (!picture.m_hBitmap)
        return;

    // Shrunk by averaging, once for every paint at that size; enlarged by
    // repeating pixels as the system does.
    const SIZE source = picture.BitmapSize();
    const SIZE device = DeviceSize(dc, x, y, width, height);
    if (device.cx < source.cx && device.cy < source.cy && device.cx > 0 && device.cy > 0) {
        if (const CPixels* shrunk = picture.Shrunk(device.cx, device.cy)) {
            const BITMAPINFO info = shrunk->Info();
            ::StretchDIBits(dc->m_hDC, x, y, width, height, 0, 0, shrunk->Width(), shrunk->Height(),
                            shrunk->Bits(), &info, DIB_RGB_COLORS, SRCCOPY);
            return;
        }
    }
    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return;
    CSelectObject select(&memory, picture.m_hBitmap);
    dc->SetStretchBltMode(COLORONCOLOR);
    dc->StretchBlt(x, y, width, height, &memory, 0, 0, source.cx, source.cy, SRCCOPY);
}

void DrawPictureFile(CDC* dc, const RECT& area, CPictureBitmap& picture, const std::string& path)
{
    const SIZE box = DeviceSize(dc, area.left, area.top, area.right - area.left, area.bottom - area.top);
    // An area not laid out yet has no size to decode for.
    if (box.cx > 0 && box.cy > 0 && !picture.Covers(box) && !path.empty()) {
        try {
            picture.LoadFromFile(path, {}, box);
        } catch (...) {
            // Gone meanwhile: what was decoded before is shown.
        }
    }
    DrawPictureFitted(dc, area, picture, 0, 0);
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

std::string FitBothEnds(CDC* dc, const std::string& text, int width)
{
    const std::wstring wide = AfxWide(text);
    if (wide.empty() || TextWidth(dc, wide) <= width)
        return text;
    // The widest that fits, found in a few measures: captions are many.
    size_t fits = 0, tooWide = wide.size();
    while (tooWide - fits > 1) {
        const size_t kept = (fits + tooWide) / 2;
        if (TextWidth(dc, KeepBothEnds(wide, kept)) <= width)
            fits = kept;
        else
            tooWide = kept;
    }
    return AfxUtf8(KeepBothEnds(wide, fits));
}
