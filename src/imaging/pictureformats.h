// The picture formats the imaging layer reads, and which decoder reads a
// file: libjpeg-turbo, the program's own decoders of the formats phones and
// the web make, or the system's imaging component (WIC) for the rest.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum class PictureDecoder {
    Jpeg,
    Heif,    // HEIF and AVIF, through libheif (HEVC by libde265, AV1 by dav1d)
    WebP,    // through libwebp
    System,  // through WIC
};

// Files named as JPEG go to libjpeg whatever they hold, as do files of any
// name that start as a JPEG stream. Other files go by what their first
// bytes say (a HEIF or AVIF brand, a RIFF WebP), else by their name, else
// to the system. The file is read again from its start.
PictureDecoder DecoderFor(const std::string& path, FILE* file);

// The extensions of the formats the program's own decoders read, lower case
// with the dot; never depend on an installed codec.
const std::vector<std::string>& BuiltInPictureExtensions();

// The extensions of every format besides JPEG, lower case with the dot
// (".png"): the built-in ones, then the system decoders' own.
const std::vector<std::string>& OtherPictureExtensions();
