// The cost of the engine's per-stream work: decoding, rate conversion and the
// effects, each per second of audio. "x_realtime" is how many times faster
// than playback the work runs on one core.
#include <benchmark/benchmark.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <string>

#include "engine/bass.h"
#include "engine/decode/decoder.h"
#include "engine/decode/resampler.h"
#include "engine/effects/effects.h"
#include "tests/support/fixtures.h"

namespace {

constexpr int kRate = 44100;
constexpr double kStreamSeconds = 60;

// Something closer to music than a sine, so the encoders spend real bits:
// a chord that moves every half second, over quiet noise.
std::vector<int16_t> musicLike(double seconds) {
    std::mt19937 random(1);
    std::normal_distribution<double> hiss(0, 0.02);
    size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double root = 110 * std::pow(2, static_cast<int>(t * 2) % 12 / 12.0);
        double v = 0;
        for (double ratio : {1.0, 1.25, 1.5, 2.0}) v += 0.15 * std::sin(2 * std::numbers::pi * root * ratio * t);
        pcm[2 * i] = static_cast<int16_t>(32767 * std::clamp(v + hiss(random), -1.0, 1.0));
        pcm[2 * i + 1] = static_cast<int16_t>(32767 * std::clamp(v + hiss(random), -1.0, 1.0));
    }
    return pcm;
}

// The 60 s stream, encoded once: "mp3" or "ogg".
const std::vector<unsigned char>& encoded(const std::string& kind) {
    static std::map<std::string, std::vector<unsigned char>> cache;
    auto& bytes = cache[kind];
    if (!bytes.empty()) return bytes;
    fixtures::TempDir dir;
    std::string wav = dir.file("music.wav"), out = dir.file("music." + kind);
    fixtures::writeWav(wav, musicLike(kStreamSeconds), kRate, 2);
    std::string command =
        kind == "mp3"
            ? std::string("lame --quiet --cbr -b 128 ") + fixtures::shellQuote(wav) + " " + fixtures::shellQuote(out)
            : std::string("oggenc -Q -b 128 -o ") + fixtures::shellQuote(out) + " " + fixtures::shellQuote(wav);
    if (fixtures::run(command)) bytes = fixtures::readBytes(out);
    return bytes;
}

std::vector<float> stereoAudio(double seconds) {
    auto pcm = musicLike(seconds);
    std::vector<float> out(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) out[i] = pcm[i] / 32768.0f;
    return out;
}

void reportRealtime(benchmark::State& state, double audioSecondsPerIteration) {
    state.counters["x_realtime"] = benchmark::Counter(
        audioSecondsPerIteration * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Decoding a 60 s, 128 kbit/s stream fed in 4 KiB pieces, as it arrives.
void decodeStream(benchmark::State& state, const std::string& kind) {
    const auto& bytes = encoded(kind);
    if (bytes.empty()) {
        state.SkipWithError("encoder failed");
        return;
    }
    std::vector<float> out;
    out.reserve(1 << 16);
    for (auto _ : state) {
        auto decoder = kind == "mp3" ? engine::decode::makeMp3Decoder() : engine::decode::makeVorbisDecoder();
        for (size_t at = 0; at < bytes.size(); at += 4096) {
            decoder->feed(bytes.data() + at, std::min<size_t>(4096, bytes.size() - at));
            while (decoder->decode(out) > 0) out.clear();
        }
        benchmark::DoNotOptimize(out.data());
    }
    reportRealtime(state, kStreamSeconds);
}

void BM_DecodeMp3(benchmark::State& state) {
    decodeStream(state, "mp3");
}
void BM_DecodeVorbis(benchmark::State& state) {
    decodeStream(state, "ogg");
}
BENCHMARK(BM_DecodeMp3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeVorbis)->Unit(benchmark::kMillisecond);

// One second of stereo 44.1 kHz to 48 kHz in 1152-frame blocks (an MP3
// frame's worth), through the engine's Resampler.
void BM_Resample(benchmark::State& state) {
    auto in = stereoAudio(1);
    std::vector<float> out;
    out.reserve(2 * 48000 + 4096);
    for (auto _ : state) {
        engine::decode::Resampler resampler(kRate, 48000, 2);
        out.clear();
        for (size_t at = 0; at < in.size() / 2; at += 1152)
            resampler.process(in.data() + 2 * at, std::min<size_t>(1152, in.size() / 2 - at), out);
        benchmark::DoNotOptimize(out.data());
    }
    reportRealtime(state, 1);
}
BENCHMARK(BM_Resample)->Unit(benchmark::kMicrosecond);

// The same through soxr at each quality, to weigh the Resampler's choice.
void BM_SoxrQuality(benchmark::State& state) {
    auto in = stereoAudio(1);
    std::vector<float> out(2 * 48000 + 4096);
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(static_cast<unsigned long>(state.range(0)), 0);
    for (auto _ : state) {
        soxr_t soxr = soxr_create(kRate, 48000, 2, nullptr, &io, &quality, nullptr);
        size_t made = 0;
        for (size_t at = 0; at < in.size() / 2; at += 1152) {
            size_t frames = std::min<size_t>(1152, in.size() / 2 - at), used = 0, now = 0;
            soxr_process(soxr, in.data() + 2 * at, frames, &used, out.data() + 2 * made, out.size() / 2 - made, &now);
            made += now;
        }
        soxr_delete(soxr);
        benchmark::DoNotOptimize(made);
    }
    reportRealtime(state, 1);
}
BENCHMARK(BM_SoxrQuality)->Arg(SOXR_LQ)->Arg(SOXR_MQ)->Arg(SOXR_HQ)->Arg(SOXR_VHQ)->Unit(benchmark::kMicrosecond);

// One second of stereo through what every stream carries: three EQ bands
// and the reverb, in 1024-frame blocks.
void BM_EqAndReverb(benchmark::State& state) {
    auto in = stereoAudio(1);
    std::vector<std::unique_ptr<engine::fx::Effect>> chain;
    for (float centre : {125.0f, 1000.0f, 10000.0f}) {
        chain.push_back(engine::fx::createEffect(BASS_FX_DX8_PARAMEQ, kRate));
        BASS_DX8_PARAMEQ p = {centre, 18, 4};
        chain.back()->setParameters(&p);
    }
    chain.push_back(engine::fx::createEffect(BASS_FX_DX8_REVERB, kRate));
    BASS_DX8_REVERB r = {0, -12, 1000, 0.001f};
    chain.back()->setParameters(&r);
    auto samples = in;
    for (auto _ : state) {
        std::copy(in.begin(), in.end(), samples.begin());
        for (size_t at = 0; at < samples.size() / 2; at += 1024)
            for (auto& fx : chain)
                fx->process(samples.data() + 2 * at, std::min<size_t>(1024, samples.size() / 2 - at), 2);
        benchmark::DoNotOptimize(samples.data());
    }
    reportRealtime(state, 1);
}
BENCHMARK(BM_EqAndReverb)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
