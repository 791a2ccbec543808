// What a JPEG file says about showing its pixels: the EXIF Orientation tag
// and the embedded ICC colour profile. Every reader is bounds-checked: the
// bytes come from any file on the user's disks.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <vector>

#include "jpeglib.h"

// The EXIF Orientation values: how the stored pixels are to be turned or
// mirrored to stand upright.
enum PictureOrientation : int {
    OrientNormal = 1,
    OrientMirrored = 2,     // left and right exchanged
    OrientTurned180 = 3,
    OrientFlipped = 4,      // top and bottom exchanged
    OrientTransposed = 5,   // mirrored about the top-left to bottom-right diagonal
    OrientTurned90 = 6,     // shown turned a quarter clockwise
    OrientTransverse = 7,   // mirrored about the other diagonal
    OrientTurned270 = 8,
};

// The Orientation of an APP1 segment's data ("Exif", two bytes, then a TIFF
// structure in either byte order), stored as SHORT or LONG; 0 when the
// segment holds no such tag. Values outside 1 to 8 are given as they are.
int ExifOrientation(const BYTE* data, size_t size);
// Sets every Orientation tag of the segment to value; false when it has none.
bool SetExifOrientation(BYTE* data, size_t size, int value);

// Where the JPEG thumbnail of an APP1 segment's data lies (its second
// directory's JPEGInterchangeFormat and Length, counted from data): false
// when there is none or it does not lie wholly inside the segment.
bool ExifThumbnail(const BYTE* data, size_t size, size_t* offset, size_t* length);

// Asks the library to keep the markers the readers below look at; before
// jpeg_read_header.
void SaveMetadataMarkers(jpeg_decompress_struct& info);
// The picture's orientation from the first EXIF segment: 1 when missing,
// damaged or out of range.
int ReadOrientation(jpeg_saved_marker_ptr markers);
// The ICC profile carried in APP2 "ICC_PROFILE" chunks, put together in
// their numbered order; empty when there is none or the chunks do not add
// up (one missing, numbered twice, counts that disagree).
std::vector<BYTE> ReadIccProfile(jpeg_saved_marker_ptr markers);
