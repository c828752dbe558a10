// BASS_StreamCreateURL against the scripted radio server on 127.0.0.1: what
// the download callback, the tags and the syncs see, in which order, how a
// stream ends, and how a create fails.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/bass.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fixtures.h"
#include "tests/support/stream_server.h"
#include "tests/support/wait_until.h"

namespace {

using test::tagTexts;
using test::threadCount;
using test::waitUntil;

// What the download callback received.
struct Download {
    std::mutex mutex;
    std::vector<std::string> status;  // the texts of the length-0 call
    size_t bytes = 0;                 // audio bytes so far
    int statusCalls = 0;
    int endCalls = 0;
    bool dataAfterEnd = false;
    std::atomic<bool> calledAfterFree{false};
    std::atomic<bool> freed{false};

    static void proc(const void* buffer, DWORD length, void* user) {
        auto* self = static_cast<Download*>(user);
        if (self->freed) self->calledAfterFree = true;
        std::lock_guard lock(self->mutex);
        if (!buffer) {
            ++self->endCalls;
        } else if (length == 0) {
            ++self->statusCalls;
            self->status = tagTexts(static_cast<const char*>(buffer));
        } else {
            if (self->endCalls) self->dataAfterEnd = true;
            self->bytes += length;
        }
    }
    size_t received() {
        std::lock_guard lock(mutex);
        return bytes;
    }
    int ends() {
        std::lock_guard lock(mutex);
        return endCalls;
    }
};

class StreamUrl : public test::EngineTest {
protected:
    static void SetUpTestSuite() {
        dir_ = new fixtures::TempDir;
        fixtures::Tone tone{.frequency = 1000, .rate = 44100, .channels = 2, .seconds = 3, .amplitude = 0.5};
        mp3_ = dir_->file("tone.mp3");
        fixtures::writeBytes(mp3_, fixtures::makeMp3(tone, 128));
        fixtures::Tone shortTone = tone;
        shortTone.seconds = 0.5;
        shortMp3_ = dir_->file("short.mp3");
        fixtures::writeBytes(shortMp3_, fixtures::makeMp3(shortTone, 128));
        auto first = fixtures::makeOggVorbis(tone, {"ARTIST=First", "TITLE=One"}, 11);
        tone.frequency = 500;
        tone.rate = 22050;
        tone.channels = 1;
        auto second = fixtures::makeOggVorbis(tone, {"TITLE=Two"}, 12);
        first.insert(first.end(), second.begin(), second.end());
        ogg_ = dir_->file("chain.ogg");
        fixtures::writeBytes(ogg_, first);
    }
    static void TearDownTestSuite() { delete dir_; }

    void SetUp() override {
        ASSERT_GT(fixtures::readBytes(mp3_).size(), 10000u) << "lame made no MP3";
        test::EngineTest::SetUp();
        BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 2000);
    }

    static inline fixtures::TempDir* dir_ = nullptr;
    static inline std::string mp3_, shortMp3_, ogg_;
    test::StreamServer server_;
};

