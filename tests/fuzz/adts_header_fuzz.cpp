// Any bytes: the ADTS search and header parser stay inside them, and what
// they accept is a header they would accept again, of a known rate.
#include <cstdint>
#include <cstdlib>

#include "plugins/aac/adts_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t at = aac::findAdtsFrames(data, size);
    if (at > size) std::abort();
    if (at == size) return 0;
    aac::AdtsHeader first, second;
    if (!aac::parseAdtsHeader(data + at, first) || first.rate < 7350 || first.frameSize <= first.headerSize)
        std::abort();
    if (at + first.frameSize + aac::kAdtsHeaderSize > size) std::abort();
    if (!aac::parseAdtsHeader(data + at + first.frameSize, second) || !aac::sameAdtsStream(first, second)) std::abort();
    return 0;
}
