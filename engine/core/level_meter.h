// A channel's level: the peak of the latest 20 ms per side, measured on the
// output's thread and read by any thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace engine {

class LevelMeter {
public:
    explicit LevelMeter(int rate);

    // Output thread only.
    void add(const float* frames, int count, int channels);
    void reset();

    // Any thread: left in the low word, right in the high word, 0..32768.
    uint32_t level() const { return packed_.load(std::memory_order_relaxed); }

private:
    static constexpr int kSlices = 4;  // of 5 ms each

    void closeSlice();

    const int sliceFrames_;
    int sliceFill_ = 0;
    float slicePeak_[2] = {0, 0};
    float history_[kSlices][2] = {};
    int next_ = 0;
    std::atomic<uint32_t> packed_{0};
};

}  // namespace engine
