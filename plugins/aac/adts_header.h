// The header of an ADTS frame, the framing of AAC radio streams: a 12-bit
// sync word, then the stream's profile, rate and channels and the frame's
// length. Checked strictly enough that two in a row mean an AAC stream.
#pragma once

#include <cstddef>

namespace aac {

constexpr size_t kAdtsHeaderSize = 7;  // 9 with the CRC that may follow

struct AdtsHeader {
    int profile = 0;        // object type - 1: 1 is AAC-LC
    int rateIndex = 0;      // 0..12
    int rate = 0;           // Hz
    int channelConfig = 0;  // 0: given in the stream, 1..7
    size_t headerSize = 0;  // 7, or 9 with a CRC
    size_t frameSize = 0;   // bytes, header included
};

// True when the bytes at p (at least kAdtsHeaderSize of them) are a header
// of a frame we can decode: sync, layer 0, a known rate, a frame longer
// than its header.
bool parseAdtsHeader(const unsigned char* p, AdtsHeader& out);

// True when two headers can belong to one stream.
bool sameAdtsStream(const AdtsHeader& a, const AdtsHeader& b);

// Where the first of two consecutive frames of one stream starts in the
// bytes; size when there is none.
size_t findAdtsFrames(const unsigned char* data, size_t size);

}  // namespace aac
