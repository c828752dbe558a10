// A channel's decoded audio, at the device rate, between the thread that
// decodes it (the producer) and the output's thread (the consumer): a
// single-producer single-consumer ring with no lock. With 8-bit storage the
// samples are really kept at 8 bits (BASS_SAMPLE_8BITS).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine {

class PcmBuffer {
public:
    PcmBuffer(size_t capacityFrames, int channels, bool eightBit);

    int channels() const { return channels_; }
    size_t capacity() const { return capacity_; }
    bool eightBit() const { return eightBit_; }

    // Producer only: copies up to `frames` frames; returns how many fitted.
    size_t write(const float* in, size_t frames);
    // Consumer only: takes up to `frames` frames; returns how many there were.
    size_t read(float* out, size_t frames);

    size_t available() const;  // frames ready to read
    size_t space() const;      // frames that can be written

private:
    void store(size_t slot, const float* in, size_t frames);
    void load(size_t slot, float* out, size_t frames) const;

    const size_t capacity_;
    const int channels_;
    const bool eightBit_;
    std::vector<float> floats_;
    std::vector<int8_t> bytes_;
    // Frame counters that only grow; their difference is the fill.
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> read_{0};
};

}  // namespace engine
