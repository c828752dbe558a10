// Playlist answers resolved to their first playable entry.
#include "engine/bass.h"
#include "engine/network/http_stream.h"
#include "tests/engine/network/http_fixture.h"

#include <gtest/gtest.h>

namespace {

using engine::net::HttpOptions;
using engine::net::HttpStream;
using test::StreamServer;

class HttpPlaylist : public test::HttpTest {
protected:
    HttpPlaylist() {
        options.resolvePlaylists = true;
        server.route(R"({"path": "/stream", "status": "ICY 200 OK",
                        "headers": ["Content-Type: audio/mpeg", "icy-name: The Stream"],
                        "body": [{"bytes": 3000}]})");
        server.route(R"({"path": "/dead", "status": "HTTP/1.0 404 Not Found"})");
        server.route(R"({"path": "/silent", "action": "silent"})");
    }

    void playlist(const std::string& path, const std::string& type, const std::string& body) {
        std::string headers = type.empty() ? "[]" : "[\"Content-Type: " + type + "\"]";
        server.route(R"({"path": ")" + path + R"(", "headers": )" + headers + R"(, "body": [{"text": )" +
                     StreamServer::quote(body) + "}]}");
    }

    int open(const std::string& path) { return HttpTest::open(path, options); }

    void expectTheStream() {
        ASSERT_TRUE(recorder.waitForEnd());
        EXPECT_EQ(recorder.headerCalls, 1);
        EXPECT_EQ(recorder.response->statusLine, "ICY 200 OK");
        EXPECT_EQ(recorder.response->effectiveUrl, server.url("/stream"));
        EXPECT_EQ(recorder.audio, test::counterBytes(3000));
    }

    HttpOptions options;
};

TEST_F(HttpPlaylist, PlsByMediaTypeOpensItsFirstEntry) {
    playlist("/listen", "audio/x-scpls", "[playlist]\nNumberOfEntries=2\nFile2={base}/dead\nFile1={base}/stream\n");
    ASSERT_EQ(open("/listen"), 0);
    expectTheStream();
    EXPECT_EQ(server.requestCount("/dead"), 0);
}

TEST_F(HttpPlaylist, M3uByExtensionWithRelativeEntries) {
    playlist("/lists/radio.m3u", "text/plain", "#EXTM3U\n#EXTINF:-1,Radio\n../stream\n");
    ASSERT_EQ(open("/lists/radio.m3u"), 0);
    expectTheStream();
}

TEST_F(HttpPlaylist, DeadEntriesAreSkipped) {
    playlist("/skip.pls", "", "File1={base}/dead\nFile2=ftp://127.0.0.1/x\nFile3={base}/stream\n");
    ASSERT_EQ(open("/skip.pls"), 0);
    expectTheStream();
    EXPECT_EQ(server.requestCount("/dead"), 1);
}

TEST_F(HttpPlaylist, NestedPlaylistTwoLevelsDeep) {
    playlist("/outer.pls", "audio/x-scpls", "File1={base}/inner.m3u\n");
    playlist("/inner.m3u", "audio/x-mpegurl", "{base}/stream\n");
    ASSERT_EQ(open("/outer.pls"), 0);
    expectTheStream();
}

TEST_F(HttpPlaylist, NestingDeeperIsRefused) {
    playlist("/one.pls", "audio/x-scpls", "File1={base}/two.pls\n");
    playlist("/two.pls", "audio/x-scpls", "File1={base}/three.pls\n");
    playlist("/three.pls", "audio/x-scpls", "File1={base}/stream\n");
    EXPECT_EQ(open("/one.pls"), BASS_ERROR_FILEFORM);
    EXPECT_EQ(server.requestCount("/stream"), 0);
    EXPECT_EQ(recorder.headerCalls, 0);
}

TEST_F(HttpPlaylist, EmptyPlaylist) {
    playlist("/empty.pls", "audio/x-scpls", "[playlist]\nNumberOfEntries=0\nVersion=2\n");
    EXPECT_EQ(open("/empty.pls"), BASS_ERROR_FILEFORM);
    EXPECT_EQ(recorder.headerCalls, 0);
}

TEST_F(HttpPlaylist, NoPlayableEntryGivesTheLastError) {
    int refused = StreamServer::closedPort();
    playlist("/last-404.m3u", "", "http://127.0.0.1:" + std::to_string(refused) + "/\n{base}/dead\n");
    playlist("/last-refused.m3u", "", "{base}/dead\nhttp://127.0.0.1:" + std::to_string(refused) + "/\n");
    EXPECT_EQ(open("/last-404.m3u"), BASS_ERROR_HTTP);
    HttpStream other;
    EXPECT_EQ(other.open(server.url("/last-refused.m3u"), options, recorder.events()), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(recorder.headerCalls, 0);
    EXPECT_EQ(recorder.endCalls, 0);
}

TEST_F(HttpPlaylist, ConnectionAttemptsAreBounded) {
    std::string body;
    for (int i = 0; i < 40; ++i) body += "{base}/dead\n";
    body += "{base}/stream\n";
    playlist("/many.m3u", "", body);
    EXPECT_EQ(open("/many.m3u"), BASS_ERROR_HTTP);
    int made = server.requestCount("/many.m3u") + server.requestCount("/dead");
    EXPECT_GT(made, 2);
    EXPECT_LE(made, 10);
    EXPECT_EQ(server.requestCount("/stream"), 0);
}

TEST_F(HttpPlaylist, WithoutTheOptionThePlaylistIsTheStream) {
    playlist("/plain.pls", "audio/x-scpls", "File1={base}/stream\n");
    options.resolvePlaylists = false;
    ASSERT_EQ(open("/plain.pls"), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(recorder.response->contentType, "audio/x-scpls");
    std::string body(recorder.audio.begin(), recorder.audio.end());
    EXPECT_EQ(body, "File1=" + server.base() + "/stream\n");
    EXPECT_EQ(server.requestCount("/stream"), 0);
}

TEST_F(HttpPlaylist, OnlyTheFirst64KiBAreRead) {
    std::string padding;
    while (padding.size() < 70000) padding += "# a comment line of a playlist that goes on and on\n";
    playlist("/late.m3u", "", padding + "{base}/stream\n");
    EXPECT_EQ(open("/late.m3u"), BASS_ERROR_FILEFORM);
    EXPECT_EQ(server.requestCount("/stream"), 0);
}

TEST_F(HttpPlaylist, EndlessAudioNamedLikeAPlaylistEnds) {
    server.route(R"({"path": "/fake.m3u", "headers": ["Content-Type: application/octet-stream"],
                    "body": [{"bytes": 4096, "pattern": "zero"}], "loop": true})");
    EXPECT_EQ(open("/fake.m3u"), BASS_ERROR_FILEFORM);
}

TEST_F(HttpPlaylist, PlaylistThatStallsTimesOut) {
    server.route(R"({"path": "/stuck.pls", "body": [{"text": "[playlist]\n"}, {"stall": true}]})");
    options.timeoutMs = 1000;
    EXPECT_EQ(open("/stuck.pls"), BASS_ERROR_TIMEOUT);
}

TEST_F(HttpPlaylist, PlaylistTricklingForeverTimesOut) {
    std::string body;
    for (int i = 0; i < 200; ++i) body += "# comment\n";
    server.route(R"({"path": "/drip.pls", "rate": 20, "body": [{"text": )" + StreamServer::quote(body) + "}]}");
    options.timeoutMs = 1000;
    EXPECT_EQ(open("/drip.pls"), BASS_ERROR_TIMEOUT);
}

}  // namespace
