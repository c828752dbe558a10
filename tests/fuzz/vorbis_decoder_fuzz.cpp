// Any bytes, fed in pieces of any size: no crash, no hang; stream changes and
// comments stay consistent. Page checksums are set right before feeding, so
// the fuzzer's changes reach the Vorbis headers and packets instead of being
// dropped as damaged pages (seed it with .ogg files, chained ones too).
#include <ogg/ogg.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/decode/decoder.h"

namespace {

void fixChecksums(std::vector<unsigned char>& bytes) {
    for (size_t at = 0; at + 27 <= bytes.size(); ++at) {
        if (std::memcmp(bytes.data() + at, "OggS", 4) != 0) continue;
        size_t header = 27 + bytes[at + 26];
        if (at + header > bytes.size()) return;
        size_t body = 0;
        for (size_t i = 0; i < bytes[at + 26]; ++i) body += bytes[at + 27 + i];
        if (at + header + body > bytes.size()) return;
        ogg_page page = {bytes.data() + at, static_cast<long>(header), bytes.data() + at + header,
                         static_cast<long>(body)};
        ogg_page_checksum_set(&page);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t piece = 1 + data[0] * 16u;
    std::vector<unsigned char> bytes(data + 1, data + size);
    fixChecksums(bytes);

    auto decoder = engine::decode::makeVorbisDecoder();
    long frames = 0, changes = 0;
    decoder->onStreamChange = [&] {
        ++changes;
        auto format = decoder->format();
        if (format.channels < 1 || format.channels > 8 || format.rate <= 0) std::abort();
        decoder->comments();
    };
    std::vector<float> out;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        decoder->feed(bytes.data() + at, std::min(piece, bytes.size() - at));
        for (;;) {
            size_t before = out.size();
            long added = decoder->decode(out);
            if (added <= 0) break;
            auto format = decoder->format();
            if (out.size() - before != static_cast<size_t>(added) * static_cast<size_t>(format.channels)) std::abort();
            frames += added;
        }
        out.clear();
    }
    if (changes > 0 && frames == 0) std::abort();  // a change comes with its first sample
    return 0;
}
