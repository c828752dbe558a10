// Parsing of one MPEG audio frame header (layers I-III, MPEG 1, 2 and 2.5).
#pragma once

#include <cstddef>

namespace engine::decode {

struct MpegHeader {
    int version = 0;      // 10 = MPEG 1, 20 = MPEG 2, 25 = MPEG 2.5
    int layer = 0;        // 1..3
    int bitrate = 0;      // bits per second
    int rate = 0;         // Hz
    int channels = 0;     // 1 or 2
    int frameLength = 0;  // bytes, header included
};

// True when the four bytes at p are a frame header we could decode: sync, no
// reserved version, layer, bitrate, rate or emphasis, and no free format
// (its frame length cannot be known from the header).
bool parseMpegHeader(const unsigned char* p, MpegHeader& out);

// True when two headers can belong to one stream (same version, layer, rate).
bool sameMpegStream(const MpegHeader& a, const MpegHeader& b);

}  // namespace engine::decode
