// Any bytes as an identification header, a comment header and a stream
// start: no read outside them, and accepted values within their limits.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugins/opus/opus_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    opus::OpusHead head;
    if (opus::parseOpusHead(data, size, head) && (head.channels < 1 || head.channels > 255)) std::abort();
    std::vector<std::string> comments;
    if (opus::parseOpusTags(data, size, comments)) {
        size_t total = 0;
        for (const auto& c : comments) total += c.size() + 4;
        if (total + 16 > size) std::abort();
    }
    if (opus::findOpusStream(data, size) > size) std::abort();
    return 0;
}
