// Bad input on the network side: each ends as a distinct error of open() or
// as a download that ends cleanly with what was valid.
#include "engine/bass.h"
#include "engine/network/http_stream.h"
#include "tests/engine/network/http_fixture.h"

#include <gtest/gtest.h>

namespace {

using engine::net::HttpOptions;
using engine::net::HttpStream;
using test::EventRecorder;
using test::StreamServer;

class HttpStreamErrors : public test::HttpTest {
protected:
    int openWithTimeout(const std::string& path, int timeoutMs) {
        HttpOptions options;
        options.timeoutMs = timeoutMs;
        return open(path, options);
    }

    void expectNoEvents() {
        EXPECT_EQ(recorder.headerCalls, 0);
        EXPECT_EQ(recorder.endCalls, 0);
        EXPECT_TRUE(recorder.audio.empty());
    }
};

TEST_F(HttpStreamErrors, RefusedConnection) {
    std::string url = "http://127.0.0.1:" + std::to_string(StreamServer::closedPort()) + "/";
    EXPECT_EQ(stream.open(url, {}, recorder.events()), BASS_ERROR_FILEOPEN);
    expectNoEvents();
}

TEST_F(HttpStreamErrors, UnknownHost) {
    // Patient, so that a resolver slow to give up still answers before our time-out.
    HttpOptions patient;
    patient.timeoutMs = 120000;
    EXPECT_EQ(stream.open("http://no-such-station.invalid/stream", patient, recorder.events()), BASS_ERROR_HOST);
    expectNoEvents();
}

TEST_F(HttpStreamErrors, NotAWebAddress) {
    for (const char* url : {"ftp://127.0.0.1/a.mp3", "file:///etc/passwd", "", "127.0.0.1/stream", "httpx://h/"}) {
        HttpStream other;
        EXPECT_EQ(other.open(url, {}, recorder.events()), BASS_ERROR_PROTOCOL) << url;
    }
    expectNoEvents();
}

TEST_F(HttpStreamErrors, ServerThatNeverAnswers) {
    server.route(R"({"path": "/silent", "action": "silent"})");
    EXPECT_EQ(openWithTimeout("/silent", 1000), BASS_ERROR_TIMEOUT);
    expectNoEvents();
}

TEST_F(HttpStreamErrors, HeadersAByteASecond) {
    server.route(R"({"path": "/slow", "status": "ICY 200 OK", "headers": ["icy-name: slow"], "head_rate": 1,
                    "body": [{"bytes": 100}]})");
    EXPECT_EQ(openWithTimeout("/slow", 1500), BASS_ERROR_TIMEOUT);
    expectNoEvents();
}

TEST_F(HttpStreamErrors, ErrorStatuses) {
    server.route(R"({"path": "/500", "status": "HTTP/1.1 500 Internal Server Error", "body": [{"text": "oops"}]})");
    server.route(R"({"path": "/icy404", "status": "ICY 404 Resource Not Available"})");
    server.route(R"({"path": "/moved", "status": "HTTP/1.0 301 Moved", "body": [{"text": "no Location"}]})");
    for (const char* path : {"/not-routed-gives-404", "/500", "/icy404", "/moved"}) {
        HttpStream other;
        EXPECT_EQ(other.open(server.url(path), {}, recorder.events()), BASS_ERROR_HTTP) << path;
    }
    expectNoEvents();
}

TEST_F(HttpStreamErrors, RedirectLoop) {
    server.route(R"({"path": "/a", "status": "HTTP/1.1 302 Found", "headers": ["Location: /b"]})");
    server.route(R"({"path": "/b", "status": "HTTP/1.1 302 Found", "headers": ["Location: {base}/a"]})");
    EXPECT_EQ(open("/a"), BASS_ERROR_REDIRECT);
    expectNoEvents();
}

TEST_F(HttpStreamErrors, RedirectCountFromBothSides) {
    server.route(R"({"path": "/r1", "status": "HTTP/1.1 302 Found", "headers": ["Location: /r2"]})");
    server.route(R"({"path": "/r2", "status": "HTTP/1.1 307 Temporary", "headers": ["Location: /end"]})");
    server.route(R"({"path": "/end", "body": [{"bytes": 10}]})");
    HttpOptions two;
    two.maxRedirects = 2;
    EXPECT_EQ(open("/r1", two), 0);
    HttpOptions one;
    one.maxRedirects = 1;
    HttpStream other;
    EXPECT_EQ(other.open(server.url("/r1"), one, {}), BASS_ERROR_REDIRECT);
}

