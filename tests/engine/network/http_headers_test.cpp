#include "engine/network/http_headers.h"

#include <gtest/gtest.h>

namespace {

using engine::net::HeaderBlockReader;
using State = HeaderBlockReader::State;

TEST(HttpHeaders, StatusLinesOfBothKinds) {
    auto icy = engine::net::parseStatusLine("ICY 200 OK");
    ASSERT_TRUE(icy);
    EXPECT_TRUE(icy->icy);
    EXPECT_EQ(icy->code, 200);

    auto http = engine::net::parseStatusLine("HTTP/1.0 404 Not Found");
    ASSERT_TRUE(http);
    EXPECT_FALSE(http->icy);
    EXPECT_EQ(http->code, 404);

    EXPECT_EQ(engine::net::parseStatusLine("ICY 404 Resource Not Found")->code, 404);
    EXPECT_EQ(engine::net::parseStatusLine("HTTP/2 302")->code, 302);
    EXPECT_EQ(engine::net::parseStatusLine("HTTP/1.1 500")->code, 500);
    EXPECT_EQ(engine::net::parseStatusLine("http/1.1 200 OK")->code, 200);
}

TEST(HttpHeaders, MalformedStatusLinesAreRefused) {
    for (const char* line : {"", "ICY", "ICY OK", "HTTP/1.1", "HTTP/1.1 20", "HTTP/1.1 2000 OK", "HTTP/1.1 abc",
                             "HTTP/1.1 099 low", "HTTP/1.1 200OK", "SOURCE / HTTP/1.0", "\x89PNG"}) {
        EXPECT_FALSE(engine::net::parseStatusLine(line)) << line;
    }
}

TEST(HttpHeaders, HeaderValuesByNameWithoutRegardToCase) {
    std::vector<std::string> headers = {"Content-Type:audio/mpeg", "icy-name:  Radio One  ", "ICY-NAME: second",
                                        "no colon here", "icy-url:"};
    EXPECT_EQ(engine::net::headerValue(headers, "content-type"), "audio/mpeg");
    EXPECT_EQ(engine::net::headerValue(headers, "Icy-Name"), "Radio One");
    EXPECT_EQ(engine::net::headerValue(headers, "icy-url"), "");
    EXPECT_FALSE(engine::net::headerValue(headers, "icy-genre"));
    EXPECT_FALSE(engine::net::headerValue(headers, "no colon here"));
}

TEST(HttpHeaders, MediaTypeIsLowerCaseWithoutParameters) {
    EXPECT_EQ(engine::net::mediaType("Audio/MPEG"), "audio/mpeg");
    EXPECT_EQ(engine::net::mediaType(" text/html; charset=UTF-8"), "text/html");
    EXPECT_EQ(engine::net::mediaType(""), "");
    EXPECT_EQ(engine::net::mediaType(";x"), "");
}

long metaint(const std::string& value) {
    return engine::net::metaintValue({"icy-metaint:" + value});
}

TEST(HttpHeaders, MetaintLimitsFromBothSides) {
    EXPECT_EQ(metaint("16000"), 16000);
    EXPECT_EQ(metaint(" 8192 "), 8192);
    EXPECT_EQ(metaint("1"), 1);
    EXPECT_EQ(metaint(std::to_string(engine::net::kMaxMetaint)), engine::net::kMaxMetaint);
    EXPECT_EQ(metaint(std::to_string(engine::net::kMaxMetaint + 1)), 0);
    EXPECT_EQ(metaint("99999999999999999999999999"), 0);
    for (const char* bad : {"0", "", "-8192", "+8192", "8k", "1e4", "0x100", "16 000"})
        EXPECT_EQ(metaint(bad), 0) << bad;
    EXPECT_EQ(engine::net::metaintValue({}), 0);
}

struct Blocks {
    std::vector<std::string> statusLines;
    std::vector<std::vector<std::string>> headers;
    std::string rest;
    bool operator==(const Blocks&) const = default;
};

Blocks readBlocks(const std::string& bytes, size_t piece) {
    Blocks blocks;
    HeaderBlockReader reader;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t size = std::min(piece, bytes.size() - at);
        at += reader.feed(bytes.data() + at, size);
        if (reader.state() == State::Complete) {
            blocks.statusLines.push_back(reader.statusLine());
            blocks.headers.push_back(reader.headers());
            reader.reset();
            if (blocks.statusLines.size() == 2) break;
        }
    }
    blocks.rest = bytes.substr(at);
    return blocks;
}

TEST(HeaderBlockReader, SplitsHeadsWhateverTheChunking) {
    std::string bytes =
        "\r\nHTTP/1.1 302 Found\r\nLocation: /b\r\n\r\n"
        "ICY 200 OK\nicy-name: x\r\nicy-metaint:8\n\nbody\r\n\r\nmore";
    Blocks whole = readBlocks(bytes, bytes.size());
    Blocks expected{
        {"HTTP/1.1 302 Found", "ICY 200 OK"}, {{"Location: /b"}, {"icy-name: x", "icy-metaint:8"}}, "body\r\n\r\nmore"};
    EXPECT_EQ(whole, expected);
    for (size_t piece : {1, 2, 7, 13, 16, 17}) EXPECT_EQ(readBlocks(bytes, piece), whole) << piece;
}

std::string headOfSize(size_t total) {
    std::string head = "HTTP/1.0 200 OK\r\n";
    std::string end = "\r\n";
    std::string line = "X-Pad: ";
    line.append(total - head.size() - end.size() - line.size() - 2, 'p');
    return head + line + "\r\n" + end;
}

TEST(HeaderBlockReader, BlockSizeLimitFromBothSides) {
    std::string atLimit = headOfSize(HeaderBlockReader::kMaxBlockBytes);
    ASSERT_EQ(atLimit.size(), HeaderBlockReader::kMaxBlockBytes);
    HeaderBlockReader reader;
    reader.feed(atLimit.data(), atLimit.size());
    EXPECT_EQ(reader.state(), State::Complete);

    std::string over = headOfSize(HeaderBlockReader::kMaxBlockBytes + 1);
    HeaderBlockReader refused;
    for (char c : over) refused.feed(&c, 1);
    EXPECT_EQ(refused.state(), State::TooLarge);
}

TEST(HeaderBlockReader, EndlessLineStopsAtTheLimit) {
    HeaderBlockReader reader;
    std::string noise(4096, 'n');
    size_t fed = 0;
    for (int i = 0; i < 100 && reader.state() == State::Reading; ++i) fed += reader.feed(noise.data(), noise.size());
    EXPECT_EQ(reader.state(), State::TooLarge);
    EXPECT_LE(fed, HeaderBlockReader::kMaxBlockBytes + 1);
}

}  // namespace
