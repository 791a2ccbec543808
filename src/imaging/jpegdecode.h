// Decoding JPEG pictures for showing them: at the scale the shown size
// needs, upright, in the target's colours. Used by CPictureBitmap.
#pragma once

#include "gdi.h"
#include "imaging/photofacts.h"
#include "imaging/picture.h"

enum class Decoded { Complete, Failed, Stopped };

struct PictureRequest {
    SIZE box{0, 0};  // what the picture will be fitted into; 0 by 0 for every pixel
    ColourTarget target = ColourTarget::Display;
    StopRequest stop;
    // What transparent pixels are laid over; JPEG pictures have none.
    COLORREF background = RGB(0, 0, 0);
};

struct PictureHeader {
    SIZE upright{0, 0};  // the picture's size once turned upright
    SIZE stored{0, 0};   // its size as stored
    int orientation = 1;
    PhotoFacts facts;  // from the EXIF read with the header; absent for other formats
};

// Decodes the picture at the file's position into section, reusing the one
// it holds when that has the size needed. header is filled in once read,
// also when decoding then fails. section is empty unless decoding completed.
Decoded DecodePicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header);

// Reads only the header at the file's position; false when it does not read.
bool ReadJpegHeader(FILE* file, PictureHeader& header, const StopRequest& stop = {});

// Decodes at full scale only region of the upright picture (clipped to it)
// into section, which gets the region's size: the library skips the rows
// above it and decodes the columns beside it only to whole blocks. region
// becomes the part decoded. Pictures in inks are refused (Failed).
Decoded DecodePictureRegion(FILE* file, RECT& region, CBitmap& section, const PictureRequest& request,
                            PictureHeader& header);

// Any picture file at its start, by the decoder DecoderFor names, as
// DecodePicture does; and only its header, as ReadJpegHeader does.
Decoded DecodeAnyPicture(const std::string& path, FILE* file, CBitmap& section, const PictureRequest& request,
                         PictureHeader& header);
bool ReadAnyHeader(const std::string& path, FILE* file, PictureHeader& header, const StopRequest& stop = {});
