// Lossless quarter turns of JPEG files, at the level of their coefficients.
//
// Thrown values: a failure on a file throws its Win32 error code (DWORD);
// a libjpeg error throws the library's message code (int).
#pragma once

#include <cstdio>
#include <string>

// Clockwise, as the user sees the picture; any other value means no turn,
// which still stores the pixels upright.
enum PictureTurn { Turn90 = 0, Turn180 = 1, Turn270 = 2 };

// Turns a JPEG stream losslessly as it is shown: its EXIF Orientation and
// the turn become one transform of the stored coefficients, and the tag
// becomes 1. Partial edge blocks the transform would bring to the left or
// top are trimmed, every marker is copied. A stream whose image data is damaged is refused
// with the message code of the first damage; libjpeg errors are thrown.
void TransformJpeg(FILE* inFile, FILE* outFile, int turn);

// Turns the JPEG file at path in place, as TransformJpeg does. The file is
// replaced only by a complete turned copy that reads back with no warning
// the picture did not give, in one step; on any failure it stays as it was
// and no temporary file remains. Throws the Win32 error code or libjpeg's;
// ERROR_FILE_READ_ONLY (or ERROR_WRITE_PROTECT from the media) for a file
// that may not be written.
void RotatePictureFile(const std::string& path, int turn);
