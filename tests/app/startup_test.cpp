// The main window after start-up, and the commands that need no stream.
#include <QWidget>

#include <cstring>
#include <filesystem>

#include "app/main_window.h"
#include "engine/bass.h"
#include "recording/record_folder.h"
#include "tests/support/platform_testing.h"
#include "tests/support/player_fixture.h"
#include "tests/support/record_folder.h"

namespace {

using StartupTest = PlayerTest;

TEST_F(StartupTest, ControlsShowTheirStartValues) {
    writeStations("First, http://a/\n  Spaced  ,http://b/\n,http://c/\n");
    ASSERT_NE(open(), nullptr);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(text(IDC_DSINFO), "DX ver: 9 speakers: 2");
    EXPECT_EQ(text(IDC_NAME), "BASS version. 2.4.9..");
    EXPECT_EQ(text(IDC_PAUSE), "Pause");
    EXPECT_EQ(text(IDC_STATUS), "TAG");
    EXPECT_STREQ(player.pluginText, "\xC7\xE0\xE3\xF0\xF3\xE6\xE5\xED\xED\xFB\xE5 \xEF\xEB\xE0\xE3\xE8\xED\xFB:\n");

    EXPECT_EQ(send(IDC_VOLUME, TBM_GETRANGEMIN), 0);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETRANGEMAX), 100);
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETPOS), volumeToPercent(BASS_GetVolume()));
    EXPECT_EQ(player.volumePercent, send(IDC_VOLUME, TBM_GETPOS));
    // Ticks at both ends and at 25, 50 and 75.
    EXPECT_EQ(send(IDC_VOLUME, TBM_GETNUMTICS), 5);
    for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(send(IDC_VOLUME, TBM_GETTIC, tick), 25 * (tick + 1));
    // The checked preset "Instrumental" has run: its positions, not the 10
    // the ranges were set up with.
    const int presetPositions[] = {8, 10, 2, 9};
    for (int id = IDC_EFFECT0; id <= IDC_EFFECT3; ++id) {
        EXPECT_EQ(send(id, TBM_GETRANGEMIN), 0) << id;
        EXPECT_EQ(send(id, TBM_GETRANGEMAX), 20) << id;
        EXPECT_EQ(send(id, TBM_GETPOS), presetPositions[id - IDC_EFFECT0]) << id;
    }
    for (int id : {IDC_LEVEL_LEFT, IDC_LEVEL_RIGHT}) {
        EXPECT_EQ(send(id, PBM_GETRANGE, TRUE), 0) << id;
        EXPECT_EQ(send(id, PBM_GETRANGE, FALSE), 32767) << id;
    }
    EXPECT_EQ(send(IDC_PRESET_INSTR, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(send(IDC_PRESET_VOCAL, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(send(IDC_REC, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(platform::testing::focusedControl(window), item(IDC_STATIONS));

    ASSERT_EQ(send(IDC_STATIONS, LB_GETCOUNT), 3);
    char row[64];
    send(IDC_STATIONS, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(row));
    EXPECT_STREQ(row, "    Spaced  ");
    send(IDC_STATIONS, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(row));
    EXPECT_STREQ(row, "  ");
    EXPECT_EQ(player.playingStation, -1);
}

// The float is widened before the product: in float arithmetic 0.57f * 100
// rounds up to exactly 57, while the float's own value is below 0.57.
TEST(StartupVolume, PercentIsTheTruncatedDoubleProductOfTheFloat) {
    EXPECT_EQ(volumeToPercent(0.57f), 56);
    EXPECT_EQ(volumeToPercent(0.58f), 57);
    EXPECT_EQ(volumeToPercent(0.75f), 75);
    EXPECT_EQ(volumeToPercent(1.0f), 100);
    EXPECT_EQ(volumeToPercent(0.0f), 0);
}

TEST_F(StartupTest, TimerShowsTheEngineLoad) {
    ASSERT_NE(open(), nullptr);
    // The 50 ms timer writes "<load with two decimals> %".
    ASSERT_TRUE(pumpUntil([&] { return text(IDC_CPU).find(" %") != std::string::npos; }));
    std::string load = text(IDC_CPU);
    double value = -1;
    EXPECT_EQ(sscanf(load.c_str(), "%lf", &value), 1);
    EXPECT_GE(value, 0.0);
    EXPECT_EQ(load.size() - load.find('.'), 5u) << load;
}

// The record folder is made by the first recording, not at every start.
TEST_F(StartupTest, RecordFolderIsNotMadeAtStart) {
    testsupport::RecordFolderGuard busy;  // the recording tests use the same folder
    std::filesystem::remove_all(recordFolder());
    ASSERT_NE(open(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(recordFolder()));
    EXPECT_FALSE(std::filesystem::exists(workDir / "record"));
}

TEST_F(StartupTest, CommandsWithoutAStationChangeNothing) {
    ASSERT_NE(open(), nullptr);
    platform::testing::click(item(IDC_PAUSE));
    platform::testing::flushUpdates();
    EXPECT_EQ(text(IDC_PAUSE), "Pause");
    EXPECT_EQ(player.isPlaying, 0);

    // Enter with no push button focused is command 1, which does nothing.
    platform::testing::pressEnter(window);
    EXPECT_TRUE(IsWindow(window));

    // The volume slider without a stream changes only the remembered volume.
    platform::testing::moveTrackbar(item(IDC_VOLUME), 37, TB_THUMBTRACK);
    EXPECT_EQ(player.volumePercent, 37);
    EXPECT_EQ(player.stream, 0u);

    // A selection change that leaves nothing selected starts nothing.
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_STATIONS, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(item(IDC_STATIONS)));
    EXPECT_EQ(player.playingStation, -1);
    EXPECT_EQ(player.isPlaying, 0);
}

TEST_F(StartupTest, StationWithoutAddressStartsNothing) {
    writeStations("No address at all\nSecond,http://127.0.0.1:9/\n");
    ASSERT_NE(open(), nullptr);
    platform::testing::selectListRow(item(IDC_STATIONS), 0);
    EXPECT_EQ(player.selectedStation, 0);
    EXPECT_EQ(player.playingStation, -1);
    EXPECT_EQ(player.isPlaying, 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(StartupTest, MissingStationFileEndsTheWindowWithItsMessage) {
    std::filesystem::remove(workDir / "stations1.txt");
    open();
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(window); }));
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind("Stations file not found!\n(error code: ", 0), 0u) << shown[0].text;
    EXPECT_EQ(shown[0].caption, "BASS Error!");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_ICONWARNING));
}

}  // namespace

namespace {

TEST_F(StartupTest, StationTextsShowAnAmpersandAsItIs) {
    ASSERT_NE(open(), nullptr);
    for (int id : {IDC_TITLE, IDC_NAME, IDC_URL, IDC_STATUS}) {
        SetDlgItemTextA(window, id, "Simon & Garfunkel");
        platform::testing::flushUpdates();
        EXPECT_EQ(platform::testing::shownText(item(id)).toStdString(), "Simon & Garfunkel") << id;
    }
}

}  // namespace
