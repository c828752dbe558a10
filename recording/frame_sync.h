// Frame boundaries in MP3 and AAC (ADTS) bytes, so that a record file can
// start with a whole frame however the network cut the stream into blocks.
#pragma once

#include <cstddef>
#include <string>

struct FrameHeader {
    size_t length = 0;    // the whole frame, header included
    bool adts = false;    // AAC in ADTS; otherwise MPEG audio (MP3, MP2, MP1)
    unsigned layout = 0;  // version, layer and rate bits that stay the same for one stream
};

// The header starting at data (at least 7 bytes must be there); length 0 when
// the bytes are not a frame header.
FrameHeader parseFrameHeader(const unsigned char* data, size_t size);

// The first offset at which a frame starts, confirmed by the next frame's
// header when that one lies within the bytes too; size when there is none.
size_t findFrameSync(const unsigned char* data, size_t size);

// "aac" for ADTS, "mp3" for MPEG audio.
std::string frameExtension(const FrameHeader& header);
