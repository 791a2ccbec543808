// The picture formats the imaging layer reads besides JPEG.
#pragma once

#include <string>
#include <vector>

// The extensions of those formats' files, lower case with the dot (".png").
const std::vector<std::string>& OtherPictureExtensions();
