// The recorder and the title handler fed by the real engine from a real
// server: a stream is connected the way the connect thread does it, with the
// recorder's download callback and the title and end syncs.
#pragma once

#include <mpg123.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/bass.h"
#include "playback/stream_metadata.h"
#include "tests/recording/recorder_fixture.h"
#include "tests/support/fixtures.h"
#include "tests/support/stream_server.h"

namespace recordertest {

// Generous: a loaded 2-core machine may be slow at everything.
constexpr int kWaitMs = 30000;

inline bool waitFor(const std::function<bool()>& condition, int maxMs = kWaitMs) {
    return platform::testing::pumpEvents(maxMs, condition);
}

inline std::string toString(const std::vector<unsigned char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// MP3 frames mpg123 decodes from a file's bytes; -1 when it reports an error
// (junk before the first frame and a cut last frame are normal and skipped).
inline long decodedMp3Frames(const std::string& bytes) {
    int error = 0;
    mpg123_handle* decoder = mpg123_new(nullptr, &error);
    if (!decoder) return -1;
    mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    long frames = 0;
    if (mpg123_open_feed(decoder) != MPG123_OK ||
        mpg123_feed(decoder, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != MPG123_OK)
        frames = -1;
    while (frames >= 0) {
        off_t number = 0;
        unsigned char* audio = nullptr;
        size_t size = 0;
        int result = mpg123_decode_frame(decoder, &number, &audio, &size);
        if (result == MPG123_NEED_MORE) break;
        if (result == MPG123_OK)
            ++frames;
        else if (result != MPG123_NEW_FORMAT)
            frames = -1;
    }
    mpg123_delete(decoder);
    return frames;
}

class StreamRecorderTest : public RecorderTest {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr) || BASS_ErrorGetCode() == BASS_ERROR_ALREADY);
    }

    static void TearDownTestSuite() { BASS_Free(); }

    void TearDown() override {
        HSTREAM stream = player.stream.exchange(0);
        if (stream) BASS_StreamFree(stream);
        RecorderTest::TearDown();
    }

    // As the connect thread: create with the recorder's callback (`user`
    // names the connection the recorder follows), then the
    // first title, the syncs and play. Syncs go first so no title slips by
    // between the two.
    HSTREAM connect(const std::string& url, void* user = nullptr) {
        SetDlgItemTextA(player.mainWindow, IDC_TITLE, "");
        HSTREAM stream =
            BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_STATUS | BASS_STREAM_BLOCK, onDownloadBlock, user);
        EXPECT_NE(stream, 0u) << "error " << BASS_ErrorGetCode();
        if (!stream) return 0;
        player.stream = stream;
        BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, onTitleSync, nullptr);
        BASS_ChannelSetSync(stream, BASS_SYNC_OGG_CHANGE, 0, onTitleSync, nullptr);
        BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, onEndSync, nullptr);
        updateStreamTitle();
        BASS_ChannelPlay(stream, FALSE);
        return stream;
    }

    // A route of ICY MP3 with the given metadata blocks (a JSON list) over
    // the parts (a JSON list of body parts), then the connection closes.
    bool icyRoute(const std::string& path, int metaint, const std::string& meta, const std::string& body,
                  int rate = 32000) {
        return server.route("{\"path\": \"" + path + "\", \"status\": \"ICY 200 OK\", \"headers\": " +
                            "[\"Content-Type: audio/mpeg\", \"icy-metaint: " + std::to_string(metaint) +
                            "\", \"icy-name: Test FM\"], \"metaint\": " + std::to_string(metaint) + ", \"meta\": " +
                            meta + ", \"body\": " + body + ", \"rate\": " + std::to_string(rate) + "}");
    }

    static std::string filePart(const std::string& path) {
        return "{\"file\": " + test::StreamServer::quote(path) + "}";
    }

    // A body of the bytes cut at the given offsets; at cut i the server waits
    // until the test calls server.openGate("cut<i>"), so a test acts while
    // nothing flows however slow the machine is.
    std::string bodyWithGates(const std::string& bytes, const std::vector<size_t>& cuts) {
        std::string body = "[";
        size_t from = 0;
        for (size_t i = 0; i <= cuts.size(); ++i) {
            size_t to = i < cuts.size() ? cuts[i] : bytes.size();
            if (i > 0) body += ", {\"gate\": \"cut" + std::to_string(i - 1) + "\"}, ";
            body += filePart(tempFile("part" + std::to_string(i), bytes.substr(from, to - from)));
            from = to;
        }
        return body + "]";
    }

    // A file in the temporary folder holding bytes.
    std::string tempFile(const std::string& name, const std::string& bytes) {
        std::string path = temp.file(name);
        fixtures::writeBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
        return path;
    }

    test::StreamServer server;
    fixtures::TempDir temp;
};

}  // namespace recordertest
