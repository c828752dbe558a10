#include "tests/recording/recorder_fixture.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <unistd.h>
#include <csignal>

#include <string>
#include <vector>

#include "state/control_update.h"

using namespace recordertest;
using Names = std::vector<std::string>;

TEST_F(RecorderTest, CountsRecordingsOfEveryFormatInAnyLetterCase) {
    for (const char* name : {"01-a.mp3", "02-B.MP3", "03-c.Mp3", "x.mp3", "y.mP3", "04-d.ogg", "05-e.OPUS", "06-f.aac"})
        folder->write(name, "x");
    for (const char* name : {"r.tmp", "notes.txt", "song.mp3.part", "mp3", "x.oggx"}) folder->write(name, "x");
    ASSERT_EQ(mkdir((folder->path() + "folder.mp3").c_str(), 0755), 0);
    EXPECT_EQ(countRecordings(), 8);

    folder->clear();
    EXPECT_EQ(countRecordings(), 0);
    ASSERT_EQ(rmdir(folder->path().c_str()), 0);
    EXPECT_EQ(countRecordings(), 0);
}

TEST_F(RecorderTest, NamesTheFileAfterTheArtistNumberedOnFromTheCount) {
    for (const char* name : {"01-a.mp3", "02-b.mp3", "03-c.mp3", "04-d.mp3", "05-e.mp3"}) folder->write(name, "old");
    setRecordCounter(countRecordings());
    holdTitle("Some Band - Song Name");
    switchRecordingOn();
    block("abc");
    block("defg");

    EXPECT_EQ(folder->read("06-Some Band.mp3"), "abcdefg");
    EXPECT_EQ(recordCounter(), 6);
    // The held title keeps its whole text; the name comes from a copy.
    EXPECT_EQ(heldTitle(), "Some Band - Song Name");
}

TEST_F(RecorderTest, NeverReplacesAnExistingNumberedFile) {
    folder->write("07-Some Band.mp3", "keep");
    folder->write("08-Some Band.mp3", "keep too");
    setRecordCounter(6);
    holdTitle("Some Band - Other Song");
    switchRecordingOn();
    block("new");

    EXPECT_EQ(folder->read("07-Some Band.mp3"), "keep");
    EXPECT_EQ(folder->read("08-Some Band.mp3"), "keep too");
    EXPECT_EQ(folder->read("09-Some Band.mp3"), "new");
    EXPECT_EQ(recordCounter(), 9);
}

TEST_F(RecorderTest, RecordingAgainWithinOneSongGivesAnotherNumberedFile) {
    setRecordCounter(7);
    holdTitle("A-ha - Take On Me");
    switchRecordingOn();
    block("first");
    toggleRecording();
    EXPECT_FALSE(recordingOn());
    toggleRecording();
    block("second");

    EXPECT_EQ(folder->names(), (Names{"08-A-ha.mp3", "09-A-ha.mp3"}));
    EXPECT_EQ(folder->read("08-A-ha.mp3"), "first");
    EXPECT_EQ(folder->read("09-A-ha.mp3"), "second");
}

TEST_F(RecorderTest, UntitledPartsStartAsTheScratchFileAndAreKeptWhenClosed) {
    setRecordCounter(3);
    switchRecordingOn();  // no title held yet
    block("no title");
    EXPECT_EQ(folder->read("r.tmp"), "no title");
    toggleRecording();

    holdTitle("Jingle");
    toggleRecording();
    block("jin");
    block("gle");
    toggleRecording();
    EXPECT_EQ(folder->names(), (Names{"04-Radio.mp3", "05-Jingle.mp3"}));
    EXPECT_EQ(folder->read("04-Radio.mp3"), "no title");
    EXPECT_EQ(folder->read("05-Jingle.mp3"), "jingle");

    folder->write("r.tmp", "left by a crash");  // kept, never emptied
    toggleRecording();
    block("next");
    EXPECT_EQ(folder->read("06-r.tmp"), "left by a crash");
    EXPECT_EQ(folder->read("r.tmp"), "next");
}

TEST_F(RecorderTest, StatusCallShowsTheFirstLineAndRecordsNothing) {
    const char status[] = "HTTP/1.0 200 OK\0icy-name: Test FM\0\0";
    onDownloadBlock(status, 0, nullptr);
    EXPECT_EQ(controlText(IDC_STATUS), "HTTP/1.0 200 OK");

    holdTitle("Band - Song");
    switchRecordingOn();
    const char again[] = "ICY 200 OK\0icy-br: 128\0\0";
    onDownloadBlock(again, 0, nullptr);
    EXPECT_EQ(controlText(IDC_STATUS), "ICY 200 OK");
    EXPECT_TRUE(folder->names().empty());
    EXPECT_TRUE(recordingOn());
    block("audio");
    EXPECT_EQ(folder->read("01-Band.mp3"), "audio");
}

