#include "imaging/canvasframe.h"

#include <cstring>
#include <new>

bool CanvasFrame(const DecodedImage& canvas, ColourTarget target, const StopRequest& stop, CBitmap& section,
                 AnimationFrame& frame)
{
    PictureRequest request;
    request.target = target;
    request.stop = stop;
    PictureHeader header;
    if (DeliverImage(canvas, section, request, header) != Decoded::Complete)
        return false;
    ::GdiFlush();
    PixelRows rows;
    if (!GetPictureRows(section, rows))
        return false;
    try {
        auto pixels = std::make_unique<CPixels>(rows.width, rows.height);
        for (int y = 0; y < rows.height; ++y)
            std::memcpy(pixels->Row(y), rows.Row(y), pixels->Stride());
        frame.pixels = std::move(pixels);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
