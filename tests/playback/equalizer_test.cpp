// The equaliser and reverb as a listener hears them: tones streamed to the
// player, the sliders and presets used through the window, the device's
// output captured by SDL's disk driver and measured.
#include <cmath>
#include <cstdlib>

#include "engine/bass.h"
#include "platform/testing.h"
#include "tests/support/disk_output.h"
#include "tests/support/fixtures.h"
#include "tests/support/player_fixture.h"
#include "tests/support/stream_server.h"
#include "tests/support/tone_analysis.h"
#include "tests/support/wait_until.h"

namespace {

using platform::testing::click;
using platform::testing::moveTrackbar;
using platform::testing::selectListRow;

constexpr double kLevel = 0.15;  // of each tone, so that +10 dB does not clip
constexpr double kLow = 125, kMid = 1000, kHigh = 10000;

// An MP3 of three tones at kLevel lasting `seconds`, then `silence` seconds.
// A looped file is made long, so that no measurement meets its seam.
std::string makeTones(const std::string& path, double seconds, double silence)
{
    std::vector<int16_t> pcm(size_t((seconds + silence) * 44100) * 2);
    for (double frequency : {kLow, kMid, kHigh}) {
        auto one = fixtures::sinePcm16({frequency, 44100, 2, seconds, kLevel});
        for (size_t i = 0; i < one.size(); ++i)
            pcm[i] = int16_t(pcm[i] + one[i]);
    }
    fixtures::writeWav(path + ".wav", pcm, 44100, 2);
    bool made = fixtures::run("lame --quiet --cbr -b 192 " + fixtures::shellQuote(path + ".wav") + " " +
                              fixtures::shellQuote(path));
    return made ? path : "";
}

class EqualizerTest : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        output = (workDir / "output.raw").string();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        static const std::string tones = makeTones(::testing::TempDir() + "/eq-tones.mp3", 30, 0);
        static const std::string burst = makeTones(::testing::TempDir() + "/eq-burst.mp3", 1, 2);
        ASSERT_FALSE(tones.empty() || burst.empty()) << "lame could not make the test tones";
        ASSERT_TRUE(server.route(R"({"path": "/tones", "body": [{"file": )" + test::StreamServer::quote(tones) +
                                 R"(}], "loop": true})"));
        ASSERT_TRUE(server.route(R"({"path": "/burst", "body": [{"file": )" + test::StreamServer::quote(burst) +
                                 R"(}], "then": "stall"})"));
        // Each twice: a station change needs another row, not another address.
        std::string tonesUrl = server.url("/tones"), burstUrl = server.url("/burst");
        writeStations("Tones," + tonesUrl + "\nTones again," + tonesUrl + "\nBurst," + burstUrl +
                      "\nBurst again," + burstUrl + "\n");
        ASSERT_NE(open(), nullptr);
    }

    void TearDown() override
    {
        PlayerTest::TearDown();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    size_t framesOut() const { return test::diskFramesOut(output, 2); }
    std::vector<float> frames(size_t begin, size_t end) const
    {
        return test::diskOutputFrames(output, 2, begin, end);
    }

    void play(int row)
    {
        HSTREAM old = player.stream;
        selectListRow(item(IDC_STATIONS), row);
        ASSERT_TRUE(pumpUntil([&] {
            return player.stream != old && BASS_ChannelIsActive(player.stream) == BASS_ACTIVE_PLAYING;
        }, 60000));
    }

    // Level in dB against the tone as sent, of each frequency, over half a
    // second of output that began well after now, once a reverb's tail from
    // before has faded.
    std::vector<double> gainsDb()
    {
        size_t start = framesOut() + 44100 * 7 / 10;
        auto out = frames(start, start + 44100 / 2);
        std::vector<double> gains;
        for (double frequency : {kLow, kMid, kHigh})
            gains.push_back(tone::toDb(tone::amplitudeAt(tone::channelOf(out, 2), frequency, 44100) / kLevel));
        return gains;
    }

    void moveSlider(int id, int position) { moveTrackbar(item(id), position, TB_THUMBTRACK); }

    // The first frame from `mark` on that is loud: where a burst begins.
    size_t burstStart(size_t mark)
    {
        size_t at = mark;
        EXPECT_TRUE(test::waitUntil([&] {
            auto out = frames(at, framesOut());
            for (size_t i = 0; i < out.size(); i += 2, ++at)
                if (std::fabs(out[i]) > 0.01f)
                    return true;
            return false;
        }, 60)) << "the burst never came";
        return at;
    }

    // Level of what sounds 0.15..0.5 s after the burst's tones end, against
    // the tones.
    double tailDb(size_t mark)
    {
        size_t start = burstStart(mark);
        auto out = frames(start + 44100 * 115 / 100, start + 44100 * 3 / 2);
        return tone::toDb(tone::rms(tone::channelOf(out, 2)) / kLevel);
    }

    test::StreamServer server;
    std::string output;
};

TEST_F(EqualizerTest, LowBandSliderRaisesAndLowersOnlyItsBand)
{
    click(item(IDC_PRESET_OFF));  // flat and dry, before any stream exists
    play(0);
    auto flat = gainsDb();
    for (double gain : flat)
        EXPECT_NEAR(gain, 0, 1);
    moveSlider(IDC_EFFECT0, 0);
    auto top = gainsDb();
    EXPECT_NEAR(top[0] - flat[0], 10, 1);
    EXPECT_NEAR(top[2] - flat[2], 0, 1);
    moveSlider(IDC_EFFECT0, 20);
    auto bottom = gainsDb();
    EXPECT_NEAR(bottom[0] - flat[0], -10, 1);
    EXPECT_NEAR(bottom[2] - flat[2], 0, 1);
}

TEST_F(EqualizerTest, ReverbSliderAtTheTopLeavesATailTheBottomDoesNot)
{
    // Moved with no stream, the slider is picked up by the next stream.
    moveSlider(IDC_EFFECT3, 20);
    size_t mark = framesOut();
    play(2);
    double dry = tailDb(mark);
    moveSlider(IDC_EFFECT3, 0);
    mark = framesOut();
    play(3);
    double wet = tailDb(mark);
    EXPECT_LT(dry, -60);
    EXPECT_GT(wet, -30);
}

// Presets by their table: the four positions, then the sound at 125 Hz,
// 1 kHz and 10 kHz against the same reverb with flat bands (a reverb colours
// a steady tone by a few dB, the same before and after). "Instrumental" is
// chosen before a station change and must be heard on the new station
// without being pressed again.
TEST_F(EqualizerTest, PresetsSetTheSlidersAndTheSound)
{
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
        for (int i = 0; i < 3; ++i)
            moveSlider(IDC_EFFECT0 + i, 10);
        moveSlider(IDC_EFFECT3, c.positions[3]);
        auto flat = gainsDb();
        click(item(c.id));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(send(IDC_EFFECT0 + i, TBM_GETPOS), c.positions[i]) << i;
        if (c.id == IDC_PRESET_INSTR)
            play(1);
        BASS_DX8_REVERB reverb{};
        ASSERT_TRUE(BASS_FXGetParameters(player.reverbEffect, &reverb));
        EXPECT_NEAR(reverb.fReverbMix, c.mix, 0.001);
        auto gains = gainsDb();
        for (int band = 0; band < 3; ++band)
            EXPECT_NEAR(gains[band] - flat[band], c.gains[band], 1) << band;
    }
}

}  // namespace
