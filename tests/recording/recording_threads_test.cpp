// Ten seconds of titles every few milliseconds while "Rec" is clicked and
// stations are changed from the dialog's thread. Run under ThreadSanitizer
// in CI. Every record file must hold only bytes sent under its title, no byte
// may be recorded twice, and bytes go missing only while recording is off.
#include "tests/recording/stream_fixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace recordertest;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kMetaint = 512;
constexpr size_t kTitles = 64;  // a station's titles repeat every 64 blocks
constexpr size_t kCycle = kMetaint * kTitles;
constexpr size_t kBodySize = 10 * kCycle;  // 5 s at kRate: longer than any connection lasts
constexpr int kRate = 64000;               // a new title every 8 ms
constexpr auto kRunTime = std::chrono::seconds(10);
constexpr auto kLongestConnection = std::chrono::milliseconds(1500);
constexpr size_t kLocatable = 16;  // a piece of noise this long occurs once

// White noise as MP3: no two pieces of it are alike, so each recorded piece
// shows where in the stream it came from.
std::string noiseMp3(const fixtures::TempDir& dir) {
    std::mt19937 rng(7);
    std::vector<int16_t> pcm(44100 * 2 * 24);
    for (int16_t& s : pcm) s = static_cast<int16_t>(static_cast<int>(rng() % 20000) - 10000);
    fixtures::writeWav(dir.file("noise.wav"), pcm, 44100, 2);
    if (!fixtures::run("lame --quiet --cbr -b 128 " + fixtures::shellQuote(dir.file("noise.wav")) + " " +
                       fixtures::shellQuote(dir.file("noise.mp3"))))
        return {};
    std::string mp3 = toString(fixtures::readBytes(dir.file("noise.mp3")));
    return mp3.size() >= kBodySize ? mp3.substr(0, kBodySize) : std::string();
}

// Connection n's titles are "S<n>x<i> Artist - Song", so a file's name tells
// the connection and the title it was opened under.
std::string titleList(int connection) {
    std::string list = "[";
    for (size_t i = 0; i < kTitles; ++i)
        list += std::string(i ? ", " : "") + "\"S" + std::to_string(connection) + "x" + std::to_string(i) +
                " Artist - Song\"";
    return list + "]";
}

struct RecordFile {
    std::string name;
    int number = 0;
    int connection = -1;
    size_t title = 0;
    std::string bytes;
    std::optional<size_t> offset;  // in its connection's stream, when locatable
};

// A piece recorded before a station's first title is named after the
// station ("Radio": these have no icy-name) and lies at a stream's start.
bool parseName(RecordFile& file) {
    char rest[16] = {};
    if (std::sscanf(file.name.c_str(), "%d-Radio.mp%1s", &file.number, rest) == 2) return true;
    return std::sscanf(file.name.c_str(), "%d-S%dx%zu Artist.mp3", &file.number, &file.connection, &file.title) == 3;
}

// A file is cut at the first frame after its title, so it reaches up to a
// frame (and a few bytes of a header) past its title's block.
constexpr size_t kFrameSlack = 1441 + 6;

// Where `piece` lies in the body inside a block sent under title `title`;
// npos when it lies in none. Bytes from (k+1)*kMetaint on are under block k's
// title, k % kTitles.
size_t placeUnderTitle(const std::string& body, const std::string& piece, size_t title) {
    size_t found = std::string::npos;
    for (size_t start = (title + 1) * kMetaint; start + kMetaint <= body.size(); start += kCycle) {
        size_t at = body.substr(start, kMetaint + kFrameSlack).find(piece);
        if (at != std::string::npos && found == std::string::npos) found = start + at;
    }
    return found;
}

// Syncs can only be set once a stream exists, and by then its first bytes,
// and maybe its first title, have gone by: a stream's first title ends the
// record file late, when the connect thread reads it. So bytes from the start
// of a stream may stand under any title: the previous station's, carried over
// by armed recording, or at the end of a file of the previous connection.
constexpr size_t kStartSlack = 32 * 1024;

bool inStreamStart(const std::string& body, const std::string& piece) {
    return body.substr(0, kStartSlack).find(piece) != std::string::npos;
}