TEST_F(StreamUrl, IcyStreamGivesStatusTagsAndFormat) {
    ASSERT_TRUE(server_.route(R"({"path": "/radio", "status": "ICY 200 OK",
        "headers": ["icy-name: Test FM", "icy-url: http://example.org", "Content-Type: audio/mpeg"],
        "body": [{"file": ")" +
                              mp3_ + R"("}], "loop": true, "rate": 32000})"));
    Download download;
    DWORD flags = BASS_STREAM_STATUS | BASS_STREAM_BLOCK | BASS_STREAM_AUTOFREE | BASS_SAMPLE_FX;
    std::string url = server_.url("/radio") + "\n";
    HSTREAM stream = BASS_StreamCreateURL(url.c_str(), 0, flags, Download::proc, &download);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);

    auto icy = tagTexts(BASS_ChannelGetTags(stream, BASS_TAG_ICY));
    ASSERT_GE(icy.size(), 4u);
    EXPECT_EQ(icy[0], "ICY 200 OK");
    EXPECT_EQ(icy[1], "icy-name: Test FM");
    EXPECT_EQ(icy[2], "icy-url: http://example.org");
    EXPECT_EQ(BASS_ChannelGetTags(stream, BASS_TAG_HTTP), nullptr);
    EXPECT_EQ(BASS_ChannelGetTags(stream, BASS_TAG_META), nullptr) << "no metadata was sent";
    {
        std::lock_guard lock(download.mutex);
        EXPECT_EQ(download.statusCalls, 1);
        EXPECT_EQ(download.status, icy) << "the callback gets the same texts as the tag";
        EXPECT_GT(download.bytes, 0u) << "audio came before create returned";
    }

    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM_MP3));
    EXPECT_EQ(info.flags, flags);
    EXPECT_EQ(std::string(info.filename), server_.url("/radio")) << "the line feed is not part of it";

    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(waitUntil([&] { return (BASS_ChannelGetLevel(stream) & 0xFFFF) > 12000; }));
    EXPECT_NEAR(double(BASS_ChannelGetLevel(stream) & 0xFFFF), 0.5 * 32768, 2500);
    size_t before = download.received();
    EXPECT_TRUE(waitUntil([&] { return download.received() > before + 16000; })) << "the download goes on";
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(StreamUrl, HttpHeadersBecomeTheHttpTag) {
    ASSERT_TRUE(server_.route(R"({"path": "/http", "status": "HTTP/1.0 200 OK",
        "headers": ["Content-Type: audio/mpeg", "ICY-NAME: Loud"],
        "body": [{"file": ")" +
                              mp3_ + R"("}], "loop": true, "rate": 32000})"));
    Download download;
    HSTREAM stream = BASS_StreamCreateURL(server_.url("/http").c_str(), 0, 0, Download::proc, &download);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    auto http = tagTexts(BASS_ChannelGetTags(stream, BASS_TAG_HTTP));
    ASSERT_GE(http.size(), 3u);
    EXPECT_EQ(http[0], "HTTP/1.0 200 OK");
    EXPECT_EQ(http[2], "ICY-NAME: Loud");
    EXPECT_EQ(BASS_ChannelGetTags(stream, BASS_TAG_ICY), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    std::lock_guard lock(download.mutex);
    EXPECT_EQ(download.statusCalls, 0) << "no status call without BASS_STREAM_STATUS";
}

// Each META sync records how many audio bytes the download callback had by then.
struct MetaLog {
    std::mutex mutex;
    Download* download = nullptr;
    HSTREAM stream = 0;
    std::vector<std::pair<size_t, std::string>> seen;

    static void sync(HSYNC, DWORD channel, DWORD, void* user) {
        auto* self = static_cast<MetaLog*>(user);
        size_t bytes = self->download->received();
        const char* meta = BASS_ChannelGetTags(channel, BASS_TAG_META);
        std::lock_guard lock(self->mutex);
        self->seen.emplace_back(bytes, meta ? meta : "(none)");
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return seen.size();
    }
};

TEST_F(StreamUrl, MetaSyncFallsBetweenTheBytesItSplits) {
    constexpr int kMetaint = 3000;
    ASSERT_TRUE(server_.route(R"({"path": "/meta", "status": "ICY 200 OK",
        "headers": ["Content-Type: audio/mpeg", "icy-metaint: 3000"], "metaint": 3000,
        "titles": {"every": 1, "list": ["A - 1", "B - 2", "C - 3", "D - 4", "E - 5"]},
        "body": [{"file": ")" +
                              mp3_ + R"("}], "loop": true, "rate": 20000})"));
    Download download;
    HSTREAM stream = BASS_StreamCreateURL(server_.url("/meta").c_str(), 0, 0, Download::proc, &download);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    MetaLog log;
    log.download = &download;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, MetaLog::sync, &log), 0u);
    ASSERT_TRUE(waitUntil([&] { return log.count() >= 4; }));
    ASSERT_TRUE(BASS_StreamFree(stream));

    const char* titles[] = {"A - 1", "B - 2", "C - 3", "D - 4", "E - 5"};
    std::lock_guard lock(log.mutex);
    for (auto& [bytes, meta] : log.seen) {
        EXPECT_EQ(bytes % kMetaint, 0u) << "the sync comes exactly at a metadata block";
        size_t block = bytes / kMetaint - 1;
        EXPECT_EQ(meta, std::string("StreamTitle='") + titles[block % 5] + "';");
    }
}

