// The equaliser and reverb as a listener hears them: three tones streamed to
// the player, sliders and presets used through the window, the device's
// output captured by SDL's disk driver and measured.
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "engine/bass.h"
#include "playback/equalizer.h"
#include "tests/support/disk_output.h"
#include "tests/support/fixtures.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"
#include "tests/support/stream_server.h"
#include "tests/support/tone_analysis.h"
#include "tests/support/wait_until.h"

namespace {

using platform::testing::click;

constexpr double kLevel = 0.15;  // of each tone, so that +10 dB does not clip
constexpr double kTones[] = {125, 1000, 10000};
constexpr size_t kRate = 44100;  // frames a second

// The tones for `seconds`, then `silence` seconds, as an MP3 route.
std::string tonesRoute(const std::string& path, double seconds, double silence, const std::string& end) {
    std::vector<int16_t> pcm(size_t((seconds + silence) * kRate) * 2);
    for (double frequency : kTones) {
        auto one = fixtures::sinePcm16({frequency, int(kRate), 2, seconds, kLevel});
        for (size_t i = 0; i < one.size(); ++i) pcm[i] = int16_t(pcm[i] + one[i]);
    }
    static fixtures::TempDir dir;  // this process's own, removed at its end
    std::string mp3 = dir.path() + path + ".mp3", wav = mp3 + ".wav";
    fixtures::writeWav(wav, pcm, int(kRate), 2);
    fixtures::run("lame --quiet --cbr -b 192 " + fixtures::shellQuote(wav) + " " + fixtures::shellQuote(mp3));
    return R"({"path": ")" + path + R"(", "body": [{"file": )" + test::StreamServer::quote(mp3) + "}], " + end + "}";
}

class EqualizerTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        output = (workDir / "output.raw").string();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        // Long enough that no measurement meets the loop's seam.
        static const std::string tones = tonesRoute("/tones", 30, 0, R"("loop": true)");
        static const std::string burst = tonesRoute("/burst", 1, 2, R"("then": "stall")");
        ASSERT_TRUE(server.route(tones) && server.route(burst));
        // Each twice: a station change needs another row, not another address.
        std::string t = server.url("/tones"), b = server.url("/burst");
        writeStations("T," + t + "\nT2," + t + "\nB," + b + "\nB2," + b + "\n");
        ASSERT_NE(open(), nullptr);
    }

    void TearDown() override {
        PlayerTest::TearDown();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    std::vector<float> frames(size_t from, size_t to) { return test::diskOutputFrames(output, 2, from, to); }

    void play(int row) {
        HSTREAM old = player.stream;
        platform::testing::selectListRow(item(IDC_STATIONS), row);
        ASSERT_TRUE(pumpUntil(
            [&] { return player.stream != old && BASS_ChannelIsActive(player.stream) == BASS_ACTIVE_PLAYING; }, 60000));
    }

    void moveSlider(int id, int position) { platform::testing::moveTrackbar(item(id), position, TB_THUMBTRACK); }

    // Each tone's level in dB against the tone as sent, over half a second
    // that starts when a reverb's tail from before has faded.
    std::vector<double> gainsDb() {
        size_t start = test::diskFramesOut(output, 2) + kRate * 7 / 10;
        auto out = frames(start, start + kRate / 2);
        std::vector<double> gains;
        for (double frequency : kTones)
            gains.push_back(tone::toDb(tone::amplitudeAt(tone::channelOf(out, 2), frequency, int(kRate)) / kLevel));
        return gains;
    }

    // The level 0.15..0.5 s after the burst's tones end, against the tones;
    // the first loud frame after `mark` is where the burst begins.
    double tailDb(size_t mark) {
        EXPECT_TRUE(test::waitUntil(
            [&] {
                auto out = frames(mark, test::diskFramesOut(output, 2));
                for (size_t i = 0; i < out.size(); i += 2, ++mark)
                    if (std::fabs(out[i]) > 0.01f) return true;
                return false;
            },
            60))
            << "the burst never came";
        auto tail = frames(mark + kRate * 115 / 100, mark + kRate * 3 / 2);
        return tone::toDb(tone::rms(tone::channelOf(tail, 2)) / kLevel);
    }

    test::StreamServer server;
    std::string output;
};

