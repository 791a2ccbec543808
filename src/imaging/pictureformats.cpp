#include "imaging/pictureformats.h"

// A fixed list until the system's imaging component is asked for its own.
const std::vector<std::string>& OtherPictureExtensions()
{
    static const std::vector<std::string> extensions = {".png", ".gif", ".bmp", ".dib", ".tif", ".tiff", ".ico"};
    return extensions;
}
