// Pictures whose pixels the system's format converter may not take (Wine's
// has no 48-bit RGB at all), or would take only by cutting them to 8 bits
// before their colours are converted: 16 bits a channel, half and full
// floats. Their pixels are copied in their own format and handed on as
// 16-bit words to DeliverImage.
#pragma once

#include <wincodec.h>

#include <vector>

#include "gdi.h"
#include "imaging/jpegdecode.h"

// Whether frames of format are decoded by DecodeDeepFrame.
bool IsDeepPixelFormat(const WICPixelFormatGUID& format);

// The frame, of such a format, into section as DecodeWicFrame does: turned
// as orientation says, converted through profile (empty for sRGB), laid
// over request.background and shrunk to request.box.
Decoded DecodeDeepFrame(IWICBitmapSource* frame, const WICPixelFormatGUID& format, int orientation,
                        std::vector<BYTE> profile, CBitmap& section, const PictureRequest& request,
                        PictureHeader& header);
