// Decoding WebP pictures through libwebp, into the same picture sections
// the JPEG pipeline gives. Used by CPictureBitmap and the WebP animation
// reader. WebP keeps no orientation of its own: its pixels are shown as
// stored, as browsers show them, whatever an EXIF chunk says.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "gdi.h"
#include "imaging/jpegdecode.h"

struct WebPDemuxer;

// The picture of the file open as file (an animation's first frame), as
// DecodePicture does for JPEG.
Decoded DecodeWebpPicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header);

// Only what the header says of it: its size and the facts of its EXIF
// chunk; never a pixel.
bool ReadWebpHeader(FILE* file, PictureHeader& header, const StopRequest& stop = {});

// The whole RIFF of the file open at its start; false when it is no WebP,
// or larger than a decoder may hold.
bool ReadWebpFile(FILE* file, std::vector<uint8_t>& data);

// The ICC profile of the demuxed file; empty when it has none.
std::vector<BYTE> WebpProfile(const WebPDemuxer* demuxer);
