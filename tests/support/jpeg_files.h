// JPEG files written into a test's folder, and the zone plate, whose rings
// show how a picture was shrunk.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "jpeg_maker.h"

class TempFolder;

// Writes a JPEG made to recipe into folder as name; returns its path.
std::string WriteJpeg(const TempFolder& folder, const std::string& name, const JpegRecipe& recipe);

// A 1024-pixel square zone plate at full colour resolution and high quality:
// its outer rings are as fine as its pixels.
JpegRecipe ZonePlateRecipe();
// How far from mid-grey the green of the pixels of box lies, over those
// whose distance from the centre is between nearest and furthest (both
// included). Shrunk by averaging, fine rings come out grey.
struct GreyStray {
    int most = 0;
    double mean = 0;
};
GreyStray StrayFromGrey(const std::function<int(int x, int y)>& green, const RECT& box, double centreX,
                        double centreY, double nearest, double furthest);
