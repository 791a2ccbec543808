// What the program's own decoders accept at most, whatever a file claims:
// a damaged or hostile file must end in the quiet failure of an
// undecodable picture, never in all the memory or time there is.
#pragma once

#include <cstdint>

// Pixels of one picture or animation canvas: 16384 by 16384, more than any
// camera or panorama a phone makes gives.
constexpr int64_t kMostDecodedPixels = int64_t(1) << 28;
// Either side of it.
constexpr int kMostDecodedSide = 1 << 16;
// Frames of one animation that are played.
constexpr int kMostAnimationFrames = 10000;
// Bytes a decoder may hold for one picture besides the picture's own rows.
constexpr int64_t kMostDecoderBytes = int64_t(2) << 30;
