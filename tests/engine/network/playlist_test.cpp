#include "engine/network/playlist.h"

#include <gtest/gtest.h>

namespace {

using engine::net::isPlaylist;
using engine::net::parsePlaylist;
using engine::net::resolveUrl;
using Entries = std::vector<std::string>;

const std::string kBase = "http://radio.example/lists/top.pls?x=1";

TEST(Playlist, PlsEntriesInNumberOrder) {
    std::string pls =
        "\xEF\xBB\xBF[playlist]\r\n"
        "NumberOfEntries=3\r\n"
        "File10=http://c.example/ten\r\n"
        "Title10=Ten\r\n"
        "file2 = http://b.example/two\r\n"  // not "FileN=": ignored
        "FILE2=http://b.example/two\r\n"
        "File1=  http://a.example:8000/one  \r\n"
        "Length1=-1\r\n"
        "Version=2\r\n";
    Entries expected = {"http://a.example:8000/one", "http://b.example/two", "http://c.example/ten"};
    EXPECT_EQ(parsePlaylist(pls, kBase), expected);
}

TEST(Playlist, PlsWithoutSectionHeaderAndEmptyEntries) {
    EXPECT_EQ(parsePlaylist("File1=\nFile2=http://x.example/\n", kBase), Entries{"http://x.example/"});
    EXPECT_TRUE(parsePlaylist("[playlist]\nNumberOfEntries=0\n", kBase).empty());
}

TEST(Playlist, M3uLinesThatAreNotComments) {
    std::string m3u =
        "#EXTM3U\n"
        "#EXTINF:-1,Station One\n"
        "http://one.example/stream\n"
        "\n"
        "   \t\n"
        "  http://two.example/stream  \r\n"
        "# http://commented.example/\n";
    EXPECT_EQ(parsePlaylist(m3u, kBase), (Entries{"http://one.example/stream", "http://two.example/stream"}));
}

TEST(Playlist, RelativeEntriesResolveAgainstThePlaylistAddress) {
    std::string m3u = "stream.mp3\n/root.mp3\n../up.mp3\n//other.example/x\nhttps://abs.example/y\n";
    Entries expected = {"http://radio.example/lists/stream.mp3", "http://radio.example/root.mp3",
                        "http://radio.example/up.mp3", "http://other.example/x", "https://abs.example/y"};
    EXPECT_EQ(parsePlaylist(m3u, kBase), expected);
}

TEST(Playlist, EntriesThatAreNotWebAddressesStayAsTheyAre) {
    EXPECT_EQ(resolveUrl(kBase, "mms://old.example/live"), "mms://old.example/live");
    EXPECT_EQ(resolveUrl("not a url", "x.mp3"), "x.mp3");
    EXPECT_EQ(resolveUrl(kBase, "a b.mp3"), "http://radio.example/lists/a%20b.mp3");
}

TEST(Playlist, EntryCountIsBoundedFromBothSides) {
    auto listOf = [](size_t count) {
        std::string m3u;
        for (size_t i = 0; i < count; ++i) m3u += "http://h.example/" + std::to_string(i) + "\n";
        return m3u;
    };
    size_t limit = engine::net::kMaxPlaylistEntries;
    EXPECT_EQ(parsePlaylist(listOf(limit), kBase).size(), limit);
    Entries capped = parsePlaylist(listOf(limit + 1), kBase);
    ASSERT_EQ(capped.size(), limit);
    EXPECT_EQ(capped.back(), "http://h.example/" + std::to_string(limit - 1));
}

TEST(Playlist, BinaryNoiseGivesNoEntries) {
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 131 + 7) % 256);
    for (const std::string& entry : parsePlaylist(noise, kBase)) {
        for (char c : entry) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << entry;
    }
    std::string mp3Frame("\xff\xfb\x90\x64\x00\x00\x00\x00\x01\x02\x03", 11);
    EXPECT_TRUE(parsePlaylist(mp3Frame, kBase).empty());
}

TEST(Playlist, RecognisedByMediaType) {
    for (const char* type : {"audio/x-scpls", "audio/scpls", "application/pls+xml", "audio/x-mpegurl", "audio/mpegurl",
                             "application/x-mpegurl", "application/vnd.apple.mpegurl"})
        EXPECT_TRUE(isPlaylist(type, "http://h.example/stream")) << type;
    EXPECT_FALSE(isPlaylist("audio/mpeg", "http://h.example/stream"));
    EXPECT_FALSE(isPlaylist("text/html", "http://h.example/stream"));
}

TEST(Playlist, RecognisedByExtensionUnlessTheTypeIsAudio) {
    for (const char* url : {"http://h.example/a.pls", "http://h.example/A.M3U", "http://h.example/x/b.m3u8?t=1",
                            "https://h.example/c.pls#top"}) {
        EXPECT_TRUE(isPlaylist("", url)) << url;
        EXPECT_TRUE(isPlaylist("text/plain", url)) << url;
        EXPECT_TRUE(isPlaylist("application/octet-stream", url)) << url;
        EXPECT_FALSE(isPlaylist("audio/mpeg", url)) << url;
        EXPECT_FALSE(isPlaylist("application/ogg", url)) << url;
    }
    for (const char* url : {"http://h.example/pls", "http://h.example/a.pls/stream", "http://h.example/?f=a.pls",
                            "http://a.pls", "http://h.example/a.plsx"})
        EXPECT_FALSE(isPlaylist("", url)) << url;
}

}  // namespace
