// AAC (LC and HE-AAC) in ADTS frames on FAAD2, as a feed decoder: bytes in,
// one frame's float samples out per call.
#pragma once

#include <neaacdec.h>

#include <vector>

#include "engine/plugin_interface.h"
#include "plugins/aac/adts_header.h"

namespace aac {

class AacDecoder {
public:
    AacDecoder() = default;
    ~AacDecoder();
    AacDecoder(const AacDecoder&) = delete;
    AacDecoder& operator=(const AacDecoder&) = delete;

    bool feed(const unsigned char* data, size_t size);
    void decode(TunelarkPcm& pcm);

private:
    bool nextFrame(AdtsHeader& header);
    bool startFaad(const unsigned char* frame, const AdtsHeader& header);
    bool decodeFrame(const AdtsHeader& header, TunelarkPcm& pcm);
    void dropUsed();
    void failure();

    NeAACDecHandle faad_ = nullptr;
    AdtsHeader current_;  // the stream FAAD2 was set up for
    std::vector<unsigned char> bytes_;
    size_t used_ = 0;      // bytes_ before this are done with
    bool synced_ = false;  // the last frame was good: trust one header
    size_t bytesWithoutAudio_ = 0;
    int errorsInARow_ = 0;
    bool failed_ = false;
};

}  // namespace aac
