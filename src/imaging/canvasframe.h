// An animation's canvas, as a decoder leaves it, made into the frame the
// player shows: what DeliverImage gives a still, kept as plain memory.
#pragma once

#include "gdi.h"
#include "imaging/animation.h"
#include "imaging/decodedimage.h"

// The canvas laid over black and converted to target into frame.pixels.
// section is the reader's own, reused from frame to frame. False when the
// canvas does not convert, or stop gave up.
bool CanvasFrame(const DecodedImage& canvas, ColourTarget target, const StopRequest& stop, CBitmap& section,
                 AnimationFrame& frame);
