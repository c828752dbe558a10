#include "engine/network/http_stream.h"

#include "engine/bass.h"
#include "tests/engine/network/http_fixture.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

using engine::net::HttpOptions;
using engine::net::HttpStream;
using engine::net::kStoppedError;
using test::EventRecorder;
using test::MetaEvent;
using test::StreamServer;
using namespace std::chrono_literals;

std::string title(const std::string& name) {
    return "StreamTitle='" + name + "';";
}

class HttpStreamTest : public test::HttpTest {
protected:
    // Polls the server until `path` has had `count` requests.
    bool waitForRequests(const std::string& path, int count) {
        for (int i = 0; i < 600; ++i) {
            if (server.requestCount(path) >= count) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
};

TEST_F(HttpStreamTest, IcyResponseWithHeadersAsReceived) {
    server.route(R"({"path": "/icy", "status": "ICY 200 OK",
                    "headers": ["icy-notice1: <BR>This stream requires Winamp<BR>", "icy-name:Radio Eins",
                                "icy-url: http://radio.example", "Content-Type: Audio/MPEG; rate=44100",
                                "icy-metaint:1000"],
                    "body": [{"bytes": 1500}]})");
    ASSERT_EQ(open("/icy"), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    const engine::net::HttpResponse& r = *recorder.response;
    EXPECT_TRUE(r.icy);
    EXPECT_EQ(r.statusLine, "ICY 200 OK");
    std::vector<std::string> headers = {"icy-notice1: <BR>This stream requires Winamp<BR>", "icy-name:Radio Eins",
                                        "icy-url: http://radio.example", "Content-Type: Audio/MPEG; rate=44100",
                                        "icy-metaint:1000"};
    EXPECT_EQ(r.headers, headers);
    EXPECT_EQ(r.contentType, "audio/mpeg");
    EXPECT_EQ(r.metaint, 1000);
    EXPECT_EQ(r.effectiveUrl, server.url("/icy"));
    EXPECT_EQ(recorder.headerCalls, 1);
}

TEST_F(HttpStreamTest, HttpResponseOfAnIcecastServer) {
    server.route(R"({"path": "/live.mp3", "status": "HTTP/1.0 200 OK",
                    "headers": ["Server: Icecast 2.4.4", "Content-Type: audio/mpeg", "icy-name: Test FM"],
                    "body": [{"bytes": 4000, "start": 9}]})");
    ASSERT_EQ(open("/live.mp3"), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_FALSE(recorder.response->icy);
    EXPECT_EQ(recorder.response->statusLine, "HTTP/1.0 200 OK");
    EXPECT_EQ(recorder.response->metaint, 0);
    EXPECT_EQ(recorder.audio, test::counterBytes(4000, 9));
    EXPECT_EQ(*recorder.end, 0);
    EXPECT_EQ(recorder.endCalls, 1);
}

TEST_F(HttpStreamTest, RequestAsksForMetadataAndNamesThePlayer) {
    server.route(R"({"path": "/ask", "body": [{"bytes": 1}]})");
    ASSERT_EQ(open("/ask"), 0);
    std::string requests = server.requests("/ask");
    EXPECT_NE(requests.find("Icy-MetaData: 1"), std::string::npos) << requests;
    EXPECT_NE(requests.find("User-Agent: Tunelark/3.0"), std::string::npos) << requests;
    EXPECT_NE(requests.find("GET /ask HTTP/1.1"), std::string::npos) << requests;
}

TEST_F(HttpStreamTest, TrailingLineEndOfTheAddressIsIgnored) {
    server.route(R"({"path": "/nl", "body": [{"bytes": 10}]})");
    for (const char* end : {"\n", "\r\n", "\r"}) {
        HttpStream other;
        EXPECT_EQ(other.open(server.url("/nl") + end, {}, {}), 0) << int(end[0]);
    }
    EXPECT_EQ(server.requestCount("/nl"), 3);
}

TEST_F(HttpStreamTest, TrailingBlanksAreIgnoredAndInnerOnesEscaped) {
    server.route(R"({"path": "/a%20b", "body": [{"bytes": 10}]})");
    for (const char* end : {" ", "\t", " \t\r\n"}) {
        HttpStream other;
        EXPECT_EQ(other.open(server.url("/a b") + end, {}, {}), 0) << int(end[0]);
    }
    EXPECT_EQ(server.requestCount("/a%20b"), 3);
}

TEST_F(HttpStreamTest, EnvironmentProxyIsUsedExceptForTheHostsNoProxyNames) {
    // The scripted server stands in for the proxy: it hears the whole address.
    const std::string station = "http://station.invalid/radio";
    server.route(R"({"path": ")" + station + R"(", "body": [{"bytes": 10}]})");
    setenv("http_proxy", server.base().c_str(), 1);
    EXPECT_EQ(HttpStream().open(station, {}, {}), 0);
    setenv("no_proxy", "example.org, station.invalid", 1);
    EXPECT_NE(HttpStream().open(station, {}, {}), 0);
    unsetenv("no_proxy");
    unsetenv("http_proxy");
    EXPECT_EQ(server.requestCount(station), 1);
}

// Titles at known blocks: the text must come after exactly the audio bytes
// that preceded its block, whatever the network's chunking.
void expectTitlesInOrder(EventRecorder& recorder, size_t metaint) {
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(recorder.audio, test::counterBytes(metaint * 8));
    std::vector<MetaEvent> expected = {{metaint * 1, title("One")},
                                       {metaint * 3, title("Two; it's 'quoted'")},
                                       {metaint * 6, title("One")},
                                       {metaint * 7, std::string(4080, 'F')}};
    EXPECT_EQ(recorder.metas, expected);
    EXPECT_EQ(*recorder.end, 0);
}

const char* kTitledBlocks = R"("meta": [{"block": 0, "title": "One"}, {"block": 1, "title": "One"},
                                      {"block": 2, "title": "Two; it's 'quoted'"}, {"block": 3, "title": "Two; it's 'quoted'"},
                                      {"block": 5, "title": "One"}, {"block": 6, "length": 255, "fill": "F"},
                                      {"block": 7, "length": 0}])";

