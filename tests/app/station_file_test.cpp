// The station file rewritten under the running player, or not a file at all.
#include <filesystem>

#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"
#include "tests/support/stream_server.h"

namespace {

TEST_F(PlayerTest, RewrittenFilePlaysTheStationClickedAndShowsTheNewList) {
    test::StreamServer server;
    server.route(R"({"path": "/moved", "body": [{"bytes": 10}]})");
    writeStations("Alpha,http://127.0.0.1:9/a\nBeta,http://127.0.0.1:9/b\n");
    ASSERT_NE(open(), nullptr);
    writeStations("New,http://127.0.0.1:9/new\nBeta,http://127.0.0.1:9/b\nAlpha," + server.url("/moved") + "\n");
    platform::testing::selectListRow(item(IDC_STATIONS), 0);  // "Alpha" as the list shows it
    EXPECT_TRUE(pumpUntil([&] { return server.requestCount("/moved") == 1; }));
    EXPECT_EQ(player.playingStation, 2);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCOUNT), 3);
    EXPECT_EQ(send(IDC_STATIONS, LB_GETCURSEL), 2);
}

TEST_F(PlayerTest, FolderInPlaceOfTheFileGetsTheNotFoundBox) {
    std::filesystem::remove(workDir / "stations1.txt");
    std::filesystem::create_directory(workDir / "stations1.txt");
    open();
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(window); }));
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind("Stations file not found!\n", 0), 0u) << shown[0].text;
}

}  // namespace
