// A station that drops is connected again by itself: heard again soon after
// it returns, recorded into new files, and its waiting ended at once by
// Pause, another station or leaving.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>

#include "engine/bass.h"
#include "tests/support/fixtures.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"
#include "tests/support/record_folder.h"
#include "tests/support/stream_server.h"
#include "tests/support/tone_analysis.h"

namespace {

using platform::testing::click;
using platform::testing::selectListRow;

constexpr size_t kMetaint = 4000;

class ReconnectTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        output = (workDir / "output.raw").string();
        setenv("SDL_AUDIODRIVER", "disk", 1);  // read when the player starts the engine
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    }

    void TearDown() override {
        PlayerTest::TearDown();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
    }

    std::string tone(double frequency, const std::string& name) {
        auto bytes = fixtures::makeMp3({.frequency = frequency, .seconds = 2});
        fixtures::writeBytes((workDir / name).string(), bytes);
        return std::string(bytes.begin(), bytes.end());
    }

    // An ICY station at path, titled "Artist - One", sending the file `name`
    // once and closing, unless `more` says otherwise.
    void serve(const std::string& path, const std::string& name, const std::string& more = "") {
        ASSERT_TRUE(server.route(R"({"path": ")" + path +
                                 R"(", "status": "ICY 200 OK", "headers": ["Content-Type: audio/mpeg",
            "icy-metaint: 4000"], "metaint": 4000, "meta": [{"block": 0, "title": "Artist - One"}], "body": [{"file": )" +
                                 test::StreamServer::quote((workDir / name).string()) + "}]" + more + "}"));
    }

    void start(const std::string& stations, bool record = false) {
        writeStations(stations);
        ASSERT_NE(open(), nullptr);
        if (record) click(item(IDC_REC));
        selectListRow(item(IDC_STATIONS), 0);
    }

    bool status(const std::string& shown) {
        return pumpUntil([&] { return text(IDC_STATUS) == shown; }, 30000);
    }

    size_t framesOut() const {
        struct stat st {};
        return stat(output.c_str(), &st) == 0 ? size_t(st.st_size) / (sizeof(float) * player.speakerCount) : 0;
    }

    // The first 10 ms of output at or after frame `from` that carry sound.
    std::optional<size_t> firstSound(size_t from) const {
        size_t channels = player.speakerCount, window = 441;
        std::vector<float> out((framesOut() - from) * channels);
        std::ifstream(output).seekg(from * channels * 4).read(reinterpret_cast<char*>(out.data()), out.size() * 4);
        for (size_t at = 0; (at + window) * channels <= out.size(); at += window)
            if (tone::rms(tone::channelOf(out, int(channels), 0, at, at + window)) > 0.05) return from + at;
        return std::nullopt;
    }

    test::StreamServer server;
    std::string output;
};

// The record folder's files with their sizes, for a failure's message.
std::string listing(const testsupport::RecordFolderGuard& folder) {
    std::string out = "record folder:";
    for (const std::string& name : folder.names())
        out += " " + name + " (" + std::to_string(folder.read(name).size()) + " bytes)";
    return out;
}