TEST_F(HttpStreamTest, MetadataComesBetweenTheRightAudioBytes) {
    for (int metaint : {1, 17, 8192}) {
        std::string path = "/titles" + std::to_string(metaint);
        std::string m = std::to_string(metaint);
        server.route(R"({"path": ")" + path + R"(", "status": "ICY 200 OK", "headers": ["icy-metaint: )" + m +
                     R"("], "metaint": )" + m + ", " + kTitledBlocks + R"(, "body": [{"bytes": )" +
                     std::to_string(metaint * 8) + "}]}");
        EventRecorder events;
        HttpStream other;
        ASSERT_EQ(other.open(server.url(path), {}, events.events()), 0);
        SCOPED_TRACE(metaint);
        expectTitlesInOrder(events, static_cast<size_t>(metaint));
    }
}

TEST_F(HttpStreamTest, MetadataOrderHoldsWhenTheServerTrickles) {
    server.route(std::string(R"({"path": "/trickle", "status": "ICY 200 OK", "headers": ["icy-metaint: 300"],
                                 "metaint": 300, "rate": 8000, )") +
                 kTitledBlocks + R"(, "body": [{"bytes": 2400}]})");
    ASSERT_EQ(open("/trickle"), 0);
    expectTitlesInOrder(recorder, 300);
}

