// With no plug-in beside the program, an AAC station fails as a stream of an
// unknown format: the player shows its failure box.
#include "engine/bass.h"
#include "platform/testing.h"
#include "tests/plugins/encoders.h"
#include "tests/support/player_fixture.h"
#include "tests/support/stream_server.h"

namespace {

class PluginAbsent : public PlayerTest {};

TEST_F(PluginAbsent, AacStationShowsTheFormatError) {
    fixtures::TempDir dir;
    ASSERT_TRUE(test::encodeAac({.seconds = 2}, dir.file("tone.aac")));
    test::StreamServer server;
    ASSERT_TRUE(server.route(R"({"path": "/aac", "headers": ["Content-Type: audio/aac"], "loop": true,
        "body": [{"file": ")" + dir.file("tone.aac") + R"("}]})"));
    writeStations("AAC, " + server.url("/aac") + "\n");
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(std::string(player.pluginText).find(':'), std::string(player.pluginText).size() - 2) << "header only";
    platform::testing::selectListRow(item(IDC_STATIONS), 0);
    ASSERT_TRUE(pumpUntil([&] { return boxes().size() == 1; }));
    EXPECT_EQ(boxes()[0].text, "Can't play the stream\n(error code: " + std::to_string(BASS_ERROR_FILEFORM) + ")");
}

}  // namespace
