// The time from a station change to the first audio sample out, through the
// engine's public calls as the player makes them: from the call that creates
// the stream to the moment the output device has been handed a sample that is
// not silence. The output's level meter is fed by the device's own render
// callback, so polling it every millisecond sees that moment; it cannot see
// what happens after it (a real sound card's own buffer, reported by the
// engine as its latency). Each run opens a new connection; the servers are
// expected on 127.0.0.1.
//
// Usage: first_sample_bench [--runs N] URL...   (SDL_AUDIODRIVER=dummy when
// there is no sound card)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/bass.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kGiveUp = std::chrono::seconds(10);
constexpr auto kPoll = std::chrono::milliseconds(1);
// Runs start at random moments of the output's period, or a fixed gap would
// lock them all to one phase of it and show one case only.
constexpr int kGapMs = 300;
constexpr int kGapJitterMs = 50;

// The player's own flags for a stereo device.
constexpr DWORD kFlags = BASS_STREAM_STATUS | BASS_STREAM_BLOCK | BASS_STREAM_AUTOFREE | BASS_SAMPLE_FX;

struct Run {
    Clock::time_point start;
    std::atomic<double> answerMs{0};  // the server's status line and headers came
    std::atomic<double> bytesMs{0};   // its first audio bytes came
    double createdMs = 0;             // BASS_StreamCreateURL returned: connected, format known
    double firstSampleMs = 0;         // the output has played a sample that is not silence
};

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The server's part of the wait: the first call brings its answer, the next
// its first audio bytes.
void onDownload(const void* buffer, DWORD length, void* user) {
    auto* run = static_cast<Run*>(user);
    std::atomic<double>& mark = length == 0 ? run->answerMs : run->bytesMs;
    if (buffer && mark.load() == 0) mark = msSince(run->start);
}

bool hearsSound(HSTREAM stream) {
    DWORD level = BASS_ChannelGetLevel(stream);
    return level != DWORD(-1) && level != 0;
}

bool measure(const char* url, Run* run) {
    auto start = run->start = Clock::now();
    HSTREAM stream = BASS_StreamCreateURL(url, 0, kFlags, onDownload, run);
    if (!stream) {
        std::fprintf(stderr, "%s: the stream was not created (error %d)\n", url, BASS_ErrorGetCode());
        return false;
    }
    run->createdMs = msSince(start);
    BASS_ChannelPlay(stream, FALSE);
    while (!hearsSound(stream)) {
        if (Clock::now() - start > kGiveUp) {
            std::fprintf(stderr, "%s: no sound within %lld s\n", url,
                         static_cast<long long>(std::chrono::seconds(kGiveUp).count()));
            BASS_StreamFree(stream);
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    run->firstSampleMs = msSince(start);
    BASS_StreamFree(stream);
    return true;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double maximum(const std::vector<double>& values) {
    return *std::max_element(values.begin(), values.end());
}

bool report(const char* url, int runs) {
    std::vector<double> answer, bytes, created, firstSample, engineShare;
    std::deque<Run> kept;  // a late download callback of a freed stream finds its run alive
    std::minstd_rand random(runs);
    std::uniform_int_distribution<int> jitter(0, kGapJitterMs);
    for (int i = 0; i < runs; ++i) {
        Run& run = kept.emplace_back();
        if (!measure(url, &run)) return false;
        answer.push_back(run.answerMs);
        bytes.push_back(run.bytesMs);
        created.push_back(run.createdMs);
        firstSample.push_back(run.firstSampleMs);
        engineShare.push_back(run.firstSampleMs - run.bytesMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(kGapMs + jitter(random)));
    }
    std::printf("| %s | %d", url, runs);
    for (const auto* values : {&answer, &bytes, &created, &firstSample, &engineShare})
        std::printf(" | %.1f / %.1f ms", median(*values), maximum(*values));
    std::printf(" |\n");
    return true;
}

void describeDevice() {
    BASS_INFO info{};
    BASS_GetInfo(&info);
    BASS_DEVICEINFO device{};
    for (DWORD i = 0; BASS_GetDeviceInfo(i, &device); ++i)
        if (device.flags & BASS_DEVICE_INIT) break;
    std::printf("Output: %s (%s), %u Hz, buffer %u ms, latency %u ms\n\n", device.name ? device.name : "?",
                device.driver ? device.driver : "?", info.freq, info.minbuf, info.latency);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20;
    std::vector<const char*> urls;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            urls.push_back(argv[i]);
    }
    if (urls.empty()) {
        std::fprintf(stderr, "usage: %s [--runs N] URL...\n", argv[0]);
        return 2;
    }
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "no output device (error %d); try SDL_AUDIODRIVER=dummy\n", BASS_ErrorGetCode());
        return 1;
    }
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
    describeDevice();
    std::printf("Each time from the create call, median / max:\n\n");
    std::printf(
        "| stream | runs | server's headers | first audio bytes | stream created "
        "| first sample out | first sample after the first bytes |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    bool ok = true;
    for (const char* url : urls) ok = report(url, runs) && ok;
    BASS_Free();
    return ok ? 0 : 1;
}
