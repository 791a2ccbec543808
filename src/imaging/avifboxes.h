// The boxes of an AVIF image sequence that say where its frames lie and
// how long each stands: the ISO base media file format's track of coded
// samples, read from the file's bytes with every length checked against
// the box that holds it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

struct SequenceSample {
    size_t offset = 0;  // in the file
    size_t size = 0;
    uint32_t duration = 0;  // in the track's timescale
};

// The colour as the sample entry's colour box gives it: code points, or an
// ICC profile.
struct SequenceColour {
    bool coded = false;  // an nclx box was there
    int primaries = 2, transfer = 2, matrix = 2;  // 2: unspecified
    bool fullRange = false;
    std::vector<BYTE> profile;
};

struct SequenceTrack {
    int width = 0;  // as the sample entry says
    int height = 0;
    uint32_t timescale = 0;
    // The first kMostAnimationFrames samples, each lying within the file.
    std::vector<SequenceSample> samples;
    int loops = 0;  // 0 for ever
    SequenceColour colour;
    // The alpha track's samples, one a picture sample; empty when the
    // sequence has none.
    std::vector<SequenceSample> alpha;
};

// Whether the file's first box, of which head holds the start, is an ftyp
// box naming the 'avis' brand: only such a file is read whole.
bool IsSequenceStart(const uint8_t* head, size_t size);

// The picture track of an 'avis' file held whole in file, with its alpha
// track's samples; false when there is none, or its boxes do not read.
bool ReadSequenceTrack(const std::vector<uint8_t>& file, SequenceTrack& track);