struct EndLog {
    std::atomic<int> ends{0};
    Download* download = nullptr;
    std::atomic<int> downloadEndsAtSync{-1};
    static void sync(HSYNC, DWORD, DWORD, void* user) {
        auto* self = static_cast<EndLog*>(user);
        self->downloadEndsAtSync = self->download->ends();
        ++self->ends;
    }
};

TEST_F(StreamUrl, ServerCloseEndsTheDownloadThenThePlayThenFrees) {
    ASSERT_TRUE(server_.route(R"({"path": "/short", "headers": ["Content-Type: audio/mpeg"],
        "body": [{"file": ")" +
                              shortMp3_ + R"("}]})"));
    Download download;
    HSTREAM stream =
        BASS_StreamCreateURL(server_.url("/short").c_str(), 0, BASS_STREAM_AUTOFREE, Download::proc, &download);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    EndLog end;
    end.download = &download;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, EndLog::sync, &end), 0u);
    ASSERT_TRUE(waitUntil([&] { return download.ends() == 1; }));
    EXPECT_EQ(end.ends, 0) << "not played yet";
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(waitUntil([&] { return end.ends == 1; }));
    EXPECT_EQ(end.downloadEndsAtSync, 1);
    BASS_CHANNELINFO info{};
    EXPECT_TRUE(waitUntil([&] { return !BASS_ChannelGetInfo(stream, &info); })) << "AUTOFREE";
    std::lock_guard lock(download.mutex);
    EXPECT_EQ(download.endCalls, 1);
    EXPECT_FALSE(download.dataAfterEnd);
    EXPECT_EQ(download.bytes, fixtures::readBytes(shortMp3_).size());
}

struct OggLog {
    std::atomic<int> changes{0};
    std::mutex mutex;
    std::vector<std::string> comments;
    static void sync(HSYNC, DWORD channel, DWORD, void* user) {
        auto* self = static_cast<OggLog*>(user);
        auto now = tagTexts(BASS_ChannelGetTags(channel, BASS_TAG_OGG));
        std::lock_guard lock(self->mutex);
        self->comments = now;
        ++self->changes;
    }
};

TEST_F(StreamUrl, ChainedOggReplacesTheCommentsAtEachNewStream) {
    ASSERT_TRUE(server_.route(R"({"path": "/ogg", "headers": ["Content-Type: application/ogg"],
        "body": [{"file": ")" +
                              ogg_ + R"("}], "rate": 40000})"));
    HSTREAM stream = BASS_StreamCreateURL(server_.url("/ogg").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    auto first = tagTexts(BASS_ChannelGetTags(stream, BASS_TAG_OGG));
    EXPECT_EQ(first, (std::vector<std::string>{"ARTIST=First", "TITLE=One"})) << "set before create returns";
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM_OGG));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);

    OggLog log;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_OGG_CHANGE, 0, OggLog::sync, &log), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(waitUntil([&] { return log.changes == 1; }));
    {
        std::lock_guard lock(log.mutex);
        EXPECT_EQ(log.comments, (std::vector<std::string>{"TITLE=Two"})) << "replaced, not added to";
    }
    // The second song is mono at another rate and still plays (resampled).
    EXPECT_TRUE(waitUntil([&] { return BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED; }, 20));
    EXPECT_EQ(log.changes, 1);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(StreamUrl, FailedCreatesNameTheirReasonAndLeaveNothing) {
    ASSERT_TRUE(server_.route(R"({"path": "/html", "headers": ["Content-Type: text/html"],
        "body": [{"text": "<html><body>Not a radio station, just a page.</body></html>"}]})"));
    ASSERT_TRUE(server_.route(R"({"path": "/missing", "status": "HTTP/1.0 404 Not Found"})"));
    ASSERT_TRUE(server_.route(R"({"path": "/empty", "headers": ["Content-Type: audio/mpeg"], "body": []})"));
    ASSERT_TRUE(server_.route(R"({"path": "/stall", "headers": ["Content-Type: audio/mpeg"],
        "body": [{"stall": true}]})"));
    ASSERT_TRUE(server_.route(R"({"path": "/noise", "headers": ["Content-Type: audio/mpeg"],
        "body": [{"bytes": 200000, "pattern": "random", "seed": 7}]})"));
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 1000);

    struct Case {
        const char* path;
        int error;
    } cases[] = {{"/html", BASS_ERROR_FILEFORM},
                 {"/missing", BASS_ERROR_HTTP},
                 {"/empty", BASS_ERROR_UNSTREAMABLE},
                 {"/stall", BASS_ERROR_TIMEOUT},
                 {"/noise", BASS_ERROR_FILEFORM}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Download download;
        HSTREAM stream =
            BASS_StreamCreateURL(server_.url(c.path).c_str(), 0, BASS_STREAM_STATUS, Download::proc, &download);
        EXPECT_EQ(stream, 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), c.error);
        download.freed = true;
        EXPECT_TRUE(waitUntil([&] { return threadCount() == baseline_ + 2; }))
            << "only the output's and the dispatcher's threads remain";
    }
    HSTREAM stream = BASS_StreamCreateURL("http://127.0.0.1:1/", 0, 0, nullptr, nullptr);
    EXPECT_EQ(stream, 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_StreamCreateURL("ftp://127.0.0.1/x", 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_PROTOCOL);
}