TEST_F(HttpStreamErrors, RedirectToAnotherProtocol) {
    server.route(R"({"path": "/ftp", "status": "HTTP/1.1 302 Found", "headers": ["Location: ftp://127.0.0.1/x"]})");
    EXPECT_EQ(open("/ftp"), BASS_ERROR_PROTOCOL);
}

TEST_F(HttpStreamErrors, HeadSizeFromBothSides) {
    // The padding counts filler lines only; status line and blank line add ~20 bytes.
    server.route(R"({"path": "/under", "pad_headers": 64000, "body": [{"bytes": 10}]})");
    server.route(R"({"path": "/over", "pad_headers": 66000, "body": [{"bytes": 10}]})");
    server.route(R"({"path": "/huge", "pad_headers": 5000000, "body": [{"bytes": 10}]})");
    EXPECT_EQ(open("/under"), 0);
    for (const char* path : {"/over", "/huge"}) {
        HttpStream other;
        EXPECT_EQ(other.open(server.url(path), {}, {}), BASS_ERROR_HEADERS) << path;
    }
}

TEST_F(HttpStreamErrors, OneHeaderLineLargerThanTheLimit) {
    server.route(R"({"path": "/line", "headers": ["X-Long: )" + std::string(200000, 'x') + R"("]})");
    EXPECT_EQ(open("/line"), BASS_ERROR_HEADERS);
}

TEST_F(HttpStreamErrors, GarbageInsteadOfAHead) {
    server.route(R"({"path": "/garbage", "head_hex": "8f00ff13370d0a0d0a0102030405"})");
    server.route(R"({"path": "/words", "head": "Hello there\r\n\r\nbody"})");
    server.route(R"({"path": "/badstatus", "head": "HTTP/1.1 OK\r\n\r\n"})");
    for (const char* path : {"/garbage", "/words", "/badstatus"}) {
        HttpStream other;
        EXPECT_EQ(other.open(server.url(path), {}, recorder.events()), BASS_ERROR_HEADERS) << path;
    }
    expectNoEvents();
}

TEST_F(HttpStreamErrors, ServerClosesBeforeTheHead) {
    server.route(R"({"path": "/close", "action": "close"})");
    server.route(R"({"path": "/half", "head": "ICY 200 OK\r\nicy-na"})");
    for (const char* path : {"/close", "/half"}) {
        HttpStream other;
        EXPECT_EQ(other.open(server.url(path), {}, recorder.events()), BASS_ERROR_FILEOPEN) << path;
    }
    expectNoEvents();
}

TEST_F(HttpStreamErrors, TlsWithAPlainServer) {
    server.route(R"({"path": "/plain", "body": [{"bytes": 10}]})");
    std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/plain";
    EXPECT_EQ(stream.open(url, {}, recorder.events()), BASS_ERROR_SSL);
    expectNoEvents();
}

TEST_F(HttpStreamErrors, MetaintZeroOrAbsurdLeavesTheBytesAlone) {
    for (const char* value : {"0", "99999999999", "-16", "abc"}) {
        std::string path = std::string("/metaint-") + value;
        server.route(R"({"path": ")" + path + R"(", "headers": ["icy-metaint: )" + value +
                     R"("], "body": [{"bytes": 5000}]})");
        EventRecorder events;
        HttpStream other;
        ASSERT_EQ(other.open(server.url(path), {}, events.events()), 0) << value;
        ASSERT_TRUE(events.waitForEnd()) << value;
        EXPECT_EQ(events.response->metaint, 0) << value;
        EXPECT_EQ(events.audio, test::counterBytes(5000)) << value;
        EXPECT_EQ(*events.end, 0) << value;
    }
}

TEST_F(HttpStreamErrors, MetadataBlockCutOffByTheEnd) {
    server.route(R"({"path": "/cut", "status": "ICY 200 OK", "headers": ["icy-metaint: 100"], "metaint": 100,
                    "meta": [{"block": 0, "title": "whole"}, {"block": 1, "hex": "054142"}],
                    "body": [{"bytes": 200}]})");
    ASSERT_EQ(open("/cut"), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(recorder.audio, test::counterBytes(200));
    std::vector<test::MetaEvent> expected = {{100, "StreamTitle='whole';"}};
    EXPECT_EQ(recorder.metas, expected);
    EXPECT_EQ(*recorder.end, 0);
    EXPECT_EQ(recorder.endCalls, 1);
}

TEST_F(HttpStreamErrors, ServerClosesMidStream) {
    server.route(R"({"path": "/drop", "headers": ["Content-Type: audio/mpeg"],
                    "body": [{"bytes": 3000}, {"close": true}, {"bytes": 10}]})");
    server.route(R"({"path": "/short", "headers": ["Content-Length: 100000"], "body": [{"bytes": 3000}]})");
    for (const char* path : {"/drop", "/short"}) {
        EventRecorder events;
        HttpStream other;
        ASSERT_EQ(other.open(server.url(path), {}, events.events()), 0) << path;
        ASSERT_TRUE(events.waitForEnd()) << path;
        EXPECT_EQ(events.audio, test::counterBytes(3000)) << path;
        EXPECT_EQ(*events.end, 0) << path;
        EXPECT_EQ(events.endCalls, 1) << path;
    }
}

TEST_F(HttpStreamErrors, StallAfterTheHeadEndsTheDownload) {
    server.route(R"({"path": "/stall", "status": "ICY 200 OK", "body": [{"bytes": 2000}, {"stall": true}]})");
    ASSERT_EQ(openWithTimeout("/stall", 1000), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(recorder.audio, test::counterBytes(2000));
    EXPECT_EQ(*recorder.end, BASS_ERROR_TIMEOUT);
}

TEST_F(HttpStreamErrors, HtmlPageIsReportedForTheCallerToRefuse) {
    server.route(R"({"path": "/page", "headers": ["Content-Type: Text/HTML; charset=utf-8"],
                    "body": [{"text": "<html><body>Not a stream</body></html>"}]})");
    ASSERT_EQ(open("/page"), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(recorder.response->contentType, "text/html");
}

}  // namespace

// What the stream's consumer does runs inside libcurl's callbacks; a failure
// it throws there ends this download with an error code, not the process.
TEST_F(HttpStreamErrors, HandlerThatThrowsEndsTheDownloadNotTheProcess) {
    server.route(R"({"path": "/a", "headers": ["Content-Type: audio/mpeg"], "body": [{"bytes": 4000}]})");
    engine::net::HttpEvents events = recorder.events();
    events.onAudio = [](const unsigned char*, size_t) { throw std::runtime_error("the consumer refused"); };
    ASSERT_EQ(stream.open(server.url("/a"), {}, events), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(*recorder.end, BASS_ERROR_UNKNOWN);

    HttpStream second;
    events = recorder.events();
    events.onHeaders = [](const engine::net::HttpResponse&) { throw std::bad_alloc(); };
    EXPECT_EQ(second.open(server.url("/a"), {}, events), BASS_ERROR_MEM);
}
