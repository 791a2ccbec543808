// Pictures that move: the frames of an animated GIF, WebP or AVIF, one
// after another, each made whole as the format says (what the last frame
// leaves behind, how the new one is laid over it).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "imaging/colour.h"
#include "imaging/picture.h"
#include "imaging/pixels.h"

struct AnimationFrame {
    // The whole canvas, upright, in the target's colours, transparent pixels
    // laid over black.
    std::unique_ptr<CPixels> pixels;
    // How long the frame stands, in milliseconds, as the file says it.
    int delay = 0;
};

// Reads an animation's frames in order. Made and used on one thread at a
// time; it may be handed to another between calls.
class CAnimationReader {
public:
    virtual ~CAnimationReader() = default;
    // The canvas, upright.
    virtual SIZE Size() const = 0;
    // Frames in the file, at least 2; at most kMostAnimationFrames are read.
    virtual int FrameCount() const = 0;
    // How often the whole animation plays as the file says; 0 for ever.
    virtual int LoopCount() const = 0;
    // The next frame into frame; after the last, the first again. False when
    // the frame does not decode or stop gave up: the animation then stays on
    // the frame shown.
    virtual bool Next(AnimationFrame& frame, const StopRequest& stop = {}) = 0;
};

// The animation in the file at path; null when it holds a single frame, or
// is no animation these decoders play, or does not open. Throws nothing.
std::unique_ptr<CAnimationReader> OpenAnimation(const std::string& path, ColourTarget target = ColourTarget::Display);

// The readers of each format, as OpenAnimation chooses among them. The file
// is open at its start.
std::unique_ptr<CAnimationReader> OpenGifAnimation(FILE* file, ColourTarget target);
std::unique_ptr<CAnimationReader> OpenWebpAnimation(FILE* file, ColourTarget target);
std::unique_ptr<CAnimationReader> OpenAvifAnimation(FILE* file, ColourTarget target);
