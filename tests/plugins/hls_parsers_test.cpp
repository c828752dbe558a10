// The HLS plug-in's readers on their own: playlists, the live window's
// choices (a late copy is not a restart), ID3 titles, and the engine's sign
// that a playlist is HLS.
#include <gtest/gtest.h>

#include "engine/network/playlist.h"
#include "plugins/hls/hls_id3.h"
#include "plugins/hls/hls_live.h"
#include "plugins/hls/hls_playlist.h"

namespace {

hls::Playlist window(long long first, int count, const std::string& prefix = "s") {
    std::string text = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(first) + "\n";
    for (long long n = first; n < first + count; ++n) text += "#EXTINF:2,\n" + prefix + std::to_string(n) + ".ts\n";
    return *hls::parsePlaylist(text, "http://h/live/x.m3u8");
}

std::vector<std::string> urls(const std::vector<hls::Segment>& segments) {
    std::vector<std::string> out;
    for (const auto& s : segments) out.push_back(s.url.substr(s.url.rfind('/') + 1));
    return out;
}

TEST(HlsLiveWindow, EachSegmentOnceInOrderAcrossLateCopiesAndRestarts) {
    hls::LiveWindow live;
    auto t = hls::Clock::now();
    EXPECT_EQ(urls(live.update(window(10, 5), t)), (std::vector<std::string>{"s12.ts", "s13.ts", "s14.ts"}));
    EXPECT_EQ(urls(live.update(window(12, 5), t)), (std::vector<std::string>{"s15.ts", "s16.ts"}));
    EXPECT_TRUE(live.update(window(11, 5), t).empty());         // a late copy of the CDN
    EXPECT_EQ(live.reloadInterval(), std::chrono::seconds(1));  // half a target after no move
    EXPECT_EQ(urls(live.update(window(0, 4, "r"), t)), (std::vector<std::string>{"r1.ts", "r2.ts", "r3.ts"}));
    EXPECT_EQ(live.reloadInterval(), std::chrono::seconds(2));
    EXPECT_FALSE(live.stalled(t + std::chrono::seconds(9)));
    EXPECT_TRUE(live.stalled(t + std::chrono::seconds(11)));
}

// Parts of one file: an offset left out follows the part before in the same
// file; a live window of them hands out each part once.
TEST(HlsPlaylist, ByteRangesFollowOnAndEachPartIsASegmentOfItsOwn) {
    std::string head = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXT-X-MAP:URI=\"a.mp4\",BYTERANGE=\"700\"\n";
    auto part = [](const std::string& range, const std::string& file) {
        return "#EXTINF:2,\n#EXT-X-BYTERANGE:" + range + "\n" + file + "\n";
    };
    std::string text =
        head + part("100@700", "a.mp4") + part("50", "a.mp4") + part("50", "b.mp4") + part("9@x", "b.mp4");
    auto list = hls::parsePlaylist(text, "http://h/x.m3u8");
    ASSERT_TRUE(list && list->segments.size() == 4);
    using Range = std::pair<uint64_t, uint64_t>;
    auto range = [&](size_t i) { return Range(list->segments[i].range->offset, list->segments[i].range->length); };
    EXPECT_EQ(list->segments[0].mapRange->length, 700u);
    EXPECT_EQ(range(0), Range(700, 100));
    EXPECT_EQ(range(1), Range(800, 50));
    EXPECT_EQ(range(2).second, 0u);  // another file: nothing to follow
    EXPECT_EQ(range(3).second, 0u);
    hls::LiveWindow live;
    auto t = hls::Clock::now();
    std::string three = head + part("100@0", "a.mp4") + part("100", "a.mp4") + part("100", "a.mp4");
    EXPECT_EQ(live.update(*hls::parsePlaylist(three, "http://h/x.m3u8"), t).size(), 3u);
    EXPECT_EQ(live.update(*hls::parsePlaylist(three + part("100", "a.mp4"), "http://h/x.m3u8"), t).size(), 1u);
}

TEST(HlsPlaylist, MasterPicksAudioWithinTheCapAndUrlsResolve) {
    auto master = hls::parsePlaylist(
        "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=800000,CODECS=\"avc1.4d401f,mp4a.40.2\"\nvideo.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=48000,CODECS=\"mp4a.40.5\"\n../low/a.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=320000,CODECS=\"mp4a.40.2\"\n/hi/a.m3u8?t=1\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=600000,CODECS=\"mp4a.40.2\"\n//cdn/x.m3u8\n",
        "https://radio/live/main.m3u8");
    ASSERT_TRUE(master && master->master);
    EXPECT_EQ(hls::pickAudioPlaylist(*master, 512000), "https://radio/hi/a.m3u8?t=1");
    EXPECT_EQ(hls::pickAudioPlaylist(*master, 1000), "https://radio/low/a.m3u8");
    EXPECT_EQ(master->variants[3].url, "https://cdn/x.m3u8");
    EXPECT_EQ(hls::resolveUrl("http://h/a/b.m3u8", "file:///etc/passwd"), "file:///etc/passwd");
    EXPECT_FALSE(hls::parsePlaylist("http://h/a.ts\n", "http://h/"));
    EXPECT_TRUE(engine::net::isHlsPlaylist("audio/mpegurl", "#EXTM3U\n#EXT-X-TARGETDURATION:6\na.ts\n"));
    EXPECT_FALSE(engine::net::isHlsPlaylist("audio/mpegurl", "#EXTM3U\n#EXTINF:-1,Radio\nhttp://h/radio\n"));
    EXPECT_TRUE(engine::net::isHlsPlaylist("application/vnd.apple.mpegurl", "http://h/radio\n"));
}

std::string tag(const std::string& frames) {
    size_t n = frames.size();
    return std::string("ID3\4\0\0", 6) + char(n >> 21 & 127) + char(n >> 14 & 127) + char(n >> 7 & 127) +
           char(n & 127) + frames;
}

std::string frame(const std::string& id, const std::string& body) {
    size_t n = body.size();
    return id + char(n >> 21 & 127) + char(n >> 14 & 127) + char(n >> 7 & 127) + char(n & 127) + std::string(2, '\0') +
           body;
}

std::string titleOf(const std::string& bytes) {
    return hls::id3Title(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(HlsId3, TitlesFromFramesTxxxAndPrivAsIcyText) {
    EXPECT_EQ(titleOf(tag(frame("TPE1", "\3Band") + frame("TIT2", "\3Song"))), "StreamTitle='Band - Song';");
    // UTF-16 with a byte order mark: "Юг"
    EXPECT_EQ(titleOf(tag(frame("TIT2", std::string("\1\xFF\xFE\x2E\x04\x33\x04", 7)))),
              "StreamTitle='\xD0\xAE\xD0\xB3';");
    EXPECT_EQ(titleOf(tag(frame("TXXX", std::string("\3title\0X", 8)) + frame("TXXX", std::string("\3artist\0Y", 9)))),
              "StreamTitle='Y - X';");
    EXPECT_EQ(titleOf(tag(frame("PRIV", std::string("com.station\0StreamTitle='A - B';", 32)))),
              "StreamTitle='A - B';");
    EXPECT_EQ(titleOf(tag(frame("TPE1", "\3Only artist"))), "");
    std::string cut = tag(frame("TIT2", "\3Song"));
    EXPECT_EQ(titleOf(cut.substr(0, cut.size() - 2)), "");  // a frame past the bytes is not read
}

}  // namespace
