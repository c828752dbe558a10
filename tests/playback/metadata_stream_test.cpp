// The title handler fed by the real engine from the scripted server.
#include "tests/recording/stream_fixture.h"

#include <string>
#include <vector>

using namespace recordertest;
using Names = std::vector<std::string>;

namespace {

constexpr int kMetaint = 1000;

}  // namespace

TEST_F(StreamRecorderTest, ShowsAndHoldsEachTitleByteForByte) {
    std::string mp3 = toString(fixtures::makeMp3({.frequency = 440, .seconds = 3}));
    // UTF-8 Cyrillic, an apostrophe and a ';' inside, bytes after the quote.
    ASSERT_TRUE(icyRoute("/titles", kMetaint,
                         R"([{"block": 0, "title": "Кино - Группа крови"},
                             {"block": 10, "title": "Tom; Jerry - Don't Stop"},
                             {"block": 20, "text": "StreamTitle='Last - One';StreamUrl='http://x/';"}])",
                         bodyWithGates(mp3, {5000, 15000}), 8000));
    ASSERT_NE(connect(server.url("/titles")), 0u);
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Кино - Группа крови"; }));
    EXPECT_EQ(heldTitle(), "Кино - Группа крови");
    ASSERT_TRUE(server.openGate("cut0"));
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Tom; Jerry - Don't Stop"; }));
    EXPECT_EQ(heldTitle(), "Tom; Jerry - Don't Stop");
    ASSERT_TRUE(server.openGate("cut1"));
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Last - One"; }));
    EXPECT_EQ(heldTitle(), "Last - One");
    // Recording was off throughout: no title opened or closed a file.
    EXPECT_FALSE(recordingOn());
    EXPECT_TRUE(folder->names().empty());
}

TEST_F(StreamRecorderTest, AnEmptyTitleEmptiesTheDisplayAndIsHeld) {
    std::string mp3 = toString(fixtures::makeMp3({.frequency = 440, .seconds = 2}));
    ASSERT_TRUE(icyRoute("/empty", kMetaint, R"([{"block": 0, "title": "Band - Song"}, {"block": 6, "title": ""}])",
                         bodyWithGates(mp3, {3000}), 8000));
    ASSERT_NE(connect(server.url("/empty")), 0u);
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Band - Song"; }));
    toggleRecording();
    ASSERT_TRUE(server.openGate("cut0"));
    ASSERT_TRUE(waitFor([] { return heldTitle().empty() && controlText(IDC_TITLE).empty(); }));
    ASSERT_TRUE(waitFor([] { return !recordingOn(); }));
    // The empty title is held, so recording went on, into a file named after
    // the station, from the first frame after the title.
    Names names = folder->names();
    ASSERT_EQ(names, (Names{"01-Band.mp3", "02-Test FM.mp3"}));
    std::string second = folder->read("02-Test FM.mp3");
    EXPECT_EQ(second, mp3.substr(mp3.size() - second.size()));
    EXPECT_LT(mp3.size() - second.size() - 7 * kMetaint, 1441u);
}

// A metadata text without a title, the connection's first, while no title
// is held: the piece goes on, and is named after the station.
TEST_F(StreamRecorderTest, MetadataWithoutATitleKeepsTheUntitledPieceGoing) {
    std::string mp3 = toString(fixtures::makeMp3({.frequency = 550, .seconds = 2}));
    // The gate keeps block 5 back until the syncs are in place.
    ASSERT_TRUE(icyRoute("/untitled", kMetaint, R"([{"block": 5, "text": "StreamUrl='http://ad/';"}])",
                         bodyWithGates(mp3, {4000}), 8000));
    toggleRecording();  // armed before the station is connected, no title held
    ASSERT_TRUE(recMarked());
    ASSERT_NE(connect(server.url("/untitled")), 0u);
    ASSERT_TRUE(server.openGate("cut0"));
    // The end of the download switches recording off and clears the mark.
    ASSERT_TRUE(waitFor([] { return !recordingOn() && !recMarked(); }));
    EXPECT_EQ(folder->names(), Names{"01-Test FM.mp3"});
    EXPECT_TRUE(folder->read("01-Test FM.mp3") == mp3);
    EXPECT_EQ(heldTitle(), "(none)");
}

