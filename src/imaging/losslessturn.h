// Lossless quarter turns of JPEG files, at the level of their coefficients.
//
// Thrown values: a failure on a file throws its Win32 error code (DWORD);
// a libjpeg error throws the library's message code (int).
#pragma once

#include <cstdio>
#include <string>

// Clockwise; any other value means no turn.
enum PictureTurn { Turn90 = 0, Turn180 = 1, Turn270 = 2 };

// Turns a JPEG stream losslessly, trimming partial edge blocks and copying
// every marker. libjpeg errors are thrown.
void TransformJpeg(FILE* inFile, FILE* outFile, int turn);

// Turns the JPEG file at path in place. The file is replaced only by a
// complete turned copy, in one step; on any failure it stays as it was and
// no temporary file remains. Throws the Win32 error code or libjpeg's.
void RotatePictureFile(const std::string& path, int turn);
