// The real Icecast server the network tests use: its mounts behave as the
// other tests expect (ICY metadata on request, titles in playlist order,
// UTF-8 titles intact, each song's tone at its listed frequency, chained Ogg
// streams with new comments). Read with a plain socket client, so a fault
// here is the harness's, not the engine's.
#include "tests/support/icecast_server.h"

#include <arpa/inet.h>
#include <mpg123.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(60);  // three 6 s songs fit many times over

// A bare HTTP client: one GET, then the body as it arrives.
class Listener {
public:
    Listener(int port, const std::string& path, bool wantMetadata) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
        std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: harness-test\r\n";
        if (wantMetadata) request += "Icy-MetaData: 1\r\n";
        request += "\r\n";
        connected_ = send(fd_, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size());
    }
    ~Listener() {
        if (fd_ >= 0) close(fd_);
    }

    // Reads the status line and headers; false when they do not come.
    bool readHead() {
        while (connected_ && pending_.find("\r\n\r\n") == std::string::npos) {
            if (pending_.size() > 65536 || !receive(pending_)) return false;
        }
        size_t end = pending_.find("\r\n\r\n");
        if (end == std::string::npos) return false;
        head_ = pending_.substr(0, end + 2);
        pending_.erase(0, end + 4);
        return true;
    }

    std::string statusLine() const { return head_.substr(0, head_.find("\r\n")); }

    // The value of a header (name without regard to case), if present.
    std::optional<std::string> header(const std::string& name) const {
        size_t start = head_.find("\r\n");
        while (start != std::string::npos && start + 2 < head_.size()) {
            size_t end = head_.find("\r\n", start + 2);
            std::string line = head_.substr(start + 2, end - start - 2);
            size_t colon = line.find(':');
            if (colon != std::string::npos && strcasecmp(line.substr(0, colon).c_str(), name.c_str()) == 0) {
                size_t value = line.find_first_not_of(' ', colon + 1);
                return value == std::string::npos ? "" : line.substr(value);
            }
            start = end;
        }
        return std::nullopt;
    }

    // Appends the next body bytes to `out`; false at the end or on error.
    bool readBody(std::string& out) {
        if (!pending_.empty()) {
            out += pending_;
            pending_.clear();
            return true;
        }
        return connected_ && receive(out);
    }

private:
    bool receive(std::string& out) {
        pollfd waitFor{fd_, POLLIN, 0};
        if (poll(&waitFor, 1, 10000) != 1) return false;
        char buffer[16384];
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        out.append(buffer, size_t(n));
        return true;
    }

    int fd_ = -1;
    bool connected_ = false;
    std::string pending_;
    std::string head_;
};

// Splits an ICY body into audio bytes and titles, remembering where in the
// audio each title arrived.
class IcySplitter {
public:
    explicit IcySplitter(size_t metaint) : metaint_(metaint), untilMeta_(metaint) {}

    struct Title {
        std::string text;
        size_t audioOffset;
    };

    void feed(const std::string& bytes) {
        for (size_t i = 0; i < bytes.size();) {
            if (untilMeta_ > 0) {
                size_t n = std::min(untilMeta_, bytes.size() - i);
                audio_.append(bytes, i, n);
                untilMeta_ -= n;
                i += n;
            } else if (metaLeft_ < 0) {
                metaLeft_ = static_cast<unsigned char>(bytes[i++]) * 16;
                meta_.clear();
                finishBlockIfDone();
            } else {
                size_t n = std::min(size_t(metaLeft_), bytes.size() - i);
                meta_.append(bytes, i, n);
                metaLeft_ -= int(n);
                i += n;
                finishBlockIfDone();
            }
        }
    }

    const std::string& audio() const { return audio_; }
    const std::vector<Title>& titles() const { return titles_; }

private:
    void finishBlockIfDone() {
        if (metaLeft_ != 0) return;
        const std::string marker = "StreamTitle='";
        size_t start = meta_.find(marker);
        if (start != std::string::npos) {
            start += marker.size();
            size_t end = meta_.find("';", start);
            titles_.push_back({meta_.substr(start, end - start), audio_.size()});
        }
        metaLeft_ = -1;
        untilMeta_ = metaint_;
    }

