// Decoders turn a radio stream's bytes, fed as they arrive, into float PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine::decode {

struct AudioFormat {
    int rate = 0;  // Hz
    int channels = 0;
    uint32_t ctype = 0;  // BASS_CTYPE_*
};

// A feed decoder: no seeking, tolerant of junk before the first frame (a
// server's burst starts mid-frame) and of junk in the middle (it resyncs).
class Decoder {
public:
    virtual ~Decoder() = default;
    // Hands over received bytes; the decoder keeps what it has not used yet.
    virtual void feed(const unsigned char* data, size_t size) = 0;
    // Decodes as much as the fed bytes allow and appends interleaved float
    // samples (-1..1) in the current format to out. Returns the frames added;
    // 0 means "feed more". Returns -1 after too many errors in a row.
    virtual long decode(std::vector<float>& out) = 0;
    // The format of the samples decode() last appended; rate 0 before the first.
    virtual AudioFormat format() const = 0;
    // Ogg: the comments ("name=value") of the logical stream being decoded.
    virtual std::vector<std::string> comments() const { return {}; }
    // Called from inside decode() when a new logical stream of a chained Ogg
    // stream begins (not for the first one), before its first sample is
    // appended; comments() already answers for the new one.
    std::function<void()> onStreamChange;
};

std::unique_ptr<Decoder> makeMp3Decoder();
std::unique_ptr<Decoder> makeVorbisDecoder();

}  // namespace engine::decode
