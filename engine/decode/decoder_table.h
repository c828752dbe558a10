// The table of decoders: every format the engine plays, the built-in MP3
// and Ogg Vorbis and those the plug-ins bring, each with a probe that finds
// it in a stream's first bytes and a factory for its decoder. A stream's
// format is chosen from this table alone, so a new format is one entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/decode/decoder.h"

namespace engine::decode {

struct ProbeHit {
    size_t offset = 0;  // where the format starts in the bytes
    // Only a sign in front of the audio (an ID3 tag before MP3 frames); taken
    // unless the server announces another format.
    bool tagOnly = false;
};

struct DecoderKind {
    uint32_t ctype = 0;                     // BASS_CTYPE_* of its streams
    std::string name;                       // "MP3", "AAC stream"
    std::vector<std::string> contentTypes;  // lower case; a hint in a tie
    bool hasComments = false;               // its streams have the OGG tag
    uint32_t plugin = 0;                    // the HPLUGIN that brought it, 0: built in
    std::function<std::optional<ProbeHit>(const unsigned char* data, size_t size)> probe;
    std::function<std::unique_ptr<Decoder>()> make;
};

using KindPtr = std::shared_ptr<const DecoderKind>;

// Adds a kind after every kind there is (earlier kinds win ties). Any thread.
void registerDecoder(KindPtr kind);
// The table as it is now: the built-in kinds first, then the plug-ins' in
// the order they were loaded. Any thread; a kind is never removed.
std::vector<KindPtr> decoderKinds();
// The built-in kinds alone.
std::vector<KindPtr> builtinDecoderKinds();

// What the first bytes of a stream tell.
struct ProbeResult {
    enum State { NeedMore, Found, Unknown } state = NeedMore;
    KindPtr kind;  // when Found
};

// Looks at the first received bytes (contentType lower-cased, a hint only):
// NeedMore until one of `kinds` is recognised or enough bytes rule all out
// (markup, text, or 16 KiB with nothing found).
ProbeResult probeStream(const std::vector<KindPtr>& kinds, const unsigned char* data, size_t size,
                        const std::string& contentType);

}  // namespace engine::decode