TEST_F(StreamRecorderTest, MetadataWithoutATitleReArmsUnderTheHeldTitle) {
    std::string mp3 = toString(fixtures::makeMp3({.frequency = 550, .seconds = 2}));
    ASSERT_TRUE(icyRoute("/ad", kMetaint,
                         R"([{"block": 0, "title": "Band - Song"}, {"block": 8, "text": "StreamUrl='http://ad/';"}])",
                         bodyWithGates(mp3, {3000}), 8000));
    ASSERT_NE(connect(server.url("/ad")), 0u);
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Band - Song"; }));
    toggleRecording();
    ASSERT_TRUE(server.openGate("cut0"));
    ASSERT_TRUE(waitFor([] { return !recordingOn(); }));
    ASSERT_EQ(folder->names(), (Names{"01-Band.mp3", "02-Band.mp3"}));
    std::string second = folder->read("02-Band.mp3");
    EXPECT_EQ(second, mp3.substr(mp3.size() - second.size()));
    EXPECT_LT(mp3.size() - second.size() - 9 * kMetaint, 1441u);
    EXPECT_EQ(controlText(IDC_TITLE), "Band - Song");
}

// Chained Ogg: each song's comments replace the last; the display follows,
// the held title changes only for a bare title, and each song is recorded
// into a file of its own, named after its comments.
TEST_F(StreamRecorderTest, OggCommentsShowEachSongAndNameItsRecordFile) {
    std::string one =
        toString(fixtures::makeOggVorbis({.frequency = 440, .seconds = 1}, {"ARTIST=Foo", "Title=Bar"}, 11));
    std::string two = toString(fixtures::makeOggVorbis({.frequency = 660, .seconds = 1}, {"title=Solo"}, 12));
    std::string three = toString(
        fixtures::makeOggVorbis({.frequency = 880, .seconds = 1}, {"artist=First", "TITLE=T", "Artist=Second"}, 13));
    ASSERT_FALSE(one.empty() || two.empty() || three.empty());
    std::string parts = "[" + filePart(tempFile("1.ogg", one)) + ", {\"gate\": \"two\"}, " +
                        filePart(tempFile("2.ogg", two)) + ", {\"gate\": \"three\"}, " +
                        filePart(tempFile("3.ogg", three)) + "]";
    ASSERT_TRUE(
        server.route(R"({"path": "/chain", "headers": ["Content-Type: application/ogg"], "body": )" + parts + "}"));
    holdTitle("Held - Before");
    toggleRecording();
    ASSERT_NE(connect(server.url("/chain")), 0u);
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Foo - Bar"; }));
    EXPECT_EQ(heldTitle(), "Held - Before");
    ASSERT_TRUE(server.openGate("two"));
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Solo"; }));
    EXPECT_EQ(heldTitle(), "Solo");
    ASSERT_TRUE(server.openGate("three"));
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Second - T"; }));
    EXPECT_EQ(heldTitle(), "Solo");
    ASSERT_TRUE(waitFor([] { return !recordingOn(); }));
    EXPECT_EQ(folder->names(), (Names{"01-Foo.ogg", "02-Solo.ogg", "03-Second.ogg"}));
    EXPECT_TRUE(folder->read("01-Foo.ogg") == one);
    EXPECT_TRUE(folder->read("02-Solo.ogg") == two);
    EXPECT_TRUE(folder->read("03-Second.ogg") == three);
}

TEST_F(StreamRecorderTest, TheEndOfTheStreamIsShown) {
    std::string mp3 = toString(fixtures::makeMp3({.frequency = 440, .seconds = 1}));
    ASSERT_TRUE(icyRoute("/short", kMetaint, R"([{"block": 0, "title": "Brief - Song"}])",
                         "[" + filePart(tempFile("a.mp3", mp3)) + "]", 64000));
    SetDlgItemTextA(window, IDC_URL, "http://station/");
    SetDlgItemTextA(window, IDC_NAME, "Test FM");
    ASSERT_NE(connect(server.url("/short")), 0u);
    ASSERT_TRUE(waitFor([] { return controlText(IDC_NAME) == "end sync"; }));
    EXPECT_EQ(controlText(IDC_URL), "not playing");
    EXPECT_EQ(controlText(IDC_TITLE), "");
}
