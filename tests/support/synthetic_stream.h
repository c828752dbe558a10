// Engine streams fed by a generated tone instead of the network, for tests
// of the channel calls, the mixer and the engine's threads.
#pragma once

#include <memory>

#include "engine/bass.h"
#include "engine/core/channel.h"

namespace test {

struct ToneStream {
    double frequency = 1000;  // Hz
    float amplitude = 0.5f;   // of full scale, every channel
    int channels = 2;
    double seconds = 0;  // then the data ends; 0: until the stream is freed
    DWORD flags = 0;
    DWORD ctype = BASS_CTYPE_STREAM_MP3;
    double rate = 0;  // reported as the stream's own rate; 0: the device's
};

// Registers a stream with the running engine (BASS_Init first); a thread of
// its own writes the tone at the device rate as fast as the stream's buffer
// takes it. 0 when the engine is not running.
HSTREAM createToneStream(const ToneStream& tone);

// The channel behind a live handle, for tests that drive its feeder side
// (tags, syncs) directly; null when the handle is not live.
std::shared_ptr<engine::Channel> channelOf(HSTREAM handle);

}  // namespace test
