// Rate conversion of interleaved float audio (libsoxr), for one stream.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace engine::decode {

class Resampler {
public:
    // Converts inRate to outRate for the given channel count; equal rates pass through.
    // Throws std::invalid_argument for a rate or channel count below 1.
    Resampler(int inRate, int outRate, int channels);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;
    // Appends the converted frames of `frames` input frames to out.
    void process(const float* in, size_t frames, std::vector<float>& out);
    // Appends what the filter still holds (at the end of the stream; no
    // process() after it).
    void flush(std::vector<float>& out);
    int inRate() const;
    int outRate() const;
    int channels() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace engine::decode
