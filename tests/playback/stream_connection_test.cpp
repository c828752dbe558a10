// Choosing a station: the connect thread, what the window shows, pause and
// volume, failures, and station changes that overtake each other.
#include <chrono>
#include <thread>

#include "engine/bass.h"
#include "tests/support/fixtures.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"
#include "tests/support/record_folder.h"
#include "tests/support/stream_server.h"

namespace {

using platform::testing::click;
using platform::testing::selectListRow;

class ConnectionTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        static const std::string mp3 = [] {
            fixtures::Tone tone;
            tone.seconds = 3;
            auto bytes = fixtures::makeMp3(tone);
            std::string path = ::testing::TempDir() + "/connection-tone.mp3";
            fixtures::writeBytes(path, bytes);
            return bytes.empty() ? std::string() : path;
        }();
        ASSERT_FALSE(mp3.empty()) << "lame could not make the test tone";
        tonePath = mp3;
    }

    // An endless MP3 radio at path, with the given status line and headers.
    void addRadio(const std::string& path, const std::string& status, const std::string& headers,
                  const std::string& extra = "") {
        ASSERT_TRUE(server.route(R"({"path": ")" + path + R"(", "status": )" + test::StreamServer::quote(status) +
                                 R"(, "headers": [)" + headers + R"(], "body": [{"file": )" +
                                 test::StreamServer::quote(tonePath) + R"(}], "loop": true, "rate": 32000)" + extra +
                                 "}"));
    }

    void openWith(const std::vector<std::string>& urls) {
        std::string file;
        for (size_t i = 0; i < urls.size(); ++i) file += "Station " + std::to_string(i) + ", " + urls[i] + "\n";
        writeStations(file);
        ASSERT_NE(open(), nullptr);
    }

    // The template's own "INFO" shows until the connect thread empties it.
    bool waitForFormat() {
        return pumpUntil([&] { return text(IDC_FORMAT).starts_with("channels:"); });
    }

    test::StreamServer server;
    std::string tonePath;
};

TEST_F(ConnectionTest, StationPlaysAndTheWindowShowsItsHeadersAndFormat) {
    addRadio("/icy", "ICY 200 OK",
             R"("Content-Type: audio/mpeg", "icy-name:Test Radio", "icy-url: http://example.org/", "icy-br: 128")");
    openWith({server.url("/icy")});
    selectListRow(item(IDC_STATIONS), 0);
    EXPECT_EQ(player.isPlaying, 1);
    EXPECT_EQ(player.playingStation, 0);
    ASSERT_TRUE(waitForFormat());
    EXPECT_EQ(text(IDC_FORMAT), "channels: 2 44.1 kHz\n\n MP3 stream");
    EXPECT_EQ(text(IDC_NAME), "Test Radio");
    EXPECT_EQ(text(IDC_URL), " http://example.org/");  // shown as sent, blank and all
    EXPECT_EQ(text(IDC_STATUS), "ICY 200 OK");
    EXPECT_EQ(text(IDC_PAUSE), "Pause");
    ASSERT_NE(player.stream, 0u);
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(player.stream, &info));
    EXPECT_EQ(info.flags & 0x940080u, 0x940080u);
    // The timer runs again: the meters follow the tone.
    EXPECT_TRUE(pumpUntil([&] { return send(IDC_LEVEL_LEFT, PBM_GETPOS) > 1000; }));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ConnectionTest, MetersAndTextsFollowTheStreamAfterTheWindowIsMinimisedAndRestored) {
    using platform::testing::shownText;
    using platform::testing::shownValue;
    addRadio("/icy", "ICY 200 OK", R"("Content-Type: audio/mpeg", "icy-name:Hidden Radio")");
    openWith({server.url("/icy")});
    SetDlgItemTextA(window, IDC_CPU, "no load yet");
    platform::testing::flushUpdates();
    ShowWindow(window, SW_MINIMIZE);
    selectListRow(item(IDC_STATIONS), 0);
    // Minimised, the window's models go on with the stream; what it shows
    // waits (the load text's widget still says what it said).
    ASSERT_TRUE(pumpUntil([&] { return send(IDC_LEVEL_LEFT, PBM_GETPOS) > 1000 && text(IDC_NAME) == "Hidden Radio"; }));
    ASSERT_TRUE(pumpUntil([&] { return text(IDC_CPU) != "no load yet"; }));
    EXPECT_EQ(shownText(item(IDC_CPU)), "no load yet");
    EXPECT_NE(shownText(item(IDC_NAME)), "Hidden Radio");

    ShowWindow(window, SW_RESTORE);
    auto follows = [&] {
        return shownText(item(IDC_NAME)) == "Hidden Radio" && shownText(item(IDC_CPU)).toStdString() == text(IDC_CPU) &&
               shownValue(item(IDC_LEVEL_LEFT)) > 1000 &&
               shownValue(item(IDC_LEVEL_LEFT)) == send(IDC_LEVEL_LEFT, PBM_GETPOS) &&
               shownValue(item(IDC_LEVEL_RIGHT)) == send(IDC_LEVEL_RIGHT, PBM_GETPOS);
    };
    EXPECT_TRUE(pumpUntil(follows));
    // Shown again, the meters go on following the stream: paused, they fall.
    click(item(IDC_PAUSE));
    EXPECT_TRUE(
        pumpUntil([&] { return send(IDC_LEVEL_LEFT, PBM_GETPOS) == 0 && shownValue(item(IDC_LEVEL_LEFT)) == 0; }));
}

