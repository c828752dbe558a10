// The engine on a real sound server (a private PulseAudio with a null sink):
// the device is let go while nothing plays and taken again for the next
// stream, and a server that restarts under a playing stream is played to again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/bass.h"
#include "tests/support/fixtures.h"
#include "tests/support/stream_server.h"
#include "tests/support/wait_until.h"

namespace {
using test::waitUntil;

std::string output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    for (int c; (c = fgetc(pipe)) != EOF;) text += char(c);
    pclose(pipe);
    return text;
}

class SoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        // The server's socket and cookie in a folder of this test's own.
        setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
        setenv("HOME", dir_.path().c_str(), 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        startServer();
        fixtures::Tone tone{.frequency = 1000, .rate = 44100, .channels = 2, .seconds = 2, .amplitude = 0.5};
        fixtures::writeBytes(dir_.file("tone.mp3"), fixtures::makeMp3(tone, 128));
        server_.route(R"({"path": "/tone", "headers": ["Content-Type: audio/mpeg"], "loop": true,
                          "rate": 20000, "body": [{"file": ")" +
                      dir_.file("tone.mp3") + R"("}]})");
    }
    void TearDown() override {
        BASS_Free();
        system("pulseaudio --kill 2>/dev/null");
    }

    static void startServer() {
        system(
            "pulseaudio --daemonize=yes -n --exit-idle-time=-1 --load=module-native-protocol-unix"
            " --load='module-null-sink sink_name=speakers' 2>/dev/null");
        ASSERT_TRUE(waitUntil([] { return system("pactl info >/dev/null 2>&1") == 0; }, 30));
    }
    // The sink played the tone during about a second.
    static bool heard() {
        std::string raw = output("timeout 1 parec -d speakers.monitor --format=s16le --rate=44100 --channels=2 --raw");
        int peak = 0;
        for (size_t i = 0; i + 1 < raw.size(); i += 2)
            peak = std::max(peak, std::abs(int(int16_t(uint8_t(raw[i]) | uint8_t(raw[i + 1]) << 8))));
        return peak > 8000;
    }
    static bool deviceOpen() { return !output("pactl list short sink-inputs").empty(); }
    HSTREAM play() {
        HSTREAM stream = BASS_StreamCreateURL(server_.url("/tone").c_str(), 0, 0, nullptr, nullptr);
        BASS_ChannelPlay(stream, FALSE);
        return stream;
    }

    fixtures::TempDir dir_;
    test::StreamServer server_;
};

TEST_F(SoundServer, DeviceIsLetGoWhileNothingPlaysAndTakenForTheNextStream) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    ASSERT_TRUE(waitUntil([] { return !deviceOpen(); }, 60));
    HSTREAM stream = play();
    EXPECT_TRUE(waitUntil(heard, 60));
    BASS_ChannelPause(stream);
    EXPECT_TRUE(waitUntil([] { return !deviceOpen(); }, 60));
    BASS_ChannelPlay(stream, FALSE);
    EXPECT_TRUE(waitUntil(heard, 60));
}

TEST_F(SoundServer, StreamPlaysOnAfterTheServerRestarts) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    play();
    ASSERT_TRUE(waitUntil(heard, 60));
    system("pulseaudio --kill");
    ASSERT_TRUE(waitUntil([] { return system("pactl info >/dev/null 2>&1") != 0; }, 30));
    startServer();
    EXPECT_TRUE(waitUntil(heard, 60));
}

}  // namespace
