// Titles and recording against a real Icecast server fed by ezstream.
#include "tests/recording/stream_fixture.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/icecast_server.h"

using namespace recordertest;
using Names = std::vector<std::string>;

namespace {

// A song is 6 s; a listener may wait for most of one before the first
// change, and a busy machine is slow to start everything.
constexpr int kSongWaitMs = 60000;

// The bytes an MP3 file's listeners get: the file without its ID3v2 tag.
std::string withoutId3v2(const std::string& file) {
    if (file.size() < 10 || file.compare(0, 3, "ID3") != 0) return file;
    size_t size = 0;
    for (int i = 6; i < 10; ++i) size = (size << 7) | (static_cast<unsigned char>(file[i]) & 0x7F);
    size_t tag = 10 + size + ((file[5] & 0x10) ? 10 : 0);
    return tag < file.size() ? file.substr(tag) : std::string();
}

// Watches control 32 and collects each title it shows, in order.
struct TitleLog {
    std::vector<std::string> seen;
    bool poll() {
        std::string now = controlText(IDC_TITLE);
        if (!now.empty() && (seen.empty() || seen.back() != now)) seen.push_back(now);
        return false;
    }
    // Waits until `count` titles have been seen.
    bool waitForCount(size_t count) {
        return waitFor(
            [&] {
                poll();
                return seen.size() >= count;
            },
            kSongWaitMs * static_cast<int>(count));
    }
};

}  // namespace

class IcecastRecorderTest : public StreamRecorderTest {
protected:
    void SetUp() override {
        StreamRecorderTest::SetUp();
        icecast = test::IcecastServer::get();
    }

    const test::IcecastServer* icecast = nullptr;
};

TEST_F(IcecastRecorderTest, TitlesAppearInPlaylistOrder) {
    REQUIRE_ICECAST(icecast);
    const auto& songs = icecast->songs();
    ASSERT_GE(songs.size(), 3u);
    ASSERT_NE(connect(icecast->mp3Url()), 0u);
    TitleLog log;
    ASSERT_TRUE(log.waitForCount(songs.size() + 1)) << "titles seen: " << log.seen.size();
    int first = icecast->songIndex(log.seen[0]);
    ASSERT_GE(first, 0) << "[" << log.seen[0] << "]";
    for (size_t i = 0; i < log.seen.size(); ++i) {
        const test::IcecastSong& expected = songs[(first + i) % songs.size()];
        EXPECT_EQ(log.seen[i], expected.streamTitle()) << "title " << i;
    }
    EXPECT_TRUE(folder->names().empty());
}

// "Rec" on at a song change, off after the next two: the files are named
// after the songs' artists, joined they are an unbroken piece of what the
// source sent, and the middle file holds its song.
TEST_F(IcecastRecorderTest, RecordsEachSongIntoAFileNamedAfterItsArtist) {
    REQUIRE_ICECAST(icecast);
    const auto& songs = icecast->songs();
    std::vector<std::string> sources;
    for (size_t i = 0; i < songs.size(); ++i) {
        std::string path = icecast->sourceFile(i, "mp3");
        if (path.empty()) GTEST_SKIP() << "the harness folder of the running Icecast server is unknown";
        sources.push_back(withoutId3v2(toString(fixtures::readBytes(path))));
        ASSERT_FALSE(sources.back().empty()) << path;
    }
    ASSERT_NE(connect(icecast->mp3Url()), 0u);
    TitleLog log;
    ASSERT_TRUE(log.waitForCount(2));  // a change: a song has just begun
    toggleRecording();
    ASSERT_TRUE(log.waitForCount(4));
    toggleRecording();
    int k = icecast->songIndex(log.seen[1]);
    ASSERT_GE(k, 0);
    size_t n = songs.size();

    Names names = folder->names();
    ASSERT_GE(names.size(), 2u);
    ASSERT_LE(names.size(), 3u);
    EXPECT_EQ(names[0], "01-" + songs[k].artist + ".mp3");
    EXPECT_EQ(names[1], "02-" + songs[(k + 1) % n].artist + ".mp3");
    if (names.size() == 3) {
        EXPECT_EQ(names[2], "03-" + songs[(k + 2) % n].artist + ".mp3");
    }

    // The source's bytes from song k on, long enough to hold the recording.
    std::string sent;
    std::vector<size_t> songStart;
    for (size_t i = 0; i < 2 * n; ++i) {
        songStart.push_back(sent.size());
        sent += sources[(k + i) % n];
    }
    std::string recorded;
    std::vector<size_t> fileStart;
    for (const std::string& name : names) {
        fileStart.push_back(recorded.size());
        recorded += folder->read(name);
    }
    // The first file began after the listener's burst: look for it near song k.
    size_t at = sent.find(recorded);
    ASSERT_NE(at, std::string::npos) << "the recording is not an unbroken piece of the source's bytes";
    EXPECT_LT(at, songStart[1]);

    // The middle file: from near the start of song k+1 to near its end. A
    // title takes effect at the next metadata block (16000 bytes) after the
    // source sets it, which may be a little before or after the song's bytes.
    const size_t slack = 16000 + 8192;
    size_t begin = at + fileStart[1];
    size_t end = at + (names.size() == 3 ? fileStart[2] : recorded.size());
    SCOPED_TRACE("song " + std::to_string(songStart[1]) + ".." + std::to_string(songStart[2]) + ", file " +
                 std::to_string(begin) + ".." + std::to_string(end));
    EXPECT_LE(begin, songStart[1] + slack);
    EXPECT_GE(begin + slack, songStart[1]);
    if (names.size() == 3) {
        EXPECT_LE(end, songStart[2] + slack);
        EXPECT_GE(end + slack, songStart[2]);
    }
    // Every file decodes as MP3. A last file cut off by the end of the test
    // after a few frames may hold none whole once its first, partial frame
    // is skipped, so only files of a metadata interval or more are judged.
    for (const std::string& name : names) {
        std::string bytes = folder->read(name);
        if (bytes.size() >= 16000) {
            EXPECT_GE(decodedMp3Frames(bytes), static_cast<long>(bytes.size() / 418) - 2) << name;
        }
    }
}