TEST_F(ConnectionTest, PauseAndVolumeActOnThePlayingStream) {
    addRadio("/a", "HTTP/1.0 200 OK", R"("Content-Type: audio/mpeg")");
    openWith({server.url("/a")});
    platform::testing::moveTrackbar(item(IDC_VOLUME), 40, TB_ENDTRACK);
    selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(waitForFormat());
    HSTREAM stream = player.stream;
    float volume = -1;
    ASSERT_TRUE(BASS_ChannelGetAttribute(stream, BASS_ATTRIB_VOL, &volume));
    EXPECT_FLOAT_EQ(volume, 0.40f);

    platform::testing::moveTrackbar(item(IDC_VOLUME), 75, TB_THUMBTRACK);
    ASSERT_TRUE(BASS_ChannelGetAttribute(stream, BASS_ATTRIB_VOL, &volume));
    EXPECT_FLOAT_EQ(volume, 0.75f);

    click(item(IDC_PAUSE));
    EXPECT_EQ(text(IDC_PAUSE), "Play");
    EXPECT_EQ(player.isPlaying, 0);
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_PAUSED));
    // A paused stream is silent, so the meters fall to zero.
    EXPECT_TRUE(pumpUntil([&] { return send(IDC_LEVEL_LEFT, PBM_GETPOS) == 0; }));
    click(item(IDC_PAUSE));
    EXPECT_EQ(text(IDC_PAUSE), "Pause");
    EXPECT_NE(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_PAUSED));
}

TEST_F(ConnectionTest, HeaderNamesAreMatchedWithoutRegardToCaseInHttpHeadersToo) {
    addRadio("/caps", "HTTP/1.0 200 OK", R"("Content-Type: audio/mpeg", "ICY-NAME:Loud", "Icy-Url:x")");
    addRadio("/bare", "HTTP/1.0 200 OK", R"("Content-Type: audio/mpeg")");
    openWith({server.url("/caps"), server.url("/bare")});
    selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(waitForFormat());
    EXPECT_EQ(text(IDC_NAME), "Loud");
    EXPECT_EQ(text(IDC_URL), "x");

    HSTREAM first = player.stream;
    selectListRow(item(IDC_STATIONS), 1);
    ASSERT_TRUE(pumpUntil([&] { return player.stream != first && player.stream != 0; }));
    ASSERT_TRUE(waitForFormat());
    EXPECT_EQ(text(IDC_NAME), "");
    EXPECT_EQ(text(IDC_URL), "");
}

TEST_F(ConnectionTest, FailureShowsTheReasonTheStreamCouldNotBeMade) {
    ASSERT_TRUE(server.route(R"({"path": "/gone", "status": "HTTP/1.0 404 Not Found"})"));
    openWith({"http://127.0.0.1:" + std::to_string(test::StreamServer::closedPort()) + "/", server.url("/gone")});
    selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(pumpUntil([&] { return boxes().size() == 1; }));
    EXPECT_EQ(boxes()[0].text, "Can't play the stream\n(error code: " + std::to_string(BASS_ERROR_FILEOPEN) + ")");
    EXPECT_EQ(boxes()[0].caption, "BASS Error!");
    EXPECT_EQ(boxes()[0].type, static_cast<UINT>(MB_ICONWARNING));
    ASSERT_TRUE(pumpUntil([&] { return text(IDC_STATUS) == "not playing"; }));
    EXPECT_EQ(player.stream, 0u);

    selectListRow(item(IDC_STATIONS), 1);
    ASSERT_TRUE(pumpUntil([&] { return boxes().size() == 2; }));
    EXPECT_EQ(boxes()[1].text, "Can't play the stream\n(error code: " + std::to_string(BASS_ERROR_HTTP) + ")");
    // The timer stays stopped after a failure: the load text keeps "0.00%".
    platform::testing::pumpEvents(300);
    EXPECT_EQ(text(IDC_CPU), "0.00%");
    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_GETPOS), 0);

    // The failed station is still the playing one: choosing it again does nothing.
    selectListRow(item(IDC_STATIONS), 1);
    platform::testing::pumpEvents(300);
    EXPECT_EQ(boxes().size(), 2u);
    EXPECT_EQ(server.requestCount("/gone"), 1);
}

