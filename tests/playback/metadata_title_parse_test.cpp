#include <gtest/gtest.h>

#include <random>
#include <string>

#include "playback/title_parse.h"

namespace {

// Builds an Ogg comment list: each text NUL-terminated, then an empty one.
std::string commentList(std::initializer_list<const char*> comments) {
    std::string list;
    for (const char* c : comments) {
        list += c;
        list += '\0';
    }
    list += '\0';
    return list;
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

TEST(IcyStreamTitle, TakesTheTextUpToTheClosingQuoteAndSemicolon) {
    EXPECT_EQ(icyStreamTitle("StreamTitle='Artist - Song';StreamUrl='';"), "Artist - Song");
    EXPECT_EQ(icyStreamTitle("StreamTitle='Tom; Jerry - X';"), "Tom; Jerry - X");
    EXPECT_EQ(icyStreamTitle("StreamTitle='Guns N' Roses - Don't Cry';StreamUrl='http://x/';"),
              "Guns N' Roses - Don't Cry");
    EXPECT_EQ(icyStreamTitle("StreamTitle='A - B';trailing bytes"), "A - B");
    EXPECT_EQ(icyStreamTitle("StreamUrl='u';StreamTitle='Late - Marker';"), "Late - Marker");
    EXPECT_EQ(icyStreamTitle("StreamTitle='First';StreamTitle='Second';"), "First");
}

TEST(IcyStreamTitle, EmptyTitleIsATitle) {
    auto title = icyStreamTitle("StreamTitle='';");
    ASSERT_TRUE(title.has_value());
    EXPECT_EQ(*title, "");
}

TEST(IcyStreamTitle, WithoutQuoteSemicolonEndsAtTheLastQuoteElseAtTheEnd) {
    EXPECT_EQ(icyStreamTitle("StreamTitle='Song'"), "Song");
    EXPECT_EQ(icyStreamTitle("StreamTitle='Rock 'n' Roll' junk"), "Rock 'n' Roll");
    EXPECT_EQ(icyStreamTitle("StreamTitle='No closing quote"), "No closing quote");
    EXPECT_EQ(icyStreamTitle("StreamTitle='"), "");
    // A quote before the marker does not count as the end.
    EXPECT_EQ(icyStreamTitle("x='y' StreamTitle='Open"), "Open");
}

TEST(IcyStreamTitle, NoMarkerGivesNoTitle) {
    EXPECT_FALSE(icyStreamTitle(nullptr).has_value());
    EXPECT_FALSE(icyStreamTitle("").has_value());
    EXPECT_FALSE(icyStreamTitle("StreamUrl='http://x/';").has_value());
    EXPECT_FALSE(icyStreamTitle("streamtitle='lower case';").has_value());
    EXPECT_FALSE(icyStreamTitle("StreamTitle=\"double\";").has_value());
}

TEST(IcyStreamTitle, KeepsEveryByteOfAnyCodePage) {
    const char utf8[] =
        "StreamTitle='\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE - \xD0\x93\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0';";
    EXPECT_EQ(icyStreamTitle(utf8),
              "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE - \xD0\x93\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0");
    const char cp1251[] = "StreamTitle='\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0';";
    EXPECT_EQ(icyStreamTitle(cp1251), "\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0");
}

TEST(IcyStreamTitle, AFullMetadataBlockIsTakenWhole) {
    // 255 * 16 bytes is the most one ICY block can carry.
    std::string meta = "StreamTitle='" + std::string(4080 - 13, 'x');
    EXPECT_EQ(icyStreamTitle(meta.c_str())->size(), 4080u - 13);
    meta = "StreamTitle='" + std::string(4080 - 15, 'y') + "';";
    EXPECT_EQ(*icyStreamTitle(meta.c_str()), std::string(4080 - 15, 'y'));
}

TEST(OggTitle, ArtistAndTitleAreShownTogetherAndNotHeld) {
    std::string list = commentList({"ARTIST=Foo", "Title=Bar"});
    OggTitle t = oggTitle(list.data());
    EXPECT_EQ(t.kind, OggTitleKind::ArtistTitle);
    EXPECT_EQ(t.text, "Foo - Bar");

    list = commentList({"title=Bar", "album=Baz", "aRtIsT=Foo"});
    t = oggTitle(list.data());
    EXPECT_EQ(t.kind, OggTitleKind::ArtistTitle);
    EXPECT_EQ(t.text, "Foo - Bar");
}

TEST(OggTitle, ATitleAloneIsShownAndHeld) {
    std::string list = commentList({"encoder=x", "title=Bar"});
    OggTitle t = oggTitle(list.data());
    EXPECT_EQ(t.kind, OggTitleKind::Title);
    EXPECT_EQ(t.text, "Bar");

    list = commentList({"TITLE="});
    t = oggTitle(list.data());
    EXPECT_EQ(t.kind, OggTitleKind::Title);
    EXPECT_EQ(t.text, "");
}

TEST(OggTitle, AnArtistAloneIsShownAlone) {
    std::string list = commentList({"artist=Solo"});
    OggTitle t = oggTitle(list.data());
    EXPECT_EQ(t.kind, OggTitleKind::ArtistTitle);
    EXPECT_EQ(t.text, "Solo");
}

TEST(OggTitle, TheLaterOfRepeatedCommentsWins) {
    std::string list = commentList({"artist=First", "title=One", "artist=Second", "title=Two"});
    EXPECT_EQ(oggTitle(list.data()).text, "Second - Two");
}

TEST(OggTitle, OnlyExactNamesCount) {
    std::string list = commentList({"artists=No", "titles=No", "artist", "title", "xtitle=No", "DATE=2001"});
    EXPECT_EQ(oggTitle(list.data()).kind, OggTitleKind::None);
    EXPECT_EQ(oggTitle(nullptr).kind, OggTitleKind::None);
    std::string empty(2, '\0');
    EXPECT_EQ(oggTitle(empty.data()).kind, OggTitleKind::None);
    // An empty first comment ends the list.
    std::string leadingEmpty = std::string(1, '\0') + "title=Hidden" + std::string(2, '\0');
    EXPECT_EQ(oggTitle(leadingEmpty.data()).kind, OggTitleKind::None);
}

TEST(OggTitle, ArtistAndTitleAreCutTo99Bytes) {
    // "A - T": 4 + 3 + 92 = 99 stays whole; one more byte is cut.
    std::string artist = "artist=" + std::string(4, 'a');
    std::string title = "title=" + std::string(92, 't');
    std::string list = commentList({artist.c_str(), title.c_str()});
    EXPECT_EQ(oggTitle(list.data()).text, std::string(4, 'a') + " - " + std::string(92, 't'));

    title = "title=" + std::string(93, 't');
    list = commentList({artist.c_str(), title.c_str()});
    EXPECT_EQ(oggTitle(list.data()).text, std::string(4, 'a') + " - " + std::string(92, 't'));

    std::string longArtist = "artist=" + std::string(300, 'z');
    list = commentList({longArtist.c_str()});
    EXPECT_EQ(oggTitle(list.data()).text, std::string(99, 'z'));
}

TEST(OggTitle, UTF8IsCutBeforeAWholeCharacter) {
    std::string cyrillic;
    for (int i = 0; i < 60; ++i) cyrillic += "\xD0\xAF";  // two bytes each
    std::string artist = "artist=" + cyrillic;
    std::string title = "title=" + cyrillic;
    std::string list = commentList({artist.c_str(), title.c_str()});
    std::string shown = oggTitle(list.data()).text;
    EXPECT_EQ(shown.size(), 98u);  // byte 99 would split a character
    EXPECT_TRUE(validUtf8(shown));
    EXPECT_EQ(shown, (cyrillic + " - " + cyrillic).substr(0, 98));

    // Windows-1251 bytes are no UTF-8: cut at the byte.
    std::string cp1251(120, '\xDF');
    artist = "artist=" + cp1251;
    list = commentList({artist.c_str()});
    EXPECT_EQ(oggTitle(list.data()).text, std::string(99, '\xDF'));
}

TEST(CutText, PinsTheLimitFromBothSides) {
    std::string s(98, 'x');
    cutText(s, 99);
    EXPECT_EQ(s.size(), 98u);
    s.assign(99, 'x');
    cutText(s, 99);
    EXPECT_EQ(s.size(), 99u);
    s.assign(100, 'x');
    cutText(s, 99);
    EXPECT_EQ(s.size(), 99u);
    // A three-byte character straddling the limit goes whole.
    s = std::string(97, 'x') + "\xE2\x82\xAC";
    cutText(s, 99);
    EXPECT_EQ(s, std::string(97, 'x'));
    // Broken UTF-8 (a lone continuation byte) is cut at the byte.
    s = std::string(98, 'x') + "\x80\x80";
    cutText(s, 99);
    EXPECT_EQ(s.size(), 99u);
}

TEST(TitleParsers, ArbitraryBytesGiveBoundedResults) {
    std::mt19937 rng(4);
    const char alphabet[] = "StreamTitle=';-artistATITLE\xD0\x80\xFF ";
    for (int round = 0; round < 20000; ++round) {
        std::string input;
        size_t n = rng() % 64;
        for (size_t i = 0; i < n; ++i) input += alphabet[rng() % (sizeof alphabet - 1)];
        if (rng() % 2) input = "StreamTitle='" + input;
        auto icy = icyStreamTitle(input.c_str());
        if (icy) {
            EXPECT_LE(icy->size(), input.size());
        }
        std::string list = input;
        for (char& c : list)
            if (c == ';') c = '\0';
        list += std::string(2, '\0');
        OggTitle ogg = oggTitle(list.data());
        if (ogg.kind == OggTitleKind::ArtistTitle) {
            EXPECT_LE(ogg.text.size(), kShownTitleMax);
        }
        if (ogg.kind == OggTitleKind::None) {
            EXPECT_TRUE(ogg.text.empty());
        }
    }
}
