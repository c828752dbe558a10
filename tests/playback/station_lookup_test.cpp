// The station file's reading rules and the URL lookup (no window needed).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "playback/station_list.h"
#include "playback/text_line_reader.h"
#include "state/player_state.h"

namespace {

class StationFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("tunelark-stations-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    static void write(const std::string& bytes) { std::ofstream("stations1.txt", std::ios::binary) << bytes; }
    // The URL at a position, or "<none>" when the lookup refuses.
    static std::string lookup(int position) {
        player.selectedStation = position;
        char* url = nullptr;
        if (!lookupStationUrl(&url)) return "<none>";
        std::string s(url);
        free(url);
        return s;
    }
    static std::string lines(int count) {
        std::string s;
        for (int i = 0; i < count; ++i) s += "S" + std::to_string(i) + ",http://h/" + std::to_string(i) + "\n";
        return s;
    }

    std::filesystem::path dir_, old_;
};

std::vector<std::string> readAll(const std::string& bytes) {
    FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
    std::vector<std::string> out;
    char buf[100];
    while (readTextLine(buf, sizeof buf, f)) out.push_back(buf);
    fclose(f);
    return out;
}

TEST(TextLineReader, CrLfReadsAsOneLineFeedAndLoneCrStays) {
    EXPECT_EQ(readAll("a\r\nb\rc\r\n\r\n"), (std::vector<std::string>{"a\n", "b\rc\n", "\n"}));
    EXPECT_EQ(readAll("last"), (std::vector<std::string>{"last"}));
    EXPECT_TRUE(readAll("").empty());
}

TEST(TextLineReader, OneReadHoldsAt99CharactersLineEndIncluded) {
    std::string line98(98, 'x');
    std::string line99(99, 'y');
    EXPECT_EQ(readAll(line98 + "\n"), (std::vector<std::string>{line98 + "\n"}));
    // One more character and the line end spills into a read of its own.
    EXPECT_EQ(readAll(line99 + "\n"), (std::vector<std::string>{line99, "\n"}));
    EXPECT_EQ(readAll(line99), (std::vector<std::string>{line99}));
    // CR LF counts as one character against the limit.
    EXPECT_EQ(readAll(line98 + "\r\n"), (std::vector<std::string>{line98 + "\n"}));
}

TEST_F(StationFile, UrlStartsAtFirstHttpAndKeepsItsLineEnd) {
    write("One, http://a/1\r\nTwo,  junk https://b/2\nhttpie name,http://c/3\nLast,http://d/4");
    EXPECT_EQ(lookup(0), "http://a/1\n");
    EXPECT_EQ(lookup(1), "https://b/2\n");
    EXPECT_EQ(lookup(2), "httpie name,http://c/3\n");
    EXPECT_EQ(lookup(3), "http://d/4");
}

TEST_F(StationFile, PositionsThatNameNoUrlAreRefusedAndLeaveThePointerAlone) {
    write("No address here\nOk,http://a/\n");
    char sentinel[] = "untouched";
    char* url = sentinel;
    for (int position : {-1, 0, 2, 5, 100}) {
        player.selectedStation = position;
        EXPECT_EQ(lookupStationUrl(&url), 0) << position;
        EXPECT_EQ(url, sentinel) << position;
    }
    EXPECT_EQ(lookup(1), "http://a/\n");
}

TEST_F(StationFile, OnlyTheFirstHundredLinesCanBeLookedUp) {
    write(lines(150));
    EXPECT_EQ(lookup(0), "http://h/0\n");
    EXPECT_EQ(lookup(99), "http://h/99\n");
    EXPECT_EQ(lookup(100), "<none>");
    EXPECT_EQ(lookup(149), "<none>");
}

TEST_F(StationFile, EachLookupRereadsTheFile) {
    write(lines(3));
    EXPECT_EQ(lookup(2), "http://h/2\n");
    write("Only,http://x/\n");
    EXPECT_EQ(lookup(2), "<none>");
    EXPECT_EQ(lookup(0), "http://x/\n");
}

TEST_F(StationFile, MissingFileIsRefusedQuietly) {
    std::filesystem::remove("stations1.txt");
    EXPECT_EQ(lookup(0), "<none>");
}

TEST_F(StationFile, LongLineCountsAsTwoPositions) {
    // A line over the limit is read in two pieces; positions follow the reads,
    // the same way the list counts its entries.
    std::string longName(120, 'n');
    write(longName + ",http://long/\nNext,http://next/\n");
    EXPECT_EQ(lookup(2), "http://next/\n");
    EXPECT_EQ(lookup(1), std::string("http://long/\n"));
}

}  // namespace
