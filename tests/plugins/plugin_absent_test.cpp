// With no plug-in beside the program, an AAC station fails as a stream of an
// unknown format: the player shows its failure box.
#include <filesystem>

#include "engine/bass.h"
#include "tests/plugins/encoders.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"
#include "tests/support/stream_server.h"

namespace {

class PluginAbsent : public PlayerTest {};

TEST_F(PluginAbsent, AacStationShowsTheFormatError) {
    fixtures::TempDir dir;
    ASSERT_TRUE(test::encodeAac({.seconds = 2}, dir.file("tone.aac")));
    test::StreamServer server;
    ASSERT_TRUE(server.route(R"({"path": "/aac", "headers": ["Content-Type: audio/aac"], "loop": true,
        "body": [{"file": ")" +
                             dir.file("tone.aac") + R"("}]})"));
    writeStations("AAC, " + server.url("/aac") + "\n");
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(std::string(player.pluginText).find(':'), std::string(player.pluginText).size() - 2) << "header only";
    platform::testing::selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(pumpUntil([&] { return boxes().size() == 1; }));
    EXPECT_EQ(boxes()[0].text, "Can't play the stream\n(error code: " + std::to_string(BASS_ERROR_FILEFORM) + ")");
}

// An HLS playlist's first entry is a segment, never a station: even one
// that would play (an MP3 here) is not taken by the playlist rule. Neither
// is it with the HLS plug-in present but its media module missing.
class HlsPluginAbsent : public PluginAbsent, public testing::WithParamInterface<bool> {};

TEST_P(HlsPluginAbsent, HlsStationShowsTheFormatError) {
    fixtures::TempDir plugins;
    if (GetParam()) {
        std::filesystem::copy_file(TUNELARK_BINARY_DIR "/basshls.so", plugins.file("basshls.so"));
        ASSERT_NE(BASS_PluginLoad(plugins.file("basshls.so").c_str(), 0), 0u);
    }
    test::StreamServer server;
    auto mp3 = fixtures::makeMp3({.seconds = 2});
    ASSERT_FALSE(mp3.empty());
    fixtures::TempDir dir;
    fixtures::writeBytes(dir.file("a.mp3"), mp3);
    ASSERT_TRUE(server.route(R"({"path": "/a.mp3", "headers": ["Content-Type: audio/mpeg"], "loop": true,
        "body": [{"file": ")" +
                             dir.file("a.mp3") + R"("}]})"));
    ASSERT_TRUE(server.route(R"({"path": "/live.m3u8", "headers": ["Content-Type: audio/mpegurl"],
        "body": [{"text": "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\n/a.mp3\n"}]})"));
    writeStations("HLS, " + server.url("/live.m3u8") + "\n");
    ASSERT_NE(open(), nullptr);
    platform::testing::selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(pumpUntil([&] { return boxes().size() == 1; }));
    EXPECT_EQ(boxes()[0].text, "Can't play the stream\n(error code: " + std::to_string(BASS_ERROR_FILEFORM) + ")");
    EXPECT_EQ(server.requestCount("/a.mp3"), 0);
}
INSTANTIATE_TEST_SUITE_P(WithoutItsMediaModule, HlsPluginAbsent, testing::Bool());

}  // namespace
