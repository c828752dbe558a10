// The last stage of a stream's pipeline: decoded audio in the stream's own
// rate and channel count, resampled to the device rate and stored in the
// channel's layout. Download thread only.
#pragma once

#include <memory>
#include <vector>

#include "engine/core/channel.h"
#include "engine/decode/decoder.h"
#include "engine/decode/resampler.h"

namespace engine {

class ChannelWriter {
public:
    explicit ChannelWriter(Channel& channel) : channel_(channel) {}
    // Waits for room while the channel's buffer is full; false once the
    // channel is closed (nobody will read any more).
    bool write(const decode::AudioFormat& format, const float* samples, size_t frames);
    // Writes what the resampler still holds, at the end of the stream or of
    // a format.
    bool flush();

private:
    bool store(int channels);

    Channel& channel_;
    std::unique_ptr<decode::Resampler> resampler_;
    std::vector<float> resampled_, mapped_;
};

}  // namespace engine