TEST_F(EqualizerTest, LowBandSliderRaisesAndLowersOnlyItsBand) {
    click(item(IDC_PRESET_OFF));  // flat and dry, before any stream exists
    play(0);
    auto flat = gainsDb();
    for (double gain : flat) EXPECT_NEAR(gain, 0, 1);
    for (int position : {0, 20}) {
        moveSlider(IDC_EFFECT0, position);
        auto moved = gainsDb();
        EXPECT_NEAR(moved[0] - flat[0], 10 - position, 1) << position;
        EXPECT_NEAR(moved[2] - flat[2], 0, 1) << position;
    }
}

TEST_F(EqualizerTest, ReverbSliderAtTheTopLeavesATailTheBottomDoesNot) {
    // Moved with no stream, the slider is picked up by the next stream.
    moveSlider(IDC_EFFECT3, 20);
    play(2);
    EXPECT_LT(tailDb(0), -60);
    moveSlider(IDC_EFFECT3, 0);
    size_t mark = test::diskFramesOut(output, 2);
    play(3);
    EXPECT_GT(tailDb(mark), -30);
}

// Each preset's positions, then its sound against the same reverb with flat
// bands (a reverb colours a steady tone by a few dB, alike before and after).
// "Instrumental", chosen before a station change, is heard on the new one.
TEST_F(EqualizerTest, PresetsSetTheSlidersAndTheSound) {
    struct Case {
        int id;
        int positions[4];
        double gains[3];
        float mix;
    };
    const Case cases[] = {{IDC_PRESET_VOCAL, {10, 5, 10, 9}, {0, 5, 0}, -11.957f},
                          {IDC_PRESET_OFF, {10, 10, 10, 20}, {0, 0, 0}, -96.0f},
                          {IDC_PRESET_INSTR, {8, 10, 2, 9}, {2, 0, 8}, -11.957f}};
    play(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        for (int i = 0; i < 4; ++i) moveSlider(IDC_EFFECT0 + i, i < 3 ? 10 : c.positions[3]);
        auto flat = gainsDb();
        click(item(c.id));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(send(IDC_EFFECT0 + i, TBM_GETPOS), c.positions[i]) << i;
        if (c.id == IDC_PRESET_INSTR) play(1);
        BASS_DX8_REVERB reverb{};
        ASSERT_TRUE(BASS_FXGetParameters(player.reverbEffect, &reverb));
        EXPECT_NEAR(reverb.fReverbMix, c.mix, 0.001);
        auto gains = gainsDb();
        for (int band = 0; band < 3; ++band) EXPECT_NEAR(gains[band] - flat[band], c.gains[band], 1) << band;
    }
}

// A slider moved while a stream's effects are being set up must not hand
// the engine's default centre and width to the new band: each band keeps its
// own centre, and the gain is the slider's.
TEST_F(EqualizerTest, SliderMovedDuringSetUpKeepsTheBandsCentres) {
    play(0);
    moveSlider(IDC_EFFECT0, 4);
    std::atomic<bool> done{false};
    std::thread mover([&] {
        while (!done) applyEffectSlider(0);
    });
    const float centres[] = {125, 1000, 10000};
    bool allKept = true;
    for (int round = 0; round < 300 && allKept; ++round) {
        HFX old[4] = {player.eqBand[0], player.eqBand[1], player.eqBand[2], player.reverbEffect};
        createStreamEffects();
        for (HFX fx : old) BASS_ChannelRemoveFX(player.stream, fx);
        for (int band = 0; band < 3; ++band) {
            BASS_DX8_PARAMEQ params{};
            BASS_FXGetParameters(player.eqBand[band], &params);
            allKept = allKept && params.fCenter == centres[band] && params.fBandwidth == 18.0f;
        }
    }
    done = true;
    mover.join();
    EXPECT_TRUE(allKept);
    BASS_DX8_PARAMEQ low{};
    ASSERT_TRUE(BASS_FXGetParameters(player.eqBand[0], &low));
    EXPECT_EQ(low.fGain, 6.0f);
}

}  // namespace
