#include "tests/support/decode_chunks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace test {

Bytes junk(size_t size, unsigned seed, bool allowSync) {
    std::mt19937 random(seed);
    Bytes b(size);
    for (auto& c : b) {
        c = static_cast<unsigned char>(random());
        if (!allowSync && c == 0xFF) c = 0;
    }
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes slice(const Bytes& b, size_t from, size_t to) {
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(std::min(to, b.size())));
}

void feedInChunks(engine::decode::Decoder& decoder, const Bytes& bytes, size_t chunk, Decoded& d,
                  const std::function<void()>& beforeCount) {
    for (size_t at = 0; at < bytes.size() && !d.failed; at += chunk) {
        decoder.feed(bytes.data() + at, std::min(chunk, bytes.size() - at));
        for (;;) {
            size_t before = d.samples.size();
            long frames = decoder.decode(d.samples);
            if (frames < 0) d.failed = true;
            if (frames <= 0) break;
            engine::decode::AudioFormat f = decoder.format();
            EXPECT_EQ(d.samples.size() - before, static_cast<size_t>(frames * f.channels));
            if (beforeCount) beforeCount();
            d.frames += frames;
            d.calls.emplace_back(f, frames);
        }
    }
    d.format = decoder.format();
}

}  // namespace test