TEST_F(StreamUrl, FreeFromAnotherThreadStopsTheDownloadAtOnce) {
    ASSERT_TRUE(server_.route(R"({"path": "/endless", "headers": ["Content-Type: audio/mpeg"],
        "body": [{"file": ")" +
                              mp3_ + R"("}], "loop": true})"));
    for (int round = 0; round < 3; ++round) {
        Download download;
        HSTREAM stream = BASS_StreamCreateURL(server_.url("/endless").c_str(), 0, 0, Download::proc, &download);
        ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
        ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
        // The server sends as fast as it can: the buffer fills and the
        // download waits for room while we free it.
        std::thread other([&] {
            EXPECT_TRUE(BASS_StreamFree(stream));
            download.freed = true;
        });
        other.join();
        EXPECT_FALSE(download.calledAfterFree);
        EXPECT_EQ(download.ends(), 0) << "a freed stream's download is not reported as ended";
    }
}

struct FreeInSync {
    std::atomic<int> calls{0};
    static void sync(HSYNC, DWORD channel, DWORD, void* user) {
        BASS_StreamFree(channel);
        ++static_cast<FreeInSync*>(user)->calls;  // counted once freed: the test checks the free
    }
};

TEST_F(StreamUrl, FreeInsideItsOwnMetaSync) {
    ASSERT_TRUE(server_.route(R"({"path": "/m", "headers": ["Content-Type: audio/mpeg", "icy-metaint: 2000"],
        "metaint": 2000, "titles": {"every": 1, "list": ["X", "Y"]},
        "body": [{"file": ")" +
                              mp3_ + R"("}], "loop": true, "rate": 20000})"));
    FreeInSync log;
    HSTREAM stream = BASS_StreamCreateURL(server_.url("/m").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, FreeInSync::sync, &log), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(waitUntil([&] { return log.calls > 0; }));
    BASS_CHANNELINFO info{};
    EXPECT_FALSE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_TRUE(waitUntil([&] { return threadCount() == baseline_ + 2; })) << "the download thread was joined";
    EXPECT_EQ(log.calls, 1);
}

TEST_F(StreamUrl, EngineFreeAbortsACreateInProgress) {
    ASSERT_TRUE(server_.route(R"({"path": "/silent", "action": "silent"})"));
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 60000);
    std::atomic<bool> done{false};
    HSTREAM result = 1;
    int error = 0;
    std::thread connect([&] {
        result = BASS_StreamCreateURL(server_.url("/silent").c_str(), 0, 0, nullptr, nullptr);
        error = BASS_ErrorGetCode();
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return server_.requestCount("/silent") == 1; }));
    ASSERT_TRUE(BASS_Free());
    EXPECT_TRUE(waitUntil([&] { return done.load(); }, 10)) << "the create did not wait for its time-out";
    connect.join();
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(error, BASS_ERROR_INIT);
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 2000);
}

}  // namespace
