// Any bytes with any interval and chunking: no crash, bounded texts, and the
// same result as feeding the bytes in one piece.
#include "engine/network/icy_parser.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Output {
    std::vector<unsigned char> audio;
    std::vector<std::pair<size_t, std::string>> metas;
    bool operator==(const Output&) const = default;
};

Output run(long metaint, const uint8_t* data, size_t size, size_t piece) {
    Output out;
    engine::net::IcyParser parser(
        metaint, [&](const unsigned char* d, size_t n) { out.audio.insert(out.audio.end(), d, d + n); },
        [&](const std::string& text) {
            if (text.empty() || text.size() > engine::net::IcyParser::kMaxMetaBytes) std::abort();
            out.metas.emplace_back(out.audio.size(), text);
        });
    for (size_t at = 0; at < size; at += piece) parser.feed(data + at, std::min(piece, size - at));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    long metaint = data[0] % 64;  // small intervals reach many blocks
    size_t piece = 1 + data[1] % 32;
    data += 2;
    size -= 2;
    Output whole = run(metaint, data, size, size);
    if (!(run(metaint, data, size, piece) == whole)) std::abort();
    if (whole.audio.size() > size) std::abort();
    return 0;
}
