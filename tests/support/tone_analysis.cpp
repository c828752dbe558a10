#include "tests/support/tone_analysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tone {
namespace {

size_t frameCount(const Channel& ch) {
    size_t total = ch.samples->size() / static_cast<size_t>(ch.channels);
    size_t end = ch.end == 0 ? total : std::min(ch.end, total);
    return end > ch.begin ? end - ch.begin : 0;
}

double at(const Channel& ch, size_t i) {
    return (*ch.samples)[(ch.begin + i) * static_cast<size_t>(ch.channels) + static_cast<size_t>(ch.channel)];
}

}  // namespace

Channel channelOf(const std::vector<float>& samples, int channels, int channel, size_t begin, size_t end) {
    return {&samples, channels, channel, begin, end};
}

double amplitudeAt(const Channel& ch, double frequency, int rate) {
    size_t n = frameCount(ch);
    if (n < 2) return 0;
    double w = 2 * std::numbers::pi * frequency / rate;
    double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0, windowSum = 0;
    for (size_t i = 0; i < n; ++i) {
        double window =
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1));
        windowSum += window;
        double s = at(ch, i) * window + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    double re = s1 - s2 * std::cos(w);
    double im = s2 * std::sin(w);
    return 2 * std::sqrt(re * re + im * im) / windowSum;
}

double zeroCrossingFrequency(const Channel& ch, int rate) {
    size_t n = frameCount(ch);
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < n; ++i) {
        double a = at(ch, i - 1), b = at(ch, i);
        if (a < 0 && b >= 0) {
            double t = static_cast<double>(i - 1) + a / (a - b);
            if (crossings == 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * static_cast<double>(rate) / (last - first);
}

double rms(const Channel& ch) {
    size_t n = frameCount(ch);
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += at(ch, i) * at(ch, i);
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

double peak(const Channel& ch) {
    size_t n = frameCount(ch);
    double p = 0;
    for (size_t i = 0; i < n; ++i) p = std::max(p, std::abs(at(ch, i)));
    return p;
}

double largestStep(const Channel& ch) {
    size_t n = frameCount(ch);
    double step = 0;
    for (size_t i = 1; i < n; ++i) step = std::max(step, std::abs(at(ch, i) - at(ch, i - 1)));
    return step;
}

double largestClick(const Channel& ch) {
    size_t n = frameCount(ch);
    double click = 0;
    for (size_t i = 4; i < n; ++i) {
        double d = at(ch, i) - 4 * at(ch, i - 1) + 6 * at(ch, i - 2) - 4 * at(ch, i - 3) + at(ch, i - 4);
        click = std::max(click, std::abs(d));
    }
    return click;
}

double toDb(double ratio) {
    return 20 * std::log10(ratio);
}

}  // namespace tone
