#include "imaging/webpdecode.h"

Decoded DecodeWebpPicture(FILE*, CBitmap& section, const PictureRequest&, PictureHeader&)
{
    section.DeleteObject();
    return Decoded::Failed;
}

bool ReadWebpHeader(FILE*, PictureHeader&, const StopRequest&)
{
    return false;
}
