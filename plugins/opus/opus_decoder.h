// Ogg Opus streams, chained ones included, on opusfile, as a feed decoder.
// Output is always 48 kHz, as Opus decodes.
#pragma once

#include <opusfile.h>

#include <string>
#include <vector>

#include "engine/plugin_interface.h"
#include "plugins/opus/page_gate.h"

namespace opus {

class OpusDecoder {
public:
    OpusDecoder() = default;
    ~OpusDecoder();
    OpusDecoder(const OpusDecoder&) = delete;
    OpusDecoder& operator=(const OpusDecoder&) = delete;

    bool feed(const unsigned char* data, size_t size) { return gate_.feed(data, size); }
    void decode(TunelarkPcm& pcm);
    // The comments of the song being decoded, as C texts.
    size_t comments(const char* const** texts);

private:
    bool open();
    void startSong(int link, TunelarkPcm& pcm);

    PageGate gate_;
    OggOpusFile* file_ = nullptr;
    int link_ = -1;  // opusfile's index of the song being decoded
    std::vector<std::string> comments_;
    std::vector<const char*> texts_;
    std::vector<float> samples_;
    int errorsInARow_ = 0;
    bool failed_ = false;
};

}  // namespace opus
