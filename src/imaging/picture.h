// Pictures as 24-bit top-down DIB sections: decoding into them, upright and
// in the colours they were taken in (JPEG through libjpeg-turbo, every other
// format through the system's imaging component), and JPEG encoding out of
// them.
//
// Thrown values: a failure on a file throws its Win32 error code (DWORD);
// a libjpeg error throws the library's message code (int).
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "imaging/colour.h"
#include "imaging/photofacts.h"
#include "imaging/pixels.h"

// Asked between batches of rows while a picture decodes: true gives the
// decoding up, so that a thread can be stopped within milliseconds.
using StopRequest = std::function<bool()>;

// One decoded picture, turned upright as its EXIF Orientation says and
// converted from its colour profile; its first frame, transparent pixels
// laid over black. The bitmap may hold it reduced: the library decodes at
// 1/2, 1/4 or 1/8 scale in a fraction of the time (and so do some of the
// system's decoders), and a picture shown in a box needs no more pixels
// than the box.
class CBitmap;
struct PictureHeader;

class CPictureBitmap {
public:
    HBITMAP m_hBitmap = nullptr;  // owned; null when there is no picture
    // The picture's size as it stands upright, whatever the bitmap's size:
    // that of the last header read into the holder, also when decoding then
    // failed.
    int m_width = 0;
    int m_height = 0;
    // What the file's EXIF says, read with that same header.
    PhotoFacts m_facts;

    CPictureBitmap() = default;
    virtual ~CPictureBitmap();
    CPictureBitmap(const CPictureBitmap&) = delete;
    CPictureBitmap& operator=(const CPictureBitmap&) = delete;

    // Throws the Win32 error code, holder unchanged, when path cannot be
    // opened; when a read fails part-way, after what was decoded. The decoder DecoderFor names decodes it; a picture its decoder
    // rejects leaves the holder without a bitmap.
    // box is what the picture will be fitted into, in pixels; 0 by 0 asks
    // for every pixel. The holder's section is decoded into again when the
    // new picture has its size, which spares the system a fresh allocation
    // of every page. False when stop gave the decoding up (the holder then
    // has no bitmap).
    bool LoadFromFile(const std::string& path, const StopRequest& stop = {}, SIZE box = {0, 0},
                      ColourTarget target = ColourTarget::Display);

    // Only region (upright picture pixels) of a JPEG file, at full scale:
    // the bitmap gets the region's size, region the part decoded (clipped
    // to the picture). False when stop gave up, or the file is no picture
    // that decodes a part alone (see DecodePictureRegion): the holder then
    // has no bitmap. Throws the Win32 error code when path cannot be opened.
    bool LoadRegionFromFile(const std::string& path, RECT& region, const StopRequest& stop = {});

    // Exchanges all the two holders hold: a picture decoded on another
    // thread becomes this one's.
    void Swap(CPictureBitmap& other) noexcept;

    // Whether the bitmap has pixels enough for the picture fitted into box.
    bool Covers(SIZE box) const;
    SIZE BitmapSize() const { return m_bitmapSize; }
    // The bitmap shrunk to width by height, both smaller than it; kept for
    // the paints that follow. Null when there is no bitmap.
    const CPixels* Shrunk(int width, int height) const;

private:
    // Hands the section over to a decoder to decode into, and takes it back
    // with the header's size and facts.
    void Give(CBitmap& section);
    void Take(CBitmap& section, const PictureHeader& header);

    SIZE m_bitmapSize{0, 0};
    mutable std::unique_ptr<CPixels> m_shrunk;
};

// Whether the file at path goes to libjpeg: named as JPEG, or starting as a
// JPEG stream does (the file is read again from its start).
bool ReadsAsJpeg(const std::string& path, FILE* file);

// A 24-bit BI_RGB top-down DIB section, or null.
HBITMAP CreatePictureDib(int width, int height);
// The rows of a section CreatePictureDib made; false for anything else.
bool GetPictureRows(HBITMAP bitmap, PixelRows& rows);

// Decodes the JPEG stream at the file's position at full scale, as it is
// stored. size gets the header's width and height once they are read.
// exchangeRedBlue gives the bitmap's blue, green, red order (picture files);
// false keeps the stream's byte order (thumbnails written by EncodeJpeg).
// Returns a new bitmap owned by the caller, or null; never throws.
HBITMAP DecodeJpeg(FILE* file, bool exchangeRedBlue, SIZE* size);
// The same, with the stream's byte order, into memory that is no GDI object.
std::unique_ptr<CPixels> DecodeJpegPixels(FILE* file, SIZE* size);
std::unique_ptr<CPixels> DecodeJpegPixels(const unsigned char* data, size_t length, SIZE* size);
// The size a stream in memory declares; false when not even that reads.
bool PeekJpegSize(const unsigned char* data, size_t length, SIZE* size);

// Writes a 24-bit DIB section as a JPEG stream (library defaults, quality 75)
// with its bytes as they lie, so red and blue are exchanged for other
// readers. Anything else writes nothing. libjpeg errors are thrown.
void EncodeJpeg(HBITMAP bitmap, FILE* file);
void EncodeJpeg(const CPixels& pixels, FILE* file);
// The same stream in memory; empty for an empty picture or a library error.
std::vector<unsigned char> EncodeJpegBytes(const CPixels& pixels);

// A copy of a picture section's pixels; null for anything else.
std::unique_ptr<CPixels> CopyPixels(HBITMAP section);

// width by height fitted into a box with the proportions kept, never larger
// than it was; at least a pixel each way.
SIZE FitSizeInBox(int width, int height, int boxWidth, int boxHeight);
// The size of a thumbnail of picture in a box; 0 by 0 for a picture without
// a size, which gets no thumbnail.
SIZE FitPictureInBox(const CPictureBitmap& picture, int boxWidth, int boxHeight);
