// Measurements of tones in interleaved float audio.
#pragma once

#include <cstddef>
#include <vector>

namespace tone {

// One channel of interleaved frames [begin, end).
struct Channel {
    const std::vector<float>* samples;
    int channels = 1;
    int channel = 0;
    size_t begin = 0;
    size_t end = 0;  // 0: up to the last frame
};

Channel channelOf(const std::vector<float>& samples, int channels, int channel = 0, size_t begin = 0, size_t end = 0);

// Peak amplitude of the sine at `frequency` (Goertzel, Hann window).
double amplitudeAt(const Channel& ch, double frequency, int rate);
// Frequency of a clean tone, from its rising zero crossings.
double zeroCrossingFrequency(const Channel& ch, int rate);
double rms(const Channel& ch);
double peak(const Channel& ch);
// Largest difference between neighbouring samples: a click shows as a jump.
double largestStep(const Channel& ch);
// Largest fourth difference: it passes the top of the band and almost nothing
// of a low tone (a 440 Hz tone at 44.1 kHz loses 96 dB), so a click stands out
// even in a loud signal.
double largestClick(const Channel& ch);
double toDb(double ratio);

}  // namespace tone
