// Which files a folder page shows as pictures, told by their extensions,
// ignoring case. Asked for every listed file.
#pragma once

#include <string>

// Whether path ends in .jpg, .jpeg, .jpe or .jfif.
bool IsJpegPicture(const std::string& path);
// Whether path is a JPEG picture or ends in an extension of another kind
// the imaging layer reads (OtherPictureExtensions).
bool IsPicture(const std::string& path);