TEST_F(HttpStreamTest, ChunkedBodyIsDecodedBeforeTheMetadataIsCut) {
    // 6 audio bytes, a block "StreamTitle='C';" (length byte 1), 4 audio bytes,
    // in chunks that split both the audio and the block.
    std::string chunked =
        "3\r\n\x01\x02\x03\r\n"
        "5\r\n\x04\x05\x06\x01S\r\n"
        "f\r\ntreamTitle='C';\r\n"
        "4\r\n\x07\x08\x09\x0a\r\n"
        "0\r\n\r\n";
    server.route(R"({"path": "/chunked", "status": "HTTP/1.1 200 OK",
                    "headers": ["Transfer-Encoding: chunked", "icy-metaint: 6"], "body": [{"text": )" +
                 StreamServer::quote(chunked) + "}]}");
    ASSERT_EQ(open("/chunked"), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(recorder.audio, (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    std::vector<MetaEvent> expected = {{6, title("C")}};
    EXPECT_EQ(recorder.metas, expected);
    EXPECT_EQ(*recorder.end, 0);
}

TEST_F(HttpStreamTest, OpenTwiceIsRefused) {
    server.route(R"({"path": "/once", "body": [{"bytes": 10}]})");
    ASSERT_EQ(open("/once"), 0);
    EXPECT_EQ(open("/once"), BASS_ERROR_ALREADY);
}

TEST_F(HttpStreamTest, StopWhileConnectingEndsOpen) {
    server.route(R"({"path": "/never", "action": "silent"})");
    HttpOptions patient;
    patient.timeoutMs = 600000;
    auto opening = std::async(std::launch::async, [&] { return open("/never", patient); });
    ASSERT_TRUE(waitForRequests("/never", 1));
    stream.stop();
    ASSERT_EQ(opening.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(opening.get(), kStoppedError);
    EXPECT_EQ(recorder.headerCalls, 0);
    EXPECT_EQ(recorder.endCalls, 0);
}

TEST_F(HttpStreamTest, StopBeforeOpenConnectsNowhere) {
    server.route(R"({"path": "/x", "body": [{"bytes": 10}]})");
    stream.stop();
    EXPECT_EQ(open("/x"), kStoppedError);
    EXPECT_EQ(server.requestCount("/x"), 0);
}

TEST_F(HttpStreamTest, StopWhileStreamingEndsTheDownload) {
    server.route(R"({"path": "/endless", "status": "ICY 200 OK", "headers": ["icy-metaint: 4000"], "metaint": 4000,
                    "titles": {"every": 2, "list": ["A", "B"]}, "body": [{"bytes": 1000}], "loop": true,
                    "rate": 200000})");
    ASSERT_EQ(open("/endless"), 0);
    ASSERT_TRUE(recorder.waitForAudio(20000));
    stream.stop();
    EXPECT_EQ(recorder.endCalls, 1);
    EXPECT_EQ(*recorder.end, kStoppedError);
    const std::vector<unsigned char>& audio = recorder.audio;
    for (size_t i = 0; i < audio.size(); ++i) ASSERT_EQ(audio[i], (i % 1000) % 251) << i;
    ASSERT_GE(recorder.metas.size(), 2u);
    EXPECT_EQ(recorder.metas[0], (MetaEvent{4000, title("A")}));
    EXPECT_EQ(recorder.metas[1], (MetaEvent{12000, title("B")}));
    stream.stop();  // idempotent
}

TEST_F(HttpStreamTest, StopWaitsForAnEventItsOwnerReleases) {
    server.route(R"({"path": "/fast", "body": [{"bytes": 100000}], "loop": true})");
    std::mutex gateMutex;
    std::condition_variable gateChanged;
    bool released = false;
    bool waiting = false;
    engine::net::HttpEvents events;
    events.onAudio = [&](const unsigned char*, size_t) {
        // A consumer whose buffer is full: it waits until its owner lets go.
        std::unique_lock<std::mutex> lock(gateMutex);
        waiting = true;
        gateChanged.notify_all();
        gateChanged.wait(lock, [&] { return released; });
    };
    ASSERT_EQ(stream.open(server.url("/fast"), {}, events), 0);
    {
        std::unique_lock<std::mutex> lock(gateMutex);
        ASSERT_TRUE(gateChanged.wait_for(lock, 60s, [&] { return waiting; }));
        released = true;
    }
    gateChanged.notify_all();
    stream.stop();
}

TEST_F(HttpStreamTest, StopFromInsideAnEventEndsTheDownloadAfterIt) {
    server.route(R"({"path": "/self", "body": [{"bytes": 100000}], "loop": true})");
    engine::net::HttpEvents events = recorder.events();
    auto record = events.onAudio;
    events.onAudio = [&](const unsigned char* data, size_t size) {
        record(data, size);
        stream.stop();
    };
    ASSERT_EQ(stream.open(server.url("/self"), {}, events), 0);
    ASSERT_TRUE(recorder.waitForEnd());
    EXPECT_EQ(*recorder.end, kStoppedError);
}

TEST_F(HttpStreamTest, DestroyingAStreamingObjectJoinsItsThread) {
    server.route(R"({"path": "/loop", "body": [{"bytes": 5000}], "loop": true, "rate": 100000})");
    EventRecorder events;
    {
        HttpStream local;
        ASSERT_EQ(local.open(server.url("/loop"), {}, events.events()), 0);
        ASSERT_TRUE(events.waitForAudio(1000));
    }
    EXPECT_EQ(events.endCalls, 1);
}

}  // namespace
