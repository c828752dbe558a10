// ID3v2 tags as HLS stations send timed metadata (at the head of packed
// audio segments, or as ID3 packets in MPEG-TS): the song title they carry,
// as the ICY text a radio station would send. Pure functions, safe on any
// input.
#pragma once

#include <cstddef>
#include <string>

namespace hls {

// The size of the ID3v2 tag at data (header, body and footer), 0 when data
// does not start with one.
size_t id3TagSize(const unsigned char* data, size_t size);

// The title a tag names as "StreamTitle='...';": an ICY text in a TXXX or
// PRIV frame as it is; otherwise TPE1 and TIT2 as "artist - title" (or the
// title alone), from the frames or from TXXX "artist"/"title". Texts become
// UTF-8. Empty when the tag names no title.
std::string id3Title(const unsigned char* data, size_t size);

}  // namespace hls
