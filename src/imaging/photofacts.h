// What a photo's EXIF says about when and how it was taken: the camera's
// date, the camera and lens, the exposure and where it stood. Read from the
// primary directory, the Exif directory and the GPS directory, with the same
// care as the orientation: the bytes come from any file, and a damaged or
// missing tag leaves its fact absent.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "jpeglib.h"

// A rational as stored; never with a zero denominator.
struct ExifRational {
    unsigned numerator = 0;
    unsigned denominator = 1;

    double Value() const { return (double)numerator / denominator; }
};

// The time on the camera's clock, as it recorded it: no time zone applied.
struct CameraTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

struct PhotoFacts {
    // DateTimeOriginal, else DateTimeDigitized, else DateTime, each with
    // its own sub-second digits and offset when they are there.
    std::optional<CameraTime> taken;
    std::optional<int> takenMillisecond;
    std::optional<int> takenOffsetMinutes;  // east of UTC
    // Empty when absent; cut at the first NUL and trimmed of trailing spaces.
    std::string make, model, lens;
    std::optional<ExifRational> exposureTime;  // seconds
    std::optional<ExifRational> fNumber;
    std::optional<unsigned> iso;
    std::optional<ExifRational> focalLength;  // millimetres
    std::optional<unsigned> focalLength35mm;
    std::optional<unsigned> flash;  // the EXIF Flash bits as stored
    // Signed degrees: north and east positive.
    std::optional<double> latitude, longitude;
    std::optional<double> altitude;  // metres, negative below sea level
};

// When the photo was taken on the camera's clock, as a FILETIME value with
// no time zone applied, so that photos of one camera order as it counted;
// 0 when it has no date or its fields are no date.
unsigned long long TakenFileTime(const PhotoFacts& facts);

// The facts of a bare TIFF structure ("II" or "MM" first), as other formats
// carry their EXIF.
PhotoFacts TiffPhotoFacts(const BYTE* tiff, size_t size);
// The facts of an APP1 segment's data ("Exif", two bytes, then the TIFF).
PhotoFacts ExifPhotoFacts(const BYTE* data, size_t size);
// The facts of a JPEG's first EXIF segment among the markers kept by
// SaveMetadataMarkers; all absent when it has none.
PhotoFacts ReadPhotoFacts(jpeg_saved_marker_ptr markers);
