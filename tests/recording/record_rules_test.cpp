// The recorder fed captured streams block by block, as the download thread
// does: every piece is kept under a name for what it is, and starts where it
// can be played from.
#include "tests/recording/recorder_fixture.h"

#include <string>
#include <vector>

#include "tests/plugins/encoders.h"
#include "tests/support/fixtures.h"

using namespace recordertest;
using Names = std::vector<std::string>;

namespace {

std::string bytesOf(const std::vector<unsigned char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A song of 2 s with these comments, as Vorbis or as Opus.
std::string song(bool opus, double frequency, const std::vector<std::string>& comments) {
    static int serial = 100;
    fixtures::TempDir dir;
    if (!opus) return bytesOf(fixtures::makeOggVorbis({.frequency = frequency, .seconds = 2}, comments, ++serial));
    bool made = test::encodeOpus({.frequency = frequency, .rate = 48000, .seconds = 2}, comments, dir.file("x"));
    return made ? bytesOf(fixtures::readBytes(dir.file("x"))) : "";
}

// Odd-sized blocks, so that pages and frames straddle them.
void feed(const std::string& bytes, size_t from = 0, size_t to = std::string::npos) {
    to = std::min(to, bytes.size());
    for (size_t at = from; at < to; at += 1531) block(bytes.substr(at, std::min<size_t>(1531, to - at)));
}

// ffprobe reads every packet of the file from its first byte without an error.
bool plays(const std::string& path) {
    std::string file = fixtures::shellQuote(path);
    return fixtures::run("test -z \"$(ffprobe -v error -show_packets " + file + " 2>&1 >/dev/null)\"");
}

void newIcyTitle(const char* title)  // as the title handler does
{
    holdTitle(title);
    MutexLock lock(player.recordLock);
    endSongLocked(std::string(title));
}

}  // namespace

// A chained Ogg station: one file per song, cut at each song's first page
// and named after its comments; one begun within a song starts with that
// song's header pages, so each plays on its own.
TEST_F(RecorderTest, ChainedOggIsCutAtEachSongsFirstPage) {
    for (bool opus : {false, true}) {
        folder->clear();
        std::string songs[3] = {song(opus, 440, {"ARTIST=One", "TITLE=A"}), song(opus, 550, {"title=Second Song"}),
                                song(opus, 660, {})};
        ASSERT_FALSE(songs[0].empty() || songs[1].empty() || songs[2].empty());
        onDownloadBlock("ICY 200 OK\0icy-name:Chain FM\0\0", 0, nullptr);
        setRecordCounter(0);
        feed(songs[0], 0, songs[0].size() / 2);
        switchRecordingOn();
        feed(songs[0], songs[0].size() / 2);
        feed(songs[1]);
        feed(songs[2]);
        endOfDownload();

        std::string ext = opus ? ".opus" : ".ogg";
        ASSERT_EQ(folder->names(), (Names{"01-One" + ext, "02-Second Song" + ext, "03-Chain FM" + ext}));
        EXPECT_EQ(folder->read("02-Second Song" + ext), songs[1]);
        EXPECT_EQ(folder->read("03-Chain FM" + ext), songs[2]);
        std::string first = folder->read("01-One" + ext);  // headers, then the song from a page on
        size_t tail = songs[0].size() - songs[0].find("OggS", songs[0].size() / 2);
        EXPECT_TRUE(first.size() > tail && first.ends_with(songs[0].substr(songs[0].size() - tail)));
        for (const std::string& name : folder->names()) EXPECT_TRUE(plays(folder->path() + name)) << name;
        resetRecording();
    }
}

// MP3 and AAC: a new title's cut moves to the next frame, so every file
// starts with a whole frame, and joined they are the station's bytes.
TEST_F(RecorderTest, FrameStreamsAreCutAtTheNextFrameAndNamedForTheirFormat) {
    fixtures::TempDir dir;
    ASSERT_TRUE(test::encodeAac({.frequency = 440, .seconds = 3}, dir.file("a.aac")));
    std::string streams[2] = {bytesOf(fixtures::makeMp3({.frequency = 440, .seconds = 3})),
                              bytesOf(fixtures::readBytes(dir.file("a.aac")))};
    for (const std::string& bytes : streams) {
        folder->clear();
        std::string ext = &bytes == &streams[0] ? ".mp3" : ".aac";
        holdTitle("Band - Intro");
        switchRecordingOn();
        size_t start = 777;  // within a frame: the file starts at the next one
        feed(bytes, start, 10000);
        newIcyTitle("Other Band - Song");
        feed(bytes, 10000);
        endOfDownload();

        Names names = folder->names();
        ASSERT_EQ(names, (Names{"01-Band" + ext, "02-Other Band" + ext}));
        std::string first = folder->read(names[0]), second = folder->read(names[1]);
        size_t cut = bytes.size() - second.size(), begin = cut - first.size();
        EXPECT_EQ(first + second, bytes.substr(begin));
        EXPECT_TRUE(begin >= start && begin < start + 1500) << begin;
        EXPECT_TRUE(cut >= 10000 && cut < 11500) << cut;
        for (const std::string& name : names) {
            EXPECT_EQ(static_cast<unsigned char>(folder->read(name)[0]), 0xFF) << name;
            EXPECT_TRUE(plays(folder->path() + name)) << name;
        }
        resetRecording();
    }
}

// A station that sends no titles: every piece is kept, named after the
// station, and switching "Rec" off and on never empties one.
TEST_F(RecorderTest, UntitledPiecesAreKeptUnderTheStationsName) {
    std::string mp3 = bytesOf(fixtures::makeMp3({.frequency = 440, .seconds = 2}));
    onDownloadBlock("ICY 200 OK\0icy-name:Quiet FM\0\0", 0, nullptr);
    setRecordCounter(4);
    switchRecordingOn();
    feed(mp3, 0, 8000);
    toggleRecording();
    toggleRecording();
    feed(mp3, 8000);
    endOfDownload();
    EXPECT_EQ(folder->names(), (Names{"05-Quiet FM.mp3", "06-Quiet FM.mp3"}));
}