TEST_F(RecorderTest, EndOfDownloadClosesTheFileSwitchesOffAndClearsTheMark) {
    holdTitle("Band - Song");
    switchRecordingOn();
    EXPECT_TRUE(recMarked());
    block("all of it");
    endOfDownload();

    EXPECT_FALSE(recordingOn());
    EXPECT_FALSE(recMarked());
    {
        MutexLock lock(player.recordLock);
        EXPECT_EQ(player.recordFile, nullptr);
    }
    EXPECT_EQ(folder->read("01-Band.mp3"), "all of it");
    block("after the end");
    EXPECT_EQ(folder->names(), Names{"01-Band.mp3"});
    EXPECT_EQ(folder->read("01-Band.mp3"), "all of it");
}

TEST_F(RecorderTest, EndOfDownloadWhileArmedLeavesNoEmptyFile) {
    holdTitle("Band - Song");
    switchRecordingOn();
    endOfDownload();
    EXPECT_TRUE(folder->names().empty());
    EXPECT_FALSE(recordingOn());
    EXPECT_FALSE(recMarked());
    EXPECT_EQ(recordCounter(), 0);
}

TEST_F(RecorderTest, StationChangeClosesAnOpenFileAndClearsTheMark) {
    holdTitle("Old Station Artist - Song");
    switchRecordingOn();
    block("old");
    stopRecordingForNewStation();
    EXPECT_FALSE(recordingOn());
    EXPECT_FALSE(recMarked());
    block("new station");
    EXPECT_EQ(folder->names(), Names{"01-Old Station Artist.mp3"});
    EXPECT_EQ(folder->read("01-Old Station Artist.mp3"), "old");
}

TEST_F(RecorderTest, StationChangeKeepsArmedRecordingOnAndForgetsTheOldTitle) {
    holdTitle("Previous Artist - Song");
    switchRecordingOn();
    stopRecordingForNewStation();
    EXPECT_TRUE(recordingOn());
    EXPECT_TRUE(recMarked());
    EXPECT_EQ(heldTitle(), "(none)");
    onDownloadBlock("ICY 200 OK\0icy-name:New FM\0\0", 0, nullptr);
    block("new station's first bytes");
    toggleRecording();
    EXPECT_EQ(folder->names(), Names{"01-New FM.mp3"});
}

TEST_F(RecorderTest, TitlesFromTheNetworkStayInsideTheRecordFolder) {
    const std::string parent = testsupport::programFolder();
    switchRecordingOn();
    const char* titles[] = {"AC/DC - Thunderstruck", "../../escape - x", "/etc/evil - x", "..\\up - x",
                            "A:B*C?\"<>| - x",       "\t\n - x"};
    for (const char* title : titles) {
        holdTitle(title);
        block("x");
        toggleRecording();
        toggleRecording();
    }
    holdTitle((std::string(300, 'L') + " - long").c_str());
    block("x");
    closeRecordFile();

    Names names = folder->names();
    EXPECT_EQ(names, (Names{"01-AC_DC.mp3", "02-.._.._escape.mp3", "03-_etc_evil.mp3", "04-.._up.mp3",
                            "05-A_B_C_____.mp3", "06-__.mp3", "07-" + std::string(92, 'L') + ".mp3"}));
    for (const char* stray : {"escape - x", "escape.mp3", "up.mp3"})
        EXPECT_NE(access((parent + stray).c_str(), F_OK), 0) << stray;
    EXPECT_NE(access("/etc/evil.mp3", F_OK), 0);
}

// Stations that send Windows-1251 titles get UTF-8 file names that read as
// the window shows them; the bytes and the held title stay as sent, and a
// name at the 255-byte limit still opens.
TEST_F(RecorderTest, Windows1251TitlesNameFilesInUtf8) {
    const std::string kino = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";  // "Кино" in UTF-8
    folder->write("01-" + kino + ".mp3", "keep");
    const std::string title = "\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8\xE0\x98";
    holdTitle(title.c_str());
    switchRecordingOn();
    block("\xCA\xE8\xED\xEE\xFF");
    EXPECT_EQ(heldTitle(), title);
    toggleRecording();
    toggleRecording();
    holdTitle((std::string(90, '\x99') + " - x").c_str());  // U+2122, three bytes each
    block("tm");
    closeRecordFile();

    std::string marks;
    for (int i = 0; i < 82; ++i) marks += "\xE2\x84\xA2";
    EXPECT_EQ(folder->names(), (Names{"01-" + kino + ".mp3", "02-" + kino + ".mp3", "03-" + marks + ".mp3"}));
    EXPECT_EQ(folder->read("01-" + kino + ".mp3"), "keep");
    EXPECT_EQ(folder->read("02-" + kino + ".mp3"), "\xCA\xE8\xED\xEE\xFF");
    EXPECT_EQ(folder->read("03-" + marks + ".mp3"), "tm");
}