    size_t metaint_;
    size_t untilMeta_;
    int metaLeft_ = -1;  // bytes of the current block still to come; -1: its length byte
    std::string meta_;
    std::string audio_;
    std::vector<Title> titles_;
};

// Decodes MP3 bytes to 16-bit samples of the left channel at 44.1 kHz.
std::vector<int16_t> decodeLeft(const std::string& mp3) {
    mpg123_handle* decoder = mpg123_new(nullptr, nullptr);
    mpg123_format_none(decoder);
    mpg123_format(decoder, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(decoder);
    std::vector<int16_t> left;
    std::vector<unsigned char> out(1 << 16);
    size_t done = 0;
    int result = mpg123_decode(decoder, reinterpret_cast<const unsigned char*>(mp3.data()), mp3.size(), out.data(),
                               out.size(), &done);
    while (result != MPG123_ERR && result != MPG123_NEED_MORE) {
        const int16_t* samples = reinterpret_cast<const int16_t*>(out.data());
        for (size_t i = 0; i + 1 < done / 2; i += 2) left.push_back(samples[i]);
        result = mpg123_decode(decoder, nullptr, 0, out.data(), out.size(), &done);
    }
    mpg123_delete(decoder);
    return left;
}

// Frequency of a steady tone from its rising zero crossings in [begin, end).
double toneFrequency(const std::vector<int16_t>& samples, size_t begin, size_t end) {
    size_t first = 0, last = 0, crossings = 0;
    for (size_t i = begin + 1; i < end && i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : 44100.0 * double(crossings - 1) / double(last - first);
}

// The comments of each Vorbis comment header in an Ogg byte stream, with the
// serial number of its logical stream.
struct CommentHeader {
    uint32_t serial;
    std::map<std::string, std::string> comments;  // upper-case names
};

uint32_t le32(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

std::map<std::string, std::string> parseComments(const std::string& packet) {
    std::map<std::string, std::string> comments;
    size_t at = 7;  // "\x03vorbis"
    if (at + 4 > packet.size()) return comments;
    at += 4 + le32(packet, at);  // vendor
    if (at + 4 > packet.size()) return comments;
    uint32_t count = le32(packet, at);
    at += 4;
    for (uint32_t i = 0; i < count && at + 4 <= packet.size(); ++i) {
        uint32_t length = le32(packet, at);
        at += 4;
        if (at + length > packet.size()) break;
        std::string text = packet.substr(at, length);
        at += length;
        size_t equals = text.find('=');
        if (equals == std::string::npos) continue;
        std::string name = text.substr(0, equals);
        for (char& c : name) c = char(toupper(static_cast<unsigned char>(c)));
        comments[name] = text.substr(equals + 1);
    }
    return comments;
}

// Pages whose payload starts a comment header; the stream may begin mid-page.
std::vector<CommentHeader> commentHeaders(const std::string& ogg) {
    std::vector<CommentHeader> found;
    for (size_t at = ogg.find("OggS"); at != std::string::npos && at + 27 <= ogg.size();
         at = ogg.find("OggS", at + 4)) {
        size_t segments = uint8_t(ogg[at + 26]);
        if (at + 27 + segments > ogg.size()) break;
        size_t payload = 0;
        for (size_t i = 0; i < segments; ++i) payload += uint8_t(ogg[at + 27 + i]);
        size_t start = at + 27 + segments;
        if (start + payload > ogg.size()) break;
        if (ogg.compare(start, 7, "\x03vorbis") == 0)
            found.push_back({le32(ogg, at + 14), parseComments(ogg.substr(start, payload))});
    }
    return found;
}

class IcecastHarness : public ::testing::Test {
protected:
    void SetUp() override {
        icecast = test::IcecastServer::get();
        REQUIRE_ICECAST(icecast);
        ASSERT_GE(icecast->songs().size(), 2u);
    }

    // The song after `index` in the looping playlist.
    size_t next(size_t index) const { return (index + 1) % icecast->songs().size(); }

    const test::IcecastServer* icecast = nullptr;
};

TEST_F(IcecastHarness, Mp3MountSendsMetaintOnlyWhenAsked) {
    Listener plain(icecast->port(), "/test.mp3", false);
    ASSERT_TRUE(plain.readHead());
    EXPECT_EQ(plain.statusLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(plain.header("Content-Type").value_or(""), "audio/mpeg");
    EXPECT_EQ(plain.header("icy-name").value_or(""), "Tunelark test MP3");
    EXPECT_FALSE(plain.header("icy-metaint").has_value());

    Listener asking(icecast->port(), "/test.mp3", true);
    ASSERT_TRUE(asking.readHead());
    EXPECT_EQ(asking.statusLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(asking.header("icy-metaint").value_or(""), "16000");
}

TEST_F(IcecastHarness, Mp3TitlesFollowThePlaylistWithTheirTones) {
    Listener listener(icecast->port(), "/test.mp3", true);
    ASSERT_TRUE(listener.readHead());
    ASSERT_EQ(listener.header("icy-metaint").value_or(""), "16000");
    IcySplitter splitter(16000);
    // Until every song has had its title sent once after a change, so each
    // has a whole stretch of audio behind its title.
    auto deadline = Clock::now() + kPatience;
    std::string bytes;
    while (splitter.titles().size() < icecast->songs().size() + 2 && Clock::now() < deadline) {
        bytes.clear();
        ASSERT_TRUE(listener.readBody(bytes)) << "the stream stopped";
        splitter.feed(bytes);
    }
    const auto& titles = splitter.titles();
    ASSERT_GE(titles.size(), icecast->songs().size() + 2) << "too few titles before the deadline";

    // Every song has come by, the non-Latin one too: its UTF-8 bytes arrive
    // as they are, not as HTML entities.
    std::vector<int16_t> left = decodeLeft(splitter.audio());
    for (size_t i = 0; i + 1 < titles.size(); ++i) {
        int song = icecast->songIndex(titles[i].text);
        ASSERT_GE(song, 0) << "unknown title " << titles[i].text;
        EXPECT_EQ(icecast->songIndex(titles[i + 1].text), int(next(size_t(song))))
            << titles[i].text << " then " << titles[i + 1].text;
        if (i == 0) continue;  // the first title names a song already under way
        // Well inside the song: its title comes within a metadata interval
        // (1 s at 128 kbps) of its first byte.
        size_t begin = (titles[i].audioOffset + 2 * 16000) * 44100 / 16000;
        double heard = toneFrequency(left, begin, begin + 44100);
        EXPECT_NEAR(heard, icecast->songs()[song].frequency, icecast->songs()[song].frequency * 0.01) << titles[i].text;
    }
}

TEST_F(IcecastHarness, OggMountChainsStreamsWithNewComments) {
    Listener listener(icecast->port(), "/test.ogg", false);
    ASSERT_TRUE(listener.readHead());
    EXPECT_EQ(listener.statusLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(listener.header("Content-Type").value_or(""), "application/ogg");
    std::string ogg;
    auto deadline = Clock::now() + kPatience;
    while (commentHeaders(ogg).size() < 3 && Clock::now() < deadline) {
        ASSERT_TRUE(listener.readBody(ogg)) << "the stream stopped";
    }
    std::vector<CommentHeader> headers = commentHeaders(ogg);
    ASSERT_GE(headers.size(), 3u) << "too few chained streams before the deadline";
    for (size_t i = 0; i + 1 < headers.size(); ++i) {
        std::string title = headers[i].comments["ARTIST"] + " - " + headers[i].comments["TITLE"];
        std::string nextTitle = headers[i + 1].comments["ARTIST"] + " - " + headers[i + 1].comments["TITLE"];
        int song = icecast->songIndex(title);
        ASSERT_GE(song, 0) << "unknown comments " << title;
        EXPECT_EQ(icecast->songIndex(nextTitle), int(next(size_t(song)))) << title << " then " << nextTitle;
        EXPECT_NE(headers[i].serial, headers[i + 1].serial) << "a chained stream needs a new serial";
    }
}

TEST_F(IcecastHarness, SourceFilesAreKnownWhenTheHarnessFolderIs) {
    if (icecast->sourceFile(0, "mp3").empty()) GTEST_SKIP() << "the harness folder is not known here";
    for (size_t i = 0; i < icecast->songs().size(); ++i) {
        EXPECT_FALSE(icecast->sourceFile(i, "mp3").empty()) << i;
        EXPECT_FALSE(icecast->sourceFile(i, "ogg").empty()) << i;
    }
    EXPECT_EQ(icecast->sourceFile(icecast->songs().size(), "mp3"), "");
}

}  // namespace
