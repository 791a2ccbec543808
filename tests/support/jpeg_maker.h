// Real JPEG files made with the library itself, and a reader that takes
// them apart again (size, sampling, pixels, markers, coefficients) for
// assertions. Library errors are thrown as std::runtime_error.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum class JpegKind { Rgb, Gray, Cmyk };
enum class JpegPattern {
    Gradient,  // red across, green down, blue in 8-pixel squares: shows any turn
    Photo,     // smooth shapes with grain: compresses like a photograph
    Solid,     // one colour
    Quadrants, // red, green / blue, yellow: shows any turn or mirror at a glance
    ZonePlate, // grey rings, finer outwards, as fine as pixels at the edges
};

// Quadrant colours of the Quadrants pattern, top left, top right, bottom
// left, bottom right, as red, green, blue.
extern const unsigned char kQuadrantColours[4][3];

struct JpegRecipe {
    int width = 64;
    int height = 48;
    JpegKind kind = JpegKind::Rgb;
    int hSampling = 2;  // of the first component: 2x2 halves the colour both ways
    int vSampling = 2;
    int quality = 90;
    bool progressive = false;
    JpegPattern pattern = JpegPattern::Gradient;
    unsigned char solid[3] = {0, 0, 0};  // red, green, blue of the Solid pattern
    unsigned seed = 1;                   // varies the Photo pattern
    std::string comment;                 // a COM marker when not empty
    int appMarker = 1;                   // APPn written with appData
    std::string appData;                 // no APP marker when empty
    // With 1 to 8, an EXIF segment with that Orientation, and the pixels
    // stored so that the picture shows upright when it is honoured.
    int orientation = 0;
    bool exifBigEndian = false;
    bool orientationAsLong = false;  // a LONG tag, as some writers store it
    std::string iccProfile;          // written as APP2 chunks when not empty
    // Further markers written as they are: code (0xE0 + n for APPn), data.
    std::vector<std::pair<int, std::string>> markers;
};

// A width by height picture of one colour, otherwise the defaults.
JpegRecipe SolidRecipe(int width, int height, unsigned char red, unsigned char green, unsigned char blue);
// A photo-like picture of that size; seed varies its pattern.
JpegRecipe PhotoRecipe(int width, int height, unsigned seed = 1);
// A gradient picture with a comment and an APP1 "Exif" segment of no tags:
// markers a lossless turn must copy.
JpegRecipe MarkedRecipe(int width, int height, int hSampling, int vSampling);
// An APP1 EXIF segment whose first directory holds only an Orientation.
std::string ExifOrientationSegment(int orientation, bool bigEndian = false, bool asLong = false);
// An APP1 EXIF segment whose first directory holds an Orientation (none
// for 0) and whose second carries thumbnail, a JPEG.
std::string ExifThumbnailSegment(int orientation, const std::string& thumbnail);
// An APP1 EXIF segment whose first directory holds only a DateTime
// ("YYYY:MM:DD HH:MM:SS"), as a camera without an Exif directory writes it.
std::string ExifDateSegment(const std::string& dateTime);
// The bytes of a JPEG file made to the recipe.
std::string MakeJpeg(const JpegRecipe& recipe);
// The recipe's own pixel at (x, y): red, green, blue (grey in all three).
void RecipePixel(const JpegRecipe& recipe, int x, int y, unsigned char rgb[3]);

struct JpegMarker {
    int code = 0;  // 0xE0 + n for APPn, 0xFE for COM
    std::string data;
};

struct JpegContent {
    int width = 0;
    int height = 0;
    int components = 0;
    int hSampling = 0;  // of the first component
    int vSampling = 0;
    int lumaQuant0 = 0;    // first entry of quantisation table 0
    int chromaQuant0 = 0;  // of table 1, 0 when absent
    std::vector<JpegMarker> markers;
    std::vector<unsigned char> rgb;  // top-down rows, 3 bytes a pixel, no padding

    const JpegMarker* Find(int code) const;
};

// Reads the header and markers and, when pixels is set, decodes to RGB the
// way DecodeJpeg is meant to (full scale, the library's defaults).
JpegContent ReadJpeg(const std::string& bytes, bool pixels = true);
// Every DCT coefficient, component after component, in stored order.
std::vector<short> ReadCoefficients(const std::string& bytes);
// Mean absolute difference over all samples; huge when the sizes differ.
double MeanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b);