// A folder that cannot be made or written: recording stops, "Rec" clears,
// the status line says why, and no empty file is left.
TEST_F(RecorderTest, ARecordingThatCannotBeWrittenStopsAndSaysWhy) {
    const std::string asFile = folder->path().substr(0, folder->path().size() - 1);
    ASSERT_EQ(rmdir(asFile.c_str()), 0);
    fclose(fopen(asFile.c_str(), "w"));  // in the folder's place: it cannot be made
    holdTitle("Band - Song");
    switchRecordingOn();
    block("lost");
    EXPECT_FALSE(recordingOn());
    EXPECT_FALSE(recMarked());
    EXPECT_EQ(controlText(IDC_STATUS), "Recording stopped: Not a directory");
    EXPECT_EQ(recordCounter(), 0);

    ASSERT_EQ(unlink(asFile.c_str()), 0);
    ASSERT_EQ(mkdir(asFile.c_str(), 0755), 0);
    rlimit limit{}, full{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    full = {4, limit.rlim_max};  // a full disk, for this process
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    switchRecordingOn();
    block("kept");
    block("no room");
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(recMarked());
    EXPECT_EQ(controlText(IDC_STATUS), "Recording stopped: File too large");
    EXPECT_EQ(folder->names(), Names{"01-Band.mp3"});
    EXPECT_EQ(folder->read("01-Band.mp3"), "kept");
}

TEST_F(RecorderTest, BlocksAreWrittenByteForByte) {
    std::string expected;
    holdTitle("Bytes - All");
    switchRecordingOn();
    for (size_t size : {1u, 7u, 13u, 256u, 4096u, 1u << 20}) {
        std::string part(size, '\0');
        for (size_t i = 0; i < size; ++i) part[i] = static_cast<char>((i * 7 + size) & 0xFF);
        block(part);
        expected += part;
    }
    endOfDownload();
    EXPECT_EQ(folder->read("01-Bytes.mp3"), expected);
}

TEST_F(RecorderTest, ExitClosesTheFileAndOpensNoOther) {
    holdTitle("Band - Song");
    switchRecordingOn();
    block("before exit");
    closeRecordFile();
    block("late block");
    EXPECT_EQ(folder->names(), Names{"01-Band.mp3"});
    EXPECT_EQ(folder->read("01-Band.mp3"), "before exit");
    EXPECT_FALSE(recordingOn());
}

TEST_F(RecorderTest, TheRecMarkFollowsClicksAndTheRecordingState) {
    HWND rec = GetDlgItem(window, IDC_REC);
    ASSERT_NE(rec, nullptr);
    platform::testing::click(rec);
    ASSERT_TRUE(platform::testing::pumpEvents(5000, [] { return recordingOn(); }));
    EXPECT_TRUE(recMarked());

    platform::testing::click(rec);
    ASSERT_TRUE(platform::testing::pumpEvents(5000, [] { return !recordingOn(); }));
    EXPECT_FALSE(recMarked());

    // Recording that went off by itself is switched on again by one click.
    platform::testing::click(rec);
    ASSERT_TRUE(platform::testing::pumpEvents(5000, [] { return recordingOn(); }));
    holdTitle("Band - Song");
    block("x");
    endOfDownload();
    EXPECT_FALSE(recMarked());
    platform::testing::click(rec);
    ASSERT_TRUE(platform::testing::pumpEvents(5000, [] { return recordingOn(); }));
    EXPECT_TRUE(recMarked());
    platform::testing::flushUpdates();
    EXPECT_TRUE(recordingOn());
}

TEST_F(RecorderTest, ALaterDecisionIsNotUndoneByAnEarlierOneSentAfterIt) {
    ControlUpdate first = decideCheck(IDC_REC, true);
    ControlUpdate second = decideCheck(IDC_REC, false);
    sendUpdate(second);
    sendUpdate(first);
    EXPECT_FALSE(recMarked());

    ControlUpdate older = decideText(IDC_TITLE, "older");
    ControlUpdate newer = decideText(IDC_TITLE, "newer");
    sendUpdate(newer);
    sendUpdate(older);
    EXPECT_EQ(controlText(IDC_TITLE), "newer");
    sendUpdate(decideText(IDC_TITLE, "newest"));
    EXPECT_EQ(controlText(IDC_TITLE), "newest");
}
