// Pictures as 24-bit top-down DIB sections: JPEG decoding into them,
// encoding out of them and lossless quarter turns of JPEG files.
//
// Thrown values: a failure on a file throws its Win32 error code (DWORD);
// a libjpeg error throws the library's message code (int).
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "imaging/pixels.h"

struct jpeg_common_struct;

// Asked between batches of rows while a picture decodes: true gives the
// decoding up, so that a thread can be stopped within milliseconds.
using StopRequest = std::function<bool()>;

// One decoded picture. Width and height are those of the last JPEG header
// read into the holder, also when decoding then failed.
class CPictureBitmap {
public:
    HBITMAP m_hBitmap = nullptr;  // owned; null when there is no picture
    int m_width = 0;
    int m_height = 0;

    CPictureBitmap() = default;
    virtual ~CPictureBitmap();
    CPictureBitmap(const CPictureBitmap&) = delete;
    CPictureBitmap& operator=(const CPictureBitmap&) = delete;

    // Throws the Win32 error code, holder unchanged, when path cannot be
    // opened. A picture libjpeg rejects leaves the holder without a bitmap.
    // The holder's section is decoded into again when the new picture has
    // its size, which spares the system a fresh allocation of every page.
    // False when stop gave the decoding up (the holder then has no bitmap).
    bool LoadFromFile(const std::string& path, const StopRequest& stop = {});
};

// A 24-bit BI_RGB top-down DIB section, or null.
HBITMAP CreatePictureDib(int width, int height);

// Clockwise; any other value means no turn.
enum PictureTurn { Turn90 = 0, Turn180 = 1, Turn270 = 2 };

// libjpeg's error_exit for every object of this module: reports through
// output_message, then throws msg_code as an int.
void ThrowingErrorExit(jpeg_common_struct* info);

// Decodes the JPEG stream at the file's position at full scale. size gets the
// header's width and height once they are read. exchangeRedBlue gives the
// bitmap's blue, green, red order (picture files); false keeps the stream's
// byte order (thumbnails written by EncodeJpeg). Returns a new bitmap owned
// by the caller, or null; never throws.
HBITMAP DecodeJpeg(FILE* file, bool exchangeRedBlue, SIZE* size);
// The same, with the stream's byte order, into memory that is no GDI object.
std::unique_ptr<CPixels> DecodeJpegPixels(FILE* file, SIZE* size);

// Writes a 24-bit DIB section as a JPEG stream (library defaults, quality 75)
// with its bytes as they lie, so red and blue are exchanged for other
// readers. Anything else writes nothing. libjpeg errors are thrown.
void EncodeJpeg(HBITMAP bitmap, FILE* file);
void EncodeJpeg(const CPixels& pixels, FILE* file);

// A copy of a picture section's pixels; null for anything else.
std::unique_ptr<CPixels> CopyPixels(HBITMAP section);

// Turns a JPEG stream losslessly, trimming partial edge blocks and copying
// every marker. libjpeg errors are thrown.
void TransformJpeg(FILE* inFile, FILE* outFile, int turn);

// Turns the JPEG file at path in place. The file is replaced only by a
// complete turned copy, in one step; on any failure it stays as it was and
// no temporary file remains. Throws the Win32 error code or libjpeg's.
void RotatePictureFile(const std::string& path, int turn);

// The size of a thumbnail of picture in a box; 0 by 0 for a picture without
// a size, which gets no thumbnail.
SIZE FitPictureInBox(const CPictureBitmap& picture, int boxWidth, int boxHeight);
