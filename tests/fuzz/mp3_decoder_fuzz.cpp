// Any bytes, fed in pieces of any size: no crash, no hang, and every decode()
// result agrees with the samples it appended and the format it reports.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/decode/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t piece = 1 + data[0] * 16u;
    ++data;
    --size;
    auto decoder = engine::decode::makeMp3Decoder();
    std::vector<float> out;
    bool failed = false;
    for (size_t at = 0; at < size; at += piece) {
        decoder->feed(data + at, std::min(piece, size - at));
        for (;;) {
            size_t before = out.size();
            long frames = decoder->decode(out);
            if (frames < 0) failed = true;
            if (frames <= 0) {
                if (out.size() != before) std::abort();
                break;
            }
            if (failed) std::abort();  // a failed decoder stays failed
            auto format = decoder->format();
            if (format.channels < 1 || format.channels > 2 || format.rate <= 0) std::abort();
            if (out.size() - before != static_cast<size_t>(frames) * static_cast<size_t>(format.channels)) std::abort();
        }
        out.clear();
    }
    return 0;
}
