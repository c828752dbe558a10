// The two header packets of an Ogg Opus stream: the identification header
// ("OpusHead") and the comment header ("OpusTags"), read from untrusted
// bytes, and the search for an Opus stream's first page.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace opus {

struct OpusHead {
    int channels = 0;
    int preSkip = 0;     // samples at 48 kHz
    long inputRate = 0;  // Hz, informative only: Opus decodes at 48 kHz
    int mappingFamily = 0;
};

// True when the packet is an identification header we can play: version 0.x,
// a channel layout that is valid for its mapping family.
bool parseOpusHead(const unsigned char* packet, size_t size, OpusHead& out);

// The comments ("NAME=value") of a comment header; false when the packet is
// not one or its lengths run past its end.
bool parseOpusTags(const unsigned char* packet, size_t size, std::vector<std::string>& comments);

// Where the first page of an Opus stream (an Ogg page that begins a logical
// stream and holds an identification header) starts in the bytes; size
// when there is none.
size_t findOpusStream(const unsigned char* data, size_t size);

}  // namespace opus