TEST_F(ConnectionTest, ManySpeakersMakeAnEightBitStreamWithoutStatusText) {
    addRadio("/a", "ICY 200 OK", R"("Content-Type: audio/mpeg")");
    openWith({server.url("/a")});
    player.speakerCount = 6;
    selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(waitForFormat());
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(player.stream, &info));
    EXPECT_EQ(info.flags, static_cast<DWORD>(BASS_SAMPLE_8BITS));
    EXPECT_EQ(text(IDC_STATUS), "connecting...");
}

TEST_F(ConnectionTest, LatestStationChangeWinsOverASlowerEarlierOne) {
    addRadio("/slow", "ICY 200 OK", R"("Content-Type: audio/mpeg", "icy-name:Slow")", R"(, "delay": 1.5)");
    addRadio("/fast", "ICY 200 OK", R"("Content-Type: audio/mpeg", "icy-name:Fast")");
    openWith({server.url("/slow"), server.url("/fast")});
    selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(pumpUntil([&] { return server.requestCount("/slow") == 1; }));
    selectListRow(item(IDC_STATIONS), 1);
    ASSERT_TRUE(pumpUntil([&] { return text(IDC_NAME) == "Fast"; }));
    HSTREAM fast = player.stream;
    // Let the slow connection complete: it must free its own stream (which
    // ends its download) and leave the window and the player's stream alone.
    ASSERT_TRUE(pumpUntil([&] { return server.finishedCount("/slow") == 1; }, 60000));
    platform::testing::flushUpdates();
    EXPECT_EQ(player.stream, fast);
    EXPECT_EQ(text(IDC_NAME), "Fast");
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(fast, &info));
    EXPECT_EQ(std::string(info.filename).find("/fast"), std::string(info.filename).size() - 5);
    EXPECT_TRUE(boxes().empty());
}

// A station left while it still connects must leave no trace: neither its
// status line over the newer "connecting..." nor its bytes in the recording
// that armed "Rec" starts for the station chosen after it.
TEST_F(ConnectionTest, StationLeftWhileConnectingWritesNothingAnywhere) {
    testsupport::RecordFolderGuard folder;
    std::string left = ::testing::TempDir() + "/connection-left.mp3";
    fixtures::writeBytes(left, fixtures::makeMp3({.frequency = 300, .seconds = 2}));
    ASSERT_TRUE(server.route(R"({"path": "/left", "status": "ICY 200 Left", "headers": ["Content-Type: audio/mpeg"],
                                 "delay": 1, "body": [{"file": )" +
                             test::StreamServer::quote(left) + "}]}"));
    addRadio("/next", "ICY 200 Next", R"("Content-Type: audio/mpeg")", R"(, "delay": 3)");
    openWith({server.url("/left"), server.url("/next")});
    click(item(IDC_REC));
    selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(pumpUntil([&] { return server.requestCount("/left") == 1; }));
    selectListRow(item(IDC_STATIONS), 1);
    bool sawLeft = false;
    ASSERT_TRUE(pumpUntil(
        [&] {
            sawLeft = sawLeft || text(IDC_STATUS) == "ICY 200 Left";
            return text(IDC_STATUS) == "ICY 200 Next";
        },
        60000))
        << text(IDC_STATUS);
    EXPECT_FALSE(sawLeft);
    // Recording, armed all along, takes the new station from its first byte.
    std::vector<unsigned char> bytes = fixtures::readBytes(tonePath);
    std::string tone(bytes.begin(), bytes.end());
    ASSERT_TRUE(
        pumpUntil([&] { return folder.names().size() == 1 && folder.read(folder.names()[0]).size() > 20000; }, 60000));
    std::string recorded = folder.read(folder.names()[0]);
    EXPECT_TRUE(recorded.compare(0, 4096, tone, 0, 4096) == 0) << "the recording does not start with the new station";
}

TEST_F(ConnectionTest, StreamThatEndsIsShownAsEnded) {
    ASSERT_TRUE(server.route(R"({"path": "/short", "status": "ICY 200 OK", "headers": ["Content-Type: audio/mpeg"],
                                 "body": [{"file": )" +
                             test::StreamServer::quote(tonePath) + "}]}"));
    openWith({server.url("/short")});
    selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(waitForFormat());
    // The player connects again 1 s after the end; refused, it plays nothing.
    ASSERT_TRUE(pumpUntil([&] { return server.requestCount("/short") == 1; }));
    ASSERT_TRUE(server.route(R"({"path": "/short", "action": "close"})"));
    ASSERT_TRUE(pumpUntil([&] { return text(IDC_NAME) == "end sync"; }, 30000));
    EXPECT_EQ(text(IDC_URL), "not playing");
    EXPECT_EQ(text(IDC_TITLE), "");
    // The stream freed itself; the meters read silence, not full scale.
    platform::testing::pumpEvents(200);
    EXPECT_EQ(send(IDC_LEVEL_LEFT, PBM_GETPOS), 0);
}

}  // namespace
