// Any bytes and any content type: probing ends with one of its four answers,
// in time linear in the bytes, without reading past them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/decode/decoder_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const kTypes[] = {"", "audio/mpeg", "application/ogg", "audio/aac", "text/html"};
    std::string type = kTypes[data[0] % 5];
    using engine::decode::ProbeResult;
    auto kinds = engine::decode::builtinDecoderKinds();
    ProbeResult p = engine::decode::probeStream(kinds, data + 1, size - 1, type);
    if ((p.state == ProbeResult::Found) != (p.kind != nullptr)) std::abort();
    return 0;
}
