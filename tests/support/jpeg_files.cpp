#include "jpeg_files.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "temp_folder.h"

std::string WriteJpeg(const TempFolder& folder, const std::string& name, const JpegRecipe& recipe)
{
    return folder.WriteFile(name, MakeJpeg(recipe));
}

JpegRecipe ZonePlateRecipe()
{
    JpegRecipe zones;
    zones.width = zones.height = 1024;
    zones.pattern = JpegPattern::ZonePlate;
    zones.hSampling = zones.vSampling = 1;
    zones.quality = 98;
    return zones;
}

GreyStray StrayFromGrey(const std::function<int(int x, int y)>& green, const RECT& box, double centreX,
                        double centreY, double nearest, double furthest)
{
    GreyStray stray;
    int count = 0;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            const double r = std::hypot(x - centreX, y - centreY);
            if (r < nearest || r > furthest)
                continue;
            const int deviation = std::abs(green(x, y) - 128);
            stray.most = std::max(stray.most, deviation);
            stray.mean += deviation;
            ++count;
        }
    }
    stray.mean /= std::max(1, count);
    return stray;
}
