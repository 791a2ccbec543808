// The one line the status bar gives about a shown photo, and the texts of
// its parts, which the details pane shows one by one.
#pragma once

#include <string>

#include "imaging/photofacts.h"

// "4000 × 3000, <date taken> <time>, <camera>, 1/1000 s f/4.0 ISO 80 6 mm",
// each part left out when the file lacks it; the date and time in the
// user's format, as the camera's clock showed them.
std::string PhotoLine(int width, int height, const PhotoFacts& facts);

// Each part alone; empty when the fact is missing or unusable.
// The user's short date and default time.
std::string TakenText(const CameraTime& taken);
// Make and Model, the make left out when the model starts with it.
std::string CameraText(const std::string& make, const std::string& model);
// "1/1000 s", "0.4 s", "2.5 s".
std::string ExposureTimeText(const ExifRational& time);
// "f/4.0".
std::string FNumberText(const ExifRational& fNumber);
// "6 mm", "4.5 mm".
std::string FocalLengthText(const ExifRational& length);
