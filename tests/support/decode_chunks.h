// Decoder tests' input made of pieces (tone, junk, cut-outs) and fed to a
// decoder a chunk at a time, as the network delivers it.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/decode/decoder.h"

namespace test {

using Bytes = std::vector<unsigned char>;

// Random bytes from `seed`; without `allowSync`, no 0xFF (so no MP3 frame sync).
Bytes junk(size_t size, unsigned seed, bool allowSync = true);
Bytes concat(std::initializer_list<Bytes> parts);
// Bytes [from, to) of `b`, `to` clipped to its end.
Bytes slice(const Bytes& b, size_t from, size_t to);

struct Decoded {
    std::vector<float> samples;  // of every format, in order
    long frames = 0;
    engine::decode::AudioFormat format;  // at the end
    // Per decode() call that added frames: its format and frame count.
    std::vector<std::pair<engine::decode::AudioFormat, long>> calls;
    bool failed = false;
};

// Feeds `bytes` to `decoder` `chunk` bytes at a time, decoding all it can
// after each, until the end or the first failure. `beforeCount` runs for
// every call that gave frames, before they are added to `d.frames`.
void feedInChunks(engine::decode::Decoder& decoder, const Bytes& bytes, size_t chunk, Decoded& d,
                  const std::function<void()>& beforeCount = {});

}  // namespace test