bool checkPlacement(const std::string& body, RecordFile& file) {
    size_t at = placeUnderTitle(body, file.bytes, file.title);
    if (at != std::string::npos) {
        if (file.bytes.size() >= kLocatable) file.offset = at;
        return true;
    }
    if (inStreamStart(body, file.bytes)) return true;
    for (size_t tail = std::min(file.bytes.size(), kStartSlack); tail > 0; --tail) {
        if (file.bytes.compare(file.bytes.size() - tail, tail, body, 0, tail) != 0) continue;
        std::string head = file.bytes.substr(0, file.bytes.size() - tail);
        if (placeUnderTitle(body, head, file.title) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

class RecordingThreadsTest : public StreamRecorderTest {
protected:
    void TearDown() override {
        if (connector.joinable()) connector.join();
        StreamRecorderTest::TearDown();
    }

    // The station change of the dialog: the recorder first, then a connect
    // thread that replaces the stream, as the program does; the recorder
    // hears only the newest connection's bytes.
    void changeStation() {
        if (connector.joinable()) connector.join();
        stopRecordingForNewStation();
        int n = ++connections;
        ASSERT_TRUE(server.route("{\"path\": \"/s" + std::to_string(n) +
                                 "\", \"status\": \"ICY 200 OK\", \"headers\": [\"Content-Type: audio/mpeg\", "
                                 "\"icy-metaint: 512\"], \"metaint\": 512, \"titles\": {\"every\": 1, \"list\": " +
                                 titleList(n) + "}, \"body\": [" + filePart(bodyPath) +
                                 "], \"loop\": true, \"rate\": " + std::to_string(kRate) + "}"));
        std::string url = server.url("/s" + std::to_string(n));
        followConnection(static_cast<unsigned>(n));
        connector = std::thread([this, url, n] {
            HSTREAM old = player.stream.exchange(0);
            if (old) BASS_StreamFree(old);
            if (connect(url, connectionUser(static_cast<unsigned>(n)))) connected = connections.load();
        });
    }

    std::string bodyPath;
    std::thread connector;
    std::atomic<int> connections{0};
    std::atomic<int> connected{0};
};

TEST_F(RecordingThreadsTest, TitlesRecAndStationChangesLoseAndDoubleNothing) {
    std::string body = noiseMp3(temp);
    ASSERT_EQ(body.size(), kBodySize);
    bodyPath = tempFile("noise.mp3", body);
    HWND rec = GetDlgItem(window, IDC_REC);

    changeStation();
    ASSERT_TRUE(waitFor([this] { return connected == 1 && !controlText(IDC_TITLE).empty(); }));
    std::mt19937 rng(11);
    int offs = 0;
    auto stop = Clock::now() + kRunTime;
    auto lastChange = Clock::now();
    while (Clock::now() < stop) {
        platform::testing::pumpEvents(static_cast<int>(5 + rng() % 30));
        bool due = Clock::now() - lastChange > kLongestConnection;
        if ((due || rng() % 8 == 0) && connected == connections) {
            offs += recordingOn() ? 1 : 0;
            changeStation();
            lastChange = Clock::now();
        } else {
            offs += recordingOn() ? 1 : 0;
            platform::testing::click(rec);
        }
    }
    if (connector.joinable()) connector.join();
    EXPECT_EQ(recMarked(), recordingOn());
    closeRecordFile();
    BASS_StreamFree(player.stream.exchange(0));

    std::vector<RecordFile> files;
    for (const std::string& name : folder->names()) {
        RecordFile file;
        file.name = name;
        ASSERT_TRUE(parseName(file)) << name;
        file.bytes = folder->read(name);
        ASSERT_FALSE(file.bytes.empty()) << name;
        EXPECT_TRUE(checkPlacement(body, file)) << name << " holds bytes not sent under its title";
        files.push_back(std::move(file));
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.number < b.number; });

    // Per connection, in the order the files were opened: no byte twice, and
    // a gap only where recording was switched off.
    int gaps = 0;
    for (int n = 1; n <= connections; ++n) {
        std::optional<size_t> end;
        for (const RecordFile& file : files) {
            if (file.connection != n || !file.offset) continue;
            if (end) {
                EXPECT_GE(*file.offset, *end) << file.name << " repeats bytes recorded before it";
                gaps += *file.offset > *end ? 1 : 0;
            }
            end = *file.offset + file.bytes.size();
        }
    }
    EXPECT_LE(gaps, offs) << "bytes were lost while recording was on";
    EXPECT_GE(connections, 5);
    EXPECT_GE(offs, 10);
    EXPECT_GE(files.size(), 50u) << "too little was recorded to say anything";
}
