// Any bytes and any content type: probing ends with one of its four answers,
// in time linear in the bytes, without reading past them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/decode/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const kTypes[] = {"", "audio/mpeg", "application/ogg", "audio/aac", "text/html"};
    std::string type = kTypes[data[0] % 5];
    using engine::decode::Probe;
    Probe p = engine::decode::probeFormat(data + 1, size - 1, type);
    if (p != Probe::NeedMore && p != Probe::Mp3 && p != Probe::Vorbis && p != Probe::Unknown) std::abort();
    return 0;
}
