#include "tests/recording/stream_fixture.h"

#include <string>
#include <vector>

using namespace recordertest;
using Names = std::vector<std::string>;

namespace {

constexpr int kMetaint = 2000;

// The audio offset at which metadata block k's text takes effect.
size_t boundary(int block) {
    return static_cast<size_t>(block + 1) * kMetaint;
}

std::string joined(const testsupport::RecordFolderGuard& folder, const Names& names) {
    std::string all;
    for (const std::string& name : names) all += folder.read(name);
    return all;
}

}  // namespace

// The server sends an MP3 station's bytes with titles at known metadata
// blocks, pausing after the first part so that "Rec" is switched on while
// nothing flows. The record files, joined, must be exactly the audio sent
// from then on, each new file starting at the first frame of its title's block.
TEST_F(StreamRecorderTest, RecordsEveryByteSplitExactlyAtEachNewTitle) {
    std::string mp3 = toString(fixtures::makeMp3({.frequency = 440, .seconds = 4}));
    ASSERT_GT(mp3.size(), boundary(28));
    // The first part ends with the block that brings "Intro": once that title
    // shows, every byte before the gate has reached the recorder.
    const size_t firstPart = boundary(3);
    std::string head = tempFile("head.mp3", mp3.substr(0, firstPart));
    std::string rest = tempFile("rest.mp3", mp3.substr(firstPart));
    ASSERT_TRUE(icyRoute("/radio", kMetaint,
                         R"([{"block": 0, "title": "Station - Welcome"},
                             {"block": 3, "title": "Intro - Jingle"},
                             {"block": 7, "title": "Artist One - Song"},
                             {"block": 12, "title": "Artist One - Song"},
                             {"block": 15, "text": "StreamTitle='Artist One - Song';StreamUrl='ad';"},
                             {"block": 18, "title": "Artist Two - Song; Part 2"},
                             {"block": 24, "title": "Artist Three - Rock 'n' Roll"}])",
                         "[" + filePart(head) + ", {\"gate\": \"rest\"}, " + filePart(rest) + "]"));

    ASSERT_NE(connect(server.url("/radio")), 0u);
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Intro - Jingle"; }));
    toggleRecording();
    ASSERT_TRUE(server.openGate("rest"));
    // The end of the download switches recording off, and the mark follows.
    ASSERT_TRUE(waitFor([] { return !recordingOn() && !recMarked(); })) << "the download did not end";

    Names names = folder->names();
    ASSERT_EQ(names, (Names{"01-Intro.mp3", "02-Artist One.mp3", "03-Artist Two.mp3", "04-Artist Three.mp3"}));
    // Each file starts at the first frame from its title's block on: within
    // one frame (at most 1441 bytes) of it.
    std::string recorded = joined(*folder, names);
    size_t start = mp3.size() - recorded.size();
    EXPECT_TRUE(start >= firstPart && start < firstPart + 1441) << start;
    EXPECT_TRUE(recorded == mp3.substr(start)) << "the recording is not the audio sent after the gate";
    size_t at = start;
    for (size_t i = 0; i < names.size(); ++i) {
        size_t from = i == 0 ? firstPart : boundary(std::vector<int>{7, 18, 24}[i - 1]);
        EXPECT_TRUE(at >= from && at < from + 1441) << names[i] << " starts at " << at;
        EXPECT_EQ(static_cast<unsigned char>(folder->read(names[i])[0]), 0xFF) << names[i];
        at += folder->read(names[i]).size();
    }

    for (const std::string& name : names) {
        std::string bytes = folder->read(name);
        long frames = decodedMp3Frames(bytes);
        EXPECT_GE(frames, static_cast<long>(bytes.size() / 418) - 2) << name << " does not decode as MP3";
    }
    EXPECT_EQ(controlText(IDC_TITLE), "Artist Three - Rock 'n' Roll");
}

// Switching "Rec" off and on while a song plays: nothing is recorded while
// it is off, and the song goes on in a second numbered file.
TEST_F(StreamRecorderTest, RecOffAndOnWithinOneSongLosesOnlyTheBytesWhileOff) {
    std::string mp3 = toString(fixtures::makeMp3({.frequency = 660, .seconds = 3}));
    std::string path = tempFile("song.mp3", mp3);
    ASSERT_TRUE(icyRoute("/song", kMetaint, R"([{"block": 0, "title": "Solo Artist - Long Song"}])",
                         "[" + filePart(path) + "]", 16000));
    setRecordCounter(41);
    ASSERT_NE(connect(server.url("/song")), 0u);
    ASSERT_TRUE(waitFor([] { return controlText(IDC_TITLE) == "Solo Artist - Long Song"; }));
    toggleRecording();
    ASSERT_TRUE(waitFor([this] { return folder->read("42-Solo Artist.mp3").size() > 4000; }));
    toggleRecording();
    toggleRecording();
    ASSERT_TRUE(waitFor([] { return !recordingOn(); })) << "the download did not end";

    ASSERT_EQ(folder->names(), (Names{"42-Solo Artist.mp3", "43-Solo Artist.mp3"}));
    std::string first = folder->read("42-Solo Artist.mp3");
    std::string second = folder->read("43-Solo Artist.mp3");
    size_t firstAt = mp3.find(first);
    ASSERT_NE(firstAt, std::string::npos);
    ASSERT_GE(mp3.size(), second.size());
    EXPECT_EQ(second, mp3.substr(mp3.size() - second.size()));
    EXPECT_LE(firstAt + first.size(), mp3.size() - second.size());
    EXPECT_EQ(heldTitle(), "Solo Artist - Long Song");
}