TEST_F(ReconnectTest, DroppedStationIsHeardSoonAfterItsReturnAndRecordedIntoNewFiles) {
    testsupport::RecordFolderGuard folder;
    std::string before = tone(440, "before.mp3"), after = tone(660, "after.mp3");
    // Paced like a station, so its title is taken before its last byte.
    serve("/radio", "before.mp3", R"(, "rate": 32000)");
    start("Radio, " + server.url("/radio") + "\n", true);
    ASSERT_TRUE(pumpUntil([&] { return server.requestCount("/radio") == 1; }));
    ASSERT_TRUE(server.route(R"({"path": "/radio", "action": "close"})"));
    // The try 1 s after the end is refused; the next one waits 2 s.
    ASSERT_TRUE(status("reconnecting in 1 s"));
    ASSERT_TRUE(status("reconnecting in 2 s"));
    ASSERT_TRUE(status("reconnecting in 1 s"));
    serve("/radio", "after.mp3", R"(, "loop": true, "rate": 32000)");
    size_t back = framesOut();
    ASSERT_TRUE(pumpUntil([&] { return firstSound(back).has_value(); }, 30000));
    EXPECT_LT(*firstSound(back) - back, size_t(2 * player.audioInfo.freq)) << "heard more than 2 s after the return";
    EXPECT_EQ(server.requestCount("/radio"), 3);
    EXPECT_TRUE(boxes().empty()) << boxes()[0].text;

    // No file joins bytes from both sides of the gap; the song before it
    // ends in 01 with the last byte sent, and the same title after it goes
    // into a new numbered file.
    std::vector<std::string> names;
    auto newest = [&] { return names.size() < 2 ? std::string() : folder.read(names.back()); };
    ASSERT_TRUE(pumpUntil([&] { return names = folder.names(), newest().size() > after.size(); }, 30000))
        << listing(folder);
    std::map<std::string, std::string> files;  // one look: the newest still grows
    for (const std::string& name : names) files[name] = folder.read(name);
    std::string looped;
    while (looped.size() < 2 * files[names.back()].size() + after.size()) looped += after;
    auto side = [&](const std::string& bytes) {
        return (before.find(bytes) != std::string::npos) + 2 * (looped.find(bytes) != std::string::npos);
    };
    for (const auto& [name, bytes] : files) EXPECT_TRUE(side(bytes) == 1 || side(bytes) == 2) << name;
    EXPECT_TRUE(before.ends_with(files["01-Artist.mp3"]));
    EXPECT_EQ(side(files[names.back()]), 2);
    EXPECT_EQ(send(IDC_REC, BM_GETCHECK), BST_CHECKED);
}

TEST_F(ReconnectTest, AnAnswerDownloadedWhileItsStationConnectsKeepsRecordingArmed) {
    // A fifth of a second, sent at once: its download ends while the connect
    // thread is still creating the stream, before the stream is watched.
    testsupport::RecordFolderGuard folder;
    fixtures::writeBytes((workDir / "short.mp3").string(), fixtures::makeMp3({.frequency = 440, .seconds = 0.2}));
    serve("/radio", "short.mp3");
    start("Radio, " + server.url("/radio") + "\n", true);
    ASSERT_TRUE(status("reconnecting in 1 s"));
    EXPECT_EQ(send(IDC_REC, BM_GETCHECK), BST_CHECKED);
}

TEST_F(ReconnectTest, PauseAndAnotherStationEndTheWaitingAtOnce) {
    tone(440, "tone.mp3");
    serve("/radio", "tone.mp3");
    serve("/other", "tone.mp3", R"(, "loop": true, "delay": 1.5)");
    start("Radio, " + server.url("/radio") + "\nOther, " + server.url("/other") + "\n");
    ASSERT_TRUE(status("reconnecting in 1 s"));
    click(item(IDC_PAUSE));
    EXPECT_EQ(text(IDC_STATUS), "not playing");
    platform::testing::pumpEvents(2500);  // past the time of the first try
    EXPECT_EQ(server.requestCount("/radio"), 1);
    click(item(IDC_PAUSE));  // Play: connects again at once
    EXPECT_TRUE(pumpUntil([&] { return server.requestCount("/radio") == 2; }));

    ASSERT_TRUE(status("reconnecting in 1 s"));
    selectListRow(item(IDC_STATIONS), 1);
    ASSERT_TRUE(status("ICY 200 OK"));
    platform::testing::pumpEvents(2500);
    EXPECT_EQ(server.requestCount("/radio"), 2);
    EXPECT_EQ(server.requestCount("/other"), 1);
    EXPECT_EQ(text(IDC_STATUS), "ICY 200 OK");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ReconnectTest, StallEndsTheDownloadAndLeavingDuringTheTryWaitsForNothing) {
    tone(440, "tone.mp3");
    serve("/radio", "tone.mp3", R"(, "then": "stall")");
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 1500);
    start("Radio, " + server.url("/radio") + "\n");
    ASSERT_TRUE(status("reconnecting in 1 s"));
    ASSERT_TRUE(server.route(R"({"path": "/radio", "action": "silent"})"));
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 600000);
    ASSERT_TRUE(pumpUntil([&] { return server.requestCount("/radio") == 2; }));
    auto clicked = std::chrono::steady_clock::now();
    click(item(IDC_EXIT));
    // A hang shows as the try's ten-minute time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, std::chrono::seconds(60));
    BASS_INFO info;
    EXPECT_FALSE(BASS_GetInfo(&info));
    platform::testing::pumpEvents(2500);
    EXPECT_EQ(server.requestCount("/radio"), 2);
    EXPECT_TRUE(boxes().empty());
}

}  // namespace
