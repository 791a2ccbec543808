// The one line the status bar gives about a shown photo.
#pragma once

#include <string>

#include "imaging/photofacts.h"

// "4000 × 3000, <date taken> <time>, <camera>, 1/1000 s f/4.0 ISO 80 6 mm",
// each part left out when the file lacks it; the date and time in the
// user's format, as the camera's clock showed them.
std::string PhotoLine(int width, int height, const PhotoFacts& facts);
