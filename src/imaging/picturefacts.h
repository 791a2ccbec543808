// What is known of a picture file without decoding its pixels: its upright
// size, its length and what its EXIF says. The thumbnail makers, the
// details pane and the tooltips read it, so only the header is read.
#pragma once

#include <windows.h>

#include <string>

#include "imaging/photofacts.h"
#include "imaging/picture.h"

struct PictureFacts {
    SIZE size{0, 0};  // upright; 0 by 0 when the header does not read
    unsigned long long fileSize = 0;
    PhotoFacts photo;
};

// Throws the Win32 error code when path cannot be opened; a header that
// does not read leaves the size 0 by 0 and the photo's facts absent.
PictureFacts ReadPictureFacts(const std::string& path, const StopRequest& stop = {});
