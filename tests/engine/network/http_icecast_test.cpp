// HttpStream against a real Icecast server: its answer, its titles, and the
// audio with the metadata cut out byte-exactly.
#include "engine/network/http_headers.h"
#include "engine/network/http_stream.h"
#include "tests/engine/network/event_recorder.h"
#include "tests/support/icecast_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

using engine::net::HttpStream;
using test::EventRecorder;

// ezstream sends the files without their ID3v2 tags.
std::vector<unsigned char> withoutId3v2(std::vector<unsigned char> bytes) {
    if (bytes.size() < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return bytes;
    size_t size = (size_t(bytes[6] & 0x7f) << 21) | (size_t(bytes[7] & 0x7f) << 14) | (size_t(bytes[8] & 0x7f) << 7) |
                  size_t(bytes[9] & 0x7f);
    size_t total = std::min(bytes.size(), 10 + size + ((bytes[5] & 0x10) ? 10 : 0));
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(total));
    return bytes;
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class HttpIcecast : public ::testing::Test {
protected:
    void SetUp() override {
        icecast = test::IcecastServer::get();
        REQUIRE_ICECAST(icecast);
    }

    // Until `count` titles have come, or a minute has passed.
    void listen(size_t count) {
        ASSERT_EQ(stream.open(icecast->mp3Url(), {}, recorder.events()), 0);
        std::unique_lock<std::mutex> lock(recorder.mutex);
        recorder.changed.wait_for(lock, std::chrono::seconds(60),
                                  [&] { return recorder.metas.size() >= count || recorder.end.has_value(); });
        lock.unlock();
        stream.stop();
    }

    const test::IcecastServer* icecast = nullptr;
    EventRecorder recorder;
    HttpStream stream;
};

TEST_F(HttpIcecast, AnswerOfAnIcecastMount) {
    listen(1);
    ASSERT_TRUE(recorder.response);
    const engine::net::HttpResponse& r = *recorder.response;
    EXPECT_FALSE(r.icy);
    EXPECT_EQ(r.statusLine, "HTTP/1.0 200 OK");
    EXPECT_EQ(r.contentType, "audio/mpeg");
    EXPECT_EQ(r.metaint, 16000);
    EXPECT_EQ(engine::net::headerValue(r.headers, "icy-name").value_or(""), "Tunelark test MP3");
    EXPECT_EQ(r.effectiveUrl, icecast->mp3Url());
}

TEST_F(HttpIcecast, TitlesFollowThePlaylistOncePerChange) {
    size_t songs = icecast->songs().size();
    listen(songs + 1);
    const std::vector<test::MetaEvent>& metas = recorder.metas;
    ASSERT_GE(metas.size(), songs + 1) << "too few titles within a minute";
    for (size_t i = 0; i < metas.size(); ++i) {
        const std::string& text = metas[i].text;
        ASSERT_TRUE(text.rfind("StreamTitle='", 0) == 0 && text.size() > 15) << text;
        std::string name = text.substr(13, text.find("';") - 13);
        int song = icecast->songIndex(name);
        ASSERT_GE(song, 0) << text;
        if (i == 0) continue;
        std::string before = metas[i - 1].text.substr(13, metas[i - 1].text.find("';") - 13);
        EXPECT_EQ(song, (icecast->songIndex(before) + 1) % int(songs)) << before << " then " << name;
        // The first title a listener gets describes the burst's position,
        // which may lie just before a change: only later changes are a song
        // apart.
        if (i >= 2) {
            EXPECT_GT(metas[i].audioBefore, metas[i - 1].audioBefore + 16000) << name;
        }
    }
}

TEST_F(HttpIcecast, AudioIsAContiguousPieceOfTheSourceFiles) {
    if (icecast->sourceFile(0, "mp3").empty()) GTEST_SKIP() << "the harness folder is not known here";
    listen(3);
    std::vector<unsigned char> loop;
    for (size_t i = 0; i < icecast->songs().size(); ++i) {
        std::vector<unsigned char> file = withoutId3v2(readFile(icecast->sourceFile(i, "mp3")));
        ASSERT_FALSE(file.empty()) << icecast->sourceFile(i, "mp3");
        loop.insert(loop.end(), file.begin(), file.end());
    }
    const std::vector<unsigned char>& audio = recorder.audio;
    ASSERT_GT(audio.size(), 3 * 16000u);
    std::vector<unsigned char> looped;
    while (looped.size() < audio.size() + 2 * loop.size()) looped.insert(looped.end(), loop.begin(), loop.end());
    // Where the listener came in: the burst starts anywhere in the loop.
    auto start = std::search(looped.begin(), looped.begin() + static_cast<long>(loop.size() + 256), audio.begin(),
                             audio.begin() + 256);
    ASSERT_NE(start, looped.begin() + static_cast<long>(loop.size() + 256)) << "the first bytes are not in the files";
    auto mismatch = std::mismatch(audio.begin(), audio.end(), start);
    EXPECT_EQ(mismatch.first, audio.end())
        << "differs from the files at audio byte " << (mismatch.first - audio.begin()) << " of " << audio.size();
}

}  // namespace
