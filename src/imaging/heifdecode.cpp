#include "imaging/heifdecode.h"

Decoded DecodeHeifPicture(FILE*, CBitmap& section, const PictureRequest&, PictureHeader&)
{
    section.DeleteObject();
    return Decoded::Failed;
}

bool ReadHeifHeader(FILE*, PictureHeader&, const StopRequest&)
{
    return false;
}
