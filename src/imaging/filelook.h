// What is read of a picture file of another format than JPEG before any
// system decoder sees it: what those decoders would get wrong, take long
// over, or not give at all. Every number comes from the file and is checked.
#pragma once

#include <windows.h>

#include <cstdio>
#include <vector>

#include "imaging/photofacts.h"

struct FileLook {
    bool refused = false;  // no decoder is given the file
    int tiffOrientation = 1;
    // A PNG file's size from its header: Wine's decoder decodes every row
    // before it tells the size.
    bool png = false;
    SIZE pngSize{0, 0};
    // From a TIFF file's own directories or a PNG file's eXIf chunk; the
    // system's metadata readers give neither the Exif nor the GPS directory.
    PhotoFacts facts;
};

// Reads what the file's first bytes call for, then leaves it at its start
// for the decoder.
FileLook LookAtFile(FILE* file);

// A TIFF file's first directory, with its Exif and GPS directories and the
// small values they point to, laid out anew as a TIFF structure of its
// own; empty when the file has no such directory. Directories and values
// may lie anywhere in the file: only they are read, each bounded.
std::vector<BYTE> ReadTiffDirectories(FILE* file);
// The data of a PNG file's eXIf chunk (a TIFF structure), found among the
// chunks before the pixels; empty when it has none.
std::vector<BYTE> ReadPngExif(FILE* file);
